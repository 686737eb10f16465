#include "CatalogContext.h"

#include "PageListView.h"
#include "TImageManager.h"

#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

int AbsoluteIndex(const QTreeWidgetItem *node)
{
    if (!node || !node->treeWidget())
        return -1;
    int index = 0;
    for (QTreeWidgetItemIterator it(node->treeWidget()); *it; ++it, ++index)
        if (*it == node)
            return index;
    return -1;
}

QTreeWidgetItem *NodeAtAbsoluteIndex(QTreeWidget *tree, int index)
{
    if (!tree || index < 0)
        return nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it, --index)
        if (index == 0)
            return *it;
    return nullptr;
}

TCatalogContext::TCatalogContext(TImageManager *store, QTreeWidget *tree, TPageListView *pages,
                                 QObject *parent)
    : QObject(parent), m_store(store), m_tree(tree), m_pages(pages)
{
    setObjectName(QStringLiteral("CatalogContext"));
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &TCatalogContext::SelectionChanged);
    connect(m_pages, &QListWidget::itemSelectionChanged, this, &TCatalogContext::SelectionChanged);
    // While the store fills the list page by page, the change is told once, when it is done.
    m_afterLoading = new QTimer(this);
    m_afterLoading->setSingleShot(true);
    m_afterLoading->setInterval(0);
    const auto pagesChanged = [this] {
        if (m_store && m_store->Loading)
            m_afterLoading->start();
        else
            emit SelectionChanged();
    };
    connect(m_afterLoading, &QTimer::timeout, this, pagesChanged);
    connect(m_pages->model(), &QAbstractItemModel::rowsInserted, this, pagesChanged);
    connect(m_pages->model(), &QAbstractItemModel::rowsRemoved, this, pagesChanged);
    connect(m_pages->model(), &QAbstractItemModel::modelReset, this, &TCatalogContext::SelectionChanged);
}

int TCatalogContext::NodeLevel(const QTreeWidgetItem *node)
{
    if (!node)
        return -1;
    int level = 0;
    for (const QTreeWidgetItem *p = node->parent(); p; p = p->parent())
        ++level;
    return level;
}

QTreeWidgetItem *TCatalogContext::SelectedNode() const
{
    QTreeWidgetItem *node = m_tree->currentItem();
    return node && node->isSelected() ? node : nullptr;
}

void TCatalogContext::SelectNode(QTreeWidgetItem *node)
{
    if (node)
        m_tree->setCurrentItem(node);
}

QTreeWidgetItem *TCatalogContext::NodeAt(int absoluteIndex) const
{
    return NodeAtAbsoluteIndex(m_tree, absoluteIndex);
}

int TCatalogContext::PageCount() const
{
    return m_pages->count();
}

QString TCatalogContext::PageFileName(int row) const
{
    return TPageListView::SubItem(m_pages->item(row), 0);
}

QString TCatalogContext::PagePath(int row) const
{
    return m_store ? m_store->GetPagePath(row) : QString();
}

QList<PageEntry> TCatalogContext::SelectedPages() const
{
    return m_store ? m_store->SelectedPages() : QList<PageEntry>();
}

QStringList TCatalogContext::SelectedPagePaths() const
{
    return m_store ? PathsOf(m_store->SelectedPages()) : QStringList();
}

int TCatalogContext::SelectedPageCount() const
{
    return int(m_pages->selectedItems().size());
}

void TCatalogContext::SelectPage(int row)
{
    if (row >= 0 && row < m_pages->count())
        m_pages->setCurrentRow(row);
}

void TCatalogContext::ClearPageSelection()
{
    m_pages->clearSelection();
}

void TCatalogContext::MarkThumbnailStale(int row, const QString &path)
{
    // The list may show another file by now: only the item of this page is marked.
    QListWidgetItem *item = m_pages->item(row);
    if (item && QFileInfo(PagePath(row)) == QFileInfo(path))
        TPageListView::SetImageIndex(item, -1);
}

void TCatalogContext::FocusFirstSelectedPage()
{
    const QList<QListWidgetItem *> selected = m_pages->selectedItems();
    if (!selected.isEmpty()) {
        QListWidgetItem *first = selected.first();
        for (QListWidgetItem *item : selected)
            if (m_pages->row(item) < m_pages->row(first))
                first = item;
        m_pages->setCurrentItem(first, QItemSelectionModel::NoUpdate);
    }
    m_pages->setFocus();
}

void TCatalogContext::SetViewer(const TViewerState &state)
{
    if (state == m_viewer)
        return;
    m_viewer = state;
    emit ViewerChanged();
}

void TCatalogContext::SetClipboardHasFiles(bool has)
{
    if (has == m_clipboardHasFiles)
        return;
    m_clipboardHasFiles = has;
    emit ClipboardChanged();
}
