#include "TForm1.h"

#include "Clipboard.h"
#include "CommandTable.h"
#include "Globals.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragMoveEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
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

namespace {

bool mimeHasFiles(const QMimeData *mime)
{
    return mime && (mime->hasUrls() || mime->hasFormat(QStringLiteral("x-special/gnome-copied-files")));
}

} // namespace

TForm1::TForm1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setMinimumSize(800, 600);

    ImageList1 = new TImageList("ImageList1", QSize(135, 160), this);
    ImageList2 = new TImageList("ImageList2", QSize(24, 24), this);
    ImageList3 = new TImageList("ImageList3", QSize(24, 24), this);
    ImageList4 = new TImageList("ImageList4", QSize(16, 16), this);

    buildCommands();
    buildLayout();
    buildToolBars();
    connectHandlers();

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
    m_clipboardHasFiles = mimeHasFiles(clipboard->mimeData());
    connect(clipboard, &QClipboard::dataChanged, this,
            [this, clipboard] { m_clipboardHasFiles = mimeHasFiles(clipboard->mimeData()); });

    // Command states follow the window whenever the event queue has been quiet a moment.
    m_idle = new QTimer(this);
    m_idle->setInterval(150);
    connect(m_idle, &QTimer::timeout, this, &TForm1::UpdateCommandStates);
    m_idle->start();
    connect(qApp, &QApplication::focusChanged, this, &TForm1::UpdateCommandStates);
    UpdateCommandStates();
}

TForm1::~TForm1()
{
    m_idle->stop();
    DestroyCatalogObjects();
}

void TForm1::buildCommands()
{
    auto *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PopMenuListView = new QMenu(this);
    PopMenuListView->setObjectName(QStringLiteral("PopMenuListView"));
    m_menus.insert(QStringLiteral("PopupMenu1"), PopupMenu1);
    m_menus.insert(QStringLiteral("PopupMenu2"), PopupMenu2);
    m_menus.insert(QStringLiteral("PopMenuListView"), PopMenuListView);

    for (const CommandSpec &c : MainCommands()) {
        const QString parentName = QString::fromLatin1(c.menu);
        QMenu *parentMenu = m_menus.value(parentName);
        const QString name = QString::fromLatin1(c.name);
        const QString caption = QString::fromUtf8(c.caption);
        QAction *action = nullptr;
        if (c.kind == CommandSpec::Separator) {
            action = parentMenu ? parentMenu->addSeparator() : nullptr;
            if (action && !name.isEmpty())
                action->setObjectName(name);
            continue;
        }
        if (c.kind == CommandSpec::Submenu) {
            auto *menu = new QMenu(caption, parentMenu ? static_cast<QWidget *>(parentMenu) : bar);
            menu->setObjectName(name);
            m_menus.insert(name, menu);
            action = menu->menuAction();
            if (parentMenu)
                parentMenu->addMenu(menu);
            else
                bar->addMenu(menu);
        } else {
            action = new QAction(caption, this);
            if (parentMenu)
                parentMenu->addAction(action);
            if (c.kind == CommandSpec::Check) {
                action->setCheckable(true);
                action->setChecked(c.checked);
            }
        }
        action->setObjectName(name);
        action->setEnabled(c.enabled);
        if (*c.shortcut) {
            action->setShortcut(QKeySequence(QString::fromLatin1(c.shortcut)));
            action->setShortcutContext(Qt::WindowShortcut);
        }
        const QIcon icon = CommandIcon(name);
        if (!icon.isNull())
            action->setIcon(icon);
        m_actions.insert(name, action);
        // Shortcuts of menu entries work even while their popup is closed.
        if (parentName.startsWith(u'P') || parentName == u"I1" || parentName == u"N13" ||
            parentName == u"R1" || parentName == u"S1" || parentName == u"N5")
            addAction(action);
    }
    // Popup entries show the same pictures as their main-menu namesakes.
    for (const ImageMirror &m : ImagePopupMirror())
        if (QAction *a = Action(QString::fromLatin1(m.popupName)))
            a->setIcon(CommandIcon(QString::fromLatin1(m.menuName)));
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

    TreeView1 = new QTreeWidget(Splitter2);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setIconSize(QSize(16, 16));
    TreeView1->setEditTriggers(QAbstractItemView::EditKeyPressed);
    TreeView1->setDragDropMode(QAbstractItemView::DragDrop);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TreeView1, &QWidget::customContextMenuRequested, this, &TForm1::treeContextMenu);

    Panel2 = new QWidget(Splitter2);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    new QVBoxLayout(Panel2);
    Panel2->layout()->setContentsMargins(0, 0, 0, 0);
    Panel2->hide();
    Splitter2->setStretchFactor(0, 1);

    Panel3 = new QWidget(Splitter1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    auto *rightLayout = new QVBoxLayout(Panel3);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    ListView1 = new QListWidget(Panel3);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setViewMode(QListView::IconMode);
    ListView1->setMovement(QListView::Static);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setIconSize(QSize(135, 160));
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setDragEnabled(true);
    ListView1->setAcceptDrops(true);
    ListView1->setDragDropMode(QAbstractItemView::DragDrop);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView1->viewport()->installEventFilter(this);
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopMenuListView->popup(ListView1->viewport()->mapToGlobal(pos)); });
    rightLayout->addWidget(ListView1);
    Image1 = new QLabel(Panel3);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(135, 160);
    Image1->hide();

    Splitter1->addWidget(Panel4);
    Splitter1->addWidget(Panel3);
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

void TForm1::buildToolBars()
{
    auto *band = static_cast<QHBoxLayout *>(ControlBar1->layout());
    auto makeBar = [&](const char *name) {
        auto *bar = new QToolBar(ControlBar1);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setIconSize(QSize(24, 24));
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        band->addWidget(bar);
        return bar;
    };
    ToolBar2 = makeBar("ToolBar2");
    ToolBar1 = makeBar("ToolBar1");
    ToolBar4 = makeBar("ToolBar4");
    ToolBar5 = makeBar("ToolBar5");
    band->addStretch(1);

    auto bind = [this](QToolBar *bar, const char *buttonName, const char *actionName, const char *hint) {
        QAction *action = Action(QString::fromLatin1(actionName));
        auto *button = new QToolButton(bar);
        button->setObjectName(QString::fromLatin1(buttonName));
        action->setToolTip(QString::fromUtf8(hint));
        button->setDefaultAction(action);
        if (action->menu())
            button->setPopupMode(QToolButton::InstantPopup);
        bar->addWidget(button);
        return button;
    };

    auto *newButton = new QToolButton(ToolBar2);
    newButton->setObjectName(QStringLiteral("ToolButton7"));
    newButton->setIcon(CommandIcon(QStringLiteral("MN_FILE_New")));
    newButton->setToolTip(QStringLiteral("新建"));
    newButton->setMenu(PopupMenu2);
    newButton->setPopupMode(QToolButton::InstantPopup);
    ToolBar2->addWidget(newButton);
    bind(ToolBar2, "btn_AppendImport", "MN_FILE_IMPORT", "导入");
    bind(ToolBar2, "btn_Export", "MN_FILE_EXPORT", "导出");
    bind(ToolBar2, "btn_FILE_EMAIL", "MN_FILE_EMAIL", "发送邮件");

    bind(ToolBar1, "btn_Cut", "MN_EDIT_CUT", "剪切");
    bind(ToolBar1, "btn_COPY", "MN_EDIT_COPY", "复制");
    bind(ToolBar1, "btn_PASTE", "MN_EDIT_PASTE", "粘贴");
    bind(ToolBar1, "btn_DELETE", "MN_FILE_DELETE", "删除");

    bind(ToolBar4, "btn_INVERSE", "MN_IMAGE_INVERSE", "反色");
    bind(ToolBar4, "btn_MIRROR", "MN_IMAGE_MIRROR", "镜像");
    bind(ToolBar4, "btn_FLIP", "MN_IMAGE_FLIP", "翻转");
    ToolBar4->addSeparator();
    bind(ToolBar4, "btn_ROTATE_L90", "MN_IMAGE_ROTATE_L90", "左转90度");
    bind(ToolBar4, "btn_ROTATE_R90", "MN_IMAGE_ROTATE_R90", "右转90度");
    bind(ToolBar4, "btn_ROTATE_180", "MN_IMAGE_ROTATE_180", "旋转180度");

    bind(ToolBar5, "btn_IMAGE_CROP", "MN_IMAGE_CROP", "裁剪");
    bind(ToolBar5, "btn_IMAGE_AUTOCROP", "MN_IMAGE_AUTOCROP", "智能裁剪");
    ToolBar5->addSeparator();
    bind(ToolBar5, "btn_IMAGE_DESKEW", "MN_IMAGE_DESKEW", "纠偏");
    bind(ToolBar5, "btn_IMAGE_DESPECLE", "MN_IMAGE_DESPECLE", "去污渍");
    bind(ToolBar5, "btn_IMAGE_REMOVEBLACKBORDER", "MN_IMAGE_REMOVEBLACKBORDER", "去黑边");
    bind(ToolBar5, "btn_IMAGE_TEXT", "MN_IMAGE_TEXT", "文字效果");
    ToolBar5->addSeparator();
    bind(ToolBar5, "btn_IMAGE_SEARCHBLANKPAGE", "MN_IMAGE_SEARCHBLANKPAGE", "自动搜索空白页");
}

void TForm1::connectHandlers()
{
    auto on = [this](const char *name, void (TForm1::*handler)()) {
        if (QAction *a = Action(QString::fromLatin1(name)))
            connect(a, &QAction::triggered, this, handler);
    };
    on("MN_FILE_CLOSE", &TForm1::MN_FILE_CLOSEClick);
    on("MN_VIEW_STATUSBAR", &TForm1::MN_VIEW_STATUSBARClick);
    on("MN_EDIT_SELECTALL", &TForm1::MN_EDIT_SELECTALLClick);
    on("MN_EDIT_INVERTSELECTION", &TForm1::MN_EDIT_INVERTSELECTIONClick);

    connect(PopMenuListView, &QMenu::aboutToShow, this, &TForm1::listPopupAboutToShow);
    connect(TreeView1, &QTreeWidget::currentItemChanged, this, &TForm1::UpdateCommandStates);
    connect(ListView1, &QListWidget::itemSelectionChanged, this, &TForm1::UpdateCommandStates);
    connect(ListView1->model(), &QAbstractItemModel::rowsInserted, this, &TForm1::UpdateCommandStates);
    connect(ListView1->model(), &QAbstractItemModel::rowsRemoved, this, &TForm1::UpdateCommandStates);
}

QAction *TForm1::Action(const QString &name) const
{
    return m_actions.value(name);
}

QMenu *TForm1::Menu(const QString &name) const
{
    return m_menus.value(name);
}

void TForm1::RegisterCommandControl(const QString &name, QWidget *control)
{
    m_controls.insert(name, control);
    UpdateCommandStates();
}

int TForm1::SelectedLevel() const
{
    const QTreeWidgetItem *item = TreeView1->currentItem();
    if (!item || !item->isSelected())
        return -1;
    int level = 0;
    for (const QTreeWidgetItem *p = item->parent(); p; p = p->parent())
        ++level;
    return level;
}

CommandSnapshot TForm1::Snapshot() const
{
    CommandSnapshot s;
    s.level = SelectedLevel();
    s.selectedPages = static_cast<int>(ListView1->selectedItems().size());
    s.pageCount = ListView1->count();
    s.treeFocused = TreeView1->hasFocus();
    s.listFocused = ListView1->hasFocus();
    const QAction *single = Action(QStringLiteral("MN_VIEW_SINGLE"));
    s.singlePage = single && single->isChecked();
    s.viewerHasImage = ViewerHasImage ? ViewerHasImage() : false;
    s.clipboardHasFiles = m_clipboardHasFiles;
    return s;
}

void TForm1::applyStates(const CommandStates &states)
{
    for (auto it = states.enabled.begin(); it != states.enabled.end(); ++it) {
        if (QAction *a = Action(it.key()))
            a->setEnabled(it.value());
        else if (QWidget *w = m_controls.value(it.key()))
            w->setEnabled(it.value());
    }
    for (auto it = states.visible.begin(); it != states.visible.end(); ++it)
        if (QAction *a = Action(it.key()))
            a->setVisible(it.value());
}

void TForm1::UpdateCommandStates()
{
    const CommandStates states = ComputeCommandStates(Snapshot());
    applyStates(states);
    // Del reaches text boxes whenever the delete command cannot use it.
    QAction *del = Action(QStringLiteral("MN_FILE_DELETE"));
    const QKeySequence want = states.deleteShortcut ? QKeySequence(Qt::Key_Delete) : QKeySequence();
    if (del->shortcut() != want)
        del->setShortcut(want);
    // The text tool button follows its menu entry in every mode.
    if (QWidget *textButton = findChild<QWidget *>(QStringLiteral("btn_IMAGE_TEXT")))
        textButton->setEnabled(Action(QStringLiteral("MN_IMAGE_TEXT"))->isEnabled());
}

void TForm1::listPopupAboutToShow()
{
    for (const ImageMirror &m : ImagePopupMirror()) {
        QAction *popup = Action(QString::fromLatin1(m.popupName));
        QAction *menu = Action(QString::fromLatin1(m.menuName));
        if (popup && menu)
            popup->setEnabled(menu->isEnabled());
    }
    auto enabled = [this](const char *name) { return Action(QString::fromLatin1(name))->isEnabled(); };
    PopupInput in;
    in.cutEnabled = enabled("MN_EDIT_CUT");
    in.pasteEnabled = enabled("MN_EDIT_PASTE");
    in.appendScanEnabled = enabled("MN_SCANNER_APPENDSCAN");
    in.insertScanEnabled = enabled("MN_SCANNER_INSERTSCAN");
    in.replaceScanEnabled = enabled("MN_SCANNER_REPLACESCAN");
    applyStates(ComputeListPopupStates(in));
}

void TForm1::treeContextMenu(const QPoint &pos)
{
    if (QTreeWidgetItem *item = TreeView1->itemAt(pos))
        TreeView1->setCurrentItem(item);
    PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(pos));
}

void TForm1::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && CutPending) {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (clipboard->ownsClipboard() && mimeHasFiles(clipboard->mimeData())) {
            CutPending = false;
            clipboard->clear();
            for (int i = 0; i < ListView1->count(); ++i)
                ListView1->item(i)->setData(Qt::UserRole + 10, false); // the cut mark
        }
    }
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
        // Pages are dragged only within the list itself.
        if (drag->source() != ListView1) {
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
