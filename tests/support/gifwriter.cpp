#include "gifwriter.h"

#include <QFile>

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

constexpr int ClearCode = 256;   // 8-bit pixels: codes 0..255 are the pixels themselves
constexpr int EndCode = 257;
constexpr int MaxCodeBits = 12;
constexpr int MaxSubBlock = 255;

void appendWord(QByteArray &out, int value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8 & 0xFF));
}

// A smooth picture like a weather map: a diagonal gradient with bands, shifted by the seed.
quint8 pixel(int x, int y, QSize size, int seed)
{
    const int band = (x + 2 * y) % 40;
    return quint8(
        (x * 160 / size.width() + y * 96 / size.height() + 2 * std::min(band, 40 - band) + seed * 37) & 0xFF);
}

// LZW as GIF wants it: codes of growing width up to 12 bits, least significant bit first,
// a clear code whenever the table is full, in sub-blocks of at most 255 bytes.
void appendCompressed(QByteArray &out, const std::vector<quint8> &pixels)
{
    QByteArray data;
    quint32 bits = 0;
    int bitCount = 0;
    auto put = [&](int code, int width) {
        bits |= quint32(code) << bitCount;
        for (bitCount += width; bitCount >= 8; bitCount -= 8, bits >>= 8)
            data.append(char(bits & 0xFF));
    };

    std::unordered_map<int, int> table;
    int width = 9;
    int next = EndCode + 1;
    // The decoder adds its entry one code later than we do; widening as soon as ours
    // passes the current width keeps both sides on the same width.
    auto added = [&] {
        if (++next > (1 << width) && width < MaxCodeBits)
            ++width;
    };

    put(ClearCode, width);
    int prefix = pixels.front();
    for (size_t i = 1; i < pixels.size(); ++i) {
        const int key = prefix << 8 | pixels[i];
        if (const auto found = table.find(key); found != table.end()) {
            prefix = found->second;
            continue;
        }
        put(prefix, width);
        table.emplace(key, next);
        added();
        if (next == 1 << MaxCodeBits) {
            put(ClearCode, width);
            table.clear();
            width = 9;
            next = EndCode + 1;
        }
        prefix = pixels[i];
    }
    put(prefix, width);
    if (next < 1 << MaxCodeBits)
        added();   // the decoder's entry for that last code may widen the end code
    put(EndCode, width);
    if (bitCount > 0)
        data.append(char(bits & 0xFF));

    out.append(char(8));   // minimum code size
    for (qsizetype at = 0; at < data.size(); at += MaxSubBlock) {
        const QByteArray block = data.mid(at, MaxSubBlock);
        out.append(char(block.size()));
        out.append(block);
    }
    out.append(char(0));
}

}

namespace TestGif {

QByteArray make(QSize size, int seed, int frames)
{
    if (size.isEmpty() || size.width() > 0xFFFF || size.height() > 0xFFFF || frames < 1)
        return {};

    QByteArray gif("GIF89a");
    appendWord(gif, size.width());
    appendWord(gif, size.height());
    gif.append(char(0xF7));   // a global palette of 256 colours
    gif.append(2, char(0));   // background colour, square pixels
    for (int i = 0; i < 256; ++i)   // from blue-grey sea to white cloud
        gif.append(char(i)).append(char(i)).append(char(96 + i * 159 / 255));

    std::vector<quint8> pixels(size_t(size.width()) * size_t(size.height()));
    for (int frame = 0; frame < frames; ++frame) {
        gif.append(char(0x2C));   // image descriptor: the whole screen, no own palette
        appendWord(gif, 0);
        appendWord(gif, 0);
        appendWord(gif, size.width());
        appendWord(gif, size.height());
        gif.append(char(0));
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] =
                pixel(int(i % size_t(size.width())), int(i / size_t(size.width())), size, seed + frame);
        appendCompressed(gif, pixels);
    }
    gif.append(char(0x3B));
    return gif;
}

QByteArray blank(QSize size)
{
    QByteArray gif("GIF89a");
    appendWord(gif, size.width());
    appendWord(gif, size.height());
    gif.append(QByteArray::fromHex("800000" "000000ffffff" "2c00000000"));   // black and white; a frame at 0,0
    appendWord(gif, size.width());
    appendWord(gif, size.height());
    gif.append(QByteArray::fromHex("00" "02012c00" "3b"));   // a clear code and nothing more, the trailer
    return gif;
}

bool write(const QString &path, QSize size, int seed, int frames)
{
    const QByteArray gif = make(size, seed, frames);
    QFile file(path);
    return !gif.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(gif) == gif.size() && file.flush();
}

}
