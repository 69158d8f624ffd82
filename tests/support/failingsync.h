#pragma once

#include <QString>

// While it lives, fsync() in this test program fails with `error` on any descriptor of `path`
// (the same file or folder, by device and inode), or, for FilesInside, on any regular file
// right inside the folder `path`, such as a temporary whose name is not known in advance;
// every other call goes to the C library.
struct FailingSync
{
    enum Target { Itself, FilesInside };

    FailingSync(const QString &path, int error, Target target = Itself);
    ~FailingSync();
};

// While it lives, renameat2() in this test program fails with `error` (none for 0), as on a
// file system without an exclusive rename (EINVAL, ENOSYS); every other call goes to the C library.
struct FailingRename
{
    explicit FailingRename(int error);
    ~FailingRename();
};
