#pragma once
// The document store: keeps the catalogue tree, the page list, the database rows and the
// page and thumbnail files below the repository root in step, and answers every question
// about repository paths.
#include <QList>
#include <QString>
#include <QStringList>
#include <QTreeWidgetItem>
#include "FieldStore.h"
#include "PageEntry.h"
#include <cstdint>
#include <functional>
#include <memory>

class QProgressBar;
class QTreeWidget;
class QListWidgetItem;
class TCatalogConnection;
class TCatalogQuery;
class TPageListView;

// Identifier and order value of a tree node below the root.
struct TCatalogNodeData {
    int32_t Id = 0;
    int32_t Order = 0;
};

// A catalogue tree node carrying its data record; the record goes with the node.
class TCatalogNode : public QTreeWidgetItem {
public:
    static constexpr int Type = QTreeWidgetItem::UserType + 1;
    // Tree image index (0 root, 1 file type, 2 folder, 3 file) is kept in this role.
    static constexpr int ImageIndexRole = Qt::UserRole + 1;
    TCatalogNode() : QTreeWidgetItem(Type) {}
    TCatalogNodeData Data;
};

// The data record of a node; null for the root and for nodes the store did not make.
TCatalogNodeData *NodeData(QTreeWidgetItem *node);

class TImageManager {
public:
    // ProgressBar is the main window's status-bar bar, used by imports that are given none.
    TImageManager(QTreeWidget *treeView, TCatalogConnection *connection, TPageListView *listView,
                  QProgressBar *progressBar = nullptr);
    ~TImageManager();
    TImageManager(const TImageManager &) = delete;
    TImageManager &operator=(const TImageManager &) = delete;

    QTreeWidget *TreeView;
    TPageListView *ListView;
    std::unique_ptr<TCatalogQuery> Query;     // reads rows
    std::unique_ptr<TCatalogQuery> ExecQuery; // statements without records
    TCatalogConnection *Connection;
    QProgressBar *ProgressBar; // not owned; may be null
    QString PagePrefix = "P";
    bool Loading = false;
    int32_t ShownAppId = 0;
    int32_t ShownBatchId = 0;
    int32_t ShownImageId = 0;
    QString ShownAppName;
    QString ShownBatchName;
    QString ShownFileName;
    QString ImagesPath;    // RootPath + "Images/"
    QString ThumbnailPath; // RootPath + "Thumbnail/"

    // Told before page files change under Path, a page file or a directory ending in "/":
    // Removing when they are deleted, otherwise when they are renamed, moved or overwritten.
    // The viewer drops or writes back a pending change of the page it shows, so that no
    // change ever lands on another page. May be unset.
    std::function<void(const QString &path, bool removing)> PagesChanging;

    // Tree and list.
    void LoadTree(const QString &statusList);
    void ShowNode(QTreeWidgetItem *node, QProgressBar *progressBar);
    void ArrangeThumbnails();
    QTreeWidgetItem *FindChildById(QTreeWidgetItem *node, int id) const;
    QTreeWidgetItem *FindChildByName(QTreeWidgetItem *node, const QString &name) const;
    int FindPageItem(const QString &fileName, const QString &pageNo, int startIndex) const;
    QString GetPagePath(int itemIndex) const;
    // The selected pages in list order, each with its page file's path.
    QList<PageEntry> SelectedPages() const;
    void GetSelectedPagePaths(QStringList &list) const;
    // Where the page Entry names lies in the shown folder.
    QString ShownPagePath(const PageEntry &entry) const;
    QString GetItemFileName(int itemIndex) const;
    int GetItemFileIndex(int itemIndex) const;
    int GetItemImageId(int itemIndex) const;
    void GetNodePath(QTreeWidgetItem *node, bool absolute, QString &path) const;
    int NodeKind(QTreeWidgetItem *node) const;

    // Adds a node under Parent with its data record; DeleteNode releases it with the node.
    QTreeWidgetItem *AddNode(QTreeWidgetItem *parent, const QString &caption, int imageIndex, int32_t id,
                             int32_t order);
    void DeleteNode(QTreeWidgetItem *node);

    // Paths and directories.
    QString ThumbnailPathOf(const QString &pagePath) const;
    bool ForceRepositoryDir(const QString &path);
    bool RemoveRepositoryDir(const QString &path);
    bool IsShownDir(const QString &dir) const;
    // A name that may become a directory below the repository: not empty, not "." or
    // "..", and without path separators.
    static bool IsValidCatalogName(const QString &name);
    // Whether Path lies strictly inside ImagesPath or ThumbnailPath once "." and ".."
    // are resolved.
    bool IsRepositoryPath(const QString &path) const;

    // Page files.
    bool RenamePageFile(const QString &oldName, const QString &newName);
    bool RenumberPages(const QString &fileDir, QStringList *exts, QProgressBar *progressBar, bool updateList);
    bool DeletePageFile(const QString &path);
    bool CopyPageFile(const QString &src, const QString &dst);
    void DeletePages(QStringList *paths, bool renumber);
    void AddPages(QStringList *sources, const QString &appName, bool renumber, int beforePage,
                  const QString &fileName, const QString &batchName);
    void MovePages(QStringList *sources, const QString &appName, bool renumber, int beforePage,
                   const QString &fileName, const QString &batchName);
    void MovePagesBefore(QListWidgetItem *targetItem, QStringList *sources);
    void MovePagesToFile(QTreeWidgetItem *node, QStringList *sources, int beforePage);
    void ReplacePage(int itemIndex, const QString &sourceFile);

private:
    void pagesChanging(const QString &path, bool removing) const;
    QStringList selectionOrNull(QStringList *list) const;
    bool finishRenumberJournal(const QString &dir);
    void refillShownFile(const QString &dir, const QStringList &exts, QProgressBar *progressBar);
    // AddPages (copies) and MovePages (Move) in one: where the pages go and what is left.
    void placePages(QStringList *sources, const QString &appName, bool renumber, int beforePage,
                    const QString &fileName, const QString &batchName, bool move);
    // Applies Change to every listed entry and places it again in the shown folder: after
    // the shown folder or one of its files was renamed or moved.
    void updateShownEntries(const std::function<void(PageEntry &)> &change);

    // ---- Catalogue operations and index fields (CatalogOps.cpp) ----
public:
    // Catalogue operations: file types, folders and files in database, disk and tree together.
    void MakeUniqueName(const QString &base, const QString &table, QString &name, const QString &keyField,
                        int keyValue, const QString &nameField);
    QTreeWidgetItem *NewFileType(bool addNode);
    QTreeWidgetItem *NewFolder(QTreeWidgetItem *node, const QString &name, bool addNode);
    QTreeWidgetItem *NewFile(QTreeWidgetItem *node, const QString &name, bool addNode);
    void DeleteFileType(int appId, QTreeWidgetItem *node, bool updateView);
    void DeleteFolder(int appId, int batchId, bool updateView, QTreeWidgetItem *node);
    void DeleteFile(int appId, int batchId, bool updateView, QTreeWidgetItem *node, int imageId);
    // On refusal NewName is set back to the node's old caption; on success the node carries it.
    void RenameNode(QTreeWidgetItem *node, QString &newName);
    void MoveFileTypeNode(QTreeWidgetItem *node, QTreeWidgetItem *target);
    bool MoveFolderNode(QTreeWidgetItem *node, QTreeWidgetItem *target);
    bool MoveFileNode(QTreeWidgetItem *node, QTreeWidgetItem *target);

    // Index fields of a file type (FieldStore.h).
    void LoadFieldDefs(int appId, FieldDefList &list, bool withRemark);
    void FreeFieldDefs(FieldDefList &list);
    void ApplyFieldDefs(int appId, const FieldDefList &list);
    void ReadFieldValues(const FieldDefList &defs, QStringList &values, int imageId, int batchId, int appId);
    bool WriteFieldValues(const FieldDefList &defs, const QStringList &values, int imageId, int batchId,
                          int appId);
};
