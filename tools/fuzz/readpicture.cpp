// Fuzz target: any file in the picture folder, read as the animation reads it to show it.
#include "archive/picturefolder.h"
#include "base/failure.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("sat070321-1400.gif"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();   // the fuzzer's own folder, not the input, failed
    file.close();
    try {
        PictureFolder::readPicture(path);
    } catch (const Failure &) {
        // Refused with its reason, as most inputs are.
    }
    return 0;
}
