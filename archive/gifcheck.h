#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

// The most memory a picture may take decoded: 8 megapixels, ten times a satellite picture of
// 1000 x 800 pixels, and a quarter of Qt 6.4's own limit.
constexpr int PictureMemoryLimitMiB = 32;

// Decodes the first frame of the GIF that `device` holds, as the window shows it. Only Qt's
// GIF decoder is used, whatever the bytes look like, which keeps Qt's other decoders out of
// reach of what a server sends or a file in the picture folder holds. A picture that would
// take more than PictureMemoryLimitMiB decoded is refused before Qt decodes it; the bound is
// the program's own, so no setting of Qt's (QT_IMAGEIO_MAXALLOC) can raise it.
// Throws Failure(`failed`, the reason in German or Qt's words) when it cannot be shown.
QImage readGif(QIODevice &device, const QString &failed);

// Checks that a body is one complete picture the window can show: a GIF whose block
// structure is whole up to its trailer, and whose first frame decodes. Walking the blocks
// catches a body cut off anywhere, which decoding the first frame alone would not.
// Throws Failure with the reason in German when it is not.
void checkPicture(const QByteArray &body);
