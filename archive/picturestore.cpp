#include "archive/picturestore.h"

#include "base/failure.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
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
    if (::fsync(temporary.handle()) != 0)
        throw Failure(failed, qt_error_string(errno));
    temporary.close();

    if (!moveIntoPlaceWithoutReplacing(QFile::encodeName(temporary.fileName()), QFile::encodeName(path))) {
        const int error = errno;
        throw Failure(failed,
                      error == EEXIST ? QStringLiteral("Eine Datei dieses Namens ist inzwischen vorhanden.")
                                      : qt_error_string(error));
    }
}
