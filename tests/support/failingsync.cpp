#include "failingsync.h"

#include <QFile>

#include <cerrno>

#include <dlfcn.h>
#include <sys/stat.h>

namespace {

struct stat failing;   // device and inode of the path whose sync fails
int failingError = 0;   // none: no sync fails

}

// Linked into the test program, not preloaded: the sanitizers' runtime must be the first
// library loaded, and here nothing has to come before it.
extern "C" int fsync(int descriptor)
{
    static const auto next = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    struct stat status;
    if (failingError != 0 && ::fstat(descriptor, &status) == 0 && status.st_dev == failing.st_dev
        && status.st_ino == failing.st_ino) {
        errno = failingError;
        return -1;
    }
    return next(descriptor);
}

FailingSync::FailingSync(const QString &path, int error)
{
    failingError = ::stat(QFile::encodeName(path).constData(), &failing) == 0 ? error : 0;
}

FailingSync::~FailingSync()
{
    failingError = 0;
}
