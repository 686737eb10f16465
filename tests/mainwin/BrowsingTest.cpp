#include "FormLogin.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "TForm1.h"
#include "TImageManager.h"

#include "MainWindowFixture.h"

#include "GrayPage.h"
#include "QtApp.h"
#include "TempDir.h"

#include <arkavo/GlobalBlock.h>
#include <codec.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTreeWidget>

#include <cstring>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

// Writes an n-page 8-bit TIFF whose pages differ in grey level.
void writeMultiPageTiff(const QString &path, int pages)
{
    const int w = 64, h = 80;
    arkavo::GlobalBlock block = arkavo::test::MakeGrayPage(w, h, [](int) { return uint8_t(0); });
    arkavo::GlobalLockGuard lock(block.get());
    uint8_t *p = lock.data();
    const TCodecImage image{300, 300, block.get()};
    for (int n = 0; n < pages; ++n) {
        std::memset(p + 1064, 40 * (n + 1), w * h);
        ASSERT_EQ(SaveTIF(&image, QFile::encodeName(path).constData(), 0, n > 0 ? 1 : 0), 1);
    }
}

class Browsing : public MainWindowFixture {
protected:
    QString current() const { return form->TreeView1->currentItem()->text(0); }

    // A new file type, folder and file made through the menus; returns the file.
    QTreeWidgetItem *newFile()
    {
        QTreeWidgetItem *type = create(form->TreeView1->topLevelItem(0), "MN_FILE_NewFileType");
        return create(create(type, "MN_FILE_NewFolder"), "MN_FILE_NewFile");
    }
};

} // namespace

TEST_F(Browsing, CreateImportShowAndDelete)
{
    ASSERT_EQ(form->TreeView1->topLevelItemCount(), 1);
    QTreeWidgetItem *rootNode = form->TreeView1->topLevelItem(0);
    EXPECT_EQ(rootNode->text(0), "文件库");
    form->TreeView1->setFocus();
    form->TreeView1->setCurrentItem(rootNode);

    trigger("MN_FILE_NewFileType");
    EXPECT_EQ(current(), "新建文件类型(1)");
    EXPECT_EQ(form->StatusPanels[0]->text(), " 0 个文件夹");
    trigger("MN_FILE_NewFolder");
    EXPECT_EQ(current(), "新建文件夹(1)");
    trigger("MN_FILE_NewFolder"); // with a folder selected: a sibling in the same file type
    EXPECT_EQ(current(), "新建文件夹(2)");
    EXPECT_EQ(form->TreeView1->currentItem()->parent()->text(0), "新建文件类型(1)");
    trigger("MN_FILE_NewFile");
    EXPECT_EQ(current(), "新建文件(1)");
    QTreeWidgetItem *file = form->TreeView1->currentItem();

    // Import a three-page TIFF at the end of the empty file.
    const QString source = QString::fromStdString((root / "scan, 'three'.tif").string());
    writeMultiPageTiff(source, 3);
    form->ChooseImportFiles = [&] { return QStringList{source}; };
    trigger("MN_FILE_AppendImport");
    ASSERT_EQ(form->ListView1->count(), 3);
    EXPECT_EQ(form->ListView1->item(2)->text(), "新建文件(1)-3");
    EXPECT_EQ(form->StatusPanels[0]->text(), " 3 个页面");
    const QString dir = RootPath + "Images/新建文件类型(1)/新建文件夹(2)/新建文件(1)/";
    for (const char *name : {"P0000001.tif", "P0000002.tif", "P0000003.tif"})
        EXPECT_TRUE(QFile::exists(dir + name)) << name;

    // Drawing the list makes the thumbnails of the visible pages.
    form->ListView1->viewport()->repaint();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->ThumbnailsPending(); }, 10000));
    EXPECT_GE(TPageListView::ImageIndex(form->ListView1->item(0)), 0);
    EXPECT_TRUE(QFile::exists(RootPath + "Thumbnail/新建文件类型(1)/新建文件夹(2)/新建文件(1)/P0000001.bmp"));

    // Selecting the file again shows its pages and their count.
    form->TreeView1->setCurrentItem(file->parent());
    form->TreeView1->setCurrentItem(file);
    EXPECT_EQ(form->StatusPanels[0]->text(), " 3 个页面");
    form->ListView1->clearSelection();
    form->ListView1->item(1)->setSelected(true);
    EXPECT_TRUE(form->StatusPanels[1]->text().startsWith("页面类型：TIF | 页面大小："))
        << form->StatusPanels[1]->text().toStdString();
    EXPECT_TRUE(form->StatusPanels[1]->text().endsWith(" 字节"));

    // Delete the second page from the page list.
    form->ListView1->setFocus();
    shown.clear();
    trigger("MN_FILE_DELETE");
    EXPECT_EQ(shownTexts(), QStringList{"确定要删除选中图像吗?"});
    EXPECT_EQ(form->ListView1->count(), 2);
    EXPECT_EQ(form->StatusPanels[0]->text(), " 2 个页面");
    EXPECT_TRUE(QFile::exists(dir + "P0000002.tif"));
    EXPECT_FALSE(QFile::exists(dir + "P0000003.tif"));

    // Delete the folder from the tree.
    QTreeWidgetItem *folder = file->parent();
    QTreeWidgetItem *type = folder->parent();
    form->TreeView1->setCurrentItem(folder);
    form->TreeView1->setFocus();
    shown.clear();
    trigger("MN_FILE_DELETE");
    EXPECT_EQ(shownTexts(), QStringList{"确定要删除文件夹 “新建文件夹(2)”吗?"});
    EXPECT_EQ(type->childCount(), 1);
    EXPECT_FALSE(QFile::exists(dir + "P0000001.tif"));
}

TEST_F(Browsing, RootCannotBeRenamedOrDeleted)
{
    QTreeWidgetItem *rootNode = form->TreeView1->topLevelItem(0);
    form->TreeView1->setFocus();
    form->TreeView1->setCurrentItem(rootNode);
    form->UpdateCommandStates();
    EXPECT_FALSE(form->Action("MN_FILE_DELETE")->isEnabled());
    EXPECT_FALSE(form->Action("MN_FILE_RENAME")->isEnabled());
    form->MN_FILE_RENAMEClick();
    EXPECT_EQ(qobject_cast<QLineEdit *>(QApplication::focusWidget()), nullptr);
}

TEST_F(Browsing, ThumbnailsLoadWhereShownAndTheCacheFlushesBeyondFifty)
{
    QTreeWidgetItem *file = newFile();
    const QString source = QString::fromStdString((root / "seventy.tif").string());
    writeMultiPageTiff(source, 70);
    form->ChooseImportFiles = [&] { return QStringList{source}; };
    trigger("MN_FILE_AppendImport");
    ASSERT_EQ(form->ListView1->count(), 70);

    // Without thumbnail files, showing the file makes those of the visible pages only.
    const QString thumbs = RootPath + "Thumbnail/新建文件类型(1)/新建文件夹(1)/新建文件(1)/";
    // The imported pages shown are being read meanwhile, and one whose thumbnail went
    // would have it made again while the folder is emptied.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->ThumbnailsPending(); }, 10000));
    ASSERT_TRUE(QDir(thumbs).removeRecursively());
    form->TreeView1->setCurrentItem(file->parent());
    form->TreeView1->setCurrentItem(file);
    auto settle = [&] {
        for (int round = 0; round < 3; ++round) { // each landing picture asks for the next ones
            form->ListView1->viewport()->repaint();
            QCoreApplication::processEvents();
            if (!QTest::qWaitFor([&] { return !form->ThumbnailsPending(); }, 10000))
                return false;
        }
        return true;
    };
    ASSERT_TRUE(settle());
    auto loaded = [&](int row) { return TPageListView::ImageIndex(form->ListView1->item(row)) >= 0; };
    EXPECT_TRUE(loaded(0));
    EXPECT_FALSE(loaded(69));
    EXPECT_TRUE(QFile::exists(thumbs + "P0000001.bmp"));
    EXPECT_FALSE(QFile::exists(thumbs + "P0000070.bmp"));
    const auto firstThumb = QFileInfo(thumbs + "P0000001.bmp").fileTime(QFileDevice::FileModificationTime);
    const auto firstInode = [&] {
        struct stat st {};
        ::stat(QFile::encodeName(thumbs + "P0000001.bmp").constData(), &st);
        return st.st_ino;
    };
    const auto inode = firstInode();

    // Scrolling to the end passes more than 50 pictures: the cache is emptied on the way
    // and never holds more than 51.
    for (int row = 0; row < 70; row += 5) {
        form->ListView1->scrollToItem(form->ListView1->item(row));
        ASSERT_TRUE(settle());
        EXPECT_LE(form->ImageList1->Images.size(), 51);
    }
    EXPECT_TRUE(loaded(69));
    EXPECT_FALSE(loaded(0));
    EXPECT_TRUE(QFile::exists(thumbs + "P0000070.bmp"));

    // Back at the top the first pictures come again from their files, which stay as made.
    form->ListView1->scrollToItem(form->ListView1->item(0));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(loaded(0));
    EXPECT_EQ(firstInode(), inode);
    EXPECT_EQ(QFileInfo(thumbs + "P0000001.bmp").fileTime(QFileDevice::FileModificationTime), firstThumb);
}

TEST_F(Browsing, AnOpenMenuKeepsTheCommandsOfTheControlInUse)
{
    form->TreeView1->setFocus();
    form->TreeView1->setCurrentItem(form->TreeView1->topLevelItem(0));
    trigger("MN_FILE_NewFileType");
    form->TreeView1->setFocus();
    form->UpdateCommandStates();
    ASSERT_TRUE(form->Action("MN_FILE_DELETE")->isEnabled());

    // Alt gives the keyboard to the menu bar and an open menu takes it too; the idle update
    // must not grey out the tree's commands under the user's eyes.
    form->menuBar()->setFocus(Qt::MenuBarFocusReason);
    form->UpdateCommandStates();
    EXPECT_TRUE(form->Action("MN_FILE_DELETE")->isEnabled());
    QMenu *menu = form->Menu("MN_FILE");
    menu->popup(form->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    menu->setFocus(Qt::PopupFocusReason); // as a desktop's window system does
    form->UpdateCommandStates();
    EXPECT_TRUE(form->Action("MN_FILE_DELETE")->isEnabled());
    EXPECT_TRUE(form->Action("MN_FILE_RENAME")->isEnabled());
    menu->hide();
}

TEST_F(Browsing, PageSelectionDecidesPageCommandsAndDeletingTheLastPageMarksTheOneBefore)
{
    newFile();
    const QString source = QString::fromStdString((root / "four.tif").string());
    writeMultiPageTiff(source, 4);
    form->ChooseImportFiles = [&] { return QStringList{source}; };
    trigger("MN_FILE_AppendImport");
    ASSERT_EQ(form->ListView1->count(), 4);

    // Two pages selected; taking one away keeps the page commands, the last one ends them.
    QListWidget *list = form->ListView1;
    list->setFocus();
    list->clearSelection();
    list->item(2)->setSelected(true);
    list->item(3)->setSelected(true);
    auto pageCommands = [&] {
        form->UpdateCommandStates();
        QStringList on;
        for (const char *name : {"MN_EDIT_CUT", "MN_EDIT_COPY", "MN_IMAGE_INVERSE", "MN_FILE_DELETE"})
            if (form->Action(QString::fromLatin1(name))->isEnabled())
                on << name;
        return on.size();
    };
    EXPECT_EQ(pageCommands(), 4);
    list->item(2)->setSelected(false);
    EXPECT_EQ(pageCommands(), 4);
    list->item(3)->setSelected(false);
    EXPECT_EQ(pageCommands(), 0);

    // Deleting the last page gives the focus mark to the page before it.
    list->item(3)->setSelected(true);
    trigger("MN_FILE_DELETE");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentRow(), 2);
}
