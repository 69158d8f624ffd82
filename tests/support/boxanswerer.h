#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>

// What a message box showed when it appeared.
struct SeenBox
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;   // exactly as set, line breaks included
    QMessageBox::StandardButtons buttons;
    QStringList buttonTexts;   // texts of the standard buttons (with any '&'), in ascending enum order
};

// The box a test expects. With a `reason`, `text` is only the first line, what failed, and
// the system's reason must follow on the next line: exactly that reason, or where it is given
// empty, any. `buttonTexts` are compared where given.
struct ExpectedBox
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QStringList buttonTexts = {};
    std::optional<QString> reason = {};
};

// The "Fehler" box of a failed operation.
ExpectedBox errorBox(const QString &description, const QString &reason = {});

// How a seen box differs from the expected one, or an empty text if it does not:
// QCOMPARE(boxDifference(seen, expected), QString()) names the difference when it fails.
QString boxDifference(const SeenBox &seen, const ExpectedBox &expected);

// Answers real modal message boxes from a test: a timer looks for the active modal
// widget, records each box once and presses the queued button with a real mouse click.
// The click runs from a fresh single-shot timer, so a box opened by the click's own
// handler (a nested event loop inside our call) is still found by the polling timer.
class BoxAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit BoxAnswerer(QObject *parent = nullptr);   // starts watching at once

    // Queue an answer: the next message box that appears gets `button` pressed.
    void answer(QMessageBox::StandardButton button);
    // `whileOpen` is called with the box just before it is answered (lets a test act while
    // a box is open, e.g. close the main window). If the box is gone or hidden afterwards,
    // no button is pressed.
    void answer(QMessageBox::StandardButton button, std::function<void(QMessageBox *)> whileOpen);

    const QList<SeenBox> &seen() const;
    // Boxes that appeared with no queued answer, or without the queued button; they are
    // recorded and closed with Escape (or reject) so a test never hangs.
    int unexpected() const;
    int pending() const;   // queued answers not used yet

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Answer
    {
        QMessageBox::StandardButton button = QMessageBox::NoButton;
        std::function<void(QMessageBox *)> whileOpen;
    };

    void poll();
    QMessageBox *newBox() const;
    void respond(QPointer<QMessageBox> box, const Answer &answer);
    void dismiss(QPointer<QMessageBox> box);

    QTimer m_poll;
    QList<Answer> m_answers;
    QList<SeenBox> m_seen;
    QList<QPointer<QMessageBox>> m_onScreen;   // recorded boxes not hidden since
    int m_unexpected = 0;
};

// Descriptions ("Class \"title\" name") of visible top-level widgets other than `except`,
// for cleanup() checks that a test left no window or dialog open. Tooltips are ignored.
QStringList openTopLevelWindows(const QWidget *except);
