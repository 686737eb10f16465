#pragma once
// The main window: catalogue tree on the left, page list on the right, the menus,
// popups and tool bars, and the rules that decide which commands are available.
#include "CommandStates.h"

#include <QHash>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QSize>

#include <functional>
#include <memory>

class QAction;
class QDrag;
class QMimeData;
class QFileDialog;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QProgressBar;
class QSplitter;
class QStatusBar;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class QItemSelection;
class TImageManager;
struct FileIdentity;
class TPageListView;

// A list of same-sized pictures (thumbnails, tree and command pictures).
class TImageList : public QObject {
    Q_OBJECT
public:
    TImageList(const char *name, QSize size, QObject *parent) : QObject(parent), m_size(size)
    {
        setObjectName(QString::fromLatin1(name));
    }
    QSize Size() const { return m_size; }
    void SetSize(QSize s) { m_size = s; }
    QList<QPixmap> Images;

private:
    QSize m_size;
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Command entries by object name (menu items, popup items, submenu entries).
    QAction *Action(const QString &name) const;
    QMenu *Menu(const QString &name) const;

    // The window's current state as the command rules see it.
    CommandSnapshot Snapshot() const;
    // Recomputes every command state (idle, and after every tree selection change).
    void UpdateCommandStates();
    // The control the user works in: the window's focus, or while the menu bar has taken
    // the keyboard, the control that had it before.
    QWidget *WorkingFocus() const;
    // Level of the selected tree node: -1 none, 0 root, 1 file type, 2 folder, 3 file.
    int SelectedLevel() const;
    // What the operator works on, for the other windows.
    class TCatalogContext *Context() const { return m_context; }

    // Controls of other windows that follow the main window's rules (the scan panel's
    // scan buttons): they are switched together with the command of the same name.
    void RegisterCommandControl(const QString &name, QWidget *control);

    // Loads the page list for the newly selected tree node and updates what depends on it.
    void TreeView1Change(QTreeWidgetItem *node);
    // A page item became selected (true) or unselected (false).
    void ListView1SelectItem(int index, bool selected);
    // Asks for the thumbnails of the page items inside the visible area that have none
    // yet, topmost first; they are made on worker threads and put on the items as they come.
    void LoadVisibleThumbnails();
    // Whether thumbnails asked for are still being made.
    bool ThumbnailsPending() const;

    void MN_FILE_NewFileTypeClick();
    void MN_FILE_NewFolderClick();
    void MN_FILE_NewFileClick();
    void MN_FILE_DELETEClick();
    // The Del command: the viewer's delete in single-page mode when neither the tree nor
    // the page list is in use, the main handler otherwise.
    void FileDeleteCommand();
    void MN_FILE_RENAMEClick();
    void MN_FILE_PROPERTIESClick();
    void MN_FILE_AppendImportClick();
    void MN_FILE_InsertImportClick();
    void MN_FILE_CLOSEClick();
    void MN_VIEW_STATUSBARClick();
    void MN_EDIT_SELECTALLClick();
    void MN_EDIT_INVERTSELECTIONClick();
    // Every image command: Sender is the image menu's entry, its pop-up copy, or
    // MN_FILE_DELETE erasing the viewer's selection.
    void ImageProc(QAction *sender);
    // The index fields of the selected file type.
    void PMN_FILE_FIELDDEFINEClick();
    // Shows the cleaning settings modally.
    void MN_IMAGE_SETTINGClick();
    // The cleaning settings in force, for the image commands and the scan panel.
    class TFormImgProcSetting *FormImgProcSetting = nullptr;
    // Runs RenameNode for an in-place edit of Node's caption that ended with Name.
    void TreeView1Edited(QTreeWidgetItem *node, QString &name);

    // Answers the file-open dialog in tests: returns the chosen files.
    std::function<QStringList()> ChooseImportFiles;

    TImageManager *ImageManager = nullptr;
    bool CutPending = false;
    QString PageFilePrefix = QStringLiteral("P");

    QWidget *ControlBar1, *Panel1, *Panel2, *Panel3, *Panel4;
    QToolBar *ToolBar2, *ToolBar1, *ToolBar4, *ToolBar5;
    QTreeWidget *TreeView1;
    TPageListView *ListView1;
    QSplitter *Splitter1, *Splitter2, *Splitter3;
    QLabel *Image1;
    QStatusBar *StatusBar1;
    QLabel *StatusPanels[3];
    QProgressBar *ProgressBar1;
    TImageList *ImageList1, *ImageList2, *ImageList3, *ImageList4;
    QTimer *Timer1;
    QFileDialog *OpenDialog1;
    QMenu *PopupMenu1, *PopupMenu2, *PopMenuListView;

    bool AutoScrollUp() const { return m_scrollUp; }
    bool AutoScrollDown() const { return m_scrollDown; }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildCommands();
    void buildToolBars();
    void buildLayout();
    void connectHandlers();
    void connectImageCommands();
    void applyStates(const CommandStates &states);
    void showPageCount();
    void listPopupAboutToShow();
    void treeContextMenu(const QPoint &pos);
    void timer1Timer();
    void listDragEvent(QEvent *event);
    void listSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void applyTreeRules();
    void selectAndEdit(QTreeWidgetItem *node);
    QStringList chooseImportFiles();
    void importWithListFrozen(const std::function<void()> &work);
    void placeProgressBar();
    void thumbnailLoaded(const QString &pageFile, const FileIdentity &page, const QImage &picture);
    void showThumbnail(QListWidgetItem *item, int index);
    void flushThumbnails();

    QHash<QString, QAction *> m_actions;
    QHash<QString, QMenu *> m_menus;
    QHash<QString, QWidget *> m_controls;
    class TCatalogContext *m_context = nullptr;
    bool m_scrollUp = false;
    bool m_scrollDown = false;
    bool m_firstShowDone = false;
    class TThumbnailWorkers *m_thumbnails = nullptr;
    QTimer *m_thumbnailKick = nullptr;
    std::unique_ptr<class TThumbnailCache> m_thumbnailCache;
    int m_visibleItems = 0;
    bool m_suppressSelect = false;
    QPointer<QWidget> m_workingFocus;

    // ---- Single-page viewer ----
public:
    // Embeds the viewer in Panel3 and routes the view, zoom and navigation commands to it.
    void ConnectViewer(class TForm5 *viewer);
    TForm5 *Viewer = nullptr;
    void MN_VIEW_SINGLEClick();
    // The view commands' check marks follow single-page mode, whoever opens or closes it.
    void syncViewChecks();
    void ListView1DblClick();
    void MN_VIEW_THUMBNAILClick();
    // Delete in single-page mode when neither the tree nor the page list has the focus:
    // the viewer's selection is erased to white, otherwise the shown page is deleted.
    void ViewerDeleteClick();

    // ---- Scan panel ----
public:
    // Docks the scan panel in Panel2 and routes the scan commands to it.
    void ConnectScanPanel(class TForm3 *panel);
    TForm3 *ScanPanel = nullptr;
    // The index values of the shown file, on the scan panel's "索引" tab.
    class TformFieldInput *FieldInput = nullptr;
    void DockScanPanel();
    void FloatScanPanel();
    // With the docked panel hidden the tree fills the left column.
    void RestoreTreeLayout();

private:
    void firstShowScanPanel();
    bool m_placingScanPanel = false; // the panel is being floated: its moves are not drops
    // After deleting pages whose first was at row K: the focus mark goes to row K (or the
    // one before), and single-page mode shows the page that stands there.
    void markAfterPageDelete(int k);

    // ---- Export ----
public:
    // Shows the export dialog for the selected folder or file.
    void MN_FILE_EXPORTClick();
    // The export dialog, made at start-up (or on first use).
    class TFormExport *FormExport = nullptr;

private:


    // ---- Reorganising: clipboard, page moves, merge ----
public:
    void MN_EDIT_CUTClick();
    void MN_EDIT_COPYClick();
    void MN_EDIT_PASTEClick();
    void MN_EDIT_COPYPAGETOClick();
    void MN_EDIT_MOVEPAGETOClick();
    void MN_EDIT_MERGEFILETOClick();
    // Runs the page target chooser with Prompt; the absolute tree index of the chosen folder
    // or file, -1 when cancelled.
    int ChooseTarget(const QString &prompt);

    // Where a drag comes from: one of this window's views, or anywhere else.
    enum class DragOrigin { Outside, Tree, List };
    // Whether what Mime carries may be dropped on Target.
    bool TreeView1DragOver(QTreeWidgetItem *target, const QMimeData *mime) const;
    void TreeView1DragDrop(QTreeWidgetItem *target, const QMimeData *mime);
    // A drop on the page list at Target (null: between items).
    void ListView1DragDrop(QListWidgetItem *target, const QMimeData *mime);
    // Runs a drag the views start instead of QDrag::exec (tests: the offscreen platform
    // has no drag and drop of its own). The drag object stays the caller's.
    std::function<void(QDrag *)> RunDrag;

private:
    bool ownsFileClipboard() const;
    void putSelectionOnClipboard();
    void clearCutMarks();
    // Escape: a pending cut is given up while the clipboard still holds it.
    void cancelPendingCut();
    // Image files as new pages at the end of a file, or of a new file in a folder.
    void importPagesInto(QTreeWidgetItem *node, const QStringList &files);
    void setupDragAndDrop();
    DragOrigin dragOrigin(const QMimeData *mime) const;
    void startViewDrag(DragOrigin origin);
    // Drags over and drops on the tree's and the page list's viewports; true when handled.
    bool dragDropEvent(QObject *watched, QEvent *event);
    QPointer<const QMimeData> m_clipboardData; // what this window last put on the clipboard


    // ---- Print, mail, help ----
public:
    void MN_FILE_PRINTClick();
    void MN_FILE_EMAILClick();
    void MN_HELP_CONTENTClick();
    void MN_HELP_CHECKNEWVERSIONClick();
    void MN_HELP_ABOUTClick();

    // The print dialog of the last print, with the printer it sets up; made at the first.
    class QPrintDialog *PrintDialog1 = nullptr;
    // Shows the print dialog; true when the user chose to print. Tests answer it.
    std::function<bool(QPrintDialog *)> RunPrintDialog;
    // The mail thread started last, while it runs.
    QPointer<class TMailtoThread> MailThread;
    // Settings.ini's SYSTEM key holding the address the new-version command opens.
    static constexpr const char *kNewVersionKey = "NEWVERSIONURL";

private:
    int m_printRange = -1; // the range of the last print (a QPrinter::PrintRange); -1 before any

    // ---- Search ----
public:
    // The search panel on the scan panel's "查询" tab, and its result window.
    class TFormSearch *FormSearch = nullptr;
    // Puts the search panel on the "查询" tab (at first show) and its result strip under the
    // page area; the search follows the tree.
    void ConnectSearch(TFormSearch *search);

private:
};
