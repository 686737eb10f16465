// The page list of the shown node: filling it, the thumbnail grid, finding and reading
// its entries, and the selection after pages were moved within or out of it.
#include "TImageManager.h"

#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "FileHelpers.h"
#include "Globals.h"
#include "PageListView.h"
#include "StoreInternal.h"
#include "WordSort.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QScopeGuard>
#include <QStringBuilder>
#include <QTreeWidget>

#include <algorithm>

using namespace storeinternal;

void TImageManager::ShowNode(QTreeWidgetItem *node, QProgressBar *progressBar)
{
    Loading = true;
    bool listHidden = false;
    const auto done = qScopeGuard([&] {
        Loading = false;
        if (listHidden)
            ListView->setVisible(true);
        if (progressBar)
            progressBar->hide();
    });

    const int kind = NodeKind(node);
    if (kind <= 1) {
        ListView->ClearAll();
        ShownBatchId = ShownImageId = 0;
        ShownBatchName.clear();
        ShownFileName.clear();
        const TCatalogNodeData *data = kind == 1 ? NodeData(node) : nullptr;
        ShownAppId = data ? data->Id : 0;
        ShownAppName = kind == 1 ? node->text(0) : QString();
        return;
    }

    QTreeWidgetItem *folder = kind == 2 ? node : node->parent();
    QTreeWidgetItem *type = folder->parent();
    if (kind == 2 && ShownAppName == type->text(0) && ShownBatchName == folder->text(0) && ShownImageId == 0)
        return;
    if (kind == 3 && ShownAppName == type->text(0) && ShownBatchName == folder->text(0) &&
        ShownFileName == node->text(0))
        return;

    ListView->ClearAll();
    ShownAppId = NodeData(type) ? NodeData(type)->Id : 0;
    ShownAppName = type->text(0);
    ShownBatchId = NodeData(folder) ? NodeData(folder)->Id : 0;
    ShownBatchName = folder->text(0);
    ShownFileName = ":1";
    ShownImageId = -1;
    QList<QTreeWidgetItem *> files;
    if (kind == 2) {
        for (int i = 0; i < folder->childCount(); ++i)
            files << folder->child(i);
    } else {
        files << node;
    }

    ListView->hide();
    listHidden = true;
    if (progressBar) {
        StartBar(progressBar, 0);
        if (files.size() > 1) {
            StartBar(progressBar, files.size());
            progressBar->show();
        }
    }

    const bool namesValid = IsValidCatalogName(ShownAppName) && IsValidCatalogName(ShownBatchName);
    for (QTreeWidgetItem *file : files) {
        if (!Loading)
            return; // a nested ShowNode took over the list
        const QString fileName = file->text(0);
        if (namesValid && IsValidCatalogName(fileName)) {
            const QString fileDir = ShownAppName + "/" + ShownBatchName + "/" + fileName + "/";
            ForceRepositoryDir(ImagesPath + fileDir);
            QStringList exts;
            RenumberPages(fileDir, &exts, nullptr, false);
            if (progressBar && files.size() == 1 && exts.size() > 10) {
                StartBar(progressBar, exts.size());
                progressBar->show();
            }
            const int order = NodeData(file) ? NodeData(file)->Order : 0;
            for (int n = 1; n <= exts.size(); ++n) {
                if (!Loading)
                    return;
                PageEntry entry{fileName, n, order, exts[n - 1], {}};
                entry.path = ShownPagePath(entry);
                ListView->AppendEntry(entry);
                if (files.size() == 1)
                    StepBar(progressBar);
                QCoreApplication::processEvents();
            }
        }
        if (files.size() > 1)
            StepBar(progressBar);
    }
    if (!Loading)
        return;

    ArrangeThumbnails();
    if (ListView->count() > 0)
        ListView->scrollToItem(ListView->item(0));
    if (kind == 2) {
        ShownImageId = 0;
        ShownFileName.clear();
    } else {
        ShownImageId = NodeData(node) ? NodeData(node)->Id : 0;
        ShownFileName = node->text(0);
    }
}

void TImageManager::ArrangeThumbnails()
{
    const int w = ListView->LargeImageSize().width();
    const int h = ListView->LargeImageSize().height();
    // A hidden list (as while ShowNode fills it) has not laid out its viewport yet.
    const int clientWidth =
        ListView->isVisible() ? ListView->viewport()->width() : ListView->maximumViewportSize().width();
    QPoint previous;
    for (int i = 0; i < ListView->count(); ++i) {
        QPoint pos;
        if (i == 0) {
            pos = {40, 0};
        } else if (ListView->Entry(i).page == 1) {
            pos = {40, previous.y() + h + 80}; // every file starts a new row
        } else {
            pos = {previous.x() + w + 40, previous.y()};
            if (clientWidth < pos.x() + w)
                pos = {40, previous.y() + h + 40};
        }
        ListView->SetItemPosition(i, pos);
        previous = pos;
    }
}

int TImageManager::FindPageItem(const QString &fileName, const QString &pageNo, int startIndex) const
{
    for (int i = std::max(0, startIndex); i < ListView->count(); ++i)
        if (ListView->SubItem(i, 0) == fileName && ListView->SubItem(i, 1) == pageNo)
            return i;
    return -1;
}

QString TImageManager::GetPagePath(int itemIndex) const
{
    const QListWidgetItem *item = ListView->item(itemIndex);
    if (!item)
        return {};
    const PageEntry entry = TPageListView::EntryOf(item);
    return entry.path.isEmpty() ? ShownPagePath(entry) : entry.path;
}

QString TImageManager::ShownPagePath(const PageEntry &entry) const
{
    return ImagesPath % ShownAppName % u'/' % ShownBatchName % u'/' % entry.file % u'/' % PagePrefix %
           SevenDigits(entry.page) % entry.ext;
}

QList<PageEntry> TImageManager::SelectedPages() const
{
    QList<PageEntry> pages = ListView->SelectedEntries();
    for (PageEntry &entry : pages)
        if (entry.path.isEmpty())
            entry.path = ShownPagePath(entry);
    return pages;
}

void TImageManager::GetSelectedPagePaths(QStringList &list) const
{
    list = PathsOf(SelectedPages());
}

void TImageManager::updateShownEntries(const std::function<void(PageEntry &)> &change)
{
    for (int i = 0; i < ListView->count(); ++i) {
        PageEntry entry = ListView->Entry(i);
        change(entry);
        entry.path = ShownPagePath(entry);
        ListView->SetEntry(i, entry);
    }
}

QString TImageManager::GetItemFileName(int itemIndex) const
{
    return ListView->SubItem(itemIndex, 0);
}

int TImageManager::GetItemFileIndex(int itemIndex) const
{
    QTreeWidgetItem *selected = TreeView->currentItem();
    const int kind = NodeKind(selected);
    if (kind == 2) {
        const QString name = GetItemFileName(itemIndex);
        for (int i = 0; i < selected->childCount(); ++i)
            if (selected->child(i)->text(0) == name)
                return i;
        return -1;
    }
    if (kind == 3)
        return selected->parent()->indexOfChild(selected);
    return -1;
}

int TImageManager::GetItemImageId(int itemIndex) const
{
    QTreeWidgetItem *selected = TreeView->currentItem();
    const int kind = NodeKind(selected);
    if (kind != 2 && kind != 3)
        return -1;
    const int index = GetItemFileIndex(itemIndex);
    QTreeWidgetItem *folder = kind == 2 ? selected : selected->parent();
    const TCatalogNodeData *data = index >= 0 ? NodeData(folder->child(index)) : nullptr;
    return data ? data->Id : -1;
}

void TImageManager::MovePagesBefore(QListWidgetItem *targetItem, QStringList *sources)
{
    if (!targetItem)
        return;
    QStringList list = selectionOrNull(sources);
    const bool wasVisible = ListView->isVisible();
    ListView->setUpdatesEnabled(false);
    ListView->hide();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([&] {
        QApplication::restoreOverrideCursor();
        if (wasVisible)
            ListView->show();
        ListView->setUpdatesEnabled(true);
    });
    try {
        const int targetIndex = ListView->row(targetItem);
        int m = 0;
        for (int i = 0; i < targetIndex; ++i)
            if (list.contains(GetPagePath(i)))
                ++m;
        const int p = targetIndex - m;
        const PageEntry target = TPageListView::EntryOf(targetItem);
        MovePages(&list, ShownAppName, true, target.page, target.file, ShownBatchName);
        if (sources)
            *sources = list;
        ListView->clearSelection();
        for (int i = p; i < p + list.size() && i < ListView->count(); ++i)
            ListView->item(i)->setSelected(true);
        ArrangeThumbnails();
        const QList<QListWidgetItem *> selected = ListView->selectedItems();
        if (!selected.isEmpty())
            ListView->scrollToItem(ListView->item(p));
    } catch (...) {
    }
}

void TImageManager::MovePagesToFile(QTreeWidgetItem *node, QStringList *sources, int beforePage)
{
    // A folder target first gets a new file of its own, under the default name.
    if (NodeKind(node) == 2)
        node = NewFile(node, QString(), true);
    if (NodeKind(node) != 3)
        return;
    QStringList list = selectionOrNull(sources);
    ListView->setUpdatesEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([&] {
        QApplication::restoreOverrideCursor();
        ListView->setUpdatesEnabled(true);
    });
    const QString fileName = node->text(0);
    const QString batchName = node->parent()->text(0);
    const QString appName = node->parent()->parent()->text(0);
    MovePages(&list, appName, true, beforePage, fileName, batchName);
    if (sources)
        *sources = list;
    ListView->clearSelection();
    if (IsShownDir(ImagesPath + appName + "/" + batchName + "/" + fileName + "/")) {
        int last = FindPageItem(fileName, "1", 0);
        if (last >= 0) {
            while (last + 1 < ListView->count() && ListView->SubItem(last + 1, 0) == fileName)
                ++last;
            for (int i = std::max(0, last - int(list.size()) + 1); i <= last && !list.isEmpty(); ++i)
                ListView->item(i)->setSelected(true);
        }
    }
    ArrangeThumbnails();
    const QList<QListWidgetItem *> selected = ListView->selectedItems();
    if (!selected.isEmpty())
        ListView->scrollToItem(selected.first());
}
