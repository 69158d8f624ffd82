#include "app/picturelist.h"

#include <QAbstractListModel>

class PictureList::Names : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    void reset(const QStringList &names)
    {
        beginResetModel();
        m_names = names;
        endResetModel();
    }
    const QStringList &names() const { return m_names; }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_names.size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        return role == Qt::DisplayRole && checkIndex(index, CheckIndexOption::IndexIsValid)
            ? QVariant(m_names.at(index.row()))
            : QVariant();
    }
    // Entries can be selected, not edited or moved.
    Qt::ItemFlags flags(const QModelIndex &) const override
    {
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    }

private:
    QStringList m_names;
};

PictureList::PictureList(QWidget *parent) : QListView(parent), m_names(new Names(this))
{
    setModel(m_names);
    setEditTriggers(NoEditTriggers);
    setUniformItemSizes(true);   // keeps large archives quick to lay out
}

void PictureList::setNames(const QStringList &names)
{
    m_names->reset(names);
}

int PictureList::count() const
{
    return int(m_names->names().size());
}

QString PictureList::text(int index) const
{
    return m_names->names().at(index);
}

bool PictureList::isSelected(int index) const
{
    return selectionModel()->isSelected(m_names->index(index));
}

void PictureList::setSelected(int index, bool selected)
{
    selectionModel()->select(m_names->index(index),
                             selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}
