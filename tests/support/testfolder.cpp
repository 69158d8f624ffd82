#include "testfolder.h"

#include "gifwriter.h"

#include <QDir>
#include <QListWidget>

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

QStringList listEntries(const QListWidget *list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->item(i)->text();
    return entries;
}

QStringList selectedEntries(const QListWidget *list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected())
            entries << list->item(i)->text();
    return entries;
}
