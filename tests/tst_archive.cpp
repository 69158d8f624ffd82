#include "archive/gifcheck.h"
#include "archive/picturefolder.h"
#include "archive/systemfiles.h"
#include "base/failure.h"
#include "support/gifwriter.h"
#include "support/testfolder.h"

#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_WIN
#include <QDir>
#include <QScopeGuard>
#include <QtCore/qt_windows.h>

#include <thread>
#endif

// The picture names and the check of fetched pictures, without a window.
class ArchiveTest : public QObject
{
    Q_OBJECT

private slots:
    void pictureNameFromLocalTime_data();
    void pictureNameFromLocalTime();
    void onlyWholePicturesPass_data();
    void onlyWholePicturesPass();
    void pictureBeingReadCanBeReadRenamedAndDeleted();
#ifdef Q_OS_WIN
    void longPathsTakeThePrefix_data();
    void longPathsTakeThePrefix();
    void onlyRefusalsThatMayPassAreTriedAgain_data();
    void onlyRefusalsThatMayPassAreTriedAgain();
#endif
};

void ArchiveTest::pictureNameFromLocalTime_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("name");
    QTest::newRow("afternoon, 24-hour clock")
        << QDateTime({ 2007, 3, 21 }, { 14, 0, 59 }) << "sat070321-1400.gif";
    QTest::newRow("midnight keeps its zeros") << QDateTime({ 2000, 1, 1 }, { 0, 0 }) << "sat000101-0000.gif";
    QTest::newRow("last minute of a century")
        << QDateTime({ 1999, 12, 31 }, { 23, 59 }) << "sat991231-2359.gif";
    QTest::newRow("single digits padded") << QDateTime({ 2026, 2, 3 }, { 4, 5 }) << "sat260203-0405.gif";
}

void ArchiveTest::pictureNameFromLocalTime()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, name);
    QCOMPARE(PictureFolder::pictureName(time), name);
}

void ArchiveTest::onlyWholePicturesPass_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("sound");
    const QByteArray three = TestGif::make({ 30, 20 }, 1, 3);
    QTest::newRow("single frame") << TestGif::make({ 30, 20 }) << true;
    QTest::newRow("three frames") << three << true;
    QTest::newRow("trailer missing") << three.chopped(1) << false;
    QTest::newRow("last frame cut off") << three.left(three.size() * 9 / 10) << false;
    QTest::newRow("header only") << three.left(13) << false;
    QTest::newRow("the signature alone") << three.left(6) << false;
    QTest::newRow("one byte") << three.left(1) << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("HTML named like a picture") << QByteArray("<html>GIF89a</html>") << false;
    QTest::newRow("36 MB decoded, beyond the program's bound") << TestGif::blank({ 3000, 3000 }) << false;
    // A screen of no size takes the first frame's size, as Qt's decoder does.
    const auto noScreen = [](QByteArray gif) { return gif.replace(6, 4, QByteArray(4, '\0')); };
    QTest::newRow("no screen size, a small frame") << noScreen(TestGif::make({ 30, 20 })) << true;
    QTest::newRow("no screen size, a frame of 36 MB") << noScreen(TestGif::blank({ 3000, 3000 })) << false;
}

void ArchiveTest::onlyWholePicturesPass()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, sound);
    if (sound)
        checkPicture(body);
    else
        QVERIFY_THROWS_EXCEPTION(Failure, checkPicture(body));
}

void ArchiveTest::pictureBeingReadCanBeReadRenamedAndDeleted()
{
    // What another program may do meanwhile; Windows refuses it unless the reader shares it.
    QTemporaryDir folder(folderTemplate());
    const QString path = folder.filePath(QStringLiteral("sat070321-1400.gif"));
    const QString renamed = folder.filePath(QStringLiteral("sat070321-1400 (Kopie).gif"));
    putPictures(folder.path(), { QFileInfo(path).fileName() });
    QFile reading;
    SystemFiles::openForReading(reading, path);
    QFile other(path);
    QVERIFY(other.open(QIODevice::ReadOnly));
    other.close();
    QVERIFY(QFile::rename(path, renamed));
    QVERIFY(QFile::remove(renamed));
    QCOMPARE(reading.readAll(), TestGif::make({ 16, 12 }, 0));
}

#ifdef Q_OS_WIN
void ArchiveTest::longPathsTakeThePrefix_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("form");
    const QString name(257, u'a');   // with "C:/", one past the limit
    QTest::newRow("259 characters: as it is") << "C:/" + name.chopped(1) << "C:\\" + name.chopped(1);
    QTest::newRow("260 characters on a drive") << "C:/" + name << "\\\\?\\C:\\" + name;
    QTest::newRow("on a server's share") << "//server/share/" + name << "\\\\?\\UNC\\server\\share\\" + name;
    QTest::newRow("with \"..\", which the prefix would keep")
        << "C:/Wetter/../" + name << "\\\\?\\C:\\" + name;
}

void ArchiveTest::longPathsTakeThePrefix()
{
    QFETCH(QString, path);
    QFETCH(QString, form);
    QCOMPARE(SystemFiles::longPathForm(path), form);
}

void ArchiveTest::onlyRefusalsThatMayPassAreTriedAgain_data()
{
    QTest::addColumn<QString>("file");   // what has the picture's name
    QTest::addColumn<bool>("reading");   // or else deleting
    QTest::addColumn<int>("attempts");   // 0: more than one, while the hold lasts
    QTest::addColumn<int>("error");   // Windows' reason for the refusal; 0: none
    QTest::newRow("reading a picture held for 200 ms") << "held briefly" << true << 0 << 0;
    QTest::newRow("reading a picture held throughout")
        << "held" << true << 11 << int(ERROR_SHARING_VIOLATION);
    QTest::newRow("reading a file that is gone") << QString() << true << 1 << int(ERROR_FILE_NOT_FOUND);
    QTest::newRow("deleting a file that is gone") << QString() << false << 1 << int(ERROR_FILE_NOT_FOUND);
    QTest::newRow("deleting a read-only picture") << "read-only" << false << 1 << int(ERROR_ACCESS_DENIED);
    QTest::newRow("reading a folder") << "folder" << true << 1 << int(ERROR_ACCESS_DENIED);
}

void ArchiveTest::onlyRefusalsThatMayPassAreTriedAgain()
{
    QFETCH(QString, file);
    QFETCH(bool, reading);
    QFETCH(int, attempts);
    QFETCH(int, error);
    QTemporaryDir folder(folderTemplate());
    const QString path = folder.filePath(QStringLiteral("sat070321-1400.gif"));
    if (file == "folder")
        QVERIFY(QDir().mkdir(path));
    else if (!file.isEmpty())
        putPictures(folder.path(), { QFileInfo(path).fileName() });
    if (file == "read-only")
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
    // Held without any sharing, as a sync client may hold it: let go 200 ms later, or when the
    // call is over.
    const HANDLE held = file.startsWith(u"held")
        ? ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ, 0, nullptr,
                        OPEN_EXISTING, 0, nullptr)
        : nullptr;
    QVERIFY(held != INVALID_HANDLE_VALUE);
    const bool brief = file == "held briefly";
    const std::jthread letGo([held, brief] {
        if (brief) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            ::CloseHandle(held);
        }
    });
    const auto letGoAtLast = qScopeGuard([held, brief] {
        if (held && !brief)
            ::CloseHandle(held);
    });

    QFile reader;
    try {
        reading ? SystemFiles::openForReading(reader, path) : SystemFiles::remove(path);
        QCOMPARE(error, 0);
    } catch (const SystemFiles::SystemError &thrown) {
        QCOMPARE(thrown.reason, SystemFiles::windowsError(error).reason);
        // Wine's own words for one of them, in English (wine.sh), apart from the call under test.
        if (error == ERROR_FILE_NOT_FOUND)
            QCOMPARE(thrown.reason, QStringLiteral("File not found."));
    }
    const int made = SystemFiles::attemptsOfLastCall();
    QVERIFY2(attempts ? made == attempts : made > 1 && made < 11, qPrintable(QString::number(made)));
}
#endif

QTEST_GUILESS_MAIN(ArchiveTest)
#include "tst_archive.moc"
