#include "PageListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QTimer>

namespace {

constexpr int kFileRole = TPageListView::SubItemRole + 0;
constexpr int kPageRole = TPageListView::SubItemRole + 1;
constexpr int kOrderRole = TPageListView::SubItemRole + 2;
constexpr int kExtRole = TPageListView::SubItemRole + 3;

QString captionOf(const PageEntry &entry)
{
    return entry.file + "-" + QString::number(entry.page);
}

} // namespace

TPageListView::TPageListView(QWidget *parent) : QListWidget(parent), m_visibleRowsTimer(new QTimer(this))
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

    // Changes come in bursts (a refill inserts rows one by one, a drag scrolls in small
    // steps): the visible rows are looked at once per pass of the event loop.
    m_visibleRowsTimer->setSingleShot(true);
    m_visibleRowsTimer->setInterval(0);
    connect(m_visibleRowsTimer, &QTimer::timeout, this, &TPageListView::VisibleRowsChanged);
    const auto changed = [this] { visibleRowsMayChange(); };
    connect(model(), &QAbstractItemModel::rowsInserted, this, changed);
    connect(model(), &QAbstractItemModel::rowsRemoved, this, changed);
    connect(model(), &QAbstractItemModel::dataChanged, this, changed);
    connect(model(), &QAbstractItemModel::modelReset, this, changed);
}

TPageListView::~TPageListView()
{
    disconnect(model(), nullptr, this, nullptr);
}

QListWidgetItem *TPageListView::MakePageItem(const PageEntry &entry)
{
    auto *item = new QListWidgetItem;
    SetEntryOf(item, entry);
    item->setData(ImageIndexRole, -1);
    return item;
}

QListWidgetItem *TPageListView::MakePageItem(const QString &fileName, int pageNo, int fileOrder,
                                             const QString &ext)
{
    return MakePageItem(PageEntry{fileName, pageNo, fileOrder, ext, {}});
}

PageEntry TPageListView::EntryOf(const QListWidgetItem *item)
{
    if (!item)
        return {};
    return {item->data(kFileRole).toString(), item->data(kPageRole).toInt(), item->data(kOrderRole).toInt(),
            item->data(kExtRole).toString(), item->data(PathRole).toString()};
}

void TPageListView::SetEntryOf(QListWidgetItem *item, const PageEntry &entry)
{
    if (!item)
        return;
    item->setText(captionOf(entry));
    item->setData(kFileRole, entry.file);
    item->setData(kPageRole, entry.page);
    item->setData(kOrderRole, entry.fileOrder);
    item->setData(kExtRole, entry.ext);
    item->setData(PathRole, entry.path);
}

int TPageListView::RowOf(const QString &path) const
{
    if (path.isEmpty())
        return -1;
    for (int i = 0; i < count(); ++i)
        if (item(i)->data(PathRole).toString() == path)
            return i;
    return -1;
}

QList<PageEntry> TPageListView::SelectedEntries() const
{
    QList<PageEntry> entries;
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected())
            entries << Entry(i);
    return entries;
}

QString TPageListView::SubItem(const QListWidgetItem *item, int index)
{
    return item ? item->data(SubItemRole + index).toString() : QString();
}

void TPageListView::SetSubItem(QListWidgetItem *item, int index, const QString &value)
{
    if (!item)
        return;
    item->setData(SubItemRole + index, value);
    // The path named the page by the old value.
    if (index != 2)
        item->setData(PathRole, QString());
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
    visibleRowsMayChange();
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

bool TPageListView::VisibleRowsPending() const
{
    return m_visibleRowsTimer->isActive();
}

void TPageListView::visibleRowsMayChange()
{
    // A hidden list shows nothing; showing it counts as a change.
    if (isVisible() && !m_visibleRowsTimer->isActive())
        m_visibleRowsTimer->start();
}

void TPageListView::scrollContentsBy(int dx, int dy)
{
    QListWidget::scrollContentsBy(dx, dy);
    visibleRowsMayChange();
}

void TPageListView::resizeEvent(QResizeEvent *event)
{
    QListWidget::resizeEvent(event);
    visibleRowsMayChange();
}

void TPageListView::showEvent(QShowEvent *event)
{
    QListWidget::showEvent(event);
    visibleRowsMayChange();
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

void TPageListView::startDrag(Qt::DropActions)
{
    if (StartDrag)
        StartDrag();
}
