#pragma once

#include <QFont>
#include <QList>
#include <QString>

#include <utility>

class QLabel;
class QAbstractItemView;
class QPushButton;

// The font of the window's controls. The layout keeps the geometry it was drawn with, for a
// compact dialog font about 11 px high; desktop fonts are larger and wider. So the window
// takes the desktop's own family at the largest pixel size, never above the desktop's, at
// which every text fits whole, down to SmallestSize; below that it tries the family's
// narrower face the same way.
namespace WindowFont {

// What must show whole, on the controls that show it.
struct Texts
{
    const QLabel *label = nullptr;   // its text ends inside its width
    // Every caption a button shows, now or later; each must fit with the style's margins.
    QList<std::pair<const QPushButton *, QString>> captions;
    const QAbstractItemView *list = nullptr;   // a picture name fits beside its vertical scroll bar
    QString pictureName;   // one of the list's names; its digits count as the font's widest
};

// Smaller than the dialog font the layout was drawn for is hard to read.
constexpr int SmallestSize = 10;

// The desktop's own size when everything fits in it. When nothing fits, the narrower face at
// SmallestSize (or at the desktop's size, if that is smaller).
QFont fitting(const QFont &desktop, const Texts &texts);

}
