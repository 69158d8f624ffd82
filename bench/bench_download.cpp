// What one download costs us (fetch, check, store) next to `curl -o` fetching the same
// body from the same loopback server, in wall time and peak memory.
// Usage: bench_download [rounds]   (default 5)

#include "archive/gifcheck.h"
#include "archive/picturefetcher.h"
#include "archive/picturefolder.h"
#include "base/failure.h"
#include "support/gifwriter.h"
#include "support/httpserver.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs argv[0..] as a child and prints "wall_ns peak_rss_kib exit_code".
// This runs in a fresh, small process on purpose: Linux counts the pages a forked child
// shares with its parent into the child's ru_maxrss, so forking from the benchmark itself
// (which holds the bodies) would charge every child with the benchmark's own memory.
int measure(char **argv)
{
    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return 1;
    clock_gettime(CLOCK_MONOTONIC, &end);
    const long long ns = (end.tv_sec - start.tv_sec) * 1000000000LL + (end.tv_nsec - start.tv_nsec);
    std::printf("%lld %ld %d\n", ns, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128);
    return 0;
}

// The program's own download path, as the window runs it.
int fetchAndStore(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    try {
        PictureFetcher fetcher(QUrl(QString::fromLocal8Bit(argv[2])), PictureFetcher::RequestTimeout);
        const QByteArray body = fetcher.fetch();
        checkPicture(body);
        PictureFolder::storeNew(QString::fromLocal8Bit(argv[3]), body);
    } catch (const Failure &failure) {
        std::fprintf(stderr, "%s %s\n", qPrintable(failure.description()), qPrintable(failure.reason()));
        return 1;
    }
    return 0;
}

struct Sample
{
    double wallMs = 0;
    double peakMiB = 0;
};

Sample runMeasured(const QStringList &command)
{
    QProcess launcher;
    launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    launcher.start(QCoreApplication::applicationFilePath(), QStringList{ "--measure" } + command);
    launcher.waitForFinished(-1);
    const QList<QByteArray> fields = launcher.readAllStandardOutput().simplified().split(' ');
    if (launcher.exitCode() != 0 || fields.size() != 3 || fields[2] != "0") {
        std::fprintf(stderr, "failed: %s\n", qPrintable(command.join(u' ')));
        std::exit(1);
    }
    return { fields[0].toLongLong() / 1e6, fields[1].toLongLong() / 1024.0 };
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool fileEquals(const QString &path, const QByteArray &expected)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll() == expected;
}

}   // namespace

int main(int argc, char *argv[])
{
    if (argc >= 3 && qstrcmp(argv[1], "--measure") == 0)
        return measure(argv + 2);
    if (argc == 4 && qstrcmp(argv[1], "--fetch-and-store") == 0)
        return fetchAndStore(argc, argv);

    // A proxy from the environment would put a third process between client and server.
    for (const char *name : { "http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                              "ALL_PROXY", "no_proxy", "NO_PROXY" })
        qunsetenv(name);

    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    // Frames of a plausible satellite picture, as many as it takes to reach each size.
    const QSize frameSize(800, 600);
    const qsizetype oneFrame = TestGif::make(frameSize, 0, 1).size();
    struct Body
    {
        const char *label;
        QString path;
        int frames;
        QByteArray bytes;
    };
    std::vector<Body> bodies;
    for (const auto &[label, target] : { std::pair{ "1 MiB", 1 << 20 }, std::pair{ "32 MiB", 32 << 20 } }) {
        const int frames = std::max<int>(1, int((target + oneFrame / 2) / oneFrame));
        bodies.push_back(
            { label, QStringLiteral("/%1.gif").arg(frames), frames, TestGif::make(frameSize, 0, frames) });
    }

    // The server answers from a thread of its own, so it serves while we wait for children.
    QThread serverThread;
    serverThread.start();
    QObject context;
    context.moveToThread(&serverThread);
    TestHttpServer *server = nullptr;
    QMetaObject::invokeMethod(
        &context,
        [&] {
            server = new TestHttpServer;
            for (const Body &body : bodies) {
                TestHttpServer::Response response;
                response.headers = { { "Content-Type", "image/gif" } };
                response.body = body.bytes;
                server->setResponse(body.path, response);
            }
        },
        Qt::BlockingQueuedConnection);

    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("picture.gif"));
    const QString self = QCoreApplication::applicationFilePath();

    const Sample floor = runMeasured({ QStringLiteral("true") });
    std::printf("body: GIF89a, %dx%d frames, LZW; %lld bytes per frame\n", frameSize.width(),
                frameSize.height(), static_cast<long long>(oneFrame));
    std::printf("%d rounds, medians; peak RSS of a bare `true` started the same way: %.1f MiB\n\n", rounds,
                floor.peakMiB);
    std::printf("%-8s %7s %10s  %10s %10s %6s  %10s %10s %6s\n", "body", "frames", "bytes", "ours ms",
                "curl ms", "ratio", "ours MiB", "curl MiB", "ratio");

    for (const Body &body : bodies) {
        const QString url = server->url(body.path).toString();
        const QStringList ours{ self, QStringLiteral("--fetch-and-store"), url, target };
        const QStringList curl{ QStringLiteral("curl"),
                                QStringLiteral("-s"),
                                QStringLiteral("--noproxy"),
                                QStringLiteral("*"),
                                QStringLiteral("-o"),
                                target,
                                url };
        std::vector<double> oursWall, oursPeak, curlWall, curlPeak;
        for (int round = 0; round < rounds; ++round) {
            // Taking turns spreads any drift of the machine evenly over both.
            for (const bool isOurs : { true, false }) {
                QFile::remove(target);   // PictureFolder::storeNew never replaces a file
                const Sample sample = runMeasured(isOurs ? ours : curl);
                (isOurs ? oursWall : curlWall).push_back(sample.wallMs);
                (isOurs ? oursPeak : curlPeak).push_back(sample.peakMiB);
                if (round == 0 && !fileEquals(target, body.bytes)) {
                    std::fprintf(stderr, "error: %s stored a file that differs from the %s body\n",
                                 isOurs ? "our path" : "curl", body.label);
                    return 1;
                }
            }
        }
        const double ow = median(oursWall), cw = median(curlWall), op = median(oursPeak),
                     cp = median(curlPeak);
        std::printf("%-8s %7d %10lld  %10.1f %10.1f %6.2f  %10.1f %10.1f %6.2f\n", body.label, body.frames,
                    static_cast<long long>(body.bytes.size()), ow, cw, ow / cw, op, cp, op / cp);
    }

    QMetaObject::invokeMethod(
        &context, [&] { delete server; }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    return 0;
}
