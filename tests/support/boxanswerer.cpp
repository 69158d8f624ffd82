#include "boxanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QTest>

#include <chrono>

namespace {

constexpr std::chrono::milliseconds kPollInterval{ 5 };

SeenBox describe(const QMessageBox *box)
{
    SeenBox seen{ box->icon(), box->windowTitle(), box->text(), box->standardButtons(), {} };
    for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (seen.buttons.testFlag(QMessageBox::StandardButton(bit))) {
            if (const QAbstractButton *button = box->button(QMessageBox::StandardButton(bit)))
                seen.buttonTexts << button->text();
        }
    }
    return seen;
}

}   // namespace

BoxAnswerer::BoxAnswerer(QObject *parent) : QObject(parent)
{
    m_poll.setInterval(kPollInterval);
    connect(&m_poll, &QTimer::timeout, this, &BoxAnswerer::poll);
    m_poll.start();
}

void BoxAnswerer::answer(QMessageBox::StandardButton button)
{
    answer(button, {});
}

void BoxAnswerer::answer(QMessageBox::StandardButton button, std::function<void(QMessageBox *)> whileOpen)
{
    m_answers.append({ button, std::move(whileOpen) });
}

const QList<SeenBox> &BoxAnswerer::seen() const
{
    return m_seen;
}

int BoxAnswerer::unexpected() const
{
    return m_unexpected;
}

int BoxAnswerer::pending() const
{
    return int(m_answers.size());
}

QMessageBox *BoxAnswerer::newBox() const
{
    const auto isNew = [this](QMessageBox *box) {
        return box && box->isVisible() && !m_onScreen.contains(box);
    };
    if (auto *modal = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); isNew(modal))
        return modal;
    // Window-modal or modeless boxes are not the active modal widget.
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(window); isNew(box))
            return box;
    }
    return nullptr;
}

bool BoxAnswerer::eventFilter(QObject *watched, QEvent *event)
{
    // A box counts as new again once hidden, in case the program shows it again. Watching
    // for the hide itself matters: a reused box can be hidden and shown between two polls.
    if (event->type() == QEvent::Hide) {
        m_onScreen.removeIf([watched](const QPointer<QMessageBox> &box) { return !box || box == watched; });
        watched->removeEventFilter(this);
    }
    return QObject::eventFilter(watched, event);
}

void BoxAnswerer::poll()
{
    m_onScreen.removeIf([](const QPointer<QMessageBox> &box) { return !box; });
    QMessageBox *box = newBox();
    if (!box)
        return;
    m_onScreen.append(box);
    box->installEventFilter(this);
    m_seen.append(describe(box));
    const Answer answer = m_answers.isEmpty() ? Answer{} : m_answers.takeFirst();
    // Not answered from here: whatever the click starts (another box's event loop) would
    // run inside this timer's slot, and Qt does not fire a timer again while its slot runs.
    QTimer::singleShot(0, this, [this, guarded = QPointer(box), answer] { respond(guarded, answer); });
}

void BoxAnswerer::respond(QPointer<QMessageBox> box, const Answer &answer)
{
    if (!box || !box->isVisible())
        return;
    if (answer.button == QMessageBox::NoButton) {
        ++m_unexpected;
        dismiss(box);
        return;
    }
    if (answer.whileOpen) {
        answer.whileOpen(box);
        if (!box || !box->isVisible())
            return;
    }
    QAbstractButton *button = box->button(answer.button);
    if (!button) {
        qWarning("BoxAnswerer: box \"%s\" has no button %#x to press", qPrintable(box->text()),
                 unsigned(answer.button));
        ++m_unexpected;
        dismiss(box);
        return;
    }
    QTest::mouseClick(button, Qt::LeftButton);
}

void BoxAnswerer::dismiss(QPointer<QMessageBox> box)
{
    QTest::keyClick(box, Qt::Key_Escape);
    // Escape does nothing when the box has no button it can treat as "cancel".
    if (box && box->isVisible())
        box->reject();
}

ExpectedBox errorBox(const QString &description, const QString &reason)
{
    return { QMessageBox::Critical, QStringLiteral("Fehler"), description, QMessageBox::Ok, {}, reason };
}

QString boxDifference(const SeenBox &seen, const ExpectedBox &expected)
{
    QStringList differences;
    const auto compare = [&](const char *what, const QString &actual, const QString &wanted) {
        if (actual != wanted)
            differences << QStringLiteral("%1 is \"%2\", not \"%3\"").arg(QLatin1String(what), actual, wanted);
    };
    compare("icon", QString::number(int(seen.icon)), QString::number(int(expected.icon)));
    compare("title", seen.title, expected.title);
    compare("buttons", QString::number(int(seen.buttons)), QString::number(int(expected.buttons)));
    if (!expected.buttonTexts.isEmpty())
        compare("button texts", seen.buttonTexts.join(u'|'), expected.buttonTexts.join(u'|'));
    if (!expected.reason) {
        compare("text", seen.text, expected.text);
    } else {
        const qsizetype lineBreak = seen.text.indexOf(QStringLiteral("\r\n"));
        compare("first line", seen.text.left(lineBreak), expected.text);
        const QString reason = lineBreak < 0 ? QString() : seen.text.mid(lineBreak + 2);
        if (expected.reason->isEmpty() ? reason.isEmpty() || reason.contains(u'\n') : reason != *expected.reason)
            differences << QStringLiteral("the reason is \"%1\", not \"%2\"")
                               .arg(reason, expected.reason->isEmpty() ? QStringLiteral("one line") : *expected.reason);
    }
    return differences.join(QStringLiteral("; "));
}

QStringList openTopLevelWindows(const QWidget *except)
{
    QStringList open;
    for (const QWidget *window : QApplication::topLevelWidgets()) {
        if (window == except || !window->isVisible() || window->windowType() == Qt::ToolTip)
            continue;
        open << QStringLiteral("%1 \"%2\" %3")
                    .arg(QString::fromLatin1(window->metaObject()->className()), window->windowTitle(),
                         window->objectName());
    }
    return open;
}
