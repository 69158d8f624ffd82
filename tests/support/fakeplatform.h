#pragma once

#include "app/platform.h"

#include <QList>

#include <chrono>
#include <functional>

// A platform whose beeps are counted, whose local time is set by the test and whose
// waits take no real time: each advances a fake clock, lets pending events run and then
// calls the test's hook, so a test can click, close or open boxes "during" a wait.
class FakePlatform : public Platform
{
public:
    void beep() override { ++beeps; }
    QDateTime localNow() const override { return now; }
    void wait(std::chrono::milliseconds duration, const QElapsedTimer &since) override;

    int beeps = 0;
    QDateTime now = QDateTime(QDate(2007, 3, 21), QTime(14, 0));
    bool realWaits = false;   // the honest real-time case
    std::chrono::milliseconds clock{ 0 };   // fake time passed in waits
    QList<std::chrono::milliseconds> waits;   // what each wait asked for
    std::function<void(int waitNumber)> duringWait;   // waitNumber counts from 1
};
