// The store: the catalogue tree and its nodes, and the repository's paths and directories.
// Pages live in PageListing.cpp (the shown list) and PageRepository.cpp (page files);
// catalogue changes in CatalogOps.cpp and TreeMoves.cpp.
#include "TImageManager.h"

#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "FileHelpers.h"
#include "Globals.h"
#include "Messages.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <algorithm>
#include <stdexcept>


#include "StoreInternal.h"

using namespace storeinternal;

TCatalogNodeData *NodeData(QTreeWidgetItem *node)
{
    if (!node || node->type() != TCatalogNode::Type)
        return nullptr;
    return &static_cast<TCatalogNode *>(node)->Data;
}

TImageManager::TImageManager(QTreeWidget *treeView, TCatalogConnection *connection, TPageListView *listView,
                             QProgressBar *progressBar)
    : TreeView(treeView), ListView(listView), Query(std::make_unique<TCatalogQuery>(connection)),
      ExecQuery(std::make_unique<TCatalogQuery>(connection)), Connection(connection), ProgressBar(progressBar)
{
    ExecQuery->setExpectsNoRecords(true);
    ImagesPath = RootPath + "Images/";
    ThumbnailPath = RootPath + "Thumbnail/";
    QDir().mkpath(ImagesPath);
    QDir().mkpath(ThumbnailPath);
}

TImageManager::~TImageManager() = default;

// ---------------------------------------------------------------------------------------
// Tree

void TImageManager::LoadTree(const QString &statusList)
{
    TreeView->clear();
    auto *root = new QTreeWidgetItem;
    root->setText(0, "文件库");
    root->setData(0, TCatalogNode::ImageIndexRole, 0);
    TreeView->addTopLevelItem(root);

    const auto fail = [this] {
        Query->Close();
        Messages::Show("查询资料夹数据库错误", "提示", MsgIcon::Information, MsgButtons::Ok, TreeView);
    };
    if (!Query->Open("SELECT * FROM APP Order By APPORDER"))
        return fail();
    for (; !Query->Eof(); Query->Next())
        AddNode(root, Query->FieldText("APPNAME"), 1, Query->FieldByName("APPID").toInt(),
                Query->FieldByName("APPORDER").toInt());

    QString condition = "1=1";
    if (!statusList.isEmpty()) {
        condition = "1=0";
        for (const QString &e : statusList.split(','))
            condition += " Or STATUS = " + e;
    }

    // Children are added from the last node up, so the nodes still to visit keep their places.
    for (int i = root->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *type = root->child(i);
        if (!Query->Open("Select * from BATCH Where (" + condition +
                         ") and APPID=" + QString::number(NodeData(type)->Id) + " order by BATCHORDER"))
            return fail();
        for (; !Query->Eof(); Query->Next())
            AddNode(type, Query->FieldText("BATCHNAME"), 2, Query->FieldByName("BATCHID").toInt(),
                    Query->FieldByName("BATCHORDER").toInt());
    }
    for (int i = root->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *type = root->child(i);
        for (int j = type->childCount() - 1; j >= 0; --j) {
            QTreeWidgetItem *folder = type->child(j);
            if (!Query->Open("Select * from " +
                             CatalogSchema::ImgTableName(NodeData(type)->Id, NodeData(folder)->Id) +
                             " Order by IMAGEORDER")) {
                const QString error = Query->LastError();
                Query->Close();
                throw std::runtime_error(error.toStdString());
            }
            for (; !Query->Eof(); Query->Next())
                AddNode(folder, Query->FieldText("IMAGENAME"), 3, Query->FieldByName("IMAGEID").toInt(),
                        Query->FieldByName("IMAGEORDER").toInt());
        }
    }
    Query->Close();
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
    QTreeWidget *tree = node ? node->treeWidget() : nullptr;
    if (!tree) {
        delete node; // the data record lives in the node
        return;
    }
    // The tree moves its current item while the node goes, with the node still among its
    // parent's children: whatever the window showed then would list the node's file and
    // make its folders again. The move is told once the node is gone.
    const QTreeWidgetItem *before = tree->currentItem();
    {
        const QSignalBlocker quiet(tree);
        delete node;
    }
    if (tree->currentItem() != before)
        emit tree->currentItemChanged(tree->currentItem(), nullptr);
    emit tree->itemSelectionChanged();
}

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

int TImageManager::NodeKind(QTreeWidgetItem *node) const
{
    int level = 0;
    for (QTreeWidgetItem *p = node ? node->parent() : nullptr; p; p = p->parent())
        ++level;
    return level;
}

void TImageManager::GetNodePath(QTreeWidgetItem *node, bool absolute, QString &path) const
{
    path.clear();
    if (!node)
        node = TreeView->currentItem();
    if (!node)
        return;
    if (!node->parent()) {
        path = RootPath;
        return;
    }
    QStringList names;
    for (QTreeWidgetItem *n = node; n && n->parent(); n = n->parent())
        names.prepend(n->text(0));
    path = names.join('/');
    if (absolute)
        path = ImagesPath + path;
}

// ---------------------------------------------------------------------------------------
// Paths and directories

QString TImageManager::ThumbnailPathOf(const QString &pagePath) const
{
    QString path = pagePath;
    const QString ext = ExtensionOf(path);
    if (ext.size() == 4)
        path = path.left(path.size() - 4) + ".bmp";
    const int at = path.indexOf(ImagesPath, 0, Qt::CaseInsensitive);
    if (at >= 0)
        path.replace(at, ImagesPath.size(), ThumbnailPath);
    return path;
}

bool TImageManager::IsValidCatalogName(const QString &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\\') &&
           !name.contains(QChar(0));
}

bool TImageManager::IsRepositoryPath(const QString &path) const
{
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return false;
    const QString clean = QDir::cleanPath(path);
    for (const QString &base : {ImagesPath, ThumbnailPath}) {
        const QString b = QDir::cleanPath(base) + '/';
        if (clean.startsWith(b) && clean.size() > b.size())
            return true;
    }
    return false;
}

bool TImageManager::ForceRepositoryDir(const QString &path)
{
    if (!IsRepositoryPath(path))
        return false;
    if (QDir().mkpath(path))
        QDir().mkpath(MirrorOf(path, ImagesPath, ThumbnailPath));
    return QFileInfo(path).isDir();
}

bool TImageManager::RemoveRepositoryDir(const QString &path)
{
    if (!IsRepositoryPath(path))
        return false;
    pagesChanging(WithSlash(path), true);
    EmptyDirectory(path);
    const bool removed = QDir().rmdir(path);
    const QString mirror = MirrorOf(path, ImagesPath, ThumbnailPath);
    if (mirror != path && IsRepositoryPath(mirror)) {
        EmptyDirectory(mirror);
        QDir().rmdir(mirror);
    }
    return removed;
}

bool TImageManager::IsShownDir(const QString &dir) const
{
    const QString d = WithSlash(dir).toLower();
    const QString folder = (ImagesPath + ShownAppName + "/" + ShownBatchName + "/").toLower();
    if (!d.contains(folder))
        return false;
    return ShownFileName.isEmpty() || d == folder + ShownFileName.toLower() + "/";
}
