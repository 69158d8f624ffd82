#pragma once

#include <QByteArray>

class QImageReader;

// The most memory a picture may take decoded: 8 megapixels, ten times a satellite picture of
// 1000 x 800 pixels, and a quarter of Qt's own limit.
constexpr int PictureMemoryLimitMiB = 32;

// Sets `reader` to decode a GIF and nothing else, whatever the bytes look like, within
// PictureMemoryLimitMiB. The program keeps only GIFs; this keeps every other decoder of Qt
// out of reach of what a server sends or a file in the picture folder holds.
void readGifOnly(QImageReader &reader);

// Checks that a body is one complete picture the window can show: a GIF whose block
// structure is whole up to its trailer, and whose first frame decodes. Walking the blocks
// catches a body cut off anywhere, which decoding the first frame alone would not.
// Throws Failure with the reason in German when it is not.
void checkPicture(const QByteArray &body);
