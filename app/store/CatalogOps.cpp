// Creating, deleting and renaming file types, folders and files: the database rows, the
// directories below the repository and the tree nodes change together. Index fields go
// through to the field store.
#include "TImageManager.h"

#include "CatalogDatabase.h"
#include "CatalogOpsInternal.h"
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

using namespace catalogops;

namespace {

constexpr int kMaxNameLength = 50; // the name columns are CHAR(50)

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

void ClearShown(TImageManager &m)
{
    RestoreShown(m, {0, 0, 0, {}, {}, {}});
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
