#include "app/windowfont.h"

#include <QAbstractItemView>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace {

// The name as wide as the font can make it: every digit replaced by its widest digit.
QString widestName(QString name, const QFontMetrics &metrics)
{
    QChar widest = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit) {
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest))
            widest = QChar(digit);
    }
    for (QChar &c : name) {
        if (c.isDigit())
            c = widest;
    }
    return name;
}

bool labelFits(const QFont &font, const QLabel *label)
{
    return QFontMetrics(font).horizontalAdvance(label->text()) <= label->contentsRect().width();
}

// As the button sizes itself for a caption: the text plus the style's margins and frame.
bool captionFits(const QFont &font, const QPushButton *button, const QString &caption)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.fontMetrics = QFontMetrics(font);
    option.text = caption;
    const QSize text = option.fontMetrics.size(Qt::TextShowMnemonic, caption);
    return button->style()->sizeFromContents(QStyle::CT_PushButton, &option, text, button).width()
        <= button->width();
}

// As the list sizes an entry: the text plus the style's item margins; beside it the list's
// frame and its vertical scroll bar, which a longer list shows.
bool pictureNameFits(const QFont &font, const QAbstractItemView *list, const QString &pictureName)
{
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.font = font;
    option.fontMetrics = QFontMetrics(font);
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = widestName(pictureName, option.fontMetrics);
    const int entry =
        list->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), list).width();
    int besideEntry = 2 * list->frameWidth() + list->verticalScrollBar()->sizeHint().width();
    if (list->style()->styleHint(QStyle::SH_ScrollView_FrameOnlyAroundContents, nullptr, list))
        besideEntry += list->style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarSpacing, nullptr, list);
    return entry + besideEntry <= list->width();
}

bool fits(const QFont &font, const WindowFont::Texts &texts)
{
    return labelFits(font, texts.label)
        && std::all_of(texts.captions.begin(), texts.captions.end(),
                       [&](const auto &caption) { return captionFits(font, caption.first, caption.second); })
        && pictureNameFits(font, texts.list, texts.pictureName);
}

}

namespace WindowFont {

QFont fitting(const QFont &desktop, const Texts &texts)
{
    const int desktopSize = QFontInfo(desktop).pixelSize();
    const int smallest = std::min(desktopSize, SmallestSize);
    // The desktop's face first, then a narrower one: SemiCondensed is the width of DejaVu Sans
    // Condensed, Debian's own; Qt narrows a family without such a face itself.
    QFont narrower = desktop;
    narrower.setStretch(QFont::SemiCondensed);
    for (QFont font : { desktop, narrower }) {
        for (int size = desktopSize; size >= smallest; --size) {
            font.setPixelSize(size);
            if (fits(font, texts))
                return font;
        }
    }
    narrower.setPixelSize(smallest);
    return narrower;
}

}
