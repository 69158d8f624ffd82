#include "archive/picturefolder.h"

#include "base/failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace PictureFolder {

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

QStringList list(const QString &folder)
{
    const QDir dir(folder);
    if (!dir.isReadable())
        throw Failure(QStringLiteral("Der Bildordner %1 kann nicht gelesen werden.").arg(folder),
                      QStringLiteral("Der Ordner fehlt oder der Zugriff wurde verweigert."));

    // QDir::Files without QDir::Hidden or QDir::System: plain visible files, no folders.
    QStringList names = dir.entryList({ QStringLiteral("sat*.gif") }, QDir::Files, QDir::NoSort);
    std::sort(names.begin(), names.end());
    return names;
}

bool isStored(const QString &path)
{
    return QFileInfo(path).isFile();
}

void remove(const QString &path)
{
    QFile file(path);
    if (!file.remove())
        throw Failure(QStringLiteral("Die Datei %1 konnte nicht gelöscht werden.").arg(path),
                      file.errorString());
}

}
