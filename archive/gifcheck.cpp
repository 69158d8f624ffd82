#include "archive/gifcheck.h"

#include "base/failure.h"

#include <QBuffer>
#include <QImageReader>

namespace {

constexpr char ExtensionIntroducer = 0x21;
constexpr char ImageSeparator = 0x2C;
constexpr char Trailer = 0x3B;
constexpr int HeaderSize = 6;
constexpr int ScreenDescriptorSize = 7;
constexpr int ImageDescriptorSize = 9;
constexpr unsigned char ColorTableFlag = 0x80;

int colorTableSize(unsigned char packed)
{
    return (packed & ColorTableFlag) ? 3 * (2 << (packed & 0x07)) : 0;
}

// Walks the blocks; returns false as soon as the body ends too early or holds a stray byte.
bool structureIsWhole(const QByteArray &body)
{
    const auto *data = reinterpret_cast<const unsigned char *>(body.constData());
    const qsizetype size = body.size();
    qsizetype pos = 0;
    auto has = [&](qsizetype n) { return size - pos >= n; };
    auto skipSubBlocks = [&] {
        while (has(1)) {
            const unsigned char length = data[pos++];
            if (length == 0)
                return true;
            if (!has(length))
                return false;
            pos += length;
        }
        return false;
    };

    if (!has(HeaderSize + ScreenDescriptorSize) || (!body.startsWith("GIF87a") && !body.startsWith("GIF89a")))
        return false;
    pos = HeaderSize + ScreenDescriptorSize;
    pos += colorTableSize(data[HeaderSize + 4]);

    bool sawImage = false;
    while (has(1)) {
        const char introducer = char(data[pos++]);
        if (introducer == Trailer)
            return sawImage;
        if (introducer == ExtensionIntroducer) {
            if (!has(1))
                return false;
            ++pos;   // label
            if (!skipSubBlocks())
                return false;
        } else if (introducer == ImageSeparator) {
            if (!has(ImageDescriptorSize))
                return false;
            const qsizetype tableSize = colorTableSize(data[pos + ImageDescriptorSize - 1]);
            pos += ImageDescriptorSize + tableSize;
            if (!has(1))   // LZW minimum code size
                return false;
            ++pos;
            if (!skipSubBlocks())
                return false;
            sawImage = true;
        } else {
            return false;
        }
    }
    return false;
}

}

void readGifOnly(QImageReader &reader)
{
    reader.setFormat("gif");
    reader.setAutoDetectImageFormat(false);
    QImageReader::setAllocationLimit(PictureMemoryLimitMiB);
}

void checkPicture(const QByteArray &body)
{
    const QString unusable = QStringLiteral("Der Server hat kein brauchbares Satellitenbild geliefert.");
    if (body.isEmpty())
        throw Failure(unusable, QStringLiteral("Der Server hat eine leere Antwort geschickt."));

    if (!structureIsWhole(body))
        throw Failure(unusable, QStringLiteral("Die Antwort ist kein vollständiges GIF-Bild."));

    QByteArray copy = body;   // shares the data; QBuffer needs a non-const array
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    readGifOnly(reader);
    if (reader.read().isNull())
        throw Failure(unusable,
                      QStringLiteral("Das Bild lässt sich nicht anzeigen: %1").arg(reader.errorString()));
}
