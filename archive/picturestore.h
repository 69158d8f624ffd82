#pragma once

#include <QByteArray>
#include <QString>

// Stores a picture under a new name, all or nothing: the bytes go to a hidden temporary
// file in the same folder, reach the disk, and only then appear under `path`.
// An existing file of that name is never replaced. Throws Failure; on failure nothing
// of the attempt is left in the folder.
void storeNewPicture(const QString &path, const QByteArray &bytes);

// Removes temporaries that a crash in the middle of storeNewPicture left in `folder`: only
// plain files named exactly as the store names them, and only those untouched for an hour,
// since another copy of the program may be writing one right now. Quietly does what it can.
void removeStaleTemporaries(const QString &folder);
