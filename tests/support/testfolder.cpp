#include "testfolder.h"

#include "gifwriter.h"

#include "app/picturelist.h"

#include <QDir>

QString folderTemplate()
{
    return QDir::tempPath() + QStringLiteral("/Bilder vom Föhn-XXXXXX");
}

void putPictures(const QString &folder, const QStringList &names)
{
    for (int i = 0; i < names.size(); ++i)
        TestGif::write(folder + u'/' + names[i], { 16, 12 }, i);
}

QStringList folderContents(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QStringList listEntries(const PictureList *list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->text(i);
    return entries;
}

QStringList selectedEntries(const PictureList *list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        if (list->isSelected(i))
            entries << list->text(i);
    return entries;
}
