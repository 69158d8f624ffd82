// nubilo_makesamples <folder> [<name>...]
// Writes one distinct sample picture per name into folder, for screenshots and benchmarks;
// without names, the four pictures of one morning that they all show.

#include "support/gifwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QSize>

#include <cstdio>

namespace {

constexpr QSize kSampleSize{ 640, 480 };
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kMinArguments = 1;

}   // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() < kMinArguments) {
        std::fprintf(stderr, "usage: nubilo_makesamples <folder> [<name>...]\n");
        return kExitUsage;
    }
    const QDir folder(arguments.first());
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create folder %s\n", qPrintable(folder.path()));
        return kExitFailure;
    }
    QStringList names = arguments.mid(1);
    if (names.isEmpty())
        names = { "sat261207-0900.gif", "sat261207-1000.gif", "sat261207-1100.gif", "sat261207-1200.gif" };
    for (int index = 0; index < names.size(); ++index) {
        const QString path = folder.filePath(names[index]);
        if (!TestGif::write(path, kSampleSize, index)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return kExitFailure;
        }
    }
    return 0;
}
