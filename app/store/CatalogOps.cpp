// Creating, deleting, renaming, reordering and moving file types, folders and files: the
// database rows, the directories below the repository and the tree nodes change together.
#include "TImageManager.h"

#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "FieldStore.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "StoreFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTreeWidget>

namespace {

constexpr int kMaxNameLength = 50; // the name columns are CHAR(50)

QString Num(qint64 n)
{
    return QString::number(n);
}

int IdOf(QTreeWidgetItem *node)
{
    const TCatalogNodeData *d = NodeData(node);
    return d ? d->Id : 0;
}

int OrderOf(QTreeWidgetItem *node)
{
    const TCatalogNodeData *d = NodeData(node);
    return d ? d->Order : 0;
}

// The node's directory relative to the repository roots: captions from the file type down.
QString RelativeDir(QTreeWidgetItem *node)
{
    QStringList parts;
    for (QTreeWidgetItem *n = node; n && n->parent(); n = n->parent())
        parts.prepend(n->text(0));
    return parts.join(u'/');
}

// Why a name cannot be a catalogue name (it is also a directory name), or empty when it can.
QString NameProblem(const QString &name)
{
    static const QString forbidden = QStringLiteral("/\\:*?<>|");
    for (const QChar c : name) {
        if (forbidden.contains(c))
            return QStringLiteral("名称不能包括以下字符:/\\:*?<>|");
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("名称不能包括控制字符！");
    }
    if (name == u"." || name == u"..")
        return QStringLiteral("名称不能是“.”或“..”！");
    if (name.size() > kMaxNameLength)
        return QStringLiteral("名称不能超过%1个字符！").arg(kMaxNameLength);
    return {};
}

bool IsUsableName(const QString &name)
{
    return !name.isEmpty() && NameProblem(name).isEmpty() && TImageManager::IsValidCatalogName(name);
}

QWidget *OwnerOf(QTreeWidget *tree)
{
    return tree ? tree->window() : nullptr;
}

// A message box with the program's title and no icon.
void ShowPlainMessage(const QString &text)
{
    Messages::Show(text, QGuiApplication::applicationDisplayName(), MsgIcon::None);
}

QString WithName(const QString &format, const QString &name)
{
    QString text = format;
    return text.replace(QStringLiteral("%s"), name);
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

// The shown context, saved around a move.
struct ShownContext {
    int32_t appId, batchId, imageId;
    QString appName, batchName, fileName;
};

ShownContext SaveShown(const TImageManager &m)
{
    return {m.ShownAppId, m.ShownBatchId, m.ShownImageId, m.ShownAppName, m.ShownBatchName, m.ShownFileName};
}

void RestoreShown(TImageManager &m, const ShownContext &c)
{
    m.ShownAppId = c.appId;
    m.ShownBatchId = c.batchId;
    m.ShownImageId = c.imageId;
    m.ShownAppName = c.appName;
    m.ShownBatchName = c.batchName;
    m.ShownFileName = c.fileName;
}

void ClearShown(TImageManager &m)
{
    RestoreShown(m, {0, 0, 0, {}, {}, {}});
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

} // namespace

void TImageManager::MakeUniqueName(const QString &base, const QString &table, QString &name,
                                   const QString &keyField, int keyValue, const QString &nameField)
{
    for (int n = 1;; ++n) {
        const QString candidate = base + u'(' + Num(n) + u')';
        QString sql = QStringLiteral("Select ") + nameField + QStringLiteral(" From ") + table +
                      QStringLiteral(" Where ") + nameField + u'=' + QuotedSqlText(candidate);
        if (!keyField.isEmpty())
            sql += QStringLiteral("\n And ") + keyField + u'=' + Num(keyValue);
        if (!Query->Open(sql))
            return;
        const bool taken = !Query->Eof();
        Query->Close();
        if (!taken) {
            name = candidate;
            return;
        }
    }
}

QTreeWidgetItem *TImageManager::NewFileType(bool addNode)
{
    QString name;
    MakeUniqueName(QStringLiteral("新建文件类型"), QStringLiteral("APP"), name, QString(), 0,
                   QStringLiteral("APPNAME"));
    if (name.isEmpty())
        return nullptr;
    const std::optional<CatalogSchema::NewRow> row = CatalogSchema(Connection).AddFileType(name);
    if (!row)
        return nullptr;

    QTreeWidgetItem *node = nullptr;
    if (addNode && TreeView && TreeView->topLevelItemCount() > 0)
        node = AddNode(TreeView->topLevelItem(0), name, 1, row->id, row->order);
    ForceRepositoryDir(ImagesPath + name);
    return node;
}

QTreeWidgetItem *TImageManager::NewFolder(QTreeWidgetItem *node, const QString &name, bool addNode)
{
    QTreeWidgetItem *typeNode = node;
    switch (NodeKind(node)) {
    case 1:
        break;
    case 2:
        typeNode = node->parent();
        break;
    case 3:
        typeNode = node->parent()->parent();
        break;
    default:
        return nullptr;
    }
    const int typeId = IdOf(typeNode);

    QString folderName = name;
    if (!folderName.isEmpty()) {
        if (!IsUsableName(folderName))
            return nullptr;
        if (!Query->Open(QStringLiteral("Select BATCHNAME From BATCH Where APPID=") + Num(typeId) +
                         QStringLiteral(" And BATCHNAME=") + QuotedSqlText(folderName)) ||
            !Query->Eof())
            return nullptr;
    } else {
        MakeUniqueName(QStringLiteral("新建文件夹"), QStringLiteral("BATCH"), folderName,
                       QStringLiteral("APPID"), typeId, QStringLiteral("BATCHNAME"));
        if (folderName.isEmpty())
            return nullptr;
    }

    const std::optional<CatalogSchema::NewRow> row = CatalogSchema(Connection).AddFolder(typeId, folderName);
    if (!row)
        return nullptr;

    QTreeWidgetItem *result = typeNode;
    if (addNode)
        result = AddNode(typeNode, folderName, 2, row->id, row->order);
    ForceRepositoryDir(ImagesPath + typeNode->text(0) + u'/' + folderName);
    return result;
}

QTreeWidgetItem *TImageManager::NewFile(QTreeWidgetItem *node, const QString &name, bool addNode)
{
    QTreeWidgetItem *folderNode = NodeKind(node) == 3 ? node->parent() : node;
    if (NodeKind(folderNode) != 2)
        return nullptr;
    QTreeWidgetItem *typeNode = folderNode->parent();
    const QString table = CatalogSchema::ImgTableName(IdOf(typeNode), IdOf(folderNode));

    QString fileName = name;
    if (!fileName.isEmpty()) {
        if (!IsUsableName(fileName))
            return nullptr;
        if (!Query->Open(QStringLiteral("Select IMAGENAME From ") + table +
                         QStringLiteral(" Where IMAGENAME=") + QuotedSqlText(fileName)) ||
            !Query->Eof())
            return nullptr;
    } else {
        MakeUniqueName(QStringLiteral("新建文件"), table, fileName, QString(), 0,
                       QStringLiteral("IMAGENAME"));
        if (fileName.isEmpty())
            return nullptr;
    }

    const std::optional<CatalogSchema::NewRow> row =
        CatalogSchema(Connection).AddFile(IdOf(typeNode), IdOf(folderNode), fileName);
    if (!row)
        return nullptr;

    QTreeWidgetItem *result = folderNode;
    if (addNode)
        result = AddNode(folderNode, fileName, 3, row->id, row->order);
    ForceRepositoryDir(ImagesPath + typeNode->text(0) + u'/' + folderNode->text(0) + u'/' + fileName);
    return result;
}

void TImageManager::DeleteFileType(int appId, QTreeWidgetItem *node, bool updateView)
{
    // The directories go only once the rows and tables are gone for good.
    if (!CatalogSchema(Connection).DeleteFileType(appId))
        return;

    if (!node && TreeView && TreeView->topLevelItemCount() > 0)
        node = FindChildById(TreeView->topLevelItem(0), appId);
    if (!node)
        return;
    // Never let an odd caption turn the path into the repository root or a parent of it.
    if (IsUsableName(node->text(0)))
        RemoveRepositoryDir(ImagesPath + node->text(0));
    if (updateView) {
        DeleteNode(node);
        if (ShownAppId == appId) {
            ListView->ClearAll();
            ClearShown(*this);
        }
    }
}

void TImageManager::DeleteFolder(int appId, int batchId, bool updateView, QTreeWidgetItem *node)
{
    if (!CatalogSchema(Connection).DeleteFolder(appId, batchId))
        return;

    if (!node && TreeView && TreeView->topLevelItemCount() > 0)
        node = FindChildById(FindChildById(TreeView->topLevelItem(0), appId), batchId);
    if (!node || !node->parent())
        return;
    const QString typeName = node->parent()->text(0);
    const QString folderName = node->text(0);
    if (IsUsableName(typeName) && IsUsableName(folderName))
        RemoveRepositoryDir(ImagesPath + typeName + u'/' + folderName + u'/');
    if (updateView) {
        if (ShownAppName == typeName && ShownBatchName == folderName) {
            ListView->ClearAll();
            ClearShown(*this);
        }
        DeleteNode(node);
    }
}

void TImageManager::DeleteFile(int appId, int batchId, bool updateView, QTreeWidgetItem *node, int imageId)
{
    if (!CatalogSchema(Connection).DeleteFile(appId, batchId, imageId))
        return;

    if (!node && TreeView && TreeView->topLevelItemCount() > 0)
        node =
            FindChildById(FindChildById(FindChildById(TreeView->topLevelItem(0), appId), batchId), imageId);
    if (NodeKind(node) != 3)
        return;
    const QString typeName = node->parent()->parent()->text(0);
    const QString folderName = node->parent()->text(0);
    const QString fileName = node->text(0);
    if (IsUsableName(typeName) && IsUsableName(folderName) && IsUsableName(fileName))
        RemoveRepositoryDir(ImagesPath + typeName + u'/' + folderName + u'/' + fileName + u'/');
    if (updateView) {
        if (ShownAppName == typeName && ShownBatchName == folderName) {
            if (ShownFileName != fileName) {
                for (int i = ListView->count() - 1; i >= 0; --i)
                    if (ListView->SubItem(i, 0) == fileName)
                        delete ListView->takeItem(i);
                ArrangeThumbnails();
            } else {
                ListView->ClearAll();
                ClearShown(*this);
            }
        }
        DeleteNode(node);
    }
}

void TImageManager::RenameNode(QTreeWidgetItem *node, QString &newName)
{
    const int kind = NodeKind(node);
    if (kind < 1 || kind > 3 || !NodeData(node))
        return;
    const QString oldName = node->text(0);
    const int id = IdOf(node);
    QWidget *owner = OwnerOf(TreeView);
    const auto keepOld = [&] {
        newName = oldName;
        if (node->text(0) != oldName)
            node->setText(0, oldName);
    };

    newName = newName.trimmed();
    if (newName.isEmpty())
        return keepOld();
    if (const QString problem = NameProblem(newName); !problem.isEmpty()) {
        Messages::Info(problem, owner);
        return keepOld();
    }

    QString check, taken, update;
    const QString quoted = QuotedSqlText(newName);
    if (kind == 1) {
        check = QStringLiteral("Select APPID From APP Where APPNAME=") + quoted;
        taken = QStringLiteral("无法重命名 %s,指定的类型名与现有类型重名！");
        update =
            QStringLiteral("UPDATE APP SET APPNAME=") + quoted + QStringLiteral(" WHERE APPID=") + Num(id);
    } else if (kind == 2) {
        check = QStringLiteral("Select BATCHID From BATCH Where BATCHNAME=") + quoted;
        taken = QStringLiteral("无法重命名 %s,指定的文件夹名与现有文件夹重名！");
        update = QStringLiteral("UPDATE BATCH SET BATCHNAME=") + quoted + QStringLiteral(" WHERE BATCHID=") +
                 Num(id);
    } else {
        const QString table =
            CatalogSchema::ImgTableName(IdOf(node->parent()->parent()), IdOf(node->parent()));
        check = QStringLiteral("Select IMAGEID From ") + table + QStringLiteral(" Where IMAGENAME=") + quoted;
        taken = QStringLiteral("无法重命名 %s,指定的文件名与现有文件重名！");
        update = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET IMAGENAME=") + quoted +
                 QStringLiteral(" WHERE IMAGEID=") + Num(id);
    }
    if (!CatalogQuery || !CatalogQuery->Open(check))
        return keepOld();
    const bool exists = !CatalogQuery->Eof();
    CatalogQuery->Close();
    if (exists) {
        Messages::Info(WithName(taken, oldName), owner);
        return keepOld();
    }

    const QString oldRel = RelativeDir(node);
    const QString newRel = oldRel.left(oldRel.size() - oldName.size()) + newName;
    if (IsRepositoryPath(ImagesPath + oldRel))
        pagesChanging(ImagesPath + oldRel + u'/', false);
    if (!IsRepositoryPath(ImagesPath + oldRel) || !IsRepositoryPath(ImagesPath + newRel) ||
        !StoreFiles().Rename(ImagesPath + oldRel, ImagesPath + newRel)) {
        Messages::Info(QStringLiteral("重命名文件目录失败！"), owner);
        return keepOld();
    }
    if (!CatalogQuery->ExecSQL(update)) {
        StoreFiles().Rename(ImagesPath + newRel, ImagesPath + oldRel);
        return keepOld();
    }

    if (kind == 1 && ShownAppId == id && ShownAppName == oldName) {
        ShownAppName = newName;
        updateShownEntries([](PageEntry &) {});
    } else if (kind == 2 && ShownBatchId == id && ShownBatchName == oldName) {
        ShownBatchName = newName;
        updateShownEntries([](PageEntry &) {});
    } else if (kind == 3 && ShownAppName == node->parent()->parent()->text(0) &&
               ShownBatchName == node->parent()->text(0)) {
        // The list shows this file or its whole folder: its entries carry the file name.
        updateShownEntries([&](PageEntry &entry) {
            if (entry.file == oldName)
                entry.file = newName;
        });
        if (ShownFileName == oldName)
            ShownFileName = newName;
    }
    node->setText(0, newName);
    if (QFileInfo(ThumbnailPath + oldRel).isDir())
        StoreFiles().Rename(ThumbnailPath + oldRel, ThumbnailPath + newRel);
}

namespace {

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

void TImageManager::LoadFieldDefs(int appId, FieldDefList &list, bool withRemark)
{
    FieldStore::LoadFieldDefs(Connection, appId, list, withRemark, TreeView);
}

void TImageManager::FreeFieldDefs(FieldDefList &list)
{
    FieldStore::FreeFieldDefs(list);
}

void TImageManager::ApplyFieldDefs(int appId, const FieldDefList &list)
{
    FieldStore::ApplyFieldDefs(Connection, appId, list);
}

void TImageManager::ReadFieldValues(const FieldDefList &defs, QStringList &values, int imageId, int batchId,
                                    int appId)
{
    FieldStore::ReadFieldValues(Connection, defs, values, imageId, batchId, appId);
}

bool TImageManager::WriteFieldValues(const FieldDefList &defs, const QStringList &values, int imageId,
                                     int batchId, int appId)
{
    return FieldStore::WriteFieldValues(Connection, defs, values, imageId, batchId, appId);
}
