#include "failingsync.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <dlfcn.h>
#include <sys/stat.h>

namespace {

struct stat failing;   // device and inode of the path whose sync fails
int failingError = 0;   // none: no sync fails
FailingSync::Target failingTarget = FailingSync::Itself;
int renameError = 0;

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The folder of an open file, from the name the system keeps for its descriptor.
bool inFailingFolder(int descriptor)
{
    const QString name = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(descriptor));
    struct stat folder;
    return ::stat(QFile::encodeName(QFileInfo(name).path()).constData(), &folder) == 0
        && sameFile(folder, failing);
}

bool syncFails(int descriptor)
{
    struct stat status;
    if (failingError == 0 || ::fstat(descriptor, &status) != 0)
        return false;
    if (failingTarget == FailingSync::FilesInside)
        return S_ISREG(status.st_mode) && inFailingFolder(descriptor);
    return sameFile(status, failing);
}

}

// Linked into the test program, not preloaded: the sanitizers' runtime must be the first
// library loaded, and here nothing has to come before it.
extern "C" int fsync(int descriptor)
{
    static const auto next = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    if (syncFails(descriptor)) {
        errno = failingError;
        return -1;
    }
    return next(descriptor);
}

FailingSync::FailingSync(const QString &path, int error, Target target)
{
    failingTarget = target;
    failingError = ::stat(QFile::encodeName(path).constData(), &failing) == 0 ? error : 0;
}

FailingSync::~FailingSync()
{
    failingError = 0;
}

extern "C" int renameat2(int fromFolder, const char *from, int toFolder, const char *to, unsigned int flags) noexcept
{
    static const auto next = reinterpret_cast<int (*)(int, const char *, int, const char *, unsigned int)>(
        ::dlsym(RTLD_NEXT, "renameat2"));
    if (renameError != 0) {
        errno = renameError;
        return -1;
    }
    return next(fromFolder, from, toFolder, to, flags);
}

FailingRename::FailingRename(int error)
{
    renameError = error;
}

FailingRename::~FailingRename()
{
    renameError = 0;
}
