#include "painted.h"

#include "app/picturebox.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QScreen>

QImage onScreen(const QWidget *widget, const QRect &area)
{
    // QScreen takes the area in the window's own pixels and reads it in the screen's.
    const QPoint at = widget->mapTo(widget->window(), area.topLeft());
    QImage shown = widget->screen()
                       ->grabWindow(widget->window()->winId(), at.x(), at.y(), area.width(), area.height())
                       .toImage()
                       .convertToFormat(QImage::Format_RGB32);
    shown.setDevicePixelRatio(1);
    return shown;
}

QString paintedDifference(const PictureBox *box, const QImage &picture)
{
    const QImage shown = onScreen(box, QRect(box->contentsRect().topLeft(), picture.size()));
    const QImage expected = picture.convertToFormat(QImage::Format_RGB32)
                                .scaled(picture.size() * qRound(box->devicePixelRatio()));
    if (shown.size() != expected.size())
        return QStringLiteral("%1 x %2 px on screen").arg(shown.width()).arg(shown.height());
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            if (shown.pixel(x, y) != expected.pixel(x, y))
                return QStringLiteral("%1,%2: %3 on screen, %4 in the picture")
                    .arg(x)
                    .arg(y)
                    .arg(QColor(shown.pixel(x, y)).name(), QColor(expected.pixel(x, y)).name());
        }
    }
    return {};
}
