#include "archive/picturefolder.h"

#include "archive/gifcheck.h"
#include "archive/systemfiles.h"
#include "base/failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace PictureFolder {

namespace {

// Runs one of the system's calls; its refusal becomes a Failure saying in German what failed.
template<typename Call>
auto reported(const QString &description, Call call)
{
    try {
        return call();
    } catch (const SystemFiles::SystemError &error) {
        throw Failure(description, error.reason);
    }
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

QStringList list(const QString &folder)
{
    return reported(QStringLiteral("Der Bildordner %1 kann nicht gelesen werden.").arg(folder),
                    [&] { return SystemFiles::pictureNames(folder); });
}

bool isStored(const QString &path)
{
    return QFileInfo(path).isFile();
}

QImage readPicture(const QString &path)
{
    const QString failed = QStringLiteral("Das Bild %1 kann nicht angezeigt werden.").arg(path);
    QFile file;
    reported(failed, [&] { SystemFiles::openForReading(file, path); });
    return readGif(file, failed);
}

void remove(const QString &path)
{
    reported(QStringLiteral("Die Datei %1 konnte nicht gelöscht werden.").arg(path),
             [&] { SystemFiles::remove(path); });
}

void storeNew(const QString &path, const QByteArray &bytes)
{
    const QString failed = QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.").arg(path);
    if (!reported(failed, [&] { return SystemFiles::storeNew(path, bytes); }))
        throw Failure(failed, QStringLiteral("Eine Datei dieses Namens ist inzwischen vorhanden."));
}

void removeStaleTemporaries(const QString &folder)
{
    SystemFiles::removeStaleTemporaries(folder);
}

}
