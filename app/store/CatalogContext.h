#pragma once
// What the operator is working on, in one place: the selected tree node, the page list
// and its selection, what single-page mode shows, and the clipboard. The windows read and
// change the catalogue through this object and the store, never through each other's
// widgets; they hear of changes through its signals.
#include "PageEntry.h"
#include "ViewerState.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TImageManager;
class TPageListView;

// Position of a node in the whole catalogue tree counted in display order, the root
// being 0; -1 for none.
int AbsoluteIndex(const QTreeWidgetItem *node);
QTreeWidgetItem *NodeAtAbsoluteIndex(QTreeWidget *tree, int index);

class TCatalogContext : public QObject {
    Q_OBJECT
public:
    TCatalogContext(TImageManager *store, QTreeWidget *tree, TPageListView *pages, QObject *parent = nullptr);

    TImageManager *Store() const { return m_store; }

    // ---- Tree ----
    // Level of a node: 0 root, 1 file type, 2 folder, 3 file; -1 for none.
    static int NodeLevel(const QTreeWidgetItem *node);
    // The current node when it is also selected; null otherwise.
    QTreeWidgetItem *SelectedNode() const;
    int SelectedLevel() const { return NodeLevel(SelectedNode()); }
    // Makes Node current and selected, as a click does.
    void SelectNode(QTreeWidgetItem *node);
    QTreeWidgetItem *NodeAt(int absoluteIndex) const;

    // ---- Page list ----
    int PageCount() const;
    // File name (first sub-item) of the page at Row; empty when there is none.
    QString PageFileName(int row) const;
    QString PagePath(int row) const;
    // The selected pages in list order, each with its page file's path.
    QList<PageEntry> SelectedPages() const;
    QStringList SelectedPagePaths() const;
    int SelectedPageCount() const;
    // Makes Row the focused and only selected page, as a click does.
    void SelectPage(int row);
    void ClearPageSelection();
    // The page at Row shows Path: its thumbnail is to be made again.
    void MarkThumbnailStale(int row, const QString &path);
    // The first selected page gets the focus mark and the list the keyboard.
    void FocusFirstSelectedPage();

    // ---- Single-page mode ----
    const TViewerState &Viewer() const { return m_viewer; }
    void SetViewer(const TViewerState &state);
    // Whether the zoom is kept from page to page.
    bool ZoomLocked() const { return m_zoomLocked; }
    void SetZoomLocked(bool locked) { m_zoomLocked = locked; }

    // ---- Clipboard ----
    bool ClipboardHasFiles() const { return m_clipboardHasFiles; }
    void SetClipboardHasFiles(bool has);

    // The main window says when the shown node changes, so that windows keeping
    // per-node state (index values) can save and show it.
    void AnnounceNodeLeaving() { emit NodeLeaving(); }
    void AnnounceNodeShown(QTreeWidgetItem *node) { emit NodeShown(node); }

signals:
    // The tree's selected node, the page list or its selection changed.
    void SelectionChanged();
    void NodeLeaving();
    void NodeShown(QTreeWidgetItem *node);
    void ViewerChanged();
    void ClipboardChanged();

private:
    TImageManager *m_store;
    QTreeWidget *m_tree;
    TPageListView *m_pages;
    QTimer *m_afterLoading;
    TViewerState m_viewer;
    bool m_zoomLocked = true;
    bool m_clipboardHasFiles = false;
};
