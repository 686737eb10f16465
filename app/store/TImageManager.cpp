#include "TImageManager.h"

#include "CatalogDatabase.h"
#include "FileHelpers.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "StoreFiles.h"
#include "WordSort.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QTreeWidget>

TCatalogNodeData *NodeData(QTreeWidgetItem *node)
{
    if (!node || node->type() != TCatalogNode::Type)
        return nullptr;
    return &static_cast<TCatalogNode *>(node)->Data;
}

TImageManager::TImageManager(QTreeWidget *treeView, TCatalogConnection *connection, TPageListView *listView)
    : TreeView(treeView), ListView(listView), Query(std::make_unique<TCatalogQuery>(connection)),
      ExecQuery(std::make_unique<TCatalogQuery>(connection)), Connection(connection)
{
    ExecQuery->setExpectsNoRecords(true);
    ImagesPath = RootPath + "Images/";
    ThumbnailPath = RootPath + "Thumbnail/";
    QDir().mkpath(ImagesPath);
    QDir().mkpath(ThumbnailPath);
}

TImageManager::~TImageManager() = default;

void TImageManager::LoadTree(const QString &) {}

void TImageManager::ShowNode(QTreeWidgetItem *, QProgressBar *) {}

void TImageManager::ArrangeThumbnails() {}

QTreeWidgetItem *TImageManager::FindChildById(QTreeWidgetItem *node, int id) const
{
    if (!node)
        return nullptr;
    for (int i = 0; i < node->childCount(); ++i) {
        const TCatalogNodeData *data = NodeData(node->child(i));
        if (data && data->Id == id)
            return node->child(i);
    }
    return nullptr;
}

QTreeWidgetItem *TImageManager::FindChildByName(QTreeWidgetItem *node, const QString &name) const
{
    if (!node)
        return nullptr;
    for (int i = 0; i < node->childCount(); ++i)
        if (node->child(i)->text(0) == name)
            return node->child(i);
    return nullptr;
}

int TImageManager::FindPageItem(const QString &, const QString &, int) const
{
    return -1;
}

QString TImageManager::GetPagePath(int) const
{
    return {};
}

void TImageManager::GetSelectedPagePaths(QStringList &list) const
{
    list.clear();
}

QString TImageManager::GetItemFileName(int itemIndex) const
{
    return ListView->SubItem(itemIndex, 0);
}

int TImageManager::GetItemFileIndex(int) const
{
    return -1;
}

int TImageManager::GetItemImageId(int) const
{
    return -1;
}

void TImageManager::GetNodePath(QTreeWidgetItem *, bool, QString &path) const
{
    path.clear();
}

int TImageManager::NodeKind(QTreeWidgetItem *node) const
{
    int level = 0;
    for (QTreeWidgetItem *p = node ? node->parent() : nullptr; p; p = p->parent())
        ++level;
    return level;
}

QTreeWidgetItem *TImageManager::AddNode(QTreeWidgetItem *parent, const QString &caption, int imageIndex,
                                        int32_t id, int32_t order)
{
    auto *node = new TCatalogNode;
    node->setText(0, caption);
    node->setData(0, TCatalogNode::ImageIndexRole, imageIndex);
    node->Data = {id, order};
    if (parent)
        parent->addChild(node);
    else
        TreeView->addTopLevelItem(node);
    return node;
}

void TImageManager::DeleteNode(QTreeWidgetItem *node)
{
    delete node;
}

QString TImageManager::ThumbnailPathOf(const QString &) const
{
    return {};
}

bool TImageManager::ForceRepositoryDir(const QString &)
{
    return false;
}

bool TImageManager::RemoveRepositoryDir(const QString &)
{
    return false;
}

bool TImageManager::IsShownDir(const QString &) const
{
    return false;
}

bool TImageManager::IsValidCatalogName(const QString &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\\') &&
           !name.contains(QChar(0));
}

bool TImageManager::IsRepositoryPath(const QString &) const
{
    return false;
}

bool TImageManager::RenamePageFile(const QString &, const QString &)
{
    return false;
}

bool TImageManager::RenumberPages(const QString &, QStringList *, QProgressBar *, bool)
{
    return false;
}

bool TImageManager::DeletePageFile(const QString &)
{
    return false;
}

bool TImageManager::CopyPageFile(const QString &, const QString &)
{
    return false;
}

void TImageManager::DeletePages(QStringList *, bool) {}

void TImageManager::AddPages(QStringList *, const QString &, bool, int, const QString &, const QString &) {}

void TImageManager::MovePages(QStringList *, const QString &, bool, int, const QString &, const QString &) {}

void TImageManager::MovePagesBefore(QListWidgetItem *, QStringList *) {}

void TImageManager::MovePagesToFile(QTreeWidgetItem *, QStringList *, int) {}

void TImageManager::ReplacePage(int, const QString &) {}

QStringList TImageManager::selectionOrNull(QStringList *list) const
{
    return list ? *list : QStringList();
}

bool TImageManager::finishRenumberJournal(const QString &)
{
    return true;
}

void TImageManager::refillShownFile(const QString &, const QStringList &, QProgressBar *) {}
