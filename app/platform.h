#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>

#include <chrono>

class QWidget;

// The services the window needs of the system that tests must be able to observe or
// replace: the beep, the local clock and the animation's waits.
class Platform : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void beep();
    virtual QDateTime localNow() const;

    // Keeps the window working (repaints, clicks, other handlers run nested in here) until
    // `duration` has passed since `since` was started, on a monotonic clock, or until
    // cancelWaits() is called. Pending events run even when that time is already up.
    virtual void wait(std::chrono::milliseconds duration, const QElapsedTimer &since);

    // Ends every wait now running, e.g. when the window closes.
    void cancelWaits();

signals:
    void waitsCancelled();
};

// While it lives, the application shows the wait cursor and drops keyboard and mouse
// input, so a click cannot start a second handler; painting, timers, the network and the
// closing of windows go on.
class BusyScope : public QObject
{
public:
    BusyScope();
    ~BusyScope() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// The program's message codes, named once.
namespace Message {
constexpr auto Information = QMessageBox::Information;
constexpr auto Critical = QMessageBox::Critical;
constexpr auto Question = QMessageBox::Question;
constexpr auto OkOnly = QMessageBox::StandardButtons(QMessageBox::Ok);
constexpr auto OkCancel = QMessageBox::StandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
}

// A real modal message box; returns the button the user pressed.
QMessageBox::StandardButton showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                        const QString &text,
                                        QMessageBox::StandardButtons buttons = Message::OkOnly);

// Qt's own German texts for standard buttons and system messages, whatever the locale.
void installGermanTranslations();
