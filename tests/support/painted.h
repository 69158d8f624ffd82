#pragma once

#include <QString>

class PictureBox;
class QImage;
class QRect;
class QWidget;

// What the screen shows of `area` (in `widget`'s own coordinates), in the screen's own pixels:
// on a scaled display more of them than the area has. It reads what the window last put on
// the screen: QWidget::grab() would paint the widget afresh, also a picture it never repainted.
QImage onScreen(const QWidget *widget, const QRect &area);

// Where the screen does not show `picture` as `box` shows one at 100 %, unscaled from the
// top-left corner of its contents, or at a whole-number scaling, each picture pixel a square
// of screen pixels: the first pixel that differs, as "x,y: #rrggbb on screen, #rrggbb in the
// picture"; empty when every pixel matches.
QString paintedDifference(const PictureBox *box, const QImage &picture);
