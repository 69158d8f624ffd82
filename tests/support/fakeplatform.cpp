#include "fakeplatform.h"

#include <QCoreApplication>

void FakePlatform::wait(std::chrono::milliseconds duration, const QElapsedTimer &since)
{
    waits.append(duration);
    const int number = int(waits.size());
    if (realWaits)
        Platform::wait(duration, since);
    else
        QCoreApplication::processEvents();
    clock += duration;
    if (duringWait)
        duringWait(number);
}
