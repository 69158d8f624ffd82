#include "app/platform.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLayout>
#include <QLibraryInfo>
#include <QScreen>
#include <QTimer>
#include <QTranslator>

#include <algorithm>

void Platform::beep()
{
    QApplication::beep();
}

QDateTime Platform::localNow() const
{
    // One reading for date and time, so a click at midnight cannot mix two days.
    return QDateTime::currentDateTime();
}

void Platform::wait(std::chrono::milliseconds duration, const QElapsedTimer &since)
{
    const QDeadlineTimer deadline(duration - std::chrono::nanoseconds(since.nsecsElapsed()),
                                  Qt::PreciseTimer);
    bool cancelled = false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &Platform::waitsCancelled, &loop, [&] {
        cancelled = true;
        loop.quit();
    });
    // A nested loop can return early (an application that is quitting returns from every
    // new loop at once), so the deadline, not the loop, decides when the wait is over.
    do {
        timer.start(std::chrono::ceil<std::chrono::milliseconds>(deadline.remainingTimeAsDuration()));
        if (loop.exec() != 0)
            break;
    } while (!cancelled && !deadline.hasExpired());
}

void Platform::cancelWaits()
{
    emit waitsCancelled();
}

BusyScope::BusyScope()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
}

BusyScope::~BusyScope()
{
    qApp->removeEventFilter(this);
    QGuiApplication::restoreOverrideCursor();
}

bool BusyScope::eventFilter(QObject *, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

namespace {

// The widest a message box may be: what its screen shows, and on screens wider than 1024 px
// no more than QMessageBox allows itself (its own rule); a label wider than that would run
// off the box's edge. The frame, taken to be like the parent window's, counts twice: Qt's
// placement of a dialog reckons with one side of it only.
int widestBox(const QScreen *screen, const QWidget *parent)
{
    const int available = screen->availableGeometry().width();
    const int qtLimit = available <= 1024 ? available : std::min(available - 480, 1000);
    const QWidget *window = parent ? parent->window() : nullptr;
    const int frame = window ? window->frameGeometry().width() - window->width() : 0;
    return qtLimit - 2 * frame;
}

}

QMessageBox::StandardButton showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    // The box would wrap lines longer than about 500 pixels; ours are broken where the text
    // breaks them. Only a line too long for the screen wraps, at the screen's edge.
    if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        int widest = 0;
        for (const QString &line : text.split(u'\n'))
            widest = std::max(widest, label->fontMetrics().horizontalAdvance(line.trimmed()));
        label->setMinimumWidth(widest);
        const int besideLabel = box.layout()->totalMinimumSize().width() - widest;   // icon and margins
        const int room = widestBox(box.screen(), parent) - besideLabel;
        if (widest > room) {
            label->setMinimumWidth(room);
            label->setWordWrap(true);
        }
    }
    return QMessageBox::StandardButton(box.exec());
}

void installGermanTranslations()
{
    auto *translator = new QTranslator(qApp);
    if (translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}
