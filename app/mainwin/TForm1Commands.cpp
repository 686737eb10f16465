// The main window's commands: the menus and pop-ups built from the command table, the
// handler each command runs, and the states they take from one snapshot of the window.
#include "TForm1.h"

#include "CatalogContext.h"
#include "CommandTable.h"
#include "PageListView.h"
#include "TForm1Internal.h"
#include "TFormFieldDef.h"
#include "TFormSearch.h"
#include "TImageManager.h"
#include "Globals.h"
#include "ThumbnailCache.h"
#include "ThumbnailWorkers.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QLabel>
#include <QTimer>
#include <QHBoxLayout>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <initializer_list>

using namespace mainwin;

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
        if (InPopup(c))
            addAction(action);
    }
    // Popup entries show the same pictures as their main-menu namesakes.
    for (const ImageMirror &m : ImagePopupMirror())
        if (QAction *a = Action(QString::fromLatin1(m.popupName)))
            a->setIcon(CommandIcon(QString::fromLatin1(m.menuName)));
}

namespace {

// Every command of the main window and the handler it runs.
struct CommandRoute {
    std::initializer_list<const char *> names;
    void (TForm1::*handler)();
};

const CommandRoute kRoutes[] = {
    {{"MN_FILE_CLOSE"}, &TForm1::MN_FILE_CLOSEClick},
    {{"MN_VIEW_STATUSBAR"}, &TForm1::MN_VIEW_STATUSBARClick},
    {{"MN_EDIT_SELECTALL"}, &TForm1::MN_EDIT_SELECTALLClick},
    {{"MN_EDIT_INVERTSELECTION"}, &TForm1::MN_EDIT_INVERTSELECTIONClick},
    {{"MN_FILE_NewFileType", "MenuItem3", "MenuItem7"}, &TForm1::MN_FILE_NewFileTypeClick},
    {{"MN_FILE_NewFolder", "PMN_FILE_NewFolder1", "PMN_FILE_NewFolder"}, &TForm1::MN_FILE_NewFolderClick},
    {{"MN_FILE_NewFile", "PMN_FILE_NewFile1", "PMN_FILE_NewFile"}, &TForm1::MN_FILE_NewFileClick},
    {{"MN_FILE_DELETE"}, &TForm1::FileDeleteCommand},
    {{"PMN_FILE_DELETE", "PMN_FILE_DELETE1"}, &TForm1::MN_FILE_DELETEClick},
    {{"MN_FILE_RENAME", "PMN_FILE_RENAME"}, &TForm1::MN_FILE_RENAMEClick},
    {{"MN_FILE_PROPERTIES", "PMN_FILE_PROPERTIES"}, &TForm1::MN_FILE_PROPERTIESClick},
    {{"MN_FILE_AppendImport", "PMN_FILE_AppendImport"}, &TForm1::MN_FILE_AppendImportClick},
    {{"MN_FILE_InsertImport", "PMN_FILE_InsertImport"}, &TForm1::MN_FILE_InsertImportClick},
    {{"MN_VIEW_SINGLE"}, &TForm1::MN_VIEW_SINGLEClick},
    {{"MN_VIEW_THUMBNAIL"}, &TForm1::MN_VIEW_THUMBNAILClick},
    {{"PMN_FILE_FIELDDEFINE"}, &TForm1::PMN_FILE_FIELDDEFINEClick},
    {{"MN_FILE_EXPORT", "PMN_FILE_EXPORT"}, &TForm1::MN_FILE_EXPORTClick},

    {{"MN_EDIT_CUT", "PMN_EDIT_CUT"}, &TForm1::MN_EDIT_CUTClick},
    {{"MN_EDIT_COPY", "PMN_EDIT_COPY"}, &TForm1::MN_EDIT_COPYClick},
    {{"MN_EDIT_PASTE", "PMN_EDIT_PASTE"}, &TForm1::MN_EDIT_PASTEClick},
    {{"MN_EDIT_COPYPAGETO"}, &TForm1::MN_EDIT_COPYPAGETOClick},
    {{"MN_EDIT_MOVEPAGETO"}, &TForm1::MN_EDIT_MOVEPAGETOClick},
    {{"MN_EDIT_MERGEFILETO"}, &TForm1::MN_EDIT_MERGEFILETOClick},

    {{"MN_FILE_PRINT"}, &TForm1::MN_FILE_PRINTClick},
    {{"MN_FILE_EMAIL", "PMN_FILE_EMAIL"}, &TForm1::MN_FILE_EMAILClick},
    {{"MN_HELP_CONTENT"}, &TForm1::MN_HELP_CONTENTClick},
    {{"MN_HELP_CHECKNEWVERSION"}, &TForm1::MN_HELP_CHECKNEWVERSIONClick},
    {{"MN_HELP_ABOUT"}, &TForm1::MN_HELP_ABOUTClick},
};

} // namespace

void TForm1::connectHandlers()
{
    for (const CommandRoute &route : kRoutes)
        for (const char *name : route.names)
            if (QAction *a = Action(QString::fromLatin1(name)))
                connect(a, &QAction::triggered, this, route.handler);
    connect(TreeView1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current) { TreeView1Change(current); });
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TForm1::listSelectionChanged);
    connect(ListView1, &TPageListView::ThumbnailsCleared, this, [this] {
        m_thumbnailCache->Clear();
        ImageList1->Images.clear();
    });
    connect(ListView1, &TPageListView::VisibleRowsChanged, this, &TForm1::LoadVisibleThumbnails);
    connect(m_thumbnails, &TThumbnailWorkers::Loaded, this, &TForm1::thumbnailLoaded);
    connect(m_thumbnailKick, &QTimer::timeout, this, &TForm1::LoadVisibleThumbnails);

    connect(PopMenuListView, &QMenu::aboutToShow, this, &TForm1::listPopupAboutToShow);
    connect(m_context, &TCatalogContext::SelectionChanged, this, &TForm1::showPageCount);
}

void TForm1::PMN_FILE_FIELDDEFINEClick()
{
    // Only a file type has index fields.
    if (SelectedLevel() != 1 || !ImageManager)
        return;
    TFormFieldDef dialog(CatalogConnection, ImageManager->ShownAppName, ImageManager->ShownAppId, this);
    dialog.exec();
    if (FormSearch)
        FormSearch->DefinitionsChanged();
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
    return m_context->SelectedLevel();
}

QWidget *TForm1::WorkingFocus() const
{
    QWidget *focus = focusWidget();
    return isMenuWidget(focus) ? m_workingFocus.data() : focus;
}

CommandSnapshot TForm1::Snapshot() const
{
    CommandSnapshot s;
    s.level = SelectedLevel();
    s.selectedPages = static_cast<int>(ListView1->selectedItems().size());
    s.pageCount = ListView1->count();
    const QWidget *focus = WorkingFocus();
    s.treeFocused = focus == TreeView1;
    s.listFocused = focus == ListView1;
    s.viewer = m_context->Viewer();
    s.singlePage = s.viewer.open;
    s.viewerHasImage = s.viewer.hasImage;
    s.clipboardHasFiles = m_context->ClipboardHasFiles();
    return s;
}

void TForm1::applyStates(const CommandStates &states)
{
    for (const QHash<QString, bool> *enabled : {&states.enabled, &states.viewer}) {
        for (auto it = enabled->begin(); it != enabled->end(); ++it) {
            if (QAction *a = Action(it.key()))
                a->setEnabled(it.value());
            else if (QWidget *w = m_controls.value(it.key()))
                w->setEnabled(it.value());
        }
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
}

void TForm1::showPageCount()
{
    // A file's page count follows imports and deletions.
    if (SelectedLevel() == 3) {
        const QString pages = QStringLiteral(" %1 个页面").arg(ListView1->count());
        if (StatusPanels[0]->text() != pages)
            StatusPanels[0]->setText(pages);
    }
}

void TForm1::listPopupAboutToShow()
{
    // The pop-up follows the same rules as the menus, computed afresh as it opens.
    const CommandStates states = ComputeCommandStates(Snapshot());
    auto enabled = [&](const char *name) {
        const QString key = QString::fromLatin1(name);
        if (states.enabled.contains(key))
            return states.enabled.value(key);
        if (states.viewer.contains(key))
            return states.viewer.value(key);
        const QAction *a = Action(key); // a command no rule decides keeps its starting state
        return a && a->isEnabled();
    };
    for (const ImageMirror &m : ImagePopupMirror())
        if (QAction *popup = Action(QString::fromLatin1(m.popupName)))
            popup->setEnabled(enabled(m.menuName));
    PopupInput in;
    in.cutEnabled = enabled("MN_EDIT_CUT");
    in.pasteEnabled = enabled("MN_EDIT_PASTE");
    in.appendScanEnabled = enabled("MN_SCANNER_APPENDSCAN");
    in.insertScanEnabled = enabled("MN_SCANNER_INSERTSCAN");
    in.replaceScanEnabled = enabled("MN_SCANNER_REPLACESCAN");
    applyStates(ComputeListPopupStates(in));
}

// The tool bars of the band: buttons that run the menu commands of the same names.
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
