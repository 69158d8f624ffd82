#pragma once

#include <QByteArray>
#include <QString>

// File names as the system keeps them, bytes on Linux, and as the program shows them, text.
// Below both the picture folder and the system's calls, which need them alike.
namespace FileNames {

// A file name from the folder as text, and back, without losing a byte. A name that is not
// valid UTF-8 decodes to text that encodeName() turns into its exact bytes again.
QString decodeName(const QByteArray &bytes);
QByteArray encodeName(const QString &name);

}
