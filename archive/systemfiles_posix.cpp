#include "archive/systemfiles.h"

#include "archive/filenames.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SystemFiles {

namespace {

SystemError lastError()
{
    return { qt_error_string(errno) };
}

// Names are bytes on disk; a name that is not UTF-8 travels as text that encodes back to them.
QByteArray onDisk(const QString &path)
{
    return FileNames::encodeName(path);
}

using Folder = std::unique_ptr<DIR, int (*)(DIR *)>;

Folder openFolder(const QString &folder)
{
    return Folder(::opendir(onDisk(folder).constData()), ::closedir);
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

// Gives the temporary its final name unless that name is taken, in one step of the
// file system, so a file that appeared since the caller looked is never replaced.
bool moveIntoPlaceWithoutReplacing(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // Some file systems lack the exclusive rename; a hard link refuses an existing name too.
    // The temporary's own name is removed by its owner.
    return ::link(from.constData(), to.constData()) == 0;
}

}

QStringList pictureNames(const QString &folder)
{
    // One pass over the folder with the entry types it reports: no per-entry file info and
    // no pattern compiled to a regular expression, which cost more than reading the folder.
    const Folder dir = openFolder(folder);
    if (!dir)
        throw lastError();

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
        throw lastError();
    const char *all = names.data();
    std::sort(starts.begin(), starts.end(),
              [all](size_t a, size_t b) { return std::strcmp(all + a, all + b) < 0; });

    QStringList result;
    result.reserve(qsizetype(starts.size()));
    for (const size_t start : starts)
        result.append(FileNames::decodeName(
            QByteArray::fromRawData(all + start, qsizetype(std::strlen(all + start)))));
    return result;
}

void openForReading(QFile &file, const QString &path)
{
    const int descriptor = ::open(onDisk(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        throw lastError();
    file.open(descriptor, QIODevice::ReadOnly, QFile::AutoCloseHandle);
    struct stat status;
    if (::fstat(descriptor, &status) != 0)
        throw lastError();
    if (!S_ISREG(status.st_mode))
        throw SystemError{ QStringLiteral("Das ist keine gewöhnliche Datei.") };
}

void remove(const QString &path)
{
    if (::unlink(onDisk(path).constData()) != 0)
        throw lastError();
}

bool storeNew(const QString &path, const QByteArray &bytes)
{
    QTemporaryFile temporary(QFileInfo(path).absolutePath() + u'/' + QLatin1String(TemporaryPrefix)
                             + QString(TemporaryRandomLength, u'X') + QLatin1String(TemporarySuffix));
    if (!temporary.open())
        throw SystemError{ temporary.errorString() };
    // Written straight to the descriptor, so a full disk is reported with the system's own words.
    const char *data = bytes.constData();
    for (qsizetype left = bytes.size(); left > 0;) {
        const ssize_t written = ::write(temporary.handle(), data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            throw lastError();
        data += written;
        left -= written;
    }
    // The temporary is private to us; the picture gets the permissions of any new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(temporary.handle(), 0666 & ~mask) != 0 || ::fsync(temporary.handle()) != 0)
        throw lastError();
    temporary.close();

    if (!moveIntoPlaceWithoutReplacing(onDisk(temporary.fileName()), onDisk(path))) {
        if (errno == EEXIST)
            return false;
        throw lastError();
    }
    // The new name is an entry of the folder: only the folder's own sync takes it to the disk.
    const int folder =
        ::open(onDisk(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 || ::fsync(folder) != 0) {
        const SystemError error = lastError();
        if (folder >= 0)
            ::close(folder);
        throw error;
    }
    ::close(folder);
    return true;
}

void removeStaleTemporaries(const QString &folder)
{
    const Folder dir = openFolder(folder);
    if (!dir)
        return;   // the listing that follows reports an unreadable folder
    const time_t anHourAgo = ::time(nullptr) - 3600;
    while (const dirent *entry = ::readdir(dir.get())) {
        if (!isTemporaryName(entry->d_name, std::strlen(entry->d_name)))
            continue;
        struct stat status;
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(status.st_mode) && status.st_mtime < anHourAgo)
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
    }
}

}
