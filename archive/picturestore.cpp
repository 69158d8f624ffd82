#include "archive/picturestore.h"

#include "base/failure.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// ".nubilo-" + six letters or digits + ".part": the name storeNewPicture's template gives
// its temporaries, and nothing else.
bool isOurTemporary(const char *name)
{
    constexpr char Prefix[] = ".nubilo-";
    constexpr char Suffix[] = ".part";
    constexpr size_t PrefixLength = sizeof Prefix - 1, RandomLength = 6, SuffixLength = sizeof Suffix - 1;
    if (std::strlen(name) != PrefixLength + RandomLength + SuffixLength
        || std::strncmp(name, Prefix, PrefixLength) != 0
        || std::strcmp(name + PrefixLength + RandomLength, Suffix) != 0)
        return false;
    return std::all_of(name + PrefixLength, name + PrefixLength + RandomLength,
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

}

void storeNewPicture(const QString &path, const QByteArray &bytes)
{
    const QString failed = QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.").arg(path);

    // The leading dot keeps the unfinished file out of the picture list.
    QTemporaryFile temporary(QFileInfo(path).absolutePath() + QStringLiteral("/.nubilo-XXXXXX.part"));
    if (!temporary.open())
        throw Failure(failed, temporary.errorString());
    // Written straight to the descriptor, so a full disk is reported with the system's own words.
    const char *data = bytes.constData();
    for (qsizetype left = bytes.size(); left > 0;) {
        const ssize_t written = ::write(temporary.handle(), data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            throw Failure(failed, qt_error_string(errno));
        data += written;
        left -= written;
    }
    // The temporary is private to us; the picture gets the permissions of any new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(temporary.handle(), 0666 & ~mask) != 0)
        throw Failure(failed, qt_error_string(errno));
    if (::fsync(temporary.handle()) != 0)
        throw Failure(failed, qt_error_string(errno));
    temporary.close();

    if (!moveIntoPlaceWithoutReplacing(QFile::encodeName(temporary.fileName()), QFile::encodeName(path))) {
        const int error = errno;
        throw Failure(failed,
                      error == EEXIST ? QStringLiteral("Eine Datei dieses Namens ist inzwischen vorhanden.")
                                      : qt_error_string(error));
    }
    // The new name is an entry of the folder: only the folder's own sync takes it to the disk.
    const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && ::fsync(folder) == 0;
    const int error = errno;
    if (folder >= 0)
        ::close(folder);
    if (!synced)
        throw Failure(failed, qt_error_string(error));
}

void removeStaleTemporaries(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(path.constData()), ::closedir);
    if (!dir)
        return;   // the listing that follows reports an unreadable folder
    const time_t anHourAgo = ::time(nullptr) - 3600;
    while (const dirent *entry = ::readdir(dir.get())) {
        if (!isOurTemporary(entry->d_name))
            continue;
        struct stat status;
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(status.st_mode) && status.st_mtime < anHourAgo)
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
    }
}
