#include "archive/gifcheck.h"

#include "base/failure.h"

#include <QBuffer>
#include <QImageReader>
#include <QLocale>

#include <algorithm>

namespace {

constexpr char ExtensionIntroducer = 0x21;
constexpr char ImageSeparator = 0x2C;
constexpr char Trailer = 0x3B;
constexpr int HeaderSize = 6;
constexpr int ScreenDescriptorSize = 7;
constexpr int ImageDescriptorSize = 9;
constexpr unsigned char ColorTableFlag = 0x80;
constexpr int BytesPerPixel = 4;   // Qt decodes a GIF into 32-bit pixels
// Enough of a file to reach its first frame past the palette and the usual extensions.
constexpr qint64 LookAhead = 64 * 1024;

int colorTableSize(unsigned char packed)
{
    return (packed & ColorTableFlag) ? 3 * (2 << (packed & 0x07)) : 0;
}

// A walk over a GIF's blocks that stops where the bytes end or hold something else.
class Blocks
{
public:
    explicit Blocks(const QByteArray &bytes)
        : m_data(reinterpret_cast<const unsigned char *>(bytes.constData())),
          m_size(bytes.size())
    { }

    // The header and the logical screen, then past the global palette.
    bool header()
    {
        if (!has(HeaderSize + ScreenDescriptorSize)
            || (!startsWith("GIF87a") && !startsWith("GIF89a")))
            return false;
        m_screen = { word(HeaderSize), word(HeaderSize + 2) };
        m_pos = HeaderSize + ScreenDescriptorSize + colorTableSize(m_data[HeaderSize + 4]);
        return true;
    }
    QSize screen() const { return m_screen; }

    // The next block's introducer, or 0 where the bytes end.
    char next() { return has(1) ? char(m_data[m_pos++]) : 0; }

    bool skipExtension()
    {
        if (!has(1))
            return false;
        ++m_pos;   // label
        return skipSubBlocks();
    }

    // The frame's right and bottom edge on the screen, then past its palette.
    bool imageDescriptor(QSize *reach)
    {
        if (!has(ImageDescriptorSize))
            return false;
        *reach = { word(m_pos) + word(m_pos + 4), word(m_pos + 2) + word(m_pos + 6) };
        m_pos += ImageDescriptorSize + colorTableSize(m_data[m_pos + ImageDescriptorSize - 1]);
        return true;
    }

    bool skipImageData()
    {
        if (!has(1))   // LZW minimum code size
            return false;
        ++m_pos;
        return skipSubBlocks();
    }

private:
    bool has(qsizetype n) const { return m_size - m_pos >= n; }
    bool startsWith(const char (&signature)[HeaderSize + 1]) const
    {
        return std::equal(signature, signature + HeaderSize, m_data);
    }
    int word(qsizetype at) const { return m_data[at] | m_data[at + 1] << 8; }
    bool skipSubBlocks()
    {
        while (has(1)) {
            const unsigned char length = m_data[m_pos++];
            if (length == 0)
                return true;
            if (!has(length))
                return false;
            m_pos += length;
        }
        return false;
    }

    const unsigned char *m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
    QSize m_screen;
};

// Walks the blocks; returns false as soon as the body ends too early or holds a stray byte.
bool structureIsWhole(const QByteArray &body)
{
    Blocks blocks(body);
    if (!blocks.header())
        return false;
    bool sawImage = false;
    QSize reach;
    for (char introducer = blocks.next(); introducer != 0; introducer = blocks.next()) {
        if (introducer == Trailer)
            return sawImage;
        if (introducer == ExtensionIntroducer) {
            if (!blocks.skipExtension())
                return false;
        } else if (introducer == ImageSeparator) {
            if (!blocks.imageDescriptor(&reach) || !blocks.skipImageData())
                return false;
            sawImage = true;
        } else {
            return false;
        }
    }
    return false;
}

// What Qt's decoder allocates for the first frame: the logical screen, where a side of it is
// zero the first frame's reach on that side. Empty where the bytes do not tell.
QSize decodedSize(const QByteArray &start)
{
    Blocks blocks(start);
    if (!blocks.header())
        return {};
    QSize size = blocks.screen();
    if (!size.isEmpty())
        return size;
    for (char introducer = blocks.next(); introducer == ExtensionIntroducer; introducer = blocks.next())
        if (!blocks.skipExtension())
            return {};
    // The loop stopped on the first non-extension, which must be the first frame.
    QSize reach;
    if (!blocks.imageDescriptor(&reach))
        return {};
    return { size.width() > 0 ? size.width() : reach.width(), size.height() > 0 ? size.height() : reach.height() };
}

}

QImage readGif(QIODevice &device, const QString &failed)
{
    const QSize size = decodedSize(device.peek(LookAhead));
    if (size.isEmpty())
        throw Failure(failed, QStringLiteral("Die Datei ist kein lesbares GIF-Bild."));
    if (qint64(size.width()) * size.height() * BytesPerPixel > qint64(PictureMemoryLimitMiB) << 20) {
        const QLocale german(QLocale::German);
        throw Failure(failed, QStringLiteral("Mit %1 × %2 Bildpunkten ist das Bild zu groß zum Anzeigen.")
                                  .arg(german.toString(size.width()), german.toString(size.height())));
    }

    QImageReader reader(&device);
    reader.setFormat("gif");
    reader.setAutoDetectImageFormat(false);
    // Qt's own limit, a second line behind the check above: the environment may change it.
    QImageReader::setAllocationLimit(PictureMemoryLimitMiB);
    QImage picture = reader.read();
    if (picture.isNull())
        throw Failure(failed, reader.errorString());
    return picture;
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
    readGif(buffer, unusable);
}
