#include "archive/picturefolder.h"

#include "archive/systemfiles.h"
#include "base/failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>

#include <algorithm>

namespace PictureFolder {

namespace {

// Bytes 0x80 to 0xFF of a name that is not valid UTF-8 stand in the text as U+DC80 to U+DCFF,
// which no valid name decodes to, so such a file keeps its exact name on disk.
constexpr char16_t EscapeBase = 0xDC00;

bool isEscapedByte(QChar c)
{
    return c.unicode() >= EscapeBase + 0x80 && c.unicode() <= EscapeBase + 0xFF;
}

}

QString withSeparator(const QString &programFolder)
{
    QString folder = QDir::toNativeSeparators(programFolder);
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

QString pictureName(const QDateTime &localTime)
{
    return QStringLiteral("sat") + localTime.toString(QStringLiteral("yyMMdd-HHmm")) + QStringLiteral(".gif");
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

QStringList list(const QString &folder)
{
    try {
        return SystemFiles::pictureNames(folder);
    } catch (const SystemFiles::SystemError &error) {
        throw Failure(QStringLiteral("Der Bildordner %1 kann nicht gelesen werden.").arg(folder),
                      error.reason);
    }
}

bool isStored(const QString &path)
{
    return QFileInfo(path).isFile();
}

QImage readPicture(const QString &path)
{
    const QString failed = QStringLiteral("Das Bild %1 kann nicht angezeigt werden.").arg(path);
    QFile file;
    try {
        SystemFiles::openForReading(file, path);
    } catch (const SystemFiles::SystemError &error) {
        throw Failure(failed, error.reason);
    }

    QImageReader reader(&file);
    QImage picture = reader.read();
    if (!picture.isNull())
        return picture;
    // Qt refuses pictures beyond its memory limit with a generic message; say what it is.
    const QSize size = reader.size();
    const qint64 limit = qint64(QImageReader::allocationLimit()) << 20;
    if (size.isValid() && limit > 0 && qint64(size.width()) * size.height() * 4 > limit)
        throw Failure(failed,
                      QStringLiteral("Mit %1 × %2 Bildpunkten ist das Bild zu groß zum Anzeigen.")
                          .arg(QLocale(QLocale::German).toString(size.width()),
                               QLocale(QLocale::German).toString(size.height())));
    throw Failure(failed, reader.errorString());
}

void remove(const QString &path)
{
    try {
        SystemFiles::remove(path);
    } catch (const SystemFiles::SystemError &error) {
        throw Failure(QStringLiteral("Die Datei %1 konnte nicht gelöscht werden.").arg(path), error.reason);
    }
}

}
