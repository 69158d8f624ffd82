#include "app/picturebox.h"

#include <QPainter>

PictureBox::PictureBox(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

void PictureBox::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update(contentsRect());
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    // On a display scaled by a fraction, a picture pixel covers a fraction more than one
    // screen pixel: taking the nearest would double some picture pixels and not their
    // neighbours, in stripes; smoothing spreads them evenly. At a whole number each picture
    // pixel is a square of screen pixels, as crisp as unscaled: smoothing would only blur the
    // coastlines and the text in the picture.
    const qreal scale = devicePixelRatioF();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !qFuzzyCompare(scale, qreal(qRound(scale))));
    const QRect area = contentsRect();
    painter.setClipRect(area);
    painter.drawPixmap(area.topLeft(), m_picture);
}
