#pragma once

#include <QListView>
#include <QStringList>

// The list of picture names: kept in name order, with extended selection, its entries
// addressed by index from 0 to count() - 1. The names are held once, as the folder's listing
// returns them, not as an item object per entry: an archive of years holds 100,000 of them.
class PictureList : public QListView
{
    Q_OBJECT

public:
    explicit PictureList(QWidget *parent = nullptr);

    // Replaces every entry, and the selection goes with them. The names come sorted.
    void setNames(const QStringList &names);

    int count() const;
    QString text(int index) const;
    bool isSelected(int index) const;
    void setSelected(int index, bool selected);

private:
    class Names;
    Names *const m_names;
};
