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
    // neighbours, in stripes; smoothing spreads them evenly. Unscaled, the picture stays as it
    // is, pixel for pixel.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect area = contentsRect();
    painter.setClipRect(area);
    painter.drawPixmap(area.topLeft(), m_picture);
}
