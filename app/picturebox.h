#pragma once

#include <QFrame>
#include <QPixmap>

// Shows a picture unscaled from its top-left corner inside a single-line border; what
// does not fit is cut off at the border. On a scaled display it grows with the window, each
// picture pixel as wide as the next: smoothly where the scaling is a fraction.
class PictureBox : public QFrame
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setPicture(const QPixmap &picture);
    const QPixmap &picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture;
};
