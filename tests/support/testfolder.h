#pragma once

#include <QString>
#include <QStringList>

class PictureList;

// For QTemporaryDir: a folder whose path has a space and umlauts, as a user's own may have.
QString folderTemplate();

// Writes a small, distinct GIF for each name into `folder`.
void putPictures(const QString &folder, const QStringList &names);

// Every entry of the folder, hidden ones included, sorted: what is really on disk.
QStringList folderContents(const QString &folder);

QStringList listEntries(const PictureList *list);
QStringList selectedEntries(const PictureList *list);
