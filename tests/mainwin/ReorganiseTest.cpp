// Reorganising a catalogue built through the menus, driven as the operator does it: cut,
// copy and paste with this and other programs' clipboard contents, the target choosers
// clicked through, the merge modes, and drags with the mouse onto the tree and the list.
// Every case reads the pages on disk and the catalogue afterwards.
#include "CatalogContext.h"
#include "CatalogDatabase.h"
#include "Clipboard.h"
#include "CutMark.h"
#include "PageListView.h"
#include "StoreFiles.h"
#include "TImageManager.h"
#include "TargetChooser.h"

#include "GreyPages.h"
#include "MainWindowFixture.h"

#include "AsOrdinaryUser.h"
#include "CatalogDrag.h"

#include <QClipboard>
#include <QDrag>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Levels = std::vector<int>;

class Reorganise : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        if (HasFatalFailure())
            return;
        // 新建文件类型(1) / 新建文件夹(1) with files A (10 20 30) and B (40 50);
        // 新建文件夹(2) with file C (60), named like A; 新建文件类型(2) / 新建文件夹(1) empty.
        typeA = create(rootNode(), "MN_FILE_NewFileType");
        folder1 = create(typeA, "MN_FILE_NewFolder");
        fileA = fileWithPages(folder1, {10, 20, 30});
        fileB = fileWithPages(folder1, {40, 50});
        folder2 = create(typeA, "MN_FILE_NewFolder");
        fileC = fileWithPages(folder2, {60});
        typeB = create(rootNode(), "MN_FILE_NewFileType");
        folderB = create(typeB, "MN_FILE_NewFolder");
        form->TreeView1->expandAll();
        shown.clear();
    }
    void TearDown() override
    {
        QGuiApplication::clipboard()->clear();
        MainWindowFixture::TearDown();
    }

    QTreeWidgetItem *rootNode() const { return form->TreeView1->topLevelItem(0); }

    QString source(const QString &name) const
    {
        return QString::fromStdString((root / name.toStdString()).string());
    }

    QTreeWidgetItem *fileWithPages(QTreeWidgetItem *folder, const Levels &levels)
    {
        QTreeWidgetItem *file = create(folder, "MN_FILE_NewFile");
        const QString tif = source("in.tif");
        QFile::remove(tif);
        writeGreyTiff(tif, levels);
        form->ChooseImportFiles = [tif] { return QStringList{tif}; };
        trigger("MN_FILE_AppendImport");
        return file;
    }

    QString dirOf(QTreeWidgetItem *file) const
    {
        return RootPath + "Images/" + file->parent()->parent()->text(0) + "/" + file->parent()->text(0) +
               "/" + file->text(0) + "/";
    }
    Levels levels(QTreeWidgetItem *file) const { return pageLevels(dirOf(file)); }

    // Clicks Node in the main tree, which shows it.
    void clickNode(QTreeWidgetItem *node)
    {
        QTreeWidget *tree = form->TreeView1;
        tree->scrollToItem(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
        QCoreApplication::processEvents();
        ASSERT_EQ(tree->currentItem(), node);
    }

    QListWidget *list() const { return form->ListView1; }
    QPoint pageAt(int row) const { return list()->visualItemRect(list()->item(row)).center(); }

    // Shows File and selects the pages at Rows with control-clicks.
    void selectPages(QTreeWidgetItem *file, const QList<int> &rows)
    {
        clickNode(file);
        list()->clearSelection();
        for (int r : rows)
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::ControlModifier, pageAt(r));
        list()->setFocus();
        form->UpdateCommandStates();
    }

    // Runs Command while a poll answers the modal dialog of type D with Work.
    template <class D>
    bool withDialog(const std::function<void(D &)> &work, const std::function<void()> &command)
    {
        bool seen = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<D *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            poll.stop();
            seen = true;
            work(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        poll.start();
        command();
        poll.stop();
        // The closed dialog may still hold the activation.
        QApplication::setActiveWindow(form.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QCoreApplication::processEvents();
        return seen;
    }

    // Clicks the copy of the main tree's Node in a chooser's tree.
    static void clickCopyOf(TTargetChooser &d, QTreeWidgetItem *node)
    {
        QTreeWidgetItem *copy = NodeAtAbsoluteIndex(d.TreeView1, AbsoluteIndex(node));
        ASSERT_NE(copy, nullptr);
        ASSERT_EQ(copy->text(0), node->text(0));
        d.TreeView1->scrollToItem(copy);
        QTest::mouseClick(d.TreeView1->viewport(), Qt::LeftButton, {},
                          d.TreeView1->visualItemRect(copy).center());
    }

    // Clicks on the radio item's circle.
    static void clickRadio(TForm6 &d, int item)
    {
        QRadioButton *button = d.RadioGroup1->Buttons[item];
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    }

    using Dragged = arkavo::test::DragResult;
    Dragged drag(QAbstractItemView *from, QPoint press, QAbstractItemView *to, QPoint at)
    {
        return arkavo::test::DragWithMouse(*form, from, press, to, at);
    }
    static bool deliverDrop(const QMimeData *mime, QAbstractItemView *to, QPoint at)
    {
        return arkavo::test::DeliverDrop(mime, to, at);
    }
    QPoint nodeAt(QTreeWidgetItem *node) const
    {
        form->TreeView1->scrollToItem(node);
        return form->TreeView1->visualItemRect(node).center();
    }

    // Every node's caption with its parent's, in tree order.
    QStringList treeShape() const
    {
        QStringList shape;
        for (QTreeWidgetItemIterator it(form->TreeView1); *it; ++it)
            shape << ((*it)->parent() ? (*it)->parent()->text(0) : QString()) + '/' + (*it)->text(0);
        return shape;
    }

    QStringList cutFlags() const
    {
        QStringList flags;
        for (int i = 0; i < list()->count(); ++i)
            if (IsCutFlagged(list()->item(i)))
                flags << list()->item(i)->text();
        return flags;
    }

    // Puts the files on the clipboard as another program would, in one of its formats.
    static void otherProgramPuts(const QStringList &files, const QString &how)
    {
        auto *mime = new QMimeData;
        QList<QUrl> urls;
        QByteArray lines;
        for (const QString &f : files) {
            urls << QUrl::fromLocalFile(f);
            lines += '\n' + QUrl::fromLocalFile(f).toEncoded();
        }
        if (how == "gnome") { // GNOME Files: its own list only, "copy" or "cut" first
            mime->setData("x-special/gnome-copied-files", "cut" + lines);
            mime->setText(files.join('\n'));
        } else { // Dolphin: URLs with the cut selection flag
            mime->setUrls(urls);
            mime->setData("application/x-kde-cutselection", "1");
        }
        QGuiApplication::clipboard()->setMimeData(mime);
    }

    void paste(QTreeWidgetItem *node)
    {
        clickNode(node);
        form->MN_EDIT_PASTEClick();
        QCoreApplication::processEvents();
    }

    QTreeWidgetItem *typeA, *folder1, *fileA, *fileB, *folder2, *fileC, *typeB, *folderB;
};

} // namespace

// ---- Target chooser dialogs ----

TEST_F(Reorganise, PageChooserConfirmsOnlyFoldersAndFiles)
{
    selectPages(fileA, {0});
    const struct {
        QTreeWidgetItem *node;
        bool confirmable;
    } cases[] = {{rootNode(), false}, {typeA, false}, {folder2, true}, {fileB, true}, {fileA, true}};
    EXPECT_TRUE(withDialog<TForm2>(
        [&](TForm2 &d) {
            EXPECT_EQ(d.windowTitle(), "浏览目录结构");
            EXPECT_EQ(d.Label1->text(), "将选定的页面复制到文件");
            EXPECT_EQ(treeShape().size(), [&] {
                int n = 0;
                for (QTreeWidgetItemIterator it(d.TreeView1); *it; ++it)
                    ++n;
                return n;
            }());
            EXPECT_FALSE(d.btnOk->isEnabled());
            for (const auto &c : cases) {
                clickCopyOf(d, c.node);
                EXPECT_EQ(d.btnOk->isEnabled(), c.confirmable) << c.node->text(0).toStdString();
            }
            QTest::mouseClick(d.Button1, Qt::LeftButton);
        },
        [&] { form->MN_EDIT_COPYPAGETOClick(); }));
    EXPECT_EQ(levels(fileA), (Levels{10, 20, 30}));
    EXPECT_EQ(levels(fileB), (Levels{40, 50}));

    // Closed with the window's close box: nothing either.
    EXPECT_TRUE(withDialog<TForm2>([](TForm2 &d) { d.close(); }, [&] { form->MN_EDIT_MOVEPAGETOClick(); }));
    EXPECT_EQ(levels(fileA), (Levels{10, 20, 30}));
    EXPECT_EQ(treeShape().size(), 9);
}

TEST_F(Reorganise, CopyAndMovePagesToAChosenFileOrANewFileInAFolder)
{
    // Copy pages 1 and 3 of A to B, then move page 2 of A into folder 2, which gets a new file.
    selectPages(fileA, {0, 2});
    EXPECT_TRUE(withDialog<TForm2>(
        [&](TForm2 &d) {
            clickCopyOf(d, fileB);
            QTest::mouseClick(d.btnOk, Qt::LeftButton);
        },
        [&] { form->MN_EDIT_COPYPAGETOClick(); }));
    EXPECT_EQ(levels(fileA), (Levels{10, 20, 30}));
    EXPECT_EQ(levels(fileB), (Levels{40, 50, 10, 30}));

    selectPages(fileA, {1});
    EXPECT_TRUE(withDialog<TForm2>(
        [&](TForm2 &d) {
            EXPECT_EQ(d.Label1->text(), "将选定的页面移动到文件");
            clickCopyOf(d, folder2);
            QTest::mouseClick(d.btnOk, Qt::LeftButton);
        },
        [&] { form->MN_EDIT_MOVEPAGETOClick(); }));
    EXPECT_EQ(levels(fileA), (Levels{10, 30}));
    ASSERT_EQ(folder2->childCount(), 2);
    EXPECT_EQ(folder2->child(1)->text(0), "新建文件(2)");
    EXPECT_EQ(levels(folder2->child(1)), (Levels{20}));
    EXPECT_EQ(list()->count(), 2);
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(Reorganise, MergeDialogRefusesTheMergedFileAndFolders)
{
    clickNode(fileA);
    EXPECT_TRUE(withDialog<TForm6>(
        [&](TForm6 &d) {
            EXPECT_EQ(d.windowTitle(), "文件合并");
            EXPECT_EQ(d.Label1->text(), "将选定文件合并到...");
            EXPECT_EQ(d.RadioGroup1->Box->title(), "合并方式");
            const char *items[] = {"所有页面前", "所有页面后", "交错置前（选定文件为奇数页）",
                                   "交错置后（选定文件为偶数页）"};
            ASSERT_EQ(d.RadioGroup1->Buttons.size(), 4);
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(d.RadioGroup1->Buttons[i]->text(), QString::fromUtf8(items[i]));
            // Two columns: the third item stands beside the first.
            EXPECT_EQ(d.RadioGroup1->Buttons[2]->y(), d.RadioGroup1->Buttons[0]->y());
            EXPECT_GT(d.RadioGroup1->Buttons[2]->x(), d.RadioGroup1->Buttons[0]->x());
            EXPECT_EQ(d.MergeMode(), 0);
            const struct {
                QTreeWidgetItem *node;
                bool confirmable;
            } cases[] = {{fileA, false}, {folder1, false}, {rootNode(), false}, {fileC, true}, {fileB, true}};
            for (const auto &c : cases) {
                clickCopyOf(d, c.node);
                EXPECT_EQ(d.btnOk->isEnabled(), c.confirmable) << c.node->text(0).toStdString();
            }
            QTest::mouseClick(d.Button1, Qt::LeftButton);
        },
        [&] { form->MN_EDIT_MERGEFILETOClick(); }));
    EXPECT_EQ(levels(fileA), (Levels{10, 20, 30}));
    EXPECT_EQ(levels(fileB), (Levels{40, 50}));
}

// ---- Merge ----

TEST_F(Reorganise, MergeModesPlaceThePagesAndRemoveTheMergedFile)
{
    // The merged file S has pages 1, 2, 3; the target T has 2 or 4 pages (101 …).
    struct Case {
        const char *name;
        int mode;
        Levels target;
        Levels result; // empty: refused
    };
    const Case cases[] = {
        {"before", 0, {101, 102}, {1, 2, 3, 101, 102}},
        {"after", 1, {101, 102}, {101, 102, 1, 2, 3}},
        {"odd pages into fewer", 2, {101, 102}, {1, 101, 2, 102, 3}},
        {"odd pages into as many", 2, {101, 102, 103}, {1, 101, 2, 102, 3, 103}},
        {"even pages into fewer", 3, {101, 102}, {}},
        {"even pages into one more", 3, {101, 102, 103, 104}, {101, 1, 102, 2, 103, 3, 104}},
        {"odd pages into many more", 2, {101, 102, 103, 104, 105}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTreeWidgetItem *s = fileWithPages(folderB, {1, 2, 3});
        QTreeWidgetItem *t = fileWithPages(folderB, c.target);
        const QString sName = s->text(0);
        const QString sDir = dirOf(s);
        shown.clear();
        clickNode(s);
        EXPECT_TRUE(withDialog<TForm6>(
            [&](TForm6 &d) {
                clickCopyOf(d, t);
                clickRadio(d, c.mode);
                EXPECT_EQ(d.MergeMode(), c.mode);
                QTest::mouseClick(d.btnOk, Qt::LeftButton);
            },
            [&] { form->MN_EDIT_MERGEFILETOClick(); }));
        if (c.result.empty()) {
            ASSERT_EQ(shownTexts(), QStringList{"两文件页数不符，无法合并！"});
            EXPECT_EQ(shown[0].caption, "错误");
            EXPECT_EQ(levels(s), (Levels{1, 2, 3}));
            EXPECT_EQ(levels(t), c.target);
            EXPECT_EQ(form->TreeView1->currentItem(), s);
        } else {
            EXPECT_TRUE(shown.isEmpty());
            EXPECT_EQ(levels(t), c.result);
            EXPECT_EQ(form->TreeView1->currentItem(), t);
            EXPECT_EQ(list()->count(), int(c.result.size()));
            EXPECT_FALSE(QFileInfo::exists(sDir));
            EXPECT_EQ(form->ImageManager->FindChildByName(folderB, sName), nullptr);
            TCatalogQuery q(CatalogConnection);
            EXPECT_TRUE(q.Open("Select IMAGEID From " +
                               CatalogSchema::ImgTableName(NodeData(typeB)->Id, NodeData(folderB)->Id) +
                               " Where IMAGENAME='" + sName + "'"));
            EXPECT_TRUE(q.Eof());
        }
    }
}

namespace {
// Copies into one directory fail after the first Allowed of them.
class CopiesFailInto : public TStoreFiles {
public:
    CopiesFailInto(QString dir, int allowed) : m_dir(std::move(dir)), m_allowed(allowed) {}
    bool Copy(const QString &src, const QString &dst) override
    {
        if (dst.startsWith(m_dir) && m_allowed-- <= 0)
            return false;
        return TStoreFiles::Copy(src, dst);
    }

private:
    QString m_dir;
    int m_allowed;
};
} // namespace

TEST_F(Reorganise, MergeWhosePageMovesFailHalfwayKeepsEveryPage)
{
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        QTreeWidgetItem *s = fileWithPages(folderB, {1, 2, 3});
        QTreeWidgetItem *t = fileWithPages(folderB, {101, 102, 103});
        shown.clear();
        clickNode(s);
        CopiesFailInto failing(dirOf(t), 1);
        SetStoreFiles(&failing);
        withDialog<TForm6>(
            [&](TForm6 &d) {
                clickCopyOf(d, t);
                clickRadio(d, mode);
                QTest::mouseClick(d.btnOk, Qt::LeftButton);
            },
            [&] { form->MN_EDIT_MERGEFILETOClick(); });
        SetStoreFiles(nullptr);
        // Page 1 arrived; pages 2 and 3 stay with the merged file, which is kept and shown.
        EXPECT_EQ(levels(t), mode == 1 ? (Levels{101, 102, 103, 1}) : (Levels{1, 101, 102, 103}));
        EXPECT_EQ(levels(s), (Levels{2, 3}));
        EXPECT_EQ(form->TreeView1->currentItem(), s);
        EXPECT_EQ(list()->count(), 2);
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].text, "文件”" + s->text(0) + "“有 2 个页面未能合并，文件已保留。");
    }
}

// ---- Clipboard ----

TEST_F(Reorganise, CutPastedMovesOnceAndCopyOrEscapeGivesTheCutUp)
{
    // Cut pages 1 and 2 of A: they are flagged and a file manager is offered a copy.
    selectPages(fileA, {0, 1});
    form->Action("MN_EDIT_CUT")->trigger();
    EXPECT_TRUE(form->CutPending);
    EXPECT_EQ(cutFlags(), (QStringList{"新建文件(1)-1", "新建文件(1)-2"}));
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(mime->data("x-special/gnome-copied-files").startsWith("copy\n"));
    EXPECT_EQ(mime->data("application/x-kde-cutselection"), "0");
    EXPECT_EQ(mime->urls().size(), 2);

    // Copy gives the cut up: no marks, and a paste copies.
    form->Action("MN_EDIT_COPY")->trigger();
    EXPECT_FALSE(form->CutPending);
    EXPECT_TRUE(cutFlags().isEmpty());
    paste(fileB);
    EXPECT_EQ(levels(fileA), (Levels{10, 20, 30}));
    EXPECT_EQ(levels(fileB), (Levels{40, 50, 10, 20}));

    // Cut and Escape: the clipboard is emptied and the marks go.
    selectPages(fileA, {2});
    form->Action("MN_EDIT_CUT")->trigger();
    EXPECT_EQ(cutFlags(), QStringList{"新建文件(1)-3"});
    QTest::keyClick(list(), Qt::Key_Escape);
    EXPECT_FALSE(form->CutPending);
    EXPECT_TRUE(cutFlags().isEmpty());
    QStringList files;
    EXPECT_FALSE(PasteFilesFromClipboard(files));

    // Cut page 3 and paste it into C: it moves, once; the clipboard is left empty.
    form->Action("MN_EDIT_CUT")->trigger();
    paste(fileC);
    EXPECT_EQ(levels(fileA), (Levels{10, 20}));
    EXPECT_EQ(levels(fileC), (Levels{60, 30}));
    EXPECT_FALSE(form->CutPending);
    EXPECT_FALSE(PasteFilesFromClipboard(files));
    paste(fileB);
    EXPECT_EQ(levels(fileB), (Levels{40, 50, 10, 20}));
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(Reorganise, CutMarkIsPaintedFromTheFlag)
{
    clickNode(fileA);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->ThumbnailsPending(); }, 5000));
    const QRect r = list()->visualItemRect(list()->item(0));
    const QImage before = list()->viewport()->grab(r).toImage();
    selectPages(fileA, {1}); // page 1 itself unselected, so the selection colour stays out
    SetCutFlag(list()->item(0), true);
    list()->viewport()->repaint();
    const QImage marked = list()->viewport()->grab(r).toImage();
    EXPECT_NE(marked, before);
    SetCutFlag(list()->item(0), false);
    list()->viewport()->repaint();
    EXPECT_EQ(list()->viewport()->grab(r).toImage(), before);

    // The mark undoes itself, so whatever the cache holds is never changed by it.
    QImage picture(20, 20, QImage::Format_RGB32);
    picture.fill(QColor(90, 140, 200));
    QImage twice = picture;
    ToggleCutMark(twice);
    EXPECT_NE(twice, picture);
    ToggleCutMark(twice);
    EXPECT_EQ(twice, picture);
}

TEST_F(Reorganise, EscapeAfterAnotherProgramTookTheClipboardChangesNothing)
{
    selectPages(fileA, {0});
    form->Action("MN_EDIT_CUT")->trigger();
    const QString outside = source("outside.tif");
    writeGreyTiff(outside, {77});
    otherProgramPuts({outside}, "kde");
    QTest::keyClick(list(), Qt::Key_Escape);
    EXPECT_TRUE(form->CutPending);
    QStringList files;
    ASSERT_TRUE(PasteFilesFromClipboard(files));
    EXPECT_EQ(files, QStringList{outside});
    // The paste now copies the other program's file and leaves the cut pages alone.
    paste(fileB);
    EXPECT_EQ(levels(fileB), (Levels{40, 50, 77}));
    EXPECT_EQ(levels(fileA), (Levels{10, 20, 30}));
    EXPECT_TRUE(QFileInfo::exists(outside));
}

TEST_F(Reorganise, PasteOfOtherProgramsFilesChecksEveryEntryAndCopiesImages)
{
    const QString one = source("one.tif"), two = source("two.tif"), gif = source("picture.gif");
    writeGreyTiff(one, {71});
    writeGreyTiff(two, {72, 73});
    QFile g(gif);
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write("GIF89a");
    g.close();
    struct Case {
        const char *name;
        const char *format;
        QStringList files;
        QTreeWidgetItem *target;
        Levels result;
        QStringList messages;
    };
    const Case cases[] = {
        {"GNOME Files", "gnome", {one, two}, fileB, {40, 50, 71, 72, 73}, {}},
        {"Dolphin", "kde", {two}, fileB, {40, 50, 71, 72, 73, 72, 73}, {}},
        {"a gif", "gnome", {gif}, fileB, {40, 50, 71, 72, 73, 72, 73}, {}},
        {"a missing entry", "kde", {one, source("gone.tif")}, fileC, {60}, {"无法读源文件或磁盘！"}},
        {"into a file type", "kde", {one}, typeA, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        shown.clear();
        const QStringList shape = treeShape();
        otherProgramPuts(c.files, c.format);
        paste(c.target);
        EXPECT_EQ(shownTexts(), c.messages);
        if (!c.messages.isEmpty()) {
            EXPECT_EQ(shown[0].caption, "错误");
        }
        if (c.target != typeA) {
            EXPECT_EQ(levels(c.target), c.result);
        }
        EXPECT_EQ(treeShape(), shape);
        for (const QString &f : c.files)
            if (!f.endsWith("gone.tif")) {
                EXPECT_TRUE(QFileInfo::exists(f)); // another program's cut is copied here
            }
    }

    // Into a folder: a new file holds the pages.
    otherProgramPuts({one}, "gnome");
    paste(folder2);
    ASSERT_EQ(folder2->childCount(), 2);
    EXPECT_EQ(folder2->child(1)->text(0), "新建文件(2)");
    EXPECT_EQ(levels(folder2->child(1)), (Levels{71}));
}

// ---- Drag and drop ----

TEST_F(Reorganise, TreeDropsFollowTheAcceptanceTable)
{
    const QStringList shape = treeShape();
    struct Case {
        const char *name;
        QTreeWidgetItem *dragged;
        QTreeWidgetItem *onto;
        bool allowed;
    };
    const Case refused[] = {
        {"file type onto a folder", typeB, folder1, false},
        {"folder onto its own file type", folder2, typeA, false},
        {"folder onto a file", folder2, fileA, false},
        {"folder onto the root", folder2, rootNode(), false},
        {"file onto its own folder", fileB, folder1, false},
        {"file onto a file type", fileB, typeB, false},
    };
    for (const Case &c : refused) {
        SCOPED_TRACE(c.name);
        clickNode(c.dragged);
        const Dragged d = drag(form->TreeView1, nodeAt(c.dragged), form->TreeView1, nodeAt(c.onto));
        EXPECT_TRUE(d.started);
        EXPECT_FALSE(d.allowed);
        EXPECT_EQ(treeShape(), shape);
    }
    // The root is never dragged.
    clickNode(rootNode());
    EXPECT_FALSE(drag(form->TreeView1, nodeAt(rootNode()), form->TreeView1, nodeAt(typeB)).started);
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(Reorganise, DroppedNodesMoveWithTheirPagesAndRows)
{
    // The second file type in front of the first.
    clickNode(typeB);
    EXPECT_TRUE(drag(form->TreeView1, nodeAt(typeB), form->TreeView1, nodeAt(typeA)).dropped);
    EXPECT_EQ(rootNode()->child(0), typeB);

    // File B into folder 2, after C.
    clickNode(fileB);
    EXPECT_TRUE(drag(form->TreeView1, nodeAt(fileB), form->TreeView1, nodeAt(folder2)).dropped);
    EXPECT_EQ(fileB->parent(), folder2);
    EXPECT_EQ(folder2->indexOfChild(fileB), 1);
    EXPECT_EQ(levels(fileB), (Levels{40, 50}));
    EXPECT_EQ(list()->count(), 2); // the shown file stays shown
    EXPECT_FALSE(QFileInfo::exists(RootPath + "Images/新建文件类型(1)/新建文件夹(1)/新建文件(2)"));

    // Folder 2 into the other file type.
    clickNode(folder2);
    EXPECT_TRUE(drag(form->TreeView1, nodeAt(folder2), form->TreeView1, nodeAt(typeB)).dropped);
    EXPECT_EQ(folder2->parent(), typeB);
    EXPECT_EQ(levels(fileC), (Levels{60}));
    EXPECT_EQ(levels(fileB), (Levels{40, 50}));
    EXPECT_EQ(dirOf(fileC), RootPath + "Images/新建文件类型(2)/新建文件夹(2)/新建文件(1)/");
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(Reorganise, DroppedPagesGoToAnotherFileOrANewOneButNeverToTheShownName)
{
    struct Case {
        const char *name;
        QTreeWidgetItem *onto;
        bool allowed;
    };
    const Case cases[] = {
        {"the shown file", fileA, false}, {"a file of the same name elsewhere", fileC, false},
        {"a file type", typeB, false},    {"the root", rootNode(), false},
        {"another file", fileB, true},    {"a folder", folderB, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        selectPages(fileA, {0});
        const Dragged d = drag(list(), pageAt(0), form->TreeView1, nodeAt(c.onto));
        ASSERT_TRUE(d.started);
        EXPECT_EQ(d.allowed, c.allowed);
        // What a file manager receives: the page file, to be copied.
        ASSERT_EQ(d.urls.size(), 1);
        EXPECT_TRUE(d.urls[0].toLocalFile().endsWith("/新建文件(1)/P0000001.tif"));
    }
    EXPECT_EQ(levels(fileA), (Levels{30}));
    EXPECT_EQ(levels(fileB), (Levels{40, 50, 10}));
    EXPECT_EQ(levels(fileC), (Levels{60}));
    ASSERT_EQ(folderB->childCount(), 1);
    EXPECT_EQ(folderB->child(0)->text(0), "新建文件(1)");
    EXPECT_EQ(levels(folderB->child(0)), (Levels{20}));
}

TEST_F(Reorganise, PagesDroppedInTheListGoInFrontOfTheTarget)
{
    selectPages(fileA, {2});
    EXPECT_TRUE(drag(list(), pageAt(2), list(), pageAt(0)).dropped);
    EXPECT_EQ(levels(fileA), (Levels{30, 10, 20}));
    ASSERT_EQ(list()->selectedItems().size(), 1);
    EXPECT_EQ(list()->row(list()->selectedItems().first()), 0);
    // Dropped on itself: nothing moves.
    EXPECT_TRUE(drag(list(), pageAt(0), list(), pageAt(0)).dropped);
    EXPECT_EQ(levels(fileA), (Levels{30, 10, 20}));
}

TEST_F(Reorganise, FilesDraggedInFromAFileManagerBecomePages)
{
    const QString one = source("one.tif");
    writeGreyTiff(one, {71});
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(one)});
    clickNode(fileB);
    EXPECT_TRUE(deliverDrop(&mime, list(), QPoint(5, 5)));
    EXPECT_EQ(levels(fileB), (Levels{40, 50, 71}));
    EXPECT_TRUE(deliverDrop(&mime, form->TreeView1, nodeAt(folder2)));
    ASSERT_EQ(folder2->childCount(), 2);
    EXPECT_EQ(levels(folder2->child(1)), (Levels{71}));
    EXPECT_FALSE(deliverDrop(&mime, form->TreeView1, nodeAt(typeA)));
    // Not files: nothing to take.
    QMimeData text;
    text.setText("hello");
    EXPECT_FALSE(deliverDrop(&text, list(), QPoint(5, 5)));
    EXPECT_TRUE(QFileInfo::exists(one));
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(Reorganise, PagesDroppedOnAFileInAReadOnlyFolderStayWhereTheyWere)
{
    selectPages(fileA, {0, 1});
    namespace fs = std::filesystem;
    const auto path = [](const QString &dir) { return fs::path(QFile::encodeName(dir).toStdString()); };
    fs::permissions(path(dirOf(fileA)), fs::perms::all);
    fs::permissions(path(dirOf(fileB)), fs::perms::owner_read | fs::perms::owner_exec);
    {
        arkavo::test::AsOrdinaryUser nobody(root.path());
        drag(list(), pageAt(0), form->TreeView1, nodeAt(fileB));
    }
    fs::permissions(path(dirOf(fileB)), fs::perms::owner_all);
    EXPECT_EQ(levels(fileA), (Levels{10, 20, 30}));
    EXPECT_EQ(levels(fileB), (Levels{40, 50}));
    EXPECT_EQ(list()->count(), 3);
}
