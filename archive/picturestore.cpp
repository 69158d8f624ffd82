#include "archive/picturestore.h"

#include "archive/systemfiles.h"
#include "base/failure.h"

void storeNewPicture(const QString &path, const QByteArray &bytes)
{
    const QString failed = QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.").arg(path);
    bool stored = false;
    try {
        stored = SystemFiles::storeNew(path, bytes);
    } catch (const SystemFiles::SystemError &error) {
        throw Failure(failed, error.reason);
    }
    if (!stored)
        throw Failure(failed, QStringLiteral("Eine Datei dieses Namens ist inzwischen vorhanden."));
}

void removeStaleTemporaries(const QString &folder)
{
    SystemFiles::removeStaleTemporaries(folder);
}
