// Moving file types, folders and files in the tree: reordering among siblings, and moving
// a folder to another file type or a file to another folder with its rows, pages and
// thumbnails.
#include "TImageManager.h"

#include "CatalogDatabase.h"
#include "CatalogOpsInternal.h"
#include "CatalogSchema.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "StoreFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTreeWidget>

using namespace catalogops;

namespace {

// A message box with the program's title and no icon.
void ShowPlainMessage(const QString &text)
{
    Messages::Show(text, QGuiApplication::applicationDisplayName(), MsgIcon::None);
}

// Moves Node to just before Target (same or another parent), keeping it current and expanded.
void PlaceBefore(QTreeWidgetItem *node, QTreeWidgetItem *target)
{
    QTreeWidget *tree = node->treeWidget();
    const bool wasCurrent = tree && tree->currentItem() == node;
    const bool wasExpanded = node->isExpanded();
    QTreeWidgetItem *oldParent = node->parent();
    oldParent->takeChild(oldParent->indexOfChild(node));
    QTreeWidgetItem *parent = target->parent();
    parent->insertChild(parent->indexOfChild(target), node);
    node->setExpanded(wasExpanded);
    if (wasCurrent)
        tree->setCurrentItem(node);
}

// Runs the two statements that put an item at order o and shift the rest, as one change.
bool ExecuteReorder(const QString &shift, const QString &place)
{
    return CatalogConnection && CatalogConnection->ExecuteInTransaction({shift, place});
}

// Puts Node in front of its sibling Target: database order first, then the tree.
bool ReorderBefore(QTreeWidgetItem *node, QTreeWidgetItem *target, const QString &table,
                   const QString &orderCol, const QString &idCol)
{
    if (node == target)
        return true;
    TCatalogNodeData *nd = NodeData(node);
    if (!nd || !NodeData(target))
        return false;
    const int o = OrderOf(target);
    if (!ExecuteReorder(QStringLiteral("Update ") + table + QStringLiteral(" Set ") + orderCol + u'=' +
                            orderCol + QStringLiteral("+1 Where ") + orderCol + QStringLiteral(">=") + Num(o),
                        QStringLiteral("Update ") + table + QStringLiteral(" Set ") + orderCol + u'=' +
                            Num(o) + QStringLiteral(" Where ") + idCol + u'=' + Num(nd->Id)))
        return false;
    nd->Order = o;
    PlaceBefore(node, target);
    QTreeWidgetItem *parent = target->parent();
    for (int i = parent->indexOfChild(target); i < parent->childCount(); ++i)
        if (TCatalogNodeData *d = NodeData(parent->child(i)))
            ++d->Order;
    return true;
}

// Gives a freshly created item the page and thumbnail directories of the item it replaces.
// False, with the old directories untouched, when the page directory cannot be moved.
bool MoveItemDirectories(TImageManager &m, const QString &oldRel, const QString &newRel)
{
    const QString oldPages = m.ImagesPath + oldRel;
    const QString newPages = m.ImagesPath + newRel;
    // Names from an old catalogue are not checked: never move anything out of the repository.
    if (!m.IsRepositoryPath(oldPages) || !m.IsRepositoryPath(newPages))
        return false;
    m.RemoveRepositoryDir(newPages);
    if (QFileInfo(oldPages).isDir()) {
        QDir().mkpath(QFileInfo(newPages).absolutePath());
        if (m.PagesChanging)
            m.PagesChanging(oldPages + u'/', false);
        if (!StoreFiles().Rename(oldPages, newPages))
            return false;
    } else {
        m.ForceRepositoryDir(newPages);
    }
    const QString oldThumbs = m.ThumbnailPath + oldRel;
    const QString newThumbs = m.ThumbnailPath + newRel;
    if (QFileInfo(oldThumbs).isDir()) {
        QDir().mkpath(QFileInfo(newThumbs).absolutePath());
        StoreFiles().Rename(oldThumbs, newThumbs); // thumbnails are remade when missing
    }
    return true;
}

} // namespace

void TImageManager::MoveFileTypeNode(QTreeWidgetItem *node, QTreeWidgetItem *target)
{
    if (NodeKind(node) != 1 || NodeKind(target) != 1)
        return;
    ReorderBefore(node, target, QStringLiteral("APP"), QStringLiteral("APPORDER"), QStringLiteral("APPID"));
}

bool TImageManager::MoveFolderNode(QTreeWidgetItem *node, QTreeWidgetItem *target)
{
    if (NodeKind(node) != 2)
        return true;
    QTreeWidgetItem *typeNode = node->parent();
    const int targetKind = NodeKind(target);
    if (targetKind == 2 && target->parent() == typeNode)
        return ReorderBefore(node, target, QStringLiteral("BATCH"), QStringLiteral("BATCHORDER"),
                             QStringLiteral("BATCHID"));
    if (targetKind == 2)
        return MoveFolderNode(node, target->parent()) && MoveFolderNode(node, target);
    if (targetKind != 1 || target == typeNode)
        return true;

    const QString name = node->text(0);
    const int oldAppId = IdOf(typeNode);
    const int oldBatchId = IdOf(node);
    QTreeWidgetItem *created = NewFolder(target, name, true);
    if (!created) {
        ShowPlainMessage(
            WithName(QStringLiteral("无法移动文件夹”%s“,文件类型下已含有相同名称的文件夹!"), name));
        return false;
    }
    const int newAppId = IdOf(target);
    const int newBatchId = IdOf(created);

    const QString oldRel = RelativeDir(node);
    const QString newRel = RelativeDir(created);
    const bool moved = CatalogQuery &&
                       CatalogQuery->ExecSQL(QStringLiteral("insert into ") +
                                             CatalogSchema::ImgTableName(newAppId, newBatchId) +
                                             QStringLiteral(" Select * from ") +
                                             CatalogSchema::ImgTableName(oldAppId, oldBatchId)) &&
                       MoveItemDirectories(*this, oldRel, newRel);
    if (!moved) {
        // Nothing has left the old folder: take the half-made copy away again.
        DeleteFolder(newAppId, newBatchId, true, created);
        Messages::Info(WithName(QStringLiteral("无法移动文件夹”%s“,文件夹保持不变。"), name),
                       OwnerOf(TreeView));
        return false;
    }

    const ShownContext shown = SaveShown(*this);
    ShownAppName.clear();
    DeleteFolder(oldAppId, oldBatchId, false, node);
    *NodeData(node) = *NodeData(created);
    PlaceBefore(node, created);
    DeleteNode(created);
    RestoreShown(*this, shown);
    if (shown.appId == oldAppId && shown.batchId == oldBatchId && shown.batchName == name) {
        // The list shows the moved folder (or one of its files); its items stay valid.
        ShownAppId = newAppId;
        ShownAppName = target->text(0);
        ShownBatchId = newBatchId;
        updateShownEntries([](PageEntry &) {});
    }
    return true;
}

bool TImageManager::MoveFileNode(QTreeWidgetItem *node, QTreeWidgetItem *target)
{
    if (NodeKind(node) != 3)
        return true;
    QTreeWidgetItem *folderNode = node->parent();
    QTreeWidgetItem *typeNode = folderNode->parent();
    const int targetKind = NodeKind(target);
    if (targetKind == 3 && target->parent() == folderNode)
        return ReorderBefore(node, target, CatalogSchema::ImgTableName(IdOf(typeNode), IdOf(folderNode)),
                             QStringLiteral("IMAGEORDER"), QStringLiteral("IMAGEID"));
    if (targetKind == 3)
        return MoveFileNode(node, target->parent()) && MoveFileNode(node, target);
    if (targetKind != 2 || target == folderNode)
        return true;

    const QString name = node->text(0);
    const int oldAppId = IdOf(typeNode);
    const int oldBatchId = IdOf(folderNode);
    const int oldImageId = IdOf(node);
    QTreeWidgetItem *created = NewFile(target, name, true);
    if (!created) {
        ShowPlainMessage(WithName(QStringLiteral("无法移动文件”%s“,文件夹下已含有相同名称的文件!"), name));
        return false;
    }
    const int newAppId = IdOf(target->parent());
    const int newBatchId = IdOf(target);
    const int newImageId = IdOf(created);

    if (!MoveItemDirectories(*this, RelativeDir(node), RelativeDir(created))) {
        DeleteFile(newAppId, newBatchId, true, created, newImageId);
        Messages::Info(WithName(QStringLiteral("无法移动文件”%s“,文件保持不变。"), name), OwnerOf(TreeView));
        return false;
    }
    if (newAppId == oldAppId && CatalogCommand)
        CatalogCommand->ExecSQL(QStringLiteral("Update ") + CatalogSchema::InfoTableName(oldAppId) +
                                QStringLiteral(" Set BATCHID=") + Num(newBatchId) +
                                QStringLiteral(",IMAGEID=") + Num(newImageId) +
                                QStringLiteral(" Where BATCHID=") + Num(oldBatchId) +
                                QStringLiteral(" And IMAGEID=") + Num(oldImageId));

    const ShownContext shown = SaveShown(*this);
    ShownAppName.clear();
    DeleteFile(oldAppId, oldBatchId, false, node, oldImageId);
    *NodeData(node) = *NodeData(created);
    PlaceBefore(node, created);
    DeleteNode(created);
    RestoreShown(*this, shown);
    const bool oldFolderShown = shown.appId == oldAppId && shown.batchId == oldBatchId;
    if (oldFolderShown && shown.imageId == oldImageId && shown.fileName == name) {
        // The list shows the moved file: it stays valid under the new identifiers.
        ShownAppId = newAppId;
        ShownAppName = target->parent()->text(0);
        ShownBatchId = newBatchId;
        ShownBatchName = target->text(0);
        ShownImageId = newImageId;
        const int order = OrderOf(node);
        updateShownEntries([order](PageEntry &entry) { entry.fileOrder = order; });
    } else if (oldFolderShown && shown.imageId == 0) {
        // The list shows the old folder as a whole: the moved file's pages leave it.
        for (int i = ListView->count() - 1; i >= 0; --i)
            if (ListView->SubItem(i, 0) == name)
                delete ListView->takeItem(i);
        ArrangeThumbnails();
    }
    return true;
}

