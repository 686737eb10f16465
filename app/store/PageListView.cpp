#include "PageListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>

TPageListView::TPageListView(QWidget *parent) : QListWidget(parent)
{
    setViewMode(QListView::IconMode);
    // Free movement: the only mode in which the view keeps positions set from outside.
    setMovement(QListView::Free);
    setResizeMode(QListView::Fixed);
    setWrapping(true);
    setIconSize(LargeImageSize());
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
}

QListWidgetItem *TPageListView::MakePageItem(const QString &fileName, int pageNo, int fileOrder,
                                             const QString &ext)
{
    auto *item = new QListWidgetItem(fileName + "-" + QString::number(pageNo));
    item->setData(SubItemRole + 0, fileName);
    item->setData(SubItemRole + 1, QString::number(pageNo));
    item->setData(SubItemRole + 2, QString::number(fileOrder));
    item->setData(SubItemRole + 3, ext);
    item->setData(ImageIndexRole, -1);
    return item;
}

QString TPageListView::SubItem(const QListWidgetItem *item, int index)
{
    return item ? item->data(SubItemRole + index).toString() : QString();
}

void TPageListView::SetSubItem(QListWidgetItem *item, int index, const QString &value)
{
    if (item)
        item->setData(SubItemRole + index, value);
}

int TPageListView::ImageIndex(const QListWidgetItem *item)
{
    return item ? item->data(ImageIndexRole).toInt() : -1;
}

void TPageListView::SetImageIndex(QListWidgetItem *item, int index)
{
    if (item)
        item->setData(ImageIndexRole, index);
}

void TPageListView::SetItemPosition(int row, const QPoint &pos)
{
    QListWidgetItem *it = item(row);
    if (!it)
        return;
    it->setData(PositionRole, pos);
    setPositionForIndex(pos, indexFromItem(it));
}

QPoint TPageListView::ItemPosition(int row) const
{
    const QListWidgetItem *it = item(row);
    return it ? it->data(PositionRole).toPoint() : QPoint();
}

void TPageListView::ClearAll()
{
    clear();
    emit ThumbnailsCleared();
}

void TPageListView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->source() == this)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TPageListView::dragMoveEvent(QDragMoveEvent *event)
{
    event->ignore();
}

void TPageListView::dropEvent(QDropEvent *event)
{
    event->ignore();
}
