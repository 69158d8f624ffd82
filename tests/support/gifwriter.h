#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// Writes genuine, LZW-compressed GIF pictures for tests, so the program is fed
// files of realistic size that any GIF decoder accepts.
namespace TestGif {

// A valid GIF89a with a global 256-colour palette, `frames` image frames of `size`,
// ending in the 0x3B trailer. Pixels follow a deterministic smooth pattern (gradients
// and bands, like a weather picture) shifted by `seed`, so pictures of different seeds
// differ, and the same arguments always give the same bytes.
// Returns an empty array for an empty size, a side above 65535 or frames < 1.
QByteArray make(QSize size = { 8, 8 }, int seed = 0, int frames = 1);

// A whole GIF of `size` in two colours whose one frame holds no pixels: a decoder must still
// take the memory of the whole frame, which is what it is for.
QByteArray blank(QSize size);

// Writes make(...) to path; false on failure.
bool write(const QString &path, QSize size = { 8, 8 }, int seed = 0, int frames = 1);

}   // namespace TestGif
