#pragma once

#include <QString>

// While it lives, fsync() in this test program fails with `error` on any descriptor of `path`
// (the same file or folder, by device and inode); every other call goes to the C library.
struct FailingSync
{
    FailingSync(const QString &path, int error);
    ~FailingSync();
};
