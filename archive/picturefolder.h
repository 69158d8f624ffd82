#pragma once

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
// A name that is not valid UTF-8 is listed too, decoded so that encodeName() gives back its
// exact bytes: open or delete such a file only through the encoded name.
QStringList list(const QString &folder);

// A file name from the folder as text, and back, without losing a byte.
QString decodeName(const QByteArray &bytes);
QByteArray encodeName(const QString &name);

// Whether a picture file of that full path is already there.
bool isStored(const QString &path);

// Loads the picture of a listed file to show it. Opens only a plain file, and never waits
// for one (a pipe put in a picture's place would block until someone writes to it).
// Throws Failure with the reason in German.
QImage readPicture(const QString &path);

// Deletes one file. Throws Failure with the system's reason.
void remove(const QString &path);

}
