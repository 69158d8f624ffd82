#include "archive/picturefolder.h"

#include "base/failure.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PictureFolder {

namespace {

// Bytes 0x80 to 0xFF of a name that is not valid UTF-8 stand in the text as U+DC80 to U+DCFF,
// which no valid name decodes to, so such a file keeps its exact name on disk.
constexpr char16_t EscapeBase = 0xDC00;

bool isEscapedByte(QChar c)
{
    return c.unicode() >= EscapeBase + 0x80 && c.unicode() <= EscapeBase + 0xFF;
}

bool matchesPattern(const char *name)
{
    // "sat*.gif" in any letter case: plain ASCII, as the names are compared byte by byte.
    const size_t length = std::strlen(name);
    return length >= 7 && ::strncasecmp(name, "sat", 3) == 0 && ::strcasecmp(name + length - 4, ".gif") == 0;
}

// A plain file, or a link to one; no folders, pipes, devices or broken links.
bool isPlainFile(int folder, const dirent *entry)
{
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat status;
    return ::fstatat(folder, entry->d_name, &status, 0) == 0 && S_ISREG(status.st_mode);
}

}

QString withSeparator(const QString &programFolder)
{
    QString folder = programFolder;
    if (!folder.endsWith(u'/'))
        folder += u'/';
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
    // One pass over the folder with the entry types it reports: no per-entry file info and
    // no pattern compiled to a regular expression, which cost more than reading the folder.
    const auto unreadable = [&folder] {
        return Failure(QStringLiteral("Der Bildordner %1 kann nicht gelesen werden.").arg(folder),
                       qt_error_string(errno));
    };
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(encodeName(folder).constData()), ::closedir);
    if (!dir)
        throw unreadable();

    // The names are collected and sorted as bytes, as the system gives them, and only then
    // turned into text: comparing bytes is cheaper, and their order is the names' order.
    std::string names;
    std::vector<size_t> starts;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry)
            break;
        if (matchesPattern(entry->d_name) && isPlainFile(::dirfd(dir.get()), entry)) {
            starts.push_back(names.size());
            names.append(entry->d_name, std::strlen(entry->d_name) + 1);
        }
    }
    if (errno != 0)
        throw unreadable();
    const char *all = names.data();
    std::sort(starts.begin(), starts.end(),
              [all](size_t a, size_t b) { return std::strcmp(all + a, all + b) < 0; });

    QStringList result;
    result.reserve(qsizetype(starts.size()));
    for (const size_t start : starts)
        result.append(decodeName(QByteArray::fromRawData(all + start, qsizetype(std::strlen(all + start)))));
    return result;
}

bool isStored(const QString &path)
{
    return QFileInfo(path).isFile();
}

QImage readPicture(const QString &path)
{
    const QString failed = QStringLiteral("Das Bild %1 kann nicht angezeigt werden.").arg(path);
    const int descriptor = ::open(encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        throw Failure(failed, qt_error_string(errno));
    QFile file;
    file.open(descriptor, QIODevice::ReadOnly, QFile::AutoCloseHandle);
    struct stat status;
    if (::fstat(descriptor, &status) != 0)
        throw Failure(failed, qt_error_string(errno));
    if (!S_ISREG(status.st_mode))
        throw Failure(failed, QStringLiteral("Das ist keine gewöhnliche Datei."));

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
    if (::unlink(encodeName(path).constData()) != 0)
        throw Failure(QStringLiteral("Die Datei %1 konnte nicht gelöscht werden.").arg(path),
                      qt_error_string(errno));
}

}
