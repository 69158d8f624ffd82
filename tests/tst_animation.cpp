#include "support/testwindow.h"

#include "app/picturebox.h"
#include "app/platform.h"
#include "support/gifwriter.h"
#include "support/painted.h"

#include <QAccessible>
#include <QBuffer>
#include <QElapsedTimer>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace std::chrono_literals;

// The animation: order, pauses, stop, and everything that can happen inside its waits.
class AnimationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installGermanTranslations(); }
    void cleanup() { QCOMPARE(openTopLevelWindows(nullptr), QStringList()); }
    void showsSelectedInListOrderUntilStopped();
    void stopShowsOneMorePicture_data();
    void stopShowsOneMorePicture();
    void infoBoxFreezesTheSequence();
    void startWhileFinishingNestsANewLoop();
    void finishingLoopEndsWhenNestedCommandsTakeItsPictures_data();
    void finishingLoopEndsWhenNestedCommandsTakeItsPictures();
    void unloadablePictureStopsTheAnimation_data();
    void unloadablePictureStopsTheAnimation();
    void realWaitsKeepEachPictureOnView();
    void closingTheWindowEndsTheProgram_data();
    void closingTheWindowEndsTheProgram();
};

namespace {

const QStringList Five = fivePictures();

// Which picture the window put on view, and when on the fake clock.
struct Shown
{
    QString name;
    std::chrono::milliseconds at;
    bool operator==(const Shown &) const = default;
};

struct Recorder
{
    explicit Recorder(TestWindow &window) : window(window)
    {
        QObject::connect(window.form.get(), &Form1::pictureShown, window.form.get(),
                         [this](const QString &name) {
                             shown.append({ name, this->window.platform.clock });
                         });
    }
    QStringList names() const
    {
        QStringList result;
        for (const Shown &picture : shown)
            result << picture.name;
        return result;
    }
    TestWindow &window;
    QList<Shown> shown;
};

QPushButton *startStop(TestWindow &window)
{
    return window.form->CommandWaehlen[Form1::Animate];
}

// Idle: flag down, caption back, every command enabled.
void expectIdle(TestWindow &window)
{
    Form1 &form = *window.form;
    QVERIFY(!form.AnimGo);
    QCOMPARE(startStop(window)->text(), QStringLiteral("Animation starten"));
    QCOMPARE(QAccessible::queryAccessibleInterface(startStop(window))->text(QAccessible::Name),
             QStringLiteral("Animation starten"));
    for (QWidget *control :
         { static_cast<QWidget *>(form.CommandDownload), static_cast<QWidget *>(form.List1),
           static_cast<QWidget *>(form.CommandWaehlen[0]), static_cast<QWidget *>(form.CommandWaehlen[1]),
           static_cast<QWidget *>(form.CommandWaehlen[2]), static_cast<QWidget *>(form.CommandWaehlen[3]),
           static_cast<QWidget *>(form.CommandInfo) })
        QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
}

}

void AnimationTest::showsSelectedInListOrderUntilStopped()
{
    TestWindow window(Five);
    Recorder recorder(window);
    window.select({ Five[1], Five[2], Five[4] });
    QVERIFY(QTest::qWaitForWindowExposed(window.form.get()));
    bool checkedRunning = false;
    QStringList notOnScreen;   // at each wait, the picture before it must be on the screen
    window.platform.duringWait = [&](int wait) {
        Form1 &form = *window.form;
        const QString name = recorder.shown.last().name;
        if (const QString difference = paintedDifference(form.Image1, QImage(window.path(name)));
            !difference.isEmpty())
            notOnScreen << QStringLiteral("wait %1, %2: %3").arg(wait).arg(name, difference);
        if (wait == 1) {
            QVERIFY(form.AnimGo);
            QCOMPARE(form.CWCaption, QStringLiteral("Animation starten"));
            QCOMPARE(startStop(window)->text(), QStringLiteral("Animation stoppen"));
            QCOMPARE(QAccessible::queryAccessibleInterface(startStop(window))->text(QAccessible::Name),
                     QStringLiteral("Animation stoppen"));
            QVERIFY(!form.CommandDownload->isEnabled());
            QVERIFY(!form.List1->isEnabled());
            for (int i = 0; i < 3; ++i)
                QVERIFY(!form.CommandWaehlen[i]->isEnabled());
            QVERIFY(form.CommandInfo->isEnabled());
            QVERIFY(startStop(window)->isEnabled());
            checkedRunning = true;
        }
        if (wait == 6) {
            window.click(startStop(window));
            expectIdle(window);
        }
    };
    window.click(startStop(window));

    QVERIFY(checkedRunning);
    QVERIFY2(notOnScreen.isEmpty(), qPrintable(notOnScreen.join(u'\n')));
    QCOMPARE(recorder.shown,
             (QList<Shown>{ { Five[1], 0ms },
                            { Five[2], 300ms },
                            { Five[4], 600ms },
                            { Five[1], 1900ms },
                            { Five[2], 2200ms },
                            { Five[4], 2500ms } }));
    QCOMPARE(window.platform.waits,
             (QList<std::chrono::milliseconds>{ 300ms, 300ms, 300ms, 1000ms, 300ms, 300ms }));
    expectIdle(window);
    // The list is not refreshed at the stop, and the last picture stays on view.
    QCOMPARE(selectedEntries(window.form->List1), (QStringList{ Five[1], Five[2], Five[4] }));
    QTRY_COMPARE(paintedDifference(window.form->Image1, QImage(window.path(Five[4]))), QString());
    QCOMPARE(window.boxes.seen().size(), 0);
}

void AnimationTest::stopShowsOneMorePicture_data()
{
    QTest::addColumn<int>("stopInWait");
    QTest::addColumn<QStringList>("expected");
    // Selected: the first and the third; waits 1 and 2 follow them, wait 3 is the pass pause.
    QTest::newRow("stop after the first picture") << 1 << QStringList{ Five[0], Five[2] };
    QTest::newRow("stop after the last of a pass") << 2 << QStringList{ Five[0], Five[2], Five[0] };
    QTest::newRow("stop in the pause after a pass") << 3 << QStringList{ Five[0], Five[2], Five[0] };
}

void AnimationTest::stopShowsOneMorePicture()
{
    QFETCH(int, stopInWait);
    QFETCH(QStringList, expected);
    TestWindow window(Five);
    Recorder recorder(window);
    window.select({ Five[0], Five[2] });
    window.platform.duringWait = [&](int wait) {
        if (wait == stopInWait)
            window.click(startStop(window));
    };
    window.click(startStop(window));
    QCOMPARE(recorder.names(), expected);
    expectIdle(window);
}

void AnimationTest::infoBoxFreezesTheSequence()
{
    TestWindow window(Five);
    Recorder recorder(window);
    window.select({ Five[0], Five[1] });
    qsizetype shownWhenOpened = -1;
    qsizetype shownWhenAnswered = -1;
    window.platform.duringWait = [&](int wait) {
        if (wait == 1) {
            window.boxes.answer(QMessageBox::Ok, [&](QMessageBox *) {
                shownWhenOpened = recorder.shown.size();
                QTest::qWait(100);   // real time passes while the box is open
                shownWhenAnswered = recorder.shown.size();
            });
            window.click(window.form->CommandInfo);
        }
        if (wait == 2)
            window.click(startStop(window));
    };
    window.click(startStop(window));

    QCOMPARE(window.boxes.seen().size(), 1);
    QCOMPARE(window.boxes.seen().first().title, QStringLiteral("info"));
    QCOMPARE(shownWhenOpened, 1);
    QCOMPARE(shownWhenAnswered, 1);
    QCOMPARE(recorder.names(), (QStringList{ Five[0], Five[1], Five[0] }));
    expectIdle(window);
}

void AnimationTest::startWhileFinishingNestsANewLoop()
{
    TestWindow window(Five);
    Recorder recorder(window);
    window.select({ Five[0], Five[1] });
    window.platform.duringWait = [&](int wait) {
        if (wait == 1) {
            window.click(startStop(window));   // stop: the old loop is finishing
            window.click(startStop(window));   // start again, nested in the old loop's wait
        }
        if (wait == 3)
            window.click(startStop(window));   // stop the new loop after its second picture
    };
    window.click(startStop(window));

    // Old: 0; new: 0, 1, (pass pause) 0 and ends; old resumes: 1 and ends.
    QCOMPARE(recorder.names(), (QStringList{ Five[0], Five[0], Five[1], Five[0], Five[1] }));
    expectIdle(window);
}

void AnimationTest::finishingLoopEndsWhenNestedCommandsTakeItsPictures_data()
{
    QTest::addColumn<int>("command");
    QTest::newRow("selection cleared") << int(Form1::SelectNone);
    QTest::newRow("files deleted, list shortened") << int(Form1::DeleteSelected);
}

void AnimationTest::finishingLoopEndsWhenNestedCommandsTakeItsPictures()
{
    QFETCH(int, command);
    TestWindow window(Five);
    Recorder recorder(window);
    window.select({ Five[0], Five[3], Five[4] });
    window.platform.duringWait = [&](int wait) {
        if (wait == 1) {
            window.click(startStop(window));
            window.boxes.answer(QMessageBox::Ok);   // the deletion question
            window.click(window.form->CommandWaehlen[command]);
        }
    };
    window.click(startStop(window));

    QCOMPARE(recorder.names(), QStringList{ Five[0] });
    QCOMPARE(window.boxes.unexpected(), 0);
    if (command == Form1::DeleteSelected)
        QCOMPARE(window.files(), (QStringList{ Five[1], Five[2] }));
    expectIdle(window);
}

void AnimationTest::unloadablePictureStopsTheAnimation_data()
{
    QTest::addColumn<QByteArray>("content");   // empty: the file is gone; "|": a named pipe
    QTest::addColumn<QString>("reason");
    // Another format in a picture's name, which only a reader of any format would show.
    QByteArray png;
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && QImage(8, 8, QImage::Format_RGB32).save(&buffer, "PNG"));
    QTest::newRow("removed since the last refresh") << QByteArray() << QString();
    QTest::newRow("not a picture") << QByteArray("<html>Not Found</html>") << QString();
#ifndef Q_OS_WIN   // there a pipe is never a file in a folder
    QTest::newRow("a named pipe in its place") << QByteArray("|") << "Das ist keine gewöhnliche Datei.";
#endif
    QTest::newRow("a PNG named like a picture") << png << QString();
    QTest::newRow("too large to show") << TestGif::blank({ 20000, 20000 })
                                       << "Mit 20.000 × 20.000 Bildpunkten ist das Bild zu groß zum Anzeigen.";
    // 36 MB decoded: within Qt's own limit, beyond the program's.
    QTest::newRow("larger than any satellite picture")
        << TestGif::blank({ 3000, 3000 }) << "Mit 3.000 × 3.000 Bildpunkten ist das Bild zu groß zum Anzeigen.";
}

void AnimationTest::unloadablePictureStopsTheAnimation()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    TestWindow window(Five);
    Recorder recorder(window);
    window.select({ Five[1], Five[2] });
    QFile bad(window.path(Five[2]));
    if (content.isEmpty() || content == "|") {
        QVERIFY(bad.remove());
#ifndef Q_OS_WIN
        if (content == "|")   // opening a pipe with no writer would hang a careless reader
            QCOMPARE(::mkfifo(QFile::encodeName(bad.fileName()).constData(), 0600), 0);
#endif
    } else {
        QVERIFY(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
        bad.write(content);
        bad.close();
    }
    window.boxes.answer(QMessageBox::Ok);
    // Should the picture load after all, the animation would never end: stop it, to fail below.
    window.platform.duringWait = [&](int wait) { if (wait == 3) window.click(startStop(window)); };
    window.click(startStop(window));

    QCOMPARE(recorder.names(), QStringList{ Five[1] });
    QCOMPARE(window.boxes.seen().size(), 1);
    QCOMPARE(boxDifference(window.boxes.seen().first(),
                           errorBox(QStringLiteral("Das Bild %1 kann nicht angezeigt werden.").arg(window.path(Five[2])),
                                    reason)),
             QString());
    expectIdle(window);
    QCOMPARE(listEntries(window.form->List1), Five);   // nothing refreshed
}

void AnimationTest::realWaitsKeepEachPictureOnView()
{
    TestWindow window(Five);
    window.platform.realWaits = true;
    window.select({ Five[0], Five[1] });
    // The first takes longer to load than the second; it still stays on view the whole pause.
    QVERIFY(TestGif::write(window.path(Five[0]), { 1200, 900 }));
    QElapsedTimer clock;
    QList<qint64> shownAt;
    connect(window.form.get(), &Form1::pictureShown, this, [&] { shownAt << clock.elapsed(); });
    // Stopped from a real timer during the pass pause: the first picture comes once more.
    QTimer::singleShot(800, window.form.get(), [&] { window.click(startStop(window)); });
    clock.start();
    window.click(startStop(window));

    QCOMPARE(shownAt.size(), 3);
    QVERIFY2(shownAt[1] - shownAt[0] >= 300, qPrintable(QString::number(shownAt[1] - shownAt[0])));
    QVERIFY2(shownAt[2] - shownAt[1] >= 1300, qPrintable(QString::number(shownAt[2] - shownAt[1])));
    expectIdle(window);
}

void AnimationTest::closingTheWindowEndsTheProgram_data()
{
    QTest::addColumn<bool>("fromInfoBox");
    QTest::newRow("closed during a real wait") << false;
    QTest::newRow("closed while the info box is open") << true;
}

// The program's own event loop, as the program runs it: closing the window must end it
// while the animation runs, with real waits.
void AnimationTest::closingTheWindowEndsTheProgram()
{
    QFETCH(bool, fromInfoBox);
    TestWindow window(Five);
    Recorder recorder(window);
    window.platform.realWaits = true;
    window.select(Five);
    QStringList leftOnScreen;
    QTimer::singleShot(0, window.form.get(), [&] { window.click(startStop(window)); });
    QTimer::singleShot(700, window.form.get(), [&] {
        if (!fromInfoBox) {
            window.form->close();
            return;
        }
        // The box closes with the window, unanswered: no window is left to keep the program.
        window.boxes.answer(QMessageBox::Ok, [&](QMessageBox *) {
            window.form->close();
            leftOnScreen = openTopLevelWindows(nullptr);
        });
        window.click(window.form->CommandInfo);
    });
    QCOMPARE(QApplication::exec(), 0);   // returns once the window is closed

    QCOMPARE(recorder.names(), Five.first(3));
    QVERIFY(!window.form->isVisible());
    QVERIFY2(leftOnScreen.isEmpty(), qPrintable(leftOnScreen.join(u'\n')));
    QCOMPARE(window.boxes.unexpected(), 0);
}

QTEST_MAIN(AnimationTest)
#include "tst_animation.moc"
