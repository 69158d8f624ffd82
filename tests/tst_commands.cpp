#include "support/testwindow.h"

#include "app/picturebox.h"
#include "app/platform.h"
#include "archive/filenames.h"
#include "support/gifwriter.h"
#include "support/painted.h"

#include <QScopeGuard>
#include <QSignalSpy>

#ifdef Q_OS_WIN
#include "archive/systemfiles.h"
#include "support/httpserver.h"

#include <QProcess>
#include <QtCore/qt_windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

// The four selection commands: refusals, selecting, and deleting the selected files.
class CommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installGermanTranslations(); }
    void cleanup() { QCOMPARE(openTopLevelWindows(nullptr), QStringList()); }
    void emptyListRefusesEveryCommand_data();
    void emptyListRefusesEveryCommand();
    void emptySelectionRefusesDeleteAndAnimation_data();
    void emptySelectionRefusesDeleteAndAnimation();
    void selectAllAndNoneNeedNoSelection();
    void cancelledDeletionKeepsFilesAndSelection();
    void deletionRemovesSelectedFilesInListOrder();
#ifdef Q_OS_WIN
    void picturesHeldByAScanner_data();
    void picturesHeldByAScanner();
#endif
    void failedDeletionStopsAtThatFileAndShowsTheDisk_data();
    void failedDeletionStopsAtThatFileAndShowsTheDisk();
    void namesBeyondAsciiPlayAndDelete_data();
    void namesBeyondAsciiPlayAndDelete();
};

namespace {

const QStringList Five = fivePictures();

// The refusal box comes after the beep: the beep count is taken while the box is open.
void expectRefusal(TestWindow &window, int index, const QString &text)
{
    int beepsWhileOpen = -1;
    window.boxes.answer(QMessageBox::Ok, [&](QMessageBox *) { beepsWhileOpen = window.platform.beeps; });
    window.click(window.form->CommandWaehlen[index]);
    QCOMPARE(beepsWhileOpen, 1);
    QCOMPARE(window.boxes.seen().size(), 1);
    QCOMPARE(boxDifference(window.boxes.seen().first(), { QMessageBox::Critical, QStringLiteral("Fehler"), text }),
             QString());
}

void addIndexRows(std::initializer_list<int> indexes)
{
    QTest::addColumn<int>("index");
    for (int index : indexes)
        QTest::addRow("CommandWaehlen %d", index) << index;
}

}

void CommandsTest::emptyListRefusesEveryCommand_data()
{
    addIndexRows({ 0, 1, 2, 3 });
}

void CommandsTest::emptyListRefusesEveryCommand()
{
    QFETCH(int, index);
    TestWindow window;
    expectRefusal(window, index,
                  QStringLiteral("Keine Datei(en) verfügbar.\r\nFühren Sie zuerst einen Download durch."));
    QVERIFY(!window.form->AnimGo);
}

void CommandsTest::emptySelectionRefusesDeleteAndAnimation_data()
{
    addIndexRows({ 2, 3 });
}

void CommandsTest::emptySelectionRefusesDeleteAndAnimation()
{
    QFETCH(int, index);
    TestWindow window(Five);
    expectRefusal(window, index, QStringLiteral("Keine Datei(en) ausgewählt."));
    QCOMPARE(window.files(), Five);
    QVERIFY(!window.form->AnimGo);
    QCOMPARE(window.form->CommandWaehlen[Form1::Animate]->text(), QStringLiteral("Animation starten"));
}

void CommandsTest::selectAllAndNoneNeedNoSelection()
{
    TestWindow window(Five);
    window.click(window.form->CommandWaehlen[Form1::SelectNone]);
    QCOMPARE(selectedEntries(window.form->List1), QStringList());
    window.click(window.form->CommandWaehlen[Form1::SelectAll]);
    QCOMPARE(selectedEntries(window.form->List1), Five);
    window.click(window.form->CommandWaehlen[Form1::SelectNone]);
    QCOMPARE(selectedEntries(window.form->List1), QStringList());
    QCOMPARE(window.platform.beeps, 0);
    QCOMPARE(window.boxes.seen().size(), 0);
}

void CommandsTest::cancelledDeletionKeepsFilesAndSelection()
{
    TestWindow window(Five);
    window.select({ Five[1], Five[3] });
    window.boxes.answer(QMessageBox::Cancel);
    window.click(window.form->CommandWaehlen[Form1::DeleteSelected]);

    QCOMPARE(window.boxes.seen().size(), 1);
    QCOMPARE(boxDifference(window.boxes.seen().first(),
                           { QMessageBox::Question, QStringLiteral("Datei löschen"),
                             QStringLiteral("Die markierte(n) Datei(en) wirklich löschen?"),
                             QMessageBox::Ok | QMessageBox::Cancel, { "OK", "Abbrechen" } }),
             QString());
    QCOMPARE(window.files(), Five);
    QCOMPARE(selectedEntries(window.form->List1), (QStringList{ Five[1], Five[3] }));
}

void CommandsTest::deletionRemovesSelectedFilesInListOrder()
{
    TestWindow window(Five);
    window.select({ Five[0], Five[2], Five[4] });
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandWaehlen[Form1::DeleteSelected]);
    QCOMPARE(window.files(), (QStringList{ Five[1], Five[3] }));
    QCOMPARE(listEntries(window.form->List1), (QStringList{ Five[1], Five[3] }));
    QCOMPARE(selectedEntries(window.form->List1), QStringList());

    // Deleting the rest empties the list, and every command then refuses.
    window.click(window.form->CommandWaehlen[Form1::SelectAll]);
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandWaehlen[Form1::DeleteSelected]);
    QCOMPARE(window.files(), QStringList());
    QCOMPARE(window.form->List1->count(), 0);

    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandWaehlen[Form1::SelectAll]);
    QCOMPARE(window.platform.beeps, 1);
    QCOMPARE(window.boxes.seen().last().text,
             QStringLiteral("Keine Datei(en) verfügbar.\r\nFühren Sie zuerst einen Download durch."));
}

#ifdef Q_OS_WIN
void CommandsTest::picturesHeldByAScanner_data()
{
    QTest::addColumn<int>("hold");   // in ms, from the confirmation of the deletion
    QTest::addColumn<QStringList>("left");
    QTest::newRow("200 ms, not noticed") << 200 << QStringList{ Five[0], Five[2], Five[3] };
    QTest::newRow("5 s, longer than the retries")
        << 5000 << QStringList{ Five[0], Five[2], Five[3], Five[4] };
}

void CommandsTest::picturesHeldByAScanner()
{
    QFETCH(int, hold);
    QFETCH(QStringList, left);
    TestHttpServer server;
    TestHttpServer::Response response;
    response.body = TestGif::make({ 64, 48 }, 7);
    server.setResponse(QStringLiteral("/dyn/pictures/sat.gif"), response);
    TestWindow window(Five.first(4), { .pictureAddress = server.url() });
    QProcess scanner;
    scanner.start(QCoreApplication::applicationDirPath() + QStringLiteral("/nubilo_scanner.exe"),
                  { QDir::toNativeSeparators(window.folder.path()), QString::number(hold) });
    QTRY_VERIFY_WITH_TIMEOUT(scanner.canReadLine(), 30000);   // it has looked at the folder

    // The scanner never gets at the temporary, and the picture of this minute is stored whole.
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandDownload);
    QFile stored(window.path(Five[4]));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), response.body);
    stored.close();
    QByteArray held;
    QTRY_VERIFY_WITH_TIMEOUT((held += scanner.readAll()).contains(Five[4].toUtf8()), 10000);
    QVERIFY2(!held.contains(SystemFiles::TemporaryPrefix), held.constData());

    // Deleting the held picture: the files before it go in any case.
    window.select({ Five[1], Five[4] });
    window.boxes.answer(QMessageBox::Ok, [&](QMessageBox *) {
        scanner.write("\n");
        scanner.waitForBytesWritten();
    });
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandWaehlen[Form1::DeleteSelected]);
    QCOMPARE(window.files(), left);
    QCOMPARE(listEntries(window.form->List1), left);
    QCOMPARE(window.boxes.pending(), left.contains(Five[4]) ? 0 : 1);
    if (left.contains(Five[4]))
        QCOMPARE(boxDifference(window.boxes.seen().last(),
                               errorBox(QStringLiteral("Die Datei %1 konnte nicht gelöscht werden.").arg(window.path(Five[4])))),
                 QString());
    window.click(window.form->CommandWaehlen[Form1::SelectAll]);   // the window goes on
    QCOMPARE(selectedEntries(window.form->List1), left);
    scanner.kill();
    scanner.waitForFinished();
}
#endif

void CommandsTest::failedDeletionStopsAtThatFileAndShowsTheDisk_data()
{
    QTest::addColumn<bool>("heldOpen");   // or else removed
    QTest::newRow("removed by another program") << false;
#ifdef Q_OS_WIN
    QTest::newRow("held open by another program without delete sharing") << true;
#endif
}

void CommandsTest::failedDeletionStopsAtThatFileAndShowsTheDisk()
{
    QFETCH(bool, heldOpen);
    TestWindow window(Five);
    window.select({ Five[0], Five[2], Five[4] });
    // Another program takes the middle one behind the list's back.
    QStringList left = { Five[1], Five[3], Five[4] };
#ifdef Q_OS_WIN
    const HANDLE held = heldOpen
        ? ::CreateFileW(reinterpret_cast<const wchar_t *>(window.path(Five[2]).utf16()), GENERIC_READ,
                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
        : INVALID_HANDLE_VALUE;
    const auto release = qScopeGuard([held] {
        if (held != INVALID_HANDLE_VALUE)
            ::CloseHandle(held);
    });
    if (heldOpen) {
        QVERIFY(held != INVALID_HANDLE_VALUE);
        left = { Five[1], Five[2], Five[3], Five[4] };
    }
#endif
    if (!heldOpen)
        QVERIFY(QFile::remove(window.path(Five[2])));
    window.boxes.answer(QMessageBox::Ok);
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandWaehlen[Form1::DeleteSelected]);

    QCOMPARE(window.files(), left);
    QCOMPARE(listEntries(window.form->List1), window.files());
    QCOMPARE(window.boxes.seen().size(), 2);
    QCOMPARE(boxDifference(window.boxes.seen().last(),
                           errorBox(QStringLiteral("Die Datei %1 konnte nicht gelöscht werden.").arg(window.path(Five[2])))),
             QString());
}

void CommandsTest::namesBeyondAsciiPlayAndDelete_data()
{
    QTest::addColumn<QByteArray>("bytes");   // the name on disk, in UTF-8 where it is text
    QTest::addColumn<QString>("listed");   // empty: a name that is not UTF-8 has no text form of its own
    QTest::newRow("umlaut") << QByteArray("sat-F\xc3\xb6hn.gif") << QStringLiteral("sat-Föhn.gif");
    QTest::newRow("beyond Latin-1") << QByteArray("sat-\xe6\x9d\xb1\xe4\xba\xac.gif")
                                    << QStringLiteral("sat-東京.gif");
#ifndef Q_OS_WIN   // there every name is text
    QTest::newRow("not UTF-8") << QByteArray("sat\xff\xfe-1.gif") << QString();
#endif
}

void CommandsTest::namesBeyondAsciiPlayAndDelete()
{
    // Whatever the list shows, the file on disk must be the one used.
    QFETCH(QByteArray, bytes);
    QFETCH(QString, listed);
    QTemporaryDir folder(folderTemplate());
    const QByteArray picture = TestGif::make();
#ifdef Q_OS_WIN
    QFile file(folder.path() + u'/' + QString::fromUtf8(bytes));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(picture), picture.size());
    file.close();
#else
    // Qt's files take their names as text.
    const int descriptor =
        ::open((QFile::encodeName(folder.path()) + '/' + bytes).constData(), O_CREAT | O_WRONLY, 0644);
    QCOMPARE(::write(descriptor, picture.constData(), picture.size()), picture.size());
    ::close(descriptor);
#endif
    TestWindow window({}, { folder.path() });
    QCOMPARE(window.form->List1->count(), 1);
    QCOMPARE(FileNames::encodeName(window.form->List1->text(0)), bytes);
    if (!listed.isEmpty())
        QCOMPARE(window.form->List1->text(0), listed);

    QVERIFY(QTest::qWaitForWindowExposed(window.form.get()));
    QSignalSpy shown(window.form.get(), &Form1::pictureShown);
    window.platform.duringWait = [&](int) {
        if (window.form->AnimGo)
            window.click(window.form->CommandWaehlen[Form1::Animate]);
    };
    window.click(window.form->CommandWaehlen[Form1::SelectAll]);
    window.click(window.form->CommandWaehlen[Form1::Animate]);
    QCOMPARE(shown.size(), 2);   // shown, stopped, shown once more
    QTRY_COMPARE(paintedDifference(window.form->Image1, QImage::fromData(picture)), QString());

    window.click(window.form->CommandWaehlen[Form1::SelectAll]);
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandWaehlen[Form1::DeleteSelected]);
    QCOMPARE(window.boxes.unexpected(), 0);
    QCOMPARE(folderContents(folder.path()), QStringList());
    QCOMPARE(window.form->List1->count(), 0);
}

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
