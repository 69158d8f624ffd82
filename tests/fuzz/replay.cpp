// Runs a fuzz target once on each file given and on each file in each folder given, without
// libFuzzer: the tests replay the seeds and the kept reproducers through it, also in builds
// made with another compiler and under Wine.
// Usage: nubilo_fuzz_TARGET_replay FILE_OR_FOLDER...
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (const QString &argument : QCoreApplication::arguments().mid(1)) {
        const QFileInfo given(argument);
        const QFileInfoList inputs =
            given.isDir() ? QDir(argument).entryInfoList(QDir::Files, QDir::Name) : QFileInfoList{ given };
        for (const QFileInfo &input : inputs) {
            QFile file(input.filePath());
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(input.filePath()));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
            ++replayed;
        }
    }
    std::printf("%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
