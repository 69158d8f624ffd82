#pragma once

#include <QByteArray>

// Checks that a body is one complete picture the window can show: a GIF whose block
// structure is whole up to its trailer, and whose first frame decodes. Walking the blocks
// catches a body cut off anywhere, which decoding the first frame alone would not.
// Throws Failure with the reason in German when it is not.
void checkPicture(const QByteArray &body);
