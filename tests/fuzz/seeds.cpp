// nubilo_fuzz_seeds FOLDER: writes the fuzz targets' seeds into FOLDER: pictures of the tests'
// GIF writer, and small cases at the edges of the format, each made from one of them.
#include "support/gifwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <utility>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2 || !QDir().mkpath(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: nubilo_fuzz_seeds FOLDER\n");
        return 2;
    }
    // Where the writer's pictures have their parts: after the header, the screen; after the
    // global palette, the first frame's descriptor and, ten bytes on, its LZW code size.
    constexpr int Screen = 6, Frame = Screen + 7 + 768, CodeSize = Frame + 10;
    const auto patched = [](QByteArray gif, int at, const QByteArray &bytes) { return gif.replace(at, bytes.size(), bytes); };
    const QByteArray small = TestGif::make({ 8, 8 });
    const QList<std::pair<const char *, QByteArray>> seeds = {
        { "one-pixel", TestGif::make({ 1, 1 }) },
        { "small", small },
        { "three-frames", TestGif::make({ 64, 48 }, 1, 3) },
        { "weather-picture", TestGif::make({ 640, 480 }, 2) },
        { "gif87a", patched(small, 3, "87a") },
        { "header-only", small.left(Frame) },
        { "no-trailer", small.chopped(1) },
        { "screen-65535-square", patched(small, Screen, QByteArray(4, '\xff')) },
        { "frame-past-the-screen", patched(small, Frame + 1, QByteArray(4, '\xf0')) },
        { "empty-frame", patched(small, Frame + 5, QByteArray(4, '\0')) },
        { "code-size-12", patched(small, CodeSize, "\x0c") },
        { "extension-unterminated", small.left(Frame) + "\x21\xf9\x04" },
    };
    for (const auto &[name, bytes] : seeds) {
        QFile file(QDir(QString::fromLocal8Bit(argv[1])).filePath(QString::fromLatin1(name) + QStringLiteral(".gif")));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    return 0;
}
