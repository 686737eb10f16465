// The properties dialog on a catalogue built through the menus (counts, used space,
// renaming, moving the repository root) and the two page imports: before the focused
// page, and at the end of a new file when a folder is selected.
#include "BrowseText.h"
#include "FormLogin.h"
#include "Globals.h"
#include "IniFile.h"
#include "Messages.h"
#include "PageListView.h"
#include "TForm1.h"
#include "TFormFieldDefine.h"

#include "GreyPages.h"
#include "MainWindowFixture.h"

#include "GrayPage.h"
#include "QtApp.h"
#include "TempDir.h"

#include <arkavo/GlobalBlock.h>
#include <codec.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

namespace {

qint64 bytesBelow(const QString &dir)
{
    qint64 total = 0;
    for (const auto &entry :
         std::filesystem::recursive_directory_iterator(QFile::encodeName(dir).toStdString()))
        if (entry.is_regular_file())
            total += qint64(entry.file_size());
    return total;
}

class PropertiesImport : public MainWindowFixture {
protected:
    // Imports a new TIFF with pages of the given grey levels through Command.
    void importLevels(const char *command, const std::vector<int> &levels)
    {
        const QString source = QString::fromStdString((root / "source.tif").string());
        QFile::remove(source);
        writeGreyTiff(source, levels);
        form->ChooseImportFiles = [source] { return QStringList{source}; };
        trigger(command);
    }

    // A file below Folder holding pages of the given grey levels.
    QTreeWidgetItem *fileWithPages(QTreeWidgetItem *folder, const std::vector<int> &levels)
    {
        QTreeWidgetItem *file = create(folder, "MN_FILE_NewFile");
        importLevels("MN_FILE_AppendImport", levels);
        return file;
    }

    QString dirOf(QTreeWidgetItem *file) const
    {
        return RootPath + "Images/" + file->parent()->parent()->text(0) + "/" + file->parent()->text(0) +
               "/" + file->text(0) + "/";
    }

    // (file name, page number) of every selected page item, in list order.
    QStringList selectedPages() const
    {
        QStringList pages;
        for (int i = 0; i < form->ListView1->count(); ++i)
            if (form->ListView1->item(i)->isSelected())
                pages << form->ListView1->SubItem(i, 0) + "#" + form->ListView1->SubItem(i, 1);
        return pages;
    }

    // Opens the properties of the selected node; Inspect reads the modal dialog, which is
    // then accepted or rejected. False when no dialog came up.
    bool properties(const std::function<void(TFormFieldDefine &)> &inspect, bool accept)
    {
        bool seen = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<TFormFieldDefine *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            seen = true;
            inspect(*dialog);
            if (accept)
                dialog->accept();
            else
                dialog->reject();
        });
        poll.start();
        // The command needs the tree focused, and the last dialog may still hold the activation.
        QApplication::setActiveWindow(form.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->TreeView1->setFocus();
        form->MN_FILE_PROPERTIESClick();
        poll.stop();
        return seen;
    }

    QTreeWidgetItem *rootNode() const { return form->TreeView1->topLevelItem(0); }
};

} // namespace

TEST_F(PropertiesImport, PropertiesShowCountsAndUsedSpaceOfTheNode)
{
    // Two file types with three folders; the first folder holds two files of 3 and 2 pages.
    QTreeWidgetItem *typeA = create(rootNode(), "MN_FILE_NewFileType");
    QTreeWidgetItem *folder = create(typeA, "MN_FILE_NewFolder");
    fileWithPages(folder, {10, 20, 30});
    fileWithPages(folder, {40, 50});
    create(typeA, "MN_FILE_NewFolder");
    QTreeWidgetItem *typeB = create(rootNode(), "MN_FILE_NewFileType");
    create(typeB, "MN_FILE_NewFolder");

    struct Case {
        QTreeWidgetItem *node;
        const char *title;
        const char *labels[3]; // folder, file and page rows
        const char *counts[3];
        QString location;
    };
    const Case cases[] = {
        {rootNode(), "文件库 属性", {"文件类型 ", "文件夹 ", ""}, {"2个", "3个", ""}, RootPath},
        {folder,
         "文件夹 新建文件夹(1) 属性",
         {"", "文件", "页面"},
         {"", "2份", "5页"},
         RootPath + "Images/新建文件类型(1)/新建文件夹(1)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        select(c.node);
        const bool isRoot = c.node == rootNode();
        EXPECT_TRUE(properties(
            [&](TFormFieldDefine &d) {
                EXPECT_EQ(d.windowTitle(), QString::fromUtf8(c.title));
                EXPECT_EQ(d.edtName->text(), c.node->text(0));
                EXPECT_EQ(d.edtName->isReadOnly(), isRoot);
                EXPECT_EQ(d.SpeedButton10->isVisibleTo(&d), isRoot);
                EXPECT_EQ(d.edtLocation->text(), c.location);
                const QLabel *labels[] = {d.LblfolderN, d.lblFileN, d.lblPictureN};
                const QLineEdit *boxes[] = {d.edtfolderN, d.edtFileN, d.edtPicturen};
                for (int row = 0; row < 3; ++row) {
                    EXPECT_EQ(labels[row]->text(), QString::fromUtf8(c.labels[row])) << row;
                    EXPECT_EQ(boxes[row]->text(), QString::fromUtf8(c.counts[row])) << row;
                }
                EXPECT_EQ(d.edtSpace->text(), FormatUsedSpace(bytesBelow(c.location)));
                EXPECT_TRUE(d.edtSpaceLeave->text().endsWith("字节)"));
            },
            false));
        EXPECT_EQ(c.node->text(0), QString(c.node == rootNode() ? "文件库" : "新建文件夹(1)"));
    }
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(PropertiesImport, RootLocationIsSavedOnlyWhenItCanBeAFolder)
{
    QFile plain(QString::fromStdString((root / "plain.txt").string()));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString oldRoot = RootPath;
    const QString settings = SettingsFileIn(AppPath);

    struct Case {
        const char *name;
        QString location;
        bool accept;
        MsgAnswer restartNow;
        bool saved;
        QString message; // the one message shown, if any
    };
    const QString restart = "要使设置生效，必须关闭并重新启动本程序，要立即关闭程序吗？";
    const Case cases[] = {
        {"cancelled", oldRoot + "elsewhere", false, MsgAnswer::No, false, {}},
        {"below a regular file", oldRoot + "plain.txt/repo", true, MsgAnswer::No, false, "位置输入错误！"},
        {"new folder, restart later", oldRoot + "moved/repo", true, MsgAnswer::No, true, restart},
        // Last: restarting now closes the window.
        {"new folder, restart now", oldRoot + "other", true, MsgAnswer::Yes, true, restart},
    };
    QString lastSaved;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        shown.clear();
        answer = c.restartNow;
        select(rootNode());
        EXPECT_TRUE(properties([&](TFormFieldDefine &d) { d.edtLocation->setText(c.location); }, c.accept));

        EXPECT_EQ(QFileInfo(c.location).isDir(), c.saved);
        const QString saved = IniFile(settings).readString("SYSTEM", "ROOTPATH");
        EXPECT_EQ(QDir::cleanPath(saved), c.saved ? QDir::cleanPath(c.location) : lastSaved);
        lastSaved = QDir::cleanPath(saved);
        if (!c.message.isEmpty()) {
            ASSERT_EQ(shown.size(), 1);
            EXPECT_EQ(shown[0].text, c.message);
            EXPECT_EQ(shown[0].caption, c.saved ? "询问" : "错误");
            EXPECT_EQ(shown[0].icon, c.saved ? MsgIcon::Question : MsgIcon::Information);
        } else {
            EXPECT_TRUE(shown.isEmpty());
        }
        // The running program stays on the repository it started with until it is restarted.
        EXPECT_EQ(form->isVisible(), c.restartNow == MsgAnswer::No);
        EXPECT_EQ(RootPath, oldRoot);
    }
}

// The store works on absolute folders only, and the same folder written another way is no
// new root: it asks nothing and writes nothing.
TEST_F(PropertiesImport, RootLocationIsComparedAndSavedAsAnAbsoluteFolder)
{
    arkavo::test::TempDir home, cwd;
    struct Restore {
        QByteArray home = qgetenv("HOME");
        QString cwd = QDir::currentPath();
        ~Restore()
        {
            QDir::setCurrent(cwd);
            qputenv("HOME", home);
        }
    } restore;
    qputenv("HOME", QByteArray::fromStdString(home.path().string()));
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(cwd.str())));
    const QString homeDir = QDir::cleanPath(QString::fromStdString(home.path().string()));
    const QString settings = SettingsFileIn(AppPath);
    const QByteArray before =
        "[SYSTEM]\nROOTPATH=" + QDir::cleanPath(RootPath).toUtf8() + "\n[OTHER]\nKEY=1\n";
    const QString oldRoot = RootPath;

    struct Case {
        QString location;
        QString saved; // the folder written and created; empty: nothing asked or written
    };
    const Case cases[] = {
        {oldRoot, {}},
        {oldRoot.chopped(1), {}},
        {oldRoot + "/", {}},
        {oldRoot + "sub/..", {}},
        {"rel/dir", QDir::cleanPath(AppPath + "rel/dir")},
        {"./x/../y/", QDir::cleanPath(AppPath + "y")},
        {"~/scans", homeDir + "/scans"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.location.toStdString());
        {
            QFile f(settings);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(before);
        }
        shown.clear();
        answer = MsgAnswer::No;
        select(rootNode());
        EXPECT_TRUE(properties([&](TFormFieldDefine &d) { d.edtLocation->setText(c.location); }, true));
        if (c.saved.isEmpty()) {
            EXPECT_TRUE(shown.isEmpty());
            QFile f(settings);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_EQ(f.readAll(), before);
        } else {
            ASSERT_EQ(shown.size(), 1);
            EXPECT_EQ(shown[0].caption, "询问");
            EXPECT_EQ(IniFile(settings).readString("SYSTEM", "ROOTPATH"), c.saved);
            EXPECT_EQ(IniFile(settings).readString("OTHER", "KEY"), "1");
            EXPECT_TRUE(QFileInfo(c.saved).isDir());
        }
        EXPECT_EQ(RootPath, oldRoot);
    }
    // Nothing was made relative to wherever the program was started from.
    EXPECT_TRUE(QDir(QString::fromStdString(cwd.str())).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));

    // Settings that cannot be read are not written: the operator hears so, and no restart is offered.
    ASSERT_TRUE(QFile::remove(settings));
    ASSERT_TRUE(QDir().mkpath(settings));
    shown.clear();
    select(rootNode());
    EXPECT_TRUE(properties([&](TFormFieldDefine &d) { d.edtLocation->setText("elsewhere"); }, true));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QString("无法写入设置文件 %1，位置未更改！").arg(settings));
    EXPECT_EQ(shown[0].caption, "错误");
    EXPECT_TRUE(QFileInfo(settings).isDir());
}

TEST_F(PropertiesImport, PropertiesRenameTheNodeByItsTrimmedName)
{
    QTreeWidgetItem *type = create(rootNode(), "MN_FILE_NewFileType");
    QTreeWidgetItem *folder = create(type, "MN_FILE_NewFolder");
    fileWithPages(folder, {10});
    create(type, "MN_FILE_NewFolder"); // 新建文件夹(2)
    const QString images = RootPath + "Images/新建文件类型(1)/";

    struct Case {
        const char *typed;
        const char *caption; // the folder's caption afterwards
        int messages;
    };
    const Case cases[] = {
        {"  新建文件夹(1) ", "新建文件夹(1)", 0}, // the same name once trimmed: nothing to do
        {"新建文件夹(2)", "新建文件夹(1)", 1},    // taken by the sibling: refused with a message
        {"  账单 2024  ", "账单 2024", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        shown.clear();
        select(folder);
        EXPECT_TRUE(
            properties([&](TFormFieldDefine &d) { d.edtName->setText(QString::fromUtf8(c.typed)); }, true));
        EXPECT_EQ(folder->text(0), QString::fromUtf8(c.caption));
        EXPECT_EQ(shown.size(), c.messages);
        EXPECT_EQ(pageLevels(images + folder->text(0) + "/新建文件(1)/"), std::vector<int>{10});
    }
    EXPECT_FALSE(QFileInfo::exists(images + "新建文件夹(1)"));
}

TEST_F(PropertiesImport, InsertImportPutsThePagesBeforeTheFocusedPageAndSelectsThem)
{
    QTreeWidgetItem *type = create(rootNode(), "MN_FILE_NewFileType");
    const QString unreadable = "无法识别的图像格式: %1,是否继续?";

    // Each case has a folder with file 0 (pages 10, 20, 30) and file 1 (page 90); the list
    // shows file 0 alone or the whole folder, and a two-page TIFF (200, 220) is imported.
    struct Case {
        const char *name;
        bool showFolder;
        int focus;          // list index of the focused page
        const char *source; // name of the imported file
        std::vector<int> levels[2];
        QList<QPair<int, int>> selected; // (file, page) of the selected items
        bool askedUnreadable;
    };
    const Case cases[] = {
        {"before page 1", false, 0, "in.tif", {{200, 220, 10, 20, 30}, {90}}, {{0, 1}, {0, 2}}, false},
        {"before page 2", false, 1, "in.tif", {{10, 200, 220, 20, 30}, {90}}, {{0, 2}, {0, 3}}, false},
        {"before page 3", false, 2, "in.tif", {{10, 20, 200, 220, 30}, {90}}, {{0, 3}, {0, 4}}, false},
        {"folder shown, page 2 of the first file",
         true,
         1,
         "in.tif",
         {{10, 200, 220, 20, 30}, {90}},
         {{0, 2}, {0, 3}},
         false},
        {"folder shown, page 1 of the second file",
         true,
         3,
         "in.tif",
         {{10, 20, 30}, {200, 220, 90}},
         {{1, 1}, {1, 2}},
         false},
        {"a skipped kind of file", false, 1, "in.gif", {{10, 20, 30}, {90}}, {}, false},
        {"an unreadable file", false, 1, "broken.tif", {{10, 20, 30}, {90}}, {}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTreeWidgetItem *folder = create(type, "MN_FILE_NewFolder");
        QTreeWidgetItem *files[] = {fileWithPages(folder, {10, 20, 30}), fileWithPages(folder, {90})};
        select(c.showFolder ? folder : files[0]);
        ASSERT_EQ(form->ListView1->count(), c.showFolder ? 4 : 3);

        const QString source = QString::fromStdString((root / c.source).string());
        if (c.askedUnreadable) {
            QFile broken(source);
            ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
            broken.write("II*\0 not an image");
        } else {
            writeGreyTiff(source, {200, 220});
        }
        form->ChooseImportFiles = [source] { return QStringList{source}; };
        form->ListView1->setFocus();
        form->ListView1->clearSelection();
        form->ListView1->setCurrentItem(form->ListView1->item(c.focus), QItemSelectionModel::ClearAndSelect);
        shown.clear();
        trigger("MN_FILE_InsertImport");
        QFile::remove(source);

        EXPECT_EQ(pageLevels(dirOf(files[0])), c.levels[0]);
        EXPECT_EQ(pageLevels(dirOf(files[1])), c.levels[1]);
        QStringList selected;
        for (const auto &[file, page] : c.selected)
            selected << files[file]->text(0) + "#" + QString::number(page);
        EXPECT_EQ(selectedPages(), selected);
        // The list matches the files on disk: every file's items are numbered 1, 2, ...
        const int shownPages = int(c.levels[0].size() + (c.showFolder ? c.levels[1].size() : 0));
        ASSERT_EQ(form->ListView1->count(), shownPages);
        for (int i = 0, page = 1; i < shownPages; ++i) {
            if (i > 0 && form->ListView1->SubItem(i, 0) != form->ListView1->SubItem(i - 1, 0))
                page = 1;
            EXPECT_EQ(form->ListView1->SubItem(i, 1), QString::number(page++)) << i;
        }
        ASSERT_EQ(shown.size(), c.askedUnreadable ? 1 : 0);
        if (c.askedUnreadable) {
            EXPECT_EQ(shown[0].text, unreadable.arg(source));
            EXPECT_EQ(shown[0].caption, "询问");
        }
    }
}

TEST_F(PropertiesImport, AppendImportIntoAFolderMakesANewFile)
{
    QTreeWidgetItem *type = create(rootNode(), "MN_FILE_NewFileType");
    QTreeWidgetItem *folder = create(type, "MN_FILE_NewFolder");
    QTreeWidgetItem *existing = fileWithPages(folder, {10, 20, 30});

    select(folder);
    importLevels("MN_FILE_AppendImport", {200, 220});

    ASSERT_EQ(folder->childCount(), 2);
    QTreeWidgetItem *made = folder->child(1);
    EXPECT_EQ(made->text(0), "新建文件(2)");
    EXPECT_EQ(pageLevels(dirOf(made)), (std::vector<int>{200, 220}));
    EXPECT_EQ(pageLevels(dirOf(existing)), (std::vector<int>{10, 20, 30}));
    // The folder's list gains the new pages, which are the selected ones.
    EXPECT_EQ(form->ListView1->count(), 5);
    EXPECT_EQ(selectedPages(), (QStringList{"新建文件(2)#1", "新建文件(2)#2"}));
    EXPECT_TRUE(shown.isEmpty());
}

// A window tall and wide enough to show more pages than the thumbnail cache normally
// holds: emptying the cache must not drop pictures of the same screen, or the list keeps
// reloading and never shows them all.
TEST_F(PropertiesImport, AScreenOfMoreThanFiftyPagesShowsEveryPicture)
{
    form->resize(2400, 1600);
    QTreeWidgetItem *type = create(rootNode(), "MN_FILE_NewFileType");
    QTreeWidgetItem *folder = create(type, "MN_FILE_NewFolder");
    QTreeWidgetItem *file = fileWithPages(folder, std::vector<int>(60, 128));
    select(folder);
    select(file);
    ASSERT_EQ(form->ListView1->count(), 60);

    auto visibleItems = [&] {
        QList<QListWidgetItem *> items;
        const int height = form->ListView1->viewport()->height();
        for (int i = 0; i < form->ListView1->count(); ++i) {
            const QRect r = form->ListView1->visualItemRect(form->ListView1->item(i));
            if (r.bottom() > 0 && r.top() < height)
                items << form->ListView1->item(i);
        }
        return items;
    };
    ASSERT_GT(visibleItems().size(), 51);
    const bool complete = QTest::qWaitFor(
        [&] {
            const QList<QListWidgetItem *> items = visibleItems();
            return std::all_of(items.begin(), items.end(),
                               [](QListWidgetItem *item) { return TPageListView::ImageIndex(item) != -1; });
        },
        20000);
    EXPECT_TRUE(complete);
}
