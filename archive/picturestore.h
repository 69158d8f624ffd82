#pragma once

#include <QByteArray>
#include <QString>

// Stores a picture under a new name, all or nothing: the bytes go to a hidden temporary
// file in the same folder, reach the disk, and only then appear under `path`.
// An existing file of that name is never replaced. Throws Failure; on failure nothing
// of the attempt is left in the folder.
void storeNewPicture(const QString &path, const QByteArray &bytes);
