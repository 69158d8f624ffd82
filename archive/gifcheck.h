#pragma once

#include <QByteArray>
#include <QString>

// Checks that a body is one complete picture the window can show: a GIF whose block
// structure is whole up to its trailer, and whose first frame decodes. Walking the blocks
// catches a body cut off anywhere, which decoding the first frame alone would not.
// Returns an empty text when the picture is sound, else the reason in German.
QString gifProblem(const QByteArray &body);
