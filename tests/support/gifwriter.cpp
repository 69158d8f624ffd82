#include "gifwriter.h"

#include <QFile>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr int kIndexBits = 8;                      // 256 palette entries
constexpr int kPaletteSize = 1 << kIndexBits;
constexpr int kMaxSide = 0xFFFF;                   // GIF stores sides as 16-bit words
constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;
constexpr int kClearCode = 1 << kIndexBits;
constexpr int kEndCode = kClearCode + 1;
constexpr int kFirstFreeCode = kEndCode + 1;
constexpr int kMaxSubBlock = 255;
constexpr int kByteBits = 8;
constexpr quint32 kByteMask = 0xFF;

constexpr char kSignature[] = "GIF89a";
constexpr quint8 kGlobalTableFlag = 0x80;
constexpr int kColourResolutionShift = 4;
constexpr quint8 kScreenFlags = kGlobalTableFlag | (kIndexBits - 1) << kColourResolutionShift | (kIndexBits - 1);
constexpr quint8 kExtensionIntroducer = 0x21;
constexpr quint8 kGraphicControlLabel = 0xF9;
constexpr quint8 kGraphicControlSize = 4;
constexpr quint8 kDisposalKeep = 1 << 2;           // "do not dispose": frames cover the whole screen anyway
constexpr quint16 kFrameDelayCs = 50;              // animation delay in 1/100 s
constexpr quint8 kApplicationLabel = 0xFF;
constexpr char kLoopApplication[] = "NETSCAPE2.0";
constexpr quint8 kLoopBlockSize = 3;
constexpr quint8 kLoopSubBlockId = 1;
constexpr quint16 kLoopForever = 0;
constexpr quint8 kImageSeparator = 0x2C;
constexpr quint8 kTrailer = 0x3B;

// Pattern shape: a diagonal gradient, a triangle wave of "cloud bands" and coarse
// "land" blocks. The seed also tilts the bands and resizes the blocks, so pictures differ
// in compressed size as real ones do; those terms are zero at the top-left pixel, where
// the odd seed and frame steps (coprime with 256) alone keep every seed (modulo 256)
// and every frame apart.
constexpr int kGradientX = 160;
constexpr int kGradientY = 96;
constexpr int kBandPeriod = 40;
constexpr int kBandGain = 2;
constexpr int kBandSlopes = 3;
constexpr int kBlockWidth = 40;
constexpr int kBlockWidths = 7;
constexpr int kBlockWidthStep = 5;
constexpr int kBlockHeight = 40;
constexpr int kBlockKinds = 3;
constexpr int kBlockStep = 20;
constexpr int kSeedStep = 37;
constexpr int kFrameStep = 53;

// Infrared-style ramp from blue-grey sea to white cloud; red alone is distinct per index.
constexpr int kBlueBase = 96;
constexpr int kChannelMax = 255;

void appendByte(QByteArray &out, quint8 value)
{
    out.append(char(value));
}

void appendWord(QByteArray &out, quint16 value)
{
    appendByte(out, quint8(value & kByteMask));
    appendByte(out, quint8(value >> kByteBits));
}

quint8 pixelIndex(int x, int y, QSize size, int seed, int frame)
{
    const int variant = seed & (kPaletteSize - 1);
    const int gradient = x * kGradientX / size.width() + y * kGradientY / size.height();
    const int phase = (x * (1 + variant % kBandSlopes) + 2 * y) % kBandPeriod;
    const int band = kBandGain * (phase < kBandPeriod / 2 ? phase : kBandPeriod - phase);
    const int blockWidth = kBlockWidth + variant % kBlockWidths * kBlockWidthStep;
    const int block = (x / blockWidth + y / kBlockHeight) % kBlockKinds * kBlockStep;
    const int shift = variant * kSeedStep + (frame & (kPaletteSize - 1)) * kFrameStep;
    return quint8((gradient + band + block + shift) & (kPaletteSize - 1));
}

// Packs variable-width codes least significant bit first into data sub-blocks.
class BitSink {
public:
    explicit BitSink(QByteArray &out) : m_out(out) {}

    void put(int code, int width)
    {
        m_bits |= quint32(code) << m_bitCount;
        m_bitCount += width;
        while (m_bitCount >= kByteBits) {
            pushByte(quint8(m_bits & kByteMask));
            m_bits >>= kByteBits;
            m_bitCount -= kByteBits;
        }
    }

    void finish()
    {
        if (m_bitCount > 0)
            pushByte(quint8(m_bits & kByteMask));
        flushBlock();
        appendByte(m_out, 0);                      // block terminator
    }

private:
    void pushByte(quint8 byte)
    {
        m_block[m_blockSize++] = char(byte);
        if (m_blockSize == kMaxSubBlock)
            flushBlock();
    }

    void flushBlock()
    {
        if (m_blockSize == 0)
            return;
        appendByte(m_out, quint8(m_blockSize));
        m_out.append(m_block, m_blockSize);
        m_blockSize = 0;
    }

    QByteArray &m_out;
    quint32 m_bits = 0;
    int m_bitCount = 0;
    char m_block[kMaxSubBlock] = {};
    int m_blockSize = 0;
};

// String table as an open-addressing hash of (prefix code, next index) -> code.
class CodeTable {
public:
    CodeTable() : m_keys(kSlots, kEmpty), m_codes(kSlots, 0) {}

    void clear() { std::fill(m_keys.begin(), m_keys.end(), kEmpty); }

    int find(int prefix, quint8 index) const
    {
        const int key = prefix << kIndexBits | index;
        for (quint32 slot = hash(key); m_keys[slot] != kEmpty; slot = (slot + 1) & kSlotMask) {
            if (m_keys[slot] == key)
                return m_codes[slot];
        }
        return kEmpty;
    }

    void insert(int prefix, quint8 index, int code)
    {
        const int key = prefix << kIndexBits | index;
        quint32 slot = hash(key);
        while (m_keys[slot] != kEmpty)
            slot = (slot + 1) & kSlotMask;
        m_keys[slot] = key;
        m_codes[slot] = quint16(code);
    }

private:
    static constexpr int kEmpty = -1;
    static constexpr int kSlotBits = kMaxCodeBits + 1;   // at most half full
    static constexpr quint32 kSlots = 1u << kSlotBits;
    static constexpr quint32 kSlotMask = kSlots - 1;
    static constexpr quint32 kFibonacci = 2654435761u;

    static quint32 hash(int key) { return (quint32(key) * kFibonacci) >> (std::numeric_limits<quint32>::digits - kSlotBits); }

    std::vector<int> m_keys;
    std::vector<quint16> m_codes;
};

// Writes the LZW minimum code size and the compressed image data.
void appendLzw(QByteArray &out, const std::vector<quint8> &pixels)
{
    appendByte(out, kIndexBits);
    BitSink sink(out);
    CodeTable table;
    int width = kIndexBits + 1;
    int nextCode = kFirstFreeCode;

    // A decoder adds its entry one code later than we do, so widening right after
    // our entry reaches 2^width keeps both sides on the same code width.
    const auto addedCode = [&] {
        ++nextCode;
        if (nextCode > (1 << width) && width < kMaxCodeBits)
            ++width;
    };

    sink.put(kClearCode, width);
    int prefix = pixels.front();
    for (size_t i = 1; i < pixels.size(); ++i) {
        const quint8 index = pixels[i];
        const int code = table.find(prefix, index);
        if (code >= 0) {
            prefix = code;
            continue;
        }
        sink.put(prefix, width);
        table.insert(prefix, index, nextCode);
        addedCode();
        if (nextCode == kMaxCodes) {
            sink.put(kClearCode, width);
            table.clear();
            width = kIndexBits + 1;
            nextCode = kFirstFreeCode;
        }
        prefix = index;
    }
    sink.put(prefix, width);
    // The decoder still adds an entry for that last code, which may widen the end code.
    if (nextCode < kMaxCodes)
        addedCode();
    sink.put(kEndCode, width);
    sink.finish();
}

void appendPalette(QByteArray &out)
{
    for (int i = 0; i < kPaletteSize; ++i) {
        appendByte(out, quint8(i));
        appendByte(out, quint8(i));
        appendByte(out, quint8(kBlueBase + i * (kChannelMax - kBlueBase) / kChannelMax));
    }
}

void appendLoopExtension(QByteArray &out)
{
    appendByte(out, kExtensionIntroducer);
    appendByte(out, kApplicationLabel);
    appendByte(out, quint8(sizeof kLoopApplication - 1));
    out.append(kLoopApplication, sizeof kLoopApplication - 1);
    appendByte(out, kLoopBlockSize);
    appendByte(out, kLoopSubBlockId);
    appendWord(out, kLoopForever);
    appendByte(out, 0);
}

void appendFrameControl(QByteArray &out)
{
    appendByte(out, kExtensionIntroducer);
    appendByte(out, kGraphicControlLabel);
    appendByte(out, kGraphicControlSize);
    appendByte(out, kDisposalKeep);
    appendWord(out, kFrameDelayCs);
    appendByte(out, 0);                            // transparent index, unused
    appendByte(out, 0);
}

} // namespace

namespace TestGif {

QByteArray make(QSize size, int seed, int frames)
{
    if (size.isEmpty() || size.width() > kMaxSide || size.height() > kMaxSide || frames < 1)
        return {};

    QByteArray gif;
    gif.append(kSignature, sizeof kSignature - 1);
    appendWord(gif, quint16(size.width()));
    appendWord(gif, quint16(size.height()));
    appendByte(gif, kScreenFlags);
    appendByte(gif, 0);                            // background colour index
    appendByte(gif, 0);                            // square pixels
    appendPalette(gif);
    if (frames > 1)
        appendLoopExtension(gif);

    std::vector<quint8> pixels(size_t(size.width()) * size_t(size.height()));
    for (int frame = 0; frame < frames; ++frame) {
        if (frames > 1)
            appendFrameControl(gif);
        appendByte(gif, kImageSeparator);
        appendWord(gif, 0);                        // left
        appendWord(gif, 0);                        // top
        appendWord(gif, quint16(size.width()));
        appendWord(gif, quint16(size.height()));
        appendByte(gif, 0);                        // no local palette, not interlaced

        auto pixel = pixels.begin();
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x)
                *pixel++ = pixelIndex(x, y, size, seed, frame);
        }
        appendLzw(gif, pixels);
    }
    appendByte(gif, kTrailer);
    return gif;
}

bool write(const QString &path, QSize size, int seed, int frames)
{
    const QByteArray gif = make(size, seed, frames);
    QFile file(path);
    if (gif.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (file.write(gif) != gif.size())
        return false;
    return file.flush();
}

} // namespace TestGif
