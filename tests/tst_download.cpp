#include "support/gifwriter.h"
#include "support/httpserver.h"
#include "support/testwindow.h"

#include "app/platform.h"

#include <QGuiApplication>
#include <QProcess>
#include <QSslKey>
#include <QTcpServer>
#include <QTemporaryFile>

#include <cerrno>
#include <ctime>

#ifdef Q_OS_WIN
#include "archive/picturefolder.h"

#include <QtCore/qt_windows.h>
#else
#include "support/failingsync.h"

#include <sys/stat.h>
#endif

using namespace std::chrono_literals;
using Response = TestHttpServer::Response;

// "Download!" against a real HTTP server on 127.0.0.1.
class DownloadTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { QCOMPARE(openTopLevelWindows(nullptr), QStringList()); }
    void fixedAddressAndTimeout();
    void storesThePictureOncePerMinute();
    void namesThePictureByTheSystemClock();
    void followsRedirects();
#ifndef Q_OS_WIN
    void httpsWithoutHttp2();
#endif
    void goesThroughTheSystemProxy();
    void faultsStoreNothing_data();
    void faultsStoreNothing();
    void refusedConnectionIsReported();
    void writeFailuresLeaveNoDebris_data();
    void writeFailuresLeaveNoDebris();
    void takenNameIsNeverReplaced_data();
    void takenNameIsNeverReplaced();
    void windowWaitsBusyAndTakesNoSecondClick();
    void closingDuringTheFetchEndsIt();
#ifdef Q_OS_WIN
    void folderPastMaxPath();
#endif

private:
    const QString m_name = QStringLiteral("sat070321-1400.gif");   // the fake clock's minute
    const QByteArray m_picture = TestGif::make({ 64, 48 }, 7);
};

namespace {

const QString FetchFailed = QStringLiteral("Das Satellitenbild konnte nicht geladen werden.");
const QString Unusable = QStringLiteral("Der Server hat kein brauchbares Satellitenbild geliefert.");
const QString Late = QStringLiteral("Der Server hat nicht innerhalb von 0,5 Sekunden geantwortet.");

Response answer(const QByteArray &body, Response::Mode mode = Response::Mode::Normal)
{
    Response response;
    response.body = body;
    response.mode = mode;
    return response;
}

Response status(int code, const QByteArray &reason)
{
    Response response = answer("<html><body>Fehlerseite</body></html>");
    response.status = code;
    response.reason = reason;
    return response;
}

Response redirect(const QByteArray &to)
{
    Response response = status(302, "Found");
    response.headers = { { "Location", to } };
    return response;
}

// A gzip body that inflates to 1 + 258 * copies zero bytes: a zero, then copies of the last
// 258 bytes in fixed deflate codes, 13 bits each, as such bombs are built.
QByteArray gzipBomb(qint64 copies)
{
    QByteArray out = QByteArray::fromHex("1f8b08000000000002ff");
    quint32 bits = 0;
    int pending = 0;
    const auto put = [&](quint32 value, int width) {
        bits |= value << pending;
        for (pending += width; pending >= 8; pending -= 8, bits >>= 8)
            out.append(char(bits));
    };
    const auto putCode = [&](quint32 code, int width) {   // codes go most significant bit first
        for (int bit = width - 1; bit >= 0; --bit)
            put(code >> bit & 1, 1);
    };
    put(1, 1);   // the last block,
    put(1, 2);   // in fixed codes
    putCode(0x30, 8);   // literal 0
    for (qint64 i = 0; i < copies; ++i) {
        putCode(0xC5, 8);   // length 258
        putCode(0, 5);   // distance 1
    }
    putCode(0, 7);   // end of block
    if (pending > 0)
        out.append(char(bits));

    const qint64 size = 1 + 258 * copies;
    quint32 table[256];   // CRC-32, as the gzip trailer wants it
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = c >> 1 ^ (c & 1 ? 0xEDB88320 : 0);
        table[n] = c;
    }
    quint32 crc = 0xFFFFFFFF;
    for (qint64 i = 0; i < size; ++i)
        crc = table[crc & 0xFF] ^ crc >> 8;
    for (const quint32 value : { ~crc, quint32(size) })
        for (int shift = 0; shift < 32; shift += 8)
            out.append(char(value >> shift));
    return out;
}

// Brotli's framing around bytes that it leaves as they are (at most 64 KiB): a decoder gives
// them back whole. A window of 16 bits, one block of the bytes, then the last, empty one.
QByteArray brotliStored(const QByteArray &raw)
{
    const quint32 header = quint32(raw.size() - 1) << 4 | 1u << 20;
    const char start[] = { char(header), char(header >> 8), char(header >> 16) };
    return QByteArray(start, sizeof start) + raw + char(0x03);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#ifdef Q_OS_WIN
constexpr bool NamesIgnoreCase = true;

// While it lives, the user's Internet settings name a proxy, in the form in which Windows' own
// settings keep it and from which the calls that Qt makes read it; afterwards they are as before.
class SystemProxy
{
public:
    explicit SystemProxy(const QString &server)
    {
        QCOMPARE(::RegCreateKeyExW(HKEY_CURRENT_USER, Key, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                   &m_key, nullptr),
                 ERROR_SUCCESS);
        DWORD size = 0;
        if (::RegQueryValueExW(m_key, Value, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
            m_before.resize(size);
            ::RegQueryValueExW(m_key, Value, nullptr, nullptr, reinterpret_cast<BYTE *>(m_before.data()),
                               &size);
        }
        // A version, a counter and the flag "through a proxy"; then the proxy, the addresses that
        // bypass it and a script's address, each after its length.
        QByteArray settings;
        const auto word = [&settings](quint32 value) {
            settings.append(reinterpret_cast<const char *>(&value), 4);
        };
        for (const quint32 value : { 0x46, 1, 2 })
            word(value);
        for (const QByteArray &text : { server.toLatin1(), QByteArray(), QByteArray() }) {
            word(quint32(text.size()));
            settings += text;
        }
        QCOMPARE(::RegSetValueExW(m_key, Value, 0, REG_BINARY,
                                  reinterpret_cast<const BYTE *>(settings.constData()),
                                  DWORD(settings.size())),
                 ERROR_SUCCESS);
    }
    ~SystemProxy()
    {
        if (m_before.isEmpty())
            ::RegDeleteValueW(m_key, Value);
        else
            ::RegSetValueExW(m_key, Value, 0, REG_BINARY,
                             reinterpret_cast<const BYTE *>(m_before.constData()), DWORD(m_before.size()));
        ::RegCloseKey(m_key);
    }

private:
    static constexpr wchar_t Key[] =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
    static constexpr wchar_t Value[] = L"DefaultConnectionSettings";
    HKEY m_key = nullptr;
    QByteArray m_before;
};
#else
constexpr bool NamesIgnoreCase = false;

// A tmpfs of our own, since root writes through any chmod. Empty when mounting is refused.
QString mountTmpfs(const QString &where, const QString &options)
{
    QDir().mkpath(where);
    return QProcess::execute(QStringLiteral("mount"), { "-t", "tmpfs", "-o", options, "tmpfs", where }) == 0
        ? where
        : QString();
}
#endif

}

void DownloadTest::initTestCase()
{
    installGermanTranslations();
    // The test server is on this machine; a proxy from the environment must not get in between.
    for (const char *variable :
         { "http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY" })
        qunsetenv(variable);
}

void DownloadTest::fixedAddressAndTimeout()
{
    QCOMPARE(PictureFetcher::PictureAddress,
             QUrl(QStringLiteral("http://www.zamg.ac.at/dyn/pictures/sat.gif")));
    QCOMPARE(PictureFetcher::RequestTimeout, 60s);
    QCOMPARE(PictureFetcher::MaxBodySize, 64 * 1024 * 1024);
    TestWindow window;
    QCOMPARE(window.form->Inet1->address(), PictureFetcher::PictureAddress);
}

void DownloadTest::storesThePictureOncePerMinute()
{
    TestHttpServer server;
    server.setResponse(QStringLiteral("/dyn/pictures/sat.gif"), answer(m_picture));
    TestWindow window({ "sat070321-1300.gif" }, { .pictureAddress = server.url() });

    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandDownload);
    QCOMPARE(server.requestCount(), 1);
    QCOMPARE(window.files(), (QStringList{ "sat070321-1300.gif", m_name }));
    QCOMPARE(readAll(window.path(m_name)), m_picture);
#ifdef Q_OS_WIN
    // Like any file the user makes: not hidden as the temporary it was written as.
    QVERIFY(!QFileInfo(window.path(m_name)).isHidden());
#else
    // Like any file the user makes: not private to the temporary it was written as.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    struct stat status;
    QCOMPARE(::stat(QFile::encodeName(window.path(m_name)).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, 0666 & ~mask);
#endif
    QCOMPARE(window.boxes.seen().size(), 1);
    QCOMPARE(boxDifference(window.boxes.seen().first(),
                           { QMessageBox::Information, QStringLiteral("Download"),
                             QStringLiteral("Satellitenbild wurde erfolgreich geladen.\r\n") + window.path(m_name) }),
             QString());
    QCOMPARE(listEntries(window.form->List1), window.files());

    // The same minute again: no request, no message, but a fresh list.
    window.click(window.form->CommandWaehlen[Form1::SelectAll]);
    window.click(window.form->CommandDownload);
    QCOMPARE(server.requestCount(), 1);
    QCOMPARE(window.boxes.seen().size(), 1);
    QCOMPARE(selectedEntries(window.form->List1), QStringList());

    // A minute later, a second file, even though the server's picture is the same.
    window.platform.now = window.platform.now.addSecs(60);
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandDownload);
    QCOMPARE(server.requestCount(), 2);
    QCOMPARE(window.files(), (QStringList{ "sat070321-1300.gif", m_name, "sat070321-1401.gif" }));
    QCOMPARE(readAll(window.path(QStringLiteral("sat070321-1401.gif"))), m_picture);
}

void DownloadTest::namesThePictureByTheSystemClock()
{
    // The window with no platform of the test's: the name comes from the system's own clock,
    // read before and after the click, as the click may fall across a minute's end. The test
    // runs 5:45 h east of UTC (TZ in CMakeLists.txt), and reads the local time from the C
    // library, apart from the program's way through Qt.
    TestHttpServer server;
    server.setResponse(QStringLiteral("/dyn/pictures/sat.gif"), answer(m_picture));
    QTemporaryDir folder(folderTemplate());
    BoxAnswerer boxes;
    Form1 form({ .programFolder = folder.path(), .pictureAddress = server.url() });
    form.show();
    const auto name = [](std::tm *(*convert)(const std::time_t *)) {
        const std::time_t now = std::time(nullptr);
        char text[32];
        std::strftime(text, sizeof text, "sat%y%m%d-%H%M.gif", convert(&now));
        return QString::fromLatin1(text);
    };
    const QString before = name(std::localtime);
    QVERIFY2(before != name(std::gmtime), "The test runs in a time zone with an offset from UTC.");
    boxes.answer(QMessageBox::Ok);
    QTest::mouseClick(form.CommandDownload, Qt::LeftButton);
    const QStringList stored = folderContents(folder.path());
    QVERIFY2(stored == QStringList{ before } || stored == QStringList{ name(std::localtime) },
             qPrintable(stored.join(u' ')));
}

void DownloadTest::followsRedirects()
{
    TestHttpServer server;
    server.setResponse(QStringLiteral("/old"), redirect("/dyn/pictures/sat.gif"));
    server.setResponse(QStringLiteral("/dyn/pictures/sat.gif"), answer(m_picture));
    TestWindow window({}, { .pictureAddress = server.url(QStringLiteral("/old")) });
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandDownload);
    // As one string, so that a failure shows every request (a rare third one under Wine).
    QCOMPARE(server.requestedPaths().join(' '), "/old /dyn/pictures/sat.gif");
    QCOMPARE(server.requestHeaders("Accept-Encoding"), QByteArrayList(2, "identity"));
    QCOMPARE(readAll(window.path(m_name)), m_picture);
}

#ifndef Q_OS_WIN   // a server over Windows' own TLS is not what Wine shows well
void DownloadTest::httpsWithoutHttp2()
{
    // Redirected to https, by a server that offers HTTP/2 first: the fetch speaks HTTP/1.1.
    QTemporaryDir keys;
    const QString certificate = keys.filePath("certificate.pem"), key = keys.filePath("key.pem");
    QCOMPARE(QProcess::execute("openssl", { "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                                            "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext",
                                            "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", certificate }),
             0);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate::fromPath(certificate).value(0));
    tls.setPrivateKey(QSslKey(readAll(key), QSsl::Ec));
    tls.setAllowedNextProtocols({ QSslConfiguration::ALPNProtocolHTTP2, QSslConfiguration::NextProtocolHttp1_1 });
    TestHttpServer https(tls), http;
    https.setResponse(QStringLiteral("/dyn/pictures/sat.gif"), answer(m_picture));
    http.setResponse(QStringLiteral("/dyn/pictures/sat.gif"), redirect(https.url().toEncoded()));
    // The fetch trusts that certificate as it trusts the system's.
    const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = before;
    trusting.addCaCertificates(certificate);
    QSslConfiguration::setDefaultConfiguration(trusting);
    const auto restore = qScopeGuard([&] { QSslConfiguration::setDefaultConfiguration(before); });

    TestWindow window({}, { .pictureAddress = http.url() });
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandDownload);
    // One connection, on which ALPN chose nothing: the fetch offered no HTTP/2.
    QCOMPARE(https.negotiatedProtocols(), QByteArrayList{ QByteArray() });
    QCOMPARE(readAll(window.path(m_name)), m_picture);
}
#endif

void DownloadTest::goesThroughTheSystemProxy()
{
    // Our server plays the proxy; the picture's host is one that must never resolve.
    TestHttpServer proxy;
    const QString address = QStringLiteral("http://nubilo.invalid/dyn/pictures/sat.gif");
    proxy.setResponse(address, answer(m_picture));
#ifdef Q_OS_WIN
    const SystemProxy system(proxy.url().authority());
#else
    qputenv("http_proxy", proxy.url(QStringLiteral("/")).toEncoded());
    const auto unset = qScopeGuard([] { qunsetenv("http_proxy"); });
#endif
    TestWindow window({}, { .pictureAddress = QUrl(address) });
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandDownload);
    QCOMPARE(proxy.requestedPaths(), QStringList{ address });
    QCOMPARE(proxy.requestHeaders("Accept-Encoding"), QByteArrayList{ "identity" });
    QCOMPARE(readAll(window.path(m_name)), m_picture);
}

void DownloadTest::faultsStoreNothing_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("reason");   // empty: the system's own words, only required to be there

    const QByteArray picture = m_picture;
    Response tooLarge = answer(picture);
    tooLarge.headers = { { "Content-Length", QByteArray::number(PictureFetcher::MaxBodySize + 1) } };
    Response drip = answer(picture, Response::Mode::Drip);
    drip.dripInterval = 50ms;

    QTest::newRow("status 404") << status(404, "Not Found") << FetchFailed
                                << QStringLiteral("Der Server antwortete mit dem Status 404 Not Found.");
    QTest::newRow("status 500") << status(500, "Internal Server Error") << FetchFailed
                                << QStringLiteral(
                                       "Der Server antwortete mit dem Status 500 Internal Server Error.");
    QTest::newRow("closed before the announced length")
        << answer(picture, Response::Mode::CloseEarly) << FetchFailed << QString();
    QTest::newRow("headers, then a stall") << answer(picture, Response::Mode::Stall) << FetchFailed << Late;
    QTest::newRow("no answer at all") << answer(picture, Response::Mode::Silent) << FetchFailed << Late;
    QTest::newRow("a drip that beats an idle time-out") << drip << FetchFailed << Late;
    QTest::newRow("redirect loop") << redirect("/dyn/pictures/sat.gif") << FetchFailed << QString();
    QTest::newRow("announced length above the cap")
        << tooLarge << FetchFailed << QStringLiteral("Die Antwort ist größer als 64 MiB.");
    QTest::newRow("endless body without length")
        << answer(QByteArray(PictureFetcher::MaxBodySize + 1, 'x'), Response::Mode::NoLength) << FetchFailed
        << QStringLiteral("Die Antwort ist größer als 64 MiB.");
    // Asked for the body as it is, a server that encodes it anyway gets nothing decoded.
    const auto encoded = [](const QByteArray &body, const QByteArray &encoding) {
        Response response = answer(body);
        response.headers = { { "Content-Encoding", encoding } };
        return response;
    };
    const QString noGif = QStringLiteral("Die Antwort ist kein vollständiges GIF-Bild.");
    QTest::newRow("gzip that would inflate to 258 MB")
        << encoded(gzipBomb(1'000'000), "gzip") << Unusable << noGif;
    QTest::newRow("the picture in deflate") << encoded(qCompress(picture).mid(4), "deflate") << Unusable << noGif;
    QTest::newRow("the picture in brotli") << encoded(brotliStored(picture), "br") << Unusable << noGif;
    QTest::newRow("36 MB decoded, beyond the program's bound")
        << answer(TestGif::blank({ 3000, 3000 })) << Unusable
        << QStringLiteral("Mit 3.000 × 3.000 Bildpunkten ist das Bild zu groß zum Anzeigen.");
    QTest::newRow("empty body") << answer({}) << Unusable
                                << QStringLiteral("Der Server hat eine leere Antwort geschickt.");
    QTest::newRow("an HTML page") << answer("<html><body>Wartung</body></html>") << Unusable
                                  << QStringLiteral("Die Antwort ist kein vollständiges GIF-Bild.");
    QTest::newRow("a picture cut off, no length announced")
        << answer(picture.left(picture.size() - 2), Response::Mode::NoLength) << Unusable
        << QStringLiteral("Die Antwort ist kein vollständiges GIF-Bild.");
}

void DownloadTest::faultsStoreNothing()
{
    QFETCH(Response, response);
    QFETCH(QString, description);
    QFETCH(QString, reason);

    TestHttpServer server;
    server.setResponse(QStringLiteral("/dyn/pictures/sat.gif"), response);
    // Only the time-out's rows have a short one: the others end for their own reason, however
    // long the machine takes to move 64 MiB (a sanitized build takes over a second).
    const std::chrono::milliseconds timeout = reason == Late ? 500ms : PictureFetcher::RequestTimeout;
    TestWindow window({ "sat070321-1300.gif" }, { .pictureAddress = server.url(), .fetchTimeout = timeout });
    window.form->List1->selectAll();
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandDownload);

    QCOMPARE(window.boxes.seen().size(), 1);
    QCOMPARE(boxDifference(window.boxes.seen().first(), errorBox(description, reason)), QString());
    QCOMPARE(window.files(), QStringList{ "sat070321-1300.gif" });
    QCOMPARE(selectedEntries(window.form->List1), QStringList());   // refreshed
    for (const QByteArray &encodings : server.requestHeaders("Accept-Encoding"))
        QCOMPARE(encodings, "identity");
}

void DownloadTest::refusedConnectionIsReported()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QUrl address(QStringLiteral("http://127.0.0.1:%1/dyn/pictures/sat.gif").arg(closed.serverPort()));
    closed.close();
    TestWindow window({}, { .pictureAddress = address });
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandDownload);

    QCOMPARE(window.boxes.seen().size(), 1);
    QCOMPARE(boxDifference(window.boxes.seen().first(), errorBox(FetchFailed)), QString());
    QCOMPARE(window.files(), QStringList());
}

void DownloadTest::writeFailuresLeaveNoDebris_data()
{
    QTest::addColumn<QString>("options");   // of a tmpfs for the folder; none: a sync fails
    QTest::addColumn<int>("error");   // 0: the system's own words, only required to be there
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<bool>("pictureUnsynced");   // with no tmpfs: the picture's sync fails, not the folder's
#ifdef Q_OS_WIN
    // Such as a folder under C:\Program Files: read-only-folder.sh makes one beside the tests.
    QTest::newRow("folder the user may not write to") << QString() << 0 << QStringList() << false;
#else
    QTest::newRow("read-only folder") << QStringLiteral("size=1m,ro") << EROFS << QStringList() << false;
    QTest::newRow("disk full") << QStringLiteral("size=16k") << ENOSPC << QStringList() << false;
    // The picture is whole; only its name might not survive a power cut.
    QTest::newRow("folder not synced") << QString() << EIO << QStringList{ m_name } << false;
    // Its bytes might not be on the disk: it gets no name, and its temporary goes.
    QTest::newRow("picture not synced") << QString() << EIO << QStringList() << true;
#endif
}

void DownloadTest::writeFailuresLeaveNoDebris()
{
    QFETCH(QString, options);
    QFETCH(int, error);
    QFETCH(QStringList, kept);
#ifdef Q_OS_WIN
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/read-only");
    if (!QFileInfo(folder).isDir() || QTemporaryFile(folder + QStringLiteral("/probe")).open())
        QSKIP("This test needs a folder the user may not write to, as read-only-folder.sh makes.");
#else
    QTemporaryDir scratch;
    const QString folder =
        options.isEmpty() ? scratch.path() : mountTmpfs(scratch.path() + QStringLiteral("/mnt"), options);
    if (folder.isEmpty())
        QSKIP("This test needs to mount a tmpfs (root).");
    const auto unmount = qScopeGuard([&] {
        if (!options.isEmpty())
            QProcess::execute(QStringLiteral("umount"), { folder });
    });
    QFETCH(bool, pictureUnsynced);
    const FailingSync failingSync(options.isEmpty() ? folder : QString(), error,
                                  pictureUnsynced ? FailingSync::FilesInside : FailingSync::Itself);
#endif

    TestHttpServer server;
    server.setResponse(QStringLiteral("/dyn/pictures/sat.gif"), answer(TestGif::make({ 400, 300 }, 3)));
    TestWindow window({}, { .programFolder = folder, .pictureAddress = server.url() });
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandDownload);

    QCOMPARE(window.boxes.seen().size(), 1);
    QCOMPARE(boxDifference(window.boxes.seen().first(),
                           errorBox(QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.").arg(window.path(m_name)),
                                    error != 0 ? qt_error_string(error) : QString())),
             QString());
    QCOMPARE(window.files(), kept);
    QCOMPARE(listEntries(window.form->List1), kept);
}

void DownloadTest::takenNameIsNeverReplaced_data()
{
    QTest::addColumn<QString>("other");   // a file that is not ours
    QTest::addColumn<bool>("beforeTheClick");   // or else it appears while the picture is fetched
    QTest::addColumn<QStringList>("files");   // in the folder afterwards
    QTest::addColumn<QString>("said");   // part of the box's text; empty: no box
    QTest::addColumn<int>("renameError");   // of the exclusive rename, where the system has one

    const QString taken = QStringLiteral("Eine Datei dieses Namens ist inzwischen vorhanden.");
    const QString stored = QStringLiteral("Satellitenbild wurde erfolgreich geladen.");
    // Copied from an old FAT stick; where names ignore letter case it is this minute's picture.
    const QString capitals = m_name.toUpper();
    const QStringList both = { capitals, m_name };
    QTest::newRow("same name, appearing meanwhile") << m_name << false << QStringList{ m_name } << taken << 0;
    QTest::newRow("in capitals, appearing meanwhile")
        << capitals << false << (NamesIgnoreCase ? QStringList{ capitals } : both)
        << (NamesIgnoreCase ? taken : stored) << 0;
    QTest::newRow("in capitals, there before the click")
        << capitals << true << (NamesIgnoreCase ? QStringList{ capitals } : both)
        << (NamesIgnoreCase ? QString() : stored) << 0;
#ifndef Q_OS_WIN
    // Some network and FUSE file systems refuse the exclusive rename; a hard link stands in.
    QTest::newRow("no exclusive rename (EINVAL)") << capitals << false << both << stored << EINVAL;
    QTest::newRow("no exclusive rename (ENOSYS)") << capitals << false << both << stored << ENOSYS;
    QTest::newRow("no exclusive rename, same name appearing meanwhile")
        << m_name << false << QStringList{ m_name } << taken << ENOSYS;
#endif
}

void DownloadTest::takenNameIsNeverReplaced()
{
    QFETCH(QString, other);
    QFETCH(bool, beforeTheClick);
    QFETCH(QStringList, files);
    QFETCH(QString, said);
#ifndef Q_OS_WIN
    QFETCH(int, renameError);
    const FailingRename failingRename(renameError);
#endif
    TestHttpServer server;
    Response response = answer(m_picture);
    TestWindow window({}, { .pictureAddress = server.url() });
    const auto putOther = [&] { putPictures(window.folder.path(), { other }); };
    if (beforeTheClick)
        putOther();
    else
        response.onRequest = putOther;
    server.setResponse(QStringLiteral("/dyn/pictures/sat.gif"), response);
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandDownload);

    QCOMPARE(window.files(), files);
    QCOMPARE(readAll(window.path(other)), TestGif::make({ 16, 12 }, 0));   // untouched
    if (files.contains(m_name) && other != m_name)
        QCOMPARE(readAll(window.path(m_name)), m_picture);
    QCOMPARE(window.boxes.seen().size(), said.isEmpty() ? 0 : 1);
    if (!said.isEmpty())
        QVERIFY2(window.boxes.seen().first().text.contains(said),
                 qPrintable(window.boxes.seen().first().text));
}

void DownloadTest::windowWaitsBusyAndTakesNoSecondClick()
{
    TestHttpServer server;
    Response drip = answer(TestGif::make({ 2, 2 }), Response::Mode::Drip);
    drip.dripInterval = 10ms;
    bool busyDuringFetch = false;
    TestWindow window({}, { .pictureAddress = server.url() });
    drip.onRequest = [&] {
        busyDuringFetch =
            QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
        QTimer::singleShot(20, window.form.get(), [&] {
            window.click(window.form->CommandDownload);
            window.click(window.form->CommandInfo);
        });
    };
    server.setResponse(QStringLiteral("/dyn/pictures/sat.gif"), drip);
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandDownload);

    QVERIFY(busyDuringFetch);
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(server.requestCount(), 1);
    QCOMPARE(window.boxes.seen().size(), 1);   // the confirmation only, no info box
    QCOMPARE(window.files(), QStringList{ m_name });
}

void DownloadTest::closingDuringTheFetchEndsIt()
{
    bool endedByTheClose = true;
    auto server = std::make_unique<TestHttpServer>();
    server->setResponse(QStringLiteral("/dyn/pictures/sat.gif"), answer(m_picture, Response::Mode::Stall));
    TestWindow window({}, { .pictureAddress = server->url() });
    QTimer::singleShot(100, window.form.get(), [&] { window.form->close(); });
    // A fetch that the close did not end would wait out its minute: the server hangs up
    // long before that, and the test fails without waiting with it.
    QTimer::singleShot(5000, window.form.get(), [&] {
        endedByTheClose = false;
        server.reset();
    });
    window.click(window.form->CommandDownload);

    QVERIFY(endedByTheClose);
    QVERIFY(!window.form->isVisible());
    QCOMPARE(window.boxes.seen().size(), 0);
    QCOMPARE(window.files(), QStringList());
}

#ifdef Q_OS_WIN
void DownloadTest::folderPastMaxPath()
{
    // Beyond MAX_PATH (260 characters) Windows' calls reach a file only by a \\?\ path.
    QTemporaryDir scratch(folderTemplate());
    const QString folder = scratch.filePath(QString(120, u'a') + u'/' + QString(120, u'b'));
    QVERIFY(QDir().mkpath(folder));
    TestHttpServer server;
    server.setResponse(QStringLiteral("/dyn/pictures/sat.gif"), answer(m_picture));
    TestWindow window({}, { .programFolder = folder, .pictureAddress = server.url() });
    QVERIFY(window.path(m_name).size() > MAX_PATH);

    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandDownload);
    QCOMPARE(listEntries(window.form->List1), QStringList{ m_name });
    QCOMPARE(readAll(window.path(m_name)), m_picture);
    QCOMPARE(PictureFolder::readPicture(window.path(m_name)).size(), QSize(64, 48));
    window.click(window.form->CommandWaehlen[Form1::SelectAll]);
    window.boxes.answer(QMessageBox::Ok);
    window.click(window.form->CommandWaehlen[Form1::DeleteSelected]);
    QCOMPARE(window.files(), QStringList());
    QCOMPARE(window.boxes.seen().size(), 2);   // the confirmation and the question, no "Fehler"
}
#endif

QTEST_MAIN(DownloadTest)
#include "tst_download.moc"
