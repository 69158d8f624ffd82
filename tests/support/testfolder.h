#pragma once

#include <QString>
#include <QStringList>

class PictureList;

// Writes a small, distinct GIF for each name into `folder`.
void putPictures(const QString &folder, const QStringList &names);

// Every entry of the folder, hidden ones included, sorted: what is really on disk.
QStringList folderContents(const QString &folder);

QStringList listEntries(const PictureList *list);
QStringList selectedEntries(const PictureList *list);
