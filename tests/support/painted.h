#pragma once

#include <QString>

class PictureBox;
class QImage;

// Where the screen does not show `picture` as `box` shows one, unscaled from the top-left
// corner of its contents: the first pixel that differs, as "x,y: #rrggbb on screen, #rrggbb
// in the picture"; empty when every pixel matches. It reads what the window last put on the
// screen: QWidget::grab() would paint the box afresh, also a picture it never repainted.
QString paintedDifference(const PictureBox *box, const QImage &picture);
