#include "TForm1.h"

#include "TForm3.h"
#include "TformFieldInput.h"
#include "TFormSearch.h"
#include "TFormImgProcSetting.h"

#include "BrowseText.h"
#include "CatalogContext.h"
#include "Quietly.h"
#include "CatalogDatabase.h"
#include "Clipboard.h"
#include "CommandTable.h"
#include "FileHelpers.h"
#include "Globals.h"
#include "IniFile.h"
#include "Messages.h"
#include "PageImport.h"
#include "MainWindowViews.h"
#include "PageListView.h"
#include "TForm1Internal.h"
#include "TFormFieldDefine.h"
#include "ThumbnailCache.h"
#include "ThumbnailWorkers.h"
#include "TForm5.h"
#include "TImageManager.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragMoveEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QStorageInfo>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace mainwin;

TForm1::TForm1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setMinimumSize(800, 600);

    ImageList1 =
        new TImageList("ImageList1", QSize(TPageListView::kThumbWidth, TPageListView::kThumbHeight), this);
    ImageList2 = new TImageList("ImageList2", QSize(24, 24), this);
    ImageList3 = new TImageList("ImageList3", QSize(24, 24), this);
    ImageList4 = new TImageList("ImageList4", QSize(16, 16), this);
    m_thumbnails = new TThumbnailWorkers(this);
    m_thumbnailCache = std::make_unique<TThumbnailCache>();
    m_thumbnailKick = new QTimer(this);
    m_thumbnailKick->setSingleShot(true);
    m_thumbnailKick->setInterval(0);

    buildCommands();
    buildLayout();
    buildToolBars();
    CreateCatalogObjects();
    ImageManager = new TImageManager(TreeView1, CatalogConnection, ListView1);
    m_context = new TCatalogContext(ImageManager, TreeView1, ListView1, this);
    connectHandlers();
    setupDragAndDrop();
    FormImgProcSetting = new TFormImgProcSetting(this);
    connectImageCommands();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &TForm1::timer1Timer);

    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setFileMode(QFileDialog::ExistingFiles);
    OpenDialog1->setOption(QFileDialog::ReadOnly, false);
    OpenDialog1->setNameFilters({QStringLiteral("TIFF文件 (*.tif)"), QStringLiteral("JPEG文件 (*.jpg)"),
                                 QStringLiteral("BMP文件 (*.bmp)"), QStringLiteral("GIF文件 (*.gif)")});

    // Clipboard contents are watched rather than read on every idle pass.
    QClipboard *clipboard = QGuiApplication::clipboard();
    m_context->SetClipboardHasFiles(mimeHasFiles(clipboard->mimeData()));
    connect(clipboard, &QClipboard::dataChanged, this,
            [this, clipboard] { m_context->SetClipboardHasFiles(mimeHasFiles(clipboard->mimeData())); });

    // Command states follow what the operator works on and where the keyboard is.
    for (auto signal : {&TCatalogContext::SelectionChanged, &TCatalogContext::ViewerChanged,
                        &TCatalogContext::ClipboardChanged})
        connect(m_context, signal, this, &TForm1::UpdateCommandStates);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now && now->window() == this && !isMenuWidget(now))
            m_workingFocus = now;
        UpdateCommandStates();
    });
    UpdateCommandStates();
}

TForm1::~TForm1()
{
    m_thumbnails->WaitForDone();
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
    disconnect(m_context, nullptr, this, nullptr);
    disconnect(TreeView1, nullptr, this, nullptr);
    disconnect(ListView1, nullptr, this, nullptr);
    if (ListView1->selectionModel())
        disconnect(ListView1->selectionModel(), nullptr, this, nullptr);
    // The scan panel, with the value panel on its tab, goes while the store is still there:
    // an unsaved value is saved as it hides, and nothing of the window answers any more.
    m_controls.clear();
    if (FieldInput)
        FieldInput->SaveIfChanged();
    delete FormSearch;
    FormSearch = nullptr;
    if (ScanPanel) {
        disconnect(ScanPanel, nullptr, this, nullptr);
        delete ScanPanel;
        ScanPanel = nullptr;
        FieldInput = nullptr;
    }
    delete ImageManager;
    ImageManager = nullptr;
    DestroyCatalogObjects();
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_firstShowDone)
        return;
    m_firstShowDone = true;
    TreeView1->setDragEnabled(false); // draggable once the first selection change has completed
    ImageManager->LoadTree(QStringLiteral("0,1,2,3,4,5,6"));
    firstShowScanPanel();
    UpdateCommandStates();
}

void TForm1::buildLayout()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *panel1Layout = new QVBoxLayout(Panel1);
    panel1Layout->setContentsMargins(0, 0, 0, 0);
    panel1Layout->setSpacing(0);

    ControlBar1 = new QWidget(Panel1);
    ControlBar1->setObjectName(QStringLiteral("ControlBar1"));
    auto *bandLayout = new QHBoxLayout(ControlBar1);
    bandLayout->setContentsMargins(2, 0, 2, 0);
    bandLayout->setSpacing(6);
    panel1Layout->addWidget(ControlBar1);

    Splitter1 = new QSplitter(Qt::Horizontal, Panel1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    panel1Layout->addWidget(Splitter1, 1);

    Panel4 = new QWidget(Splitter1);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    auto *leftLayout = new QVBoxLayout(Panel4);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    Splitter2 = new QSplitter(Qt::Vertical, Panel4);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    leftLayout->addWidget(Splitter2);

    TreeView1 = new TCatalogTreeView(Splitter2);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setIconSize(QSize(16, 16));
    TreeView1->setEditTriggers(QAbstractItemView::EditKeyPressed);
    TreeView1->setDragDropMode(QAbstractItemView::DragDrop);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView1->setItemDelegate(new TCatalogTreeDelegate(this));
    {
        QStyle *st = style();
        ImageList4->Images = {st->standardIcon(QStyle::SP_DriveHDIcon).pixmap(16, 16),
                              st->standardIcon(QStyle::SP_DirIcon).pixmap(16, 16),
                              st->standardIcon(QStyle::SP_DirOpenIcon).pixmap(16, 16),
                              st->standardIcon(QStyle::SP_FileIcon).pixmap(16, 16)};
    }
    // Every node but the root can be renamed in place.
    connect(TreeView1->model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &parent, int first, int last) {
                auto *tree = static_cast<TCatalogTreeView *>(TreeView1);
                for (int r = first; r <= last; ++r) {
                    QTreeWidgetItem *item = tree->itemFromIndex(tree->model()->index(r, 0, parent));
                    if (item && parent.isValid())
                        item->setFlags(item->flags() | Qt::ItemIsEditable);
                }
            });
    connect(TreeView1, &QWidget::customContextMenuRequested, this, &TForm1::treeContextMenu);

    Panel2 = new QWidget(Splitter2);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    new QVBoxLayout(Panel2);
    Panel2->layout()->setContentsMargins(0, 0, 0, 0);
    Panel2->hide();
    Splitter2->setStretchFactor(0, 1);

    // The page area, with room under it for the search results' strip.
    Splitter3 = new QSplitter(Qt::Vertical, Splitter1);
    Splitter3->setObjectName(QStringLiteral("Splitter3"));
    Splitter3->setChildrenCollapsible(false);
    Panel3 = new QWidget(Splitter3);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    auto *rightLayout = new QVBoxLayout(Panel3);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    ListView1 = new TPageListView(Panel3);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setDragEnabled(true);
    ListView1->setItemDelegate(new TPageItemDelegate(ListView1));
    ListView1->setUniformItemSizes(true);
    ListView1->setAcceptDrops(true);
    ListView1->setDragDropMode(QAbstractItemView::DragDrop);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView1->viewport()->installEventFilter(this);
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopMenuListView->popup(ListView1->viewport()->mapToGlobal(pos)); });
    rightLayout->addWidget(ListView1);
    Image1 = new QLabel(Panel3);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(TPageListView::kThumbWidth, TPageListView::kThumbHeight);
    Image1->hide();

    Splitter1->addWidget(Panel4);
    Splitter3->addWidget(Panel3);
    Splitter3->setStretchFactor(0, 1);
    Splitter1->addWidget(Splitter3);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({260, 1000});
    setCentralWidget(Panel1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    const int widths[3] = {80, 300, 50};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(StatusBar1);
        StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanels[i]->setMinimumWidth(widths[i]);
        StatusBar1->addWidget(StatusPanels[i], i == 1 ? 1 : 0);
    }
    ProgressBar1 = new QProgressBar(StatusBar1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setMaximumWidth(240);
    ProgressBar1->hide();
    StatusBar1->addPermanentWidget(ProgressBar1);
    setStatusBar(StatusBar1);
}

void TForm1::treeContextMenu(const QPoint &pos)
{
    if (QTreeWidgetItem *item = TreeView1->itemAt(pos))
        TreeView1->setCurrentItem(item);
    PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(pos));
}

void TForm1::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        cancelPendingCut();
    QMainWindow::keyPressEvent(event);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListView1->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
            listDragEvent(event);
            break;
        default:
            break;
        }
    }
    if (dragDropEvent(watched, event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::listDragEvent(QEvent *event)
{
    const int w = ListView1->viewport()->width();
    const int h = ListView1->viewport()->height();
    bool move = false;
    QPoint pt;
    if (event->type() == QEvent::DragMove || event->type() == QEvent::DragEnter) {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        // The list scrolls only for its own pages.
        if (dragOrigin(drag->mimeData()) != DragOrigin::List) {
            drag->ignore();
            m_scrollUp = m_scrollDown = false;
            return;
        }
        move = event->type() == QEvent::DragMove;
        pt = drag->position().toPoint();
    }
    m_scrollUp = move && pt.x() > 0 && pt.x() < w && pt.y() < 100;
    m_scrollDown = move && pt.x() > 0 && pt.x() < w && pt.y() > h - 100;
    if ((m_scrollUp || m_scrollDown) && !Timer1->isActive())
        Timer1->start();
}

void TForm1::timer1Timer()
{
    QScrollBar *bar = ListView1->verticalScrollBar();
    const int p = bar->value();
    if (m_scrollUp) {
        if (p > bar->minimum())
            bar->setValue(p - 80);
    } else if (m_scrollDown) {
        if (p + ListView1->viewport()->height() <= bar->maximum() + bar->pageStep())
            bar->setValue(p + 80);
    } else {
        Timer1->stop();
        return;
    }
    ListView1->viewport()->update();
    QCoreApplication::processEvents();
}

void TForm1::MN_FILE_CLOSEClick()
{
    close();
}

void TForm1::MN_VIEW_STATUSBARClick()
{
    StatusBar1->setVisible(!StatusBar1->isVisible());
    Action(QStringLiteral("MN_VIEW_STATUSBAR"))->setChecked(StatusBar1->isVisible());
}

void TForm1::MN_EDIT_SELECTALLClick()
{
    ListView1->selectAll();
    ListView1->setFocus();
}

void TForm1::MN_EDIT_INVERTSELECTIONClick()
{
    for (int i = 0; i < ListView1->count(); ++i)
        ListView1->item(i)->setSelected(!ListView1->item(i)->isSelected());
    ListView1->setFocus();
}

// ---- Browsing ----

void TForm1::placeProgressBar()
{
    // The bar sits at the right end of the status bar (a permanent widget there).
    ProgressBar1->setParent(StatusBar1);
    StatusBar1->addPermanentWidget(ProgressBar1);
}

void TForm1::TreeView1Change(QTreeWidgetItem *node)
{
    m_context->AnnounceNodeLeaving();
    QWidget *focus = QApplication::focusWidget();
    TreeView1->setDragEnabled(false);
    setEnabled(false);
    // A failed load leaves the list as far as it got; browsing goes on.
    arkavo::Quietly("tree selection", [&] {
        if (StatusBar1->isVisible()) {
            placeProgressBar();
            ImageManager->ShowNode(node, ProgressBar1);
        } else {
            ImageManager->ShowNode(node, nullptr);
        }
        // The node comes before the selection: a mouse click makes it current first and
        // selects it afterwards, so its level is taken from the node itself.
        if (Action(QStringLiteral("MN_VIEW_SINGLE"))->isChecked() && Viewer) {
            const int level = TCatalogContext::NodeLevel(node);
            if (level == 3) {
                Viewer->SetCurrentFile(AbsoluteIndex(node));
                if (ListView1->count() > 0)
                    ListView1->item(0)->setSelected(true);
            } else if (level == 2 && node->childCount() > 0) {
                QTreeWidgetItem *first = node->child(0);
                Viewer->SetCurrentFile(AbsoluteIndex(first));
                if (ListView1->count() > 0 && TPageListView::SubItem(ListView1->item(0), 0) == first->text(0))
                    ListView1->item(0)->setSelected(true);
            } else {
                Viewer->SetCurrentFile(-1);
            }
        }
    });
    setEnabled(true);
    if (focus && focus->isVisible())
        focus->setFocus();
    TreeView1->setDragEnabled(true);
    UpdateCommandStates();

    if (node) {
        switch (TCatalogContext::NodeLevel(node)) {
        case 1:
            StatusPanels[0]->setText(QStringLiteral(" %1 个文件夹").arg(node->childCount()));
            break;
        case 2:
            StatusPanels[0]->setText(QStringLiteral(" %1 个文件").arg(node->childCount()));
            break;
        case 3:
            StatusPanels[0]->setText(QStringLiteral(" %1 个页面").arg(ListView1->count()));
            break;
        default:
            break;
        }
    }
    m_context->AnnounceNodeShown(node);
}

void TForm1::listSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    if (m_suppressSelect)
        return;
    for (const QModelIndex &i : deselected.indexes())
        ListView1SelectItem(i.row(), false);
    for (const QModelIndex &i : selected.indexes())
        ListView1SelectItem(i.row(), true);
}

void TForm1::ListView1SelectItem(int index, bool selected)
{
    QListWidgetItem *item = ListView1->item(index);
    if (selected && item) {
        const QString path = ImageManager->GetPagePath(index);
        QString text = QStringLiteral("页面类型：%1 ").arg(QFileInfo(path).suffix().toUpper());
        const QFileInfo file(path);
        if (file.exists())
            text +=
                QStringLiteral("| ") + QStringLiteral("页面大小：%1 字节").arg(FormatPageSize(file.size()));
        StatusPanels[1]->setText(text);
    } else {
        StatusPanels[1]->clear();
    }

    if (Action(QStringLiteral("MN_VIEW_SINGLE"))->isChecked()) {
        if (selected && item) {
            if (Viewer)
                Viewer->ShowPage(index);
            ListView1->setCurrentItem(item, QItemSelectionModel::NoUpdate);
            // Single-page mode never has more than one selected page.
            if (ListView1->selectedItems().size() > 1) {
                m_suppressSelect = true;
                ListView1->clearSelection();
                item->setSelected(true);
                m_suppressSelect = false;
            }
        } else if (!selected) {
            QCoreApplication::processEvents();
            if (ListView1->selectedItems().isEmpty() && Viewer)
                Viewer->ShowPage(-1);
        }
    }
    UpdateCommandStates();
}
