#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>

// The picture folder, the names of the pictures in it and the files themselves.
namespace PictureFolder {

// The folder the program reports for itself, in the system's notation, with exactly one
// trailing separator.
QString withSeparator(const QString &programFolder);

// "sat" + YYMMDD + "-" + HHMM + ".gif", from the local date and time.
QString pictureName(const QDateTime &localTime);

// Bare names of the plain, visible files in `folder` matching "sat*.gif" in any letter
// case, sorted by name (byte by byte in UTF-8). Throws Failure when the folder cannot be read.
// A name that is not valid UTF-8 is listed too, decoded so that FileNames::encodeName() gives
// back its exact bytes: the calls below take such names as they are listed.
QStringList list(const QString &folder);

// Whether a picture file of that full path is already there.
bool isStored(const QString &path);

// Loads the picture of a listed file to show it. Opens only a plain file, and never waits
// for a writer (a pipe put in a picture's place would block until someone writes to it).
// Throws Failure with the reason in German.
QImage readPicture(const QString &path);

// Deletes one file. Throws Failure with the system's reason.
void remove(const QString &path);

// Stores a picture under a new name, all or nothing: the bytes go to a hidden temporary
// file in the same folder, reach the disk, and only then appear under `path`.
// An existing file of that name is never replaced. Throws Failure; on failure nothing
// of the attempt is left in the folder.
void storeNew(const QString &path, const QByteArray &bytes);

// Removes temporaries that a crash in the middle of storeNew left in `folder`: only plain
// files named exactly as the store names them, and only those untouched for an hour, since
// another copy of the program may be writing one right now. Quietly does what it can.
void removeStaleTemporaries(const QString &folder);

}
