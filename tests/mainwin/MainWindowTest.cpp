#include "Clipboard.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "TForm1.h"

#include "QtApp.h"

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        // No catalogue is open here: the tree reports that through the message helper.
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
        form = std::make_unique<TForm1>();
    }
    void TearDown() override
    {
        form.reset();
        Messages::SetResponder(nullptr);
    }
    QAction *act(const char *name) { return form->Action(QString::fromLatin1(name)); }
    std::unique_ptr<TForm1> form;
};

TEST_F(MainWindow, ComponentsCarryTheirNames)
{
    for (const char *name :
         {"ControlBar1",      "Panel1",        "Panel2",     "Panel3",     "Panel4",     "TreeView1",
          "ListView1",        "Splitter1",     "Splitter2",  "Image1",     "StatusBar1", "ProgressBar1",
          "Timer1",           "OpenDialog1",   "ImageList1", "ImageList4", "PopupMenu1", "PopupMenu2",
          "PopMenuListView",  "ToolBar2",      "ToolBar1",   "ToolBar4",   "ToolBar5",   "ToolButton7",
          "btn_AppendImport", "btn_IMAGE_TEXT"})
        EXPECT_NE(form->findChild<QObject *>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(form->Image1->size(), QSize(135, 160));
    EXPECT_FALSE(form->ProgressBar1->isVisible());
    EXPECT_EQ(form->Timer1->interval(), 500);
    EXPECT_FALSE(form->Timer1->isActive());

    // The four tool bars sit in the band left to right in this order.
    QList<int> xs;
    form->resize(1200, 800);
    form->show();
    for (QToolBar *bar : {form->ToolBar2, form->ToolBar1, form->ToolBar4, form->ToolBar5})
        xs << bar->geometry().x();
    EXPECT_TRUE(std::is_sorted(xs.begin(), xs.end()));
}

TEST_F(MainWindow, CaptionsShortcutsAndStartingStates)
{
    struct Case {
        const char *name, *caption, *shortcut;
        bool enabled;
    };
    const Case cases[] = {
        {"MN_FILE", "文件(&F)", "", true},
        {"MN_FILE_NewFileType", "新建文件类型(&T)", "", true},
        {"MN_FILE_NewFolder", "新建文件夹(&F)", "", false},
        {"MN_FILE_EXPORT", "导出(&E)...", "Ctrl+E", false}, // no node selected
        {"MN_EDIT_CUT", "剪切", "Ctrl+X", false},
        {"MN_EDIT_SELECTALL", "全部选中", "Ctrl+A", true},
        {"MN_VIEW_SINGLE", "单页显示(&S)", "Ctrl+1", true},
        {"MN_ZOOM_IN", "放大(&I)", "Ctrl+Up", false},
        {"MN_ZOOM_400", "400%(&4)", "", false},
        {"MN_SCANNER_REPLACESCAN", "重扫(&R)", "Ctrl+R", false},
        {"MN_IMAGE_SETTING", "设置...", "", true},
        {"MN_IMAGE_DESPECLE_SMALL", "小(&S)", "", true},
        {"MN_HELP_ABOUT", "关于本产品...", "Ctrl+B", true},
        {"PMN_FILE_RENAME", "重命名", "F2", false},
        {"PMN_FILE_PROPERTIES", "属性", "Ctrl+I", true},
        {"N26", "设置...", "", true},
    };
    for (const Case &c : cases) {
        QAction *a = act(c.name);
        ASSERT_NE(a, nullptr) << c.name;
        EXPECT_EQ(a->text(), QString::fromUtf8(c.caption)) << c.name;
        EXPECT_EQ(a->shortcut(), QKeySequence(QString::fromLatin1(c.shortcut))) << c.name;
        EXPECT_EQ(a->isEnabled(), c.enabled) << c.name;
    }
    EXPECT_TRUE(act("MN_VIEW_STATUSBAR")->isChecked());
    EXPECT_TRUE(act("MN_VIEW_THUMBNAIL")->isChecked());
    EXPECT_TRUE(act("MN_ZOOM_LOCK")->isChecked());
    // Nothing is focused, so Del is left to text boxes.
    EXPECT_TRUE(act("MN_FILE_DELETE")->shortcut().isEmpty());
}

TEST_F(MainWindow, ToolButtonsFollowTheirMenuItemsAndHavePictures)
{
    const QList<QToolButton *> buttons = form->findChildren<QToolButton *>();
    int bound = 0;
    for (QToolButton *b : buttons) {
        if (!b->objectName().startsWith("btn_") && b->objectName() != "ToolButton7")
            continue;
        EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
        if (b->defaultAction())
            ++bound;
    }
    EXPECT_EQ(bound, 20);
    auto *cut = form->findChild<QToolButton *>("btn_Cut");
    EXPECT_EQ(cut->toolTip(), "剪切");
    EXPECT_EQ(cut->defaultAction(), act("MN_EDIT_CUT"));

    // Selecting a page switches the page group, buttons included.
    auto *root = new QTreeWidgetItem(form->TreeView1, {"文件库"});
    auto *type = new QTreeWidgetItem(root, {"Letters"});
    auto *folder = new QTreeWidgetItem(type, {"2026"});
    form->TreeView1->setCurrentItem(folder);
    for (int i = 0; i < 3; ++i)
        form->ListView1->addItem(QString("A-%1").arg(i + 1));
    form->ListView1->item(1)->setSelected(true);
    form->UpdateCommandStates();
    EXPECT_TRUE(cut->isEnabled());
    EXPECT_TRUE(act("MN_SCANNER_APPENDSCAN")->isEnabled());
    EXPECT_TRUE(act("MN_FILE_InsertImport")->isEnabled());
    EXPECT_TRUE(act("MN_FILE_PRINT")->isEnabled());
    form->ListView1->item(2)->setSelected(true);
    form->UpdateCommandStates();
    EXPECT_FALSE(act("MN_FILE_InsertImport")->isEnabled());
    form->ListView1->clearSelection();
    form->UpdateCommandStates();
    EXPECT_FALSE(cut->isEnabled());

    // The page-list popup mirrors the image menu position by position.
    form->ListView1->item(0)->setSelected(true);
    form->UpdateCommandStates();
    emit form->PopMenuListView->aboutToShow();
    EXPECT_TRUE(act("I2")->isEnabled());
    EXPECT_FALSE(act("U1")->isEnabled()); // crop belongs to the viewer
    EXPECT_TRUE(act("PMN_EDIT_CUT")->isVisible());
    EXPECT_FALSE(act("PMN_EDIT_PASTE")->isVisible());
}

// A copied web link is no page to paste: only local files count, the others are left out.
TEST_F(MainWindow, PasteIsOfferedForLocalFilesOnly)
{
    auto *root = new QTreeWidgetItem(form->TreeView1, {"文件库"});
    auto *folder = new QTreeWidgetItem(new QTreeWidgetItem(root, {"Letters"}), {"2026"});
    form->TreeView1->setCurrentItem(folder);
    const QString local = "/scans/P0000001.tif";
    const QByteArray localUrl = QUrl::fromLocalFile(local).toEncoded();

    struct Case {
        const char *name;
        QList<QUrl> urls;
        QByteArray gnome; // x-special/gnome-copied-files, when not empty
        QStringList pasted;
    };
    const Case cases[] = {
        {"web link", {QUrl("https://example.org/page.tif")}, {}, {}},
        {"file URL", {QUrl::fromLocalFile(local)}, {}, {local}},
        {"link and file", {QUrl("http://example.org/a.tif"), QUrl::fromLocalFile(local)}, {}, {local}},
        {"GNOME copied files", {}, "copy\n" + localUrl, {local}},
        {"GNOME copied link", {}, "copy\nhttps://example.org/a.tif", {}},
        {"text only", {}, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto *mime = new QMimeData;
        if (!c.urls.isEmpty())
            mime->setUrls(c.urls);
        if (!c.gnome.isEmpty())
            mime->setData("x-special/gnome-copied-files", c.gnome);
        if (c.urls.isEmpty() && c.gnome.isEmpty())
            mime->setText("https://example.org/");
        QGuiApplication::clipboard()->setMimeData(mime);
        QCoreApplication::processEvents();
        form->UpdateCommandStates();
        EXPECT_EQ(act("MN_EDIT_PASTE")->isEnabled(), !c.pasted.isEmpty());
        QStringList pasted{"stale"};
        EXPECT_EQ(PasteFilesFromClipboard(pasted), !c.pasted.isEmpty());
        EXPECT_EQ(pasted, c.pasted);
    }
    QGuiApplication::clipboard()->clear();
}

TEST_F(MainWindow, StatusBarCommandTogglesTheBar)
{
    form->show();
    act("MN_VIEW_STATUSBAR")->trigger();
    EXPECT_FALSE(form->StatusBar1->isVisible());
    EXPECT_FALSE(act("MN_VIEW_STATUSBAR")->isChecked());
    act("MN_VIEW_STATUSBAR")->trigger();
    EXPECT_TRUE(form->StatusBar1->isVisible());
    EXPECT_TRUE(act("MN_VIEW_STATUSBAR")->isChecked());
}
