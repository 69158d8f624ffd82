#include "archive/filenames.h"

#include <algorithm>

namespace FileNames {

namespace {

// Bytes 0x80 to 0xFF of a name that is not valid UTF-8 stand in the text as U+DC80 to U+DCFF,
// which no valid name decodes to, so such a file keeps its exact name on disk.
constexpr char16_t EscapeBase = 0xDC00;

bool isEscapedByte(QChar c)
{
    return c.unicode() >= EscapeBase + 0x80 && c.unicode() <= EscapeBase + 0xFF;
}

}

QString decodeName(const QByteArray &bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char byte) { return (byte & 0x80) == 0; }))
        return QString::fromLatin1(bytes);
    QString name = QString::fromUtf8(bytes);
    if (name.toUtf8() == bytes)
        return name;
    name.clear();
    for (const char byte : bytes)
        name += byte & 0x80 ? QChar(char16_t(EscapeBase + quint8(byte))) : QChar(QLatin1Char(byte));
    return name;
}

QByteArray encodeName(const QString &name)
{
    if (std::none_of(name.begin(), name.end(), isEscapedByte))
        return name.toUtf8();
    QByteArray bytes;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isEscapedByte(name[i]))
            continue;
        bytes += QStringView(name).sliced(runStart, i - runStart).toUtf8();
        bytes += char(name[i].unicode() - EscapeBase);
        runStart = i + 1;
    }
    return bytes + QStringView(name).sliced(runStart).toUtf8();
}

}
