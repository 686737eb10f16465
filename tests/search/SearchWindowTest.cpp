// The search as the operator uses it: the panel on the scan panel's "查询" tab, the result
// list, the grid in its strip under the page area and the walk through the hits in the tree.
#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "FieldStore.h"
#include "Globals.h"
#include "Messages.h"
#include "SearchResultGrid.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TFormSearch.h"
#include "TImageManager.h"

#include "QtApp.h"
#include "TempDir.h"

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

class SearchWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
        ASSERT_EQ(OpenCatalog("Admin", ""), CatalogLogin::LoggedIn);
        form = std::make_unique<TForm1>();
        form->ConnectScanPanel(new TForm3(
            {form->ImageManager, form->TreeView1, form->ListView1, form.get(), form->FormImgProcSetting},
            nullptr, form.get()));
        form->ConnectSearch(new TFormSearch(form->ImageManager, form.get()));
        search = form->FormSearch;
        search->Beep = [] {};
        form->resize(1200, 800);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        store = form->ImageManager;

        // Two file types; the first with the fields 编号 and 备注 (a second remark by name),
        // two folders with files holding values.
        letters = store->NewFileType(true);
        forms = store->NewFileType(true);
        letterId = NodeData(letters)->Id;
        FieldDefList defs{new FieldRecord{letterId, "F1", "编号", 0, 20, 0, 0},
                          new FieldRecord{letterId, "F2", "备注", 0, 40, 0, 1}};
        FieldStore::ApplyFieldDefs(CatalogConnection, letterId, defs);
        FieldStore::FreeFieldDefs(defs);
        north = store->NewFolder(letters, "North", true);
        south = store->NewFolder(letters, "South", true);
        struct {
            QTreeWidgetItem *folder;
            const char *name, *number, *note, *remark;
        } files[] = {
            {north, "N1", "ab-1", "cd", ""},    {north, "N2", "ab-2", "", "x"},
            {north, "N3", "zz", "", "O'Brien"}, {south, "S1", "ab cd", "", ""},
            {south, "S2", "none", "", ""},
        };
        for (const auto &f : files) {
            QTreeWidgetItem *file = store->NewFile(f.folder, f.name, true);
            fileNodes << file;
            writeValues(letterId, NodeData(f.folder)->Id, NodeData(file)->Id, {f.number, f.note, f.remark});
        }
        QTreeWidgetItem *formFolder = store->NewFolder(forms, "Desk", true);
        QTreeWidgetItem *formFile = store->NewFile(formFolder, "D1", true);
        writeValues(NodeData(forms)->Id, NodeData(formFolder)->Id, NodeData(formFile)->Id, {"ab cd"});

        form->ScanPanel->PageControl1->setCurrentIndex(form->ScanPanel->PageControl1->count() - 1);
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        form.reset();
        Messages::SetResponder(nullptr);
    }

    static void writeValues(int appId, int batchId, int imageId, const QStringList &values)
    {
        FieldDefList defs;
        FieldStore::LoadFieldDefs(CatalogConnection, appId, defs, true);
        ASSERT_TRUE(FieldStore::WriteFieldValues(CatalogConnection, defs, values.mid(0, defs.size()), imageId,
                                                 batchId, appId));
        FieldStore::FreeFieldDefs(defs);
    }

    void clickNode(QTreeWidgetItem *node)
    {
        QTreeWidget *tree = form->TreeView1;
        tree->scrollToItem(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
        QCoreApplication::processEvents();
    }
    void quickSearch(const QString &typed)
    {
        search->EdtKeyword->clear();
        QTest::keyClicks(search->EdtKeyword, typed);
        QTest::mouseClick(search->btn_mhsearch, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    QStringList lines() const
    {
        QStringList t;
        for (int i = 0; i < search->ListView1->topLevelItemCount(); ++i)
            t << search->ListView1->topLevelItem(i)->text(0) + u':' +
                     search->ListView1->topLevelItem(i)->text(1);
        return t;
    }
    void chooseLine(int i)
    {
        QTreeWidget *list = search->ListView1;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(i)).center());
        QCoreApplication::processEvents();
    }
    // Types Value into the advanced search's row Row.
    void typeAdvanced(int row, const QString &value)
    {
        QTableWidget *grid = search->ValueListEditor1;
        const QPoint at = grid->visualItemRect(grid->item(row, 1)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        auto *editor = qobject_cast<QLineEdit *>(grid->indexWidget(grid->model()->index(row, 1)));
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, value);
    }
    QStringList gridColumn(int column) const
    {
        QStringList t;
        for (int r = 0; r < search->ADOQuery1->rowCount(); ++r)
            t << search->ADOQuery1->index(r, column).data().toString();
        return t;
    }

    arkavo::test::TempDir root;
    std::unique_ptr<TForm1> form;
    TFormSearch *search = nullptr;
    TImageManager *store = nullptr;
    QTreeWidgetItem *letters = nullptr, *forms = nullptr, *north = nullptr, *south = nullptr;
    QList<QTreeWidgetItem *> fileNodes;
    int letterId = 0;
};

} // namespace

TEST_F(SearchWindow, ThePanelSitsOnTheSearchTabAndItsButtonsFollowTheTree)
{
    QTabWidget *tabs = form->ScanPanel->PageControl1;
    EXPECT_EQ(tabs->tabText(tabs->currentIndex()), "查询");
    EXPECT_TRUE(search->PanelSearch->isVisible());
    EXPECT_EQ(search->EdtKeyword->text(), "查询关键字");
    const struct {
        QTreeWidgetItem *node;
        bool quick, advanced;
    } cases[] = {
        {form->TreeView1->topLevelItem(0), true, false},
        {letters, true, true},
        {north, true, true},
        {fileNodes[0], false, false},
    };
    for (const auto &c : cases) {
        clickNode(c.node);
        EXPECT_EQ(search->btn_mhsearch->isEnabled(), c.quick) << c.node->text(0).toStdString();
        EXPECT_EQ(search->btn_kpsearch->isEnabled(), c.advanced) << c.node->text(0).toStdString();
    }
    // The value grid holds the shown file type's fields, the remark last.
    EXPECT_EQ(search->LoadedAppId(), letterId);
    ASSERT_EQ(search->ValueListEditor1->rowCount(), 3);
    EXPECT_EQ(search->ValueListEditor1->item(2, 0)->text(), "备注");
}

TEST_F(SearchWindow, QuickSearchCountsHitsPerFolderAndFileType)
{
    clickNode(letters);
    const struct {
        QTreeWidgetItem *node;
        QString typed, firstTitle;
        QStringList expected;
    } cases[] = {
        // No keywords: every folder with stored values.
        {letters, "", "文件夹", {"North:3", "South:2"}},
        // Both keywords, each in some field.
        {letters, "ab cd", "文件夹", {"North:1", "South:1"}},
        // An apostrophe is searched literally.
        {letters, "O'Brien", "文件夹", {"North:1"}},
        // A folder node limits the list to that folder.
        {south, "ab", "文件夹", {"South:1"}},
        // Typed text cannot change the statement: these are plain, hit-less patterns.
        {letters, "'; Drop Table BATCH; --", "文件夹", {}},
        // The root: file types with hits, in tree order.
        {form->TreeView1->topLevelItem(0),
         "ab cd",
         "文件类型",
         {letters->text(0) + ":2", forms->text(0) + ":1"}},
        {form->TreeView1->topLevelItem(0), "O'Brien", "文件类型", {letters->text(0) + ":1"}},
    };
    for (const auto &c : cases) {
        clickNode(c.node);
        quickSearch(c.typed);
        EXPECT_EQ(lines(), c.expected) << c.typed.toStdString();
        EXPECT_EQ(search->ListView1->headerItem()->text(0), c.firstTitle);
    }
    EXPECT_TRUE(CatalogConnection->TableNames().contains("BATCH", Qt::CaseInsensitive));
}

TEST_F(SearchWindow, ChoosingALineFillsTheDockedGridAndMovingDownWalksTheTree)
{
    clickNode(letters);
    quickSearch("ab");
    ASSERT_EQ(lines(), (QStringList{"North:2", "South:1"}));
    EXPECT_FALSE(search->isVisible());
    chooseLine(0);

    // Docked in its strip under the page area.
    ASSERT_TRUE(search->isVisible());
    EXPECT_TRUE(search->Docked());
    EXPECT_TRUE(search->PanelResult->isVisible());
    EXPECT_EQ(form->Splitter3->sizes().value(1), 168);
    QTableView *grid = search->DBGrid1;
    for (int c = 0; c < 3; ++c)
        EXPECT_TRUE(grid->isColumnHidden(c));
    EXPECT_EQ(search->ADOQuery1->headerData(3, Qt::Horizontal).toString(), "编号");
    EXPECT_EQ(search->ADOQuery1->headerData(4, Qt::Horizontal).toString(), "备注");
    EXPECT_EQ(search->ADOQuery1->headerData(5, Qt::Horizontal).toString(), "备注");
    EXPECT_EQ(gridColumn(3), (QStringList{"ab-1", "ab-2"}));
    // Opening the grid does not move the tree.
    EXPECT_EQ(form->TreeView1->currentItem(), letters);

    // A click on a cell selects its file; Down selects the next.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(search->ADOQuery1->index(0, 3)).center());
    EXPECT_EQ(form->TreeView1->currentItem(), fileNodes[0]);
    EXPECT_EQ(store->ShownFileName, "N1");
    QTest::keyClick(grid, Qt::Key_Down);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->TreeView1->currentItem(), fileNodes[1]);
    EXPECT_EQ(store->ShownFileName, "N2");

    // The other line: its own hits.
    chooseLine(1);
    EXPECT_EQ(gridColumn(3), (QStringList{"ab cd"}));
}

TEST_F(SearchWindow, AdvancedSearchTakesEachFieldsOwnValue)
{
    clickNode(letters);
    QTest::mouseClick(search->btn_gotokp, Qt::LeftButton);
    EXPECT_FALSE(search->PanelKeyword->isVisible());
    EXPECT_TRUE(search->ValueListEditor1->isVisible());
    EXPECT_TRUE(search->btn_kpsearch->isVisible());
    EXPECT_FALSE(search->grpboxResult->isVisible());

    // The field named 备注 and the remark each keep their own value.
    typeAdvanced(1, "cd");
    QTest::mouseClick(search->btn_kpsearch, Qt::LeftButton);
    EXPECT_EQ(lines(), (QStringList{"North:1"}));
    EXPECT_EQ(search->TermNames(), (QStringList{"备注"}));
    EXPECT_TRUE(search->btn_research->isVisible());
    EXPECT_FALSE(search->btn_kpsearch->isVisible());
    EXPECT_TRUE(search->grpboxResult->isVisible());
    EXPECT_FALSE(search->ValueListEditor1->isVisible());

    QTest::mouseClick(search->btn_research, Qt::LeftButton);
    EXPECT_TRUE(lines().isEmpty());
    EXPECT_TRUE(search->ValueListEditor1->isVisible());
    typeAdvanced(2, "x");
    QTest::mouseClick(search->btn_kpsearch, Qt::LeftButton);
    EXPECT_EQ(lines(), QStringList{}) << "cd in 备注 and x in the remark: no file has both";

    QTest::mouseClick(search->btn_research, Qt::LeftButton);
    QTest::mouseClick(search->btn_backtomh, Qt::LeftButton);
    EXPECT_TRUE(search->PanelKeyword->isVisible());
    EXPECT_FALSE(search->ValueListEditor1->isVisible());
    EXPECT_TRUE(search->grpboxResult->isVisible());
}

TEST_F(SearchWindow, TermsAreUnderlinedInRedOnTheCellsLastRowButOne)
{
    clickNode(south);
    quickSearch("cd ab");
    chooseLine(0);
    QTableView *grid = search->DBGrid1;
    const QModelIndex cell = search->ADOQuery1->index(0, 3);
    ASSERT_EQ(cell.data().toString(), "ab cd");
    grid->selectionModel()->clear();
    grid->setCurrentIndex({});
    const QRect r = grid->visualRect(cell);
    const QImage shot = grid->viewport()->grab().toImage();
    const QFontMetrics fm(grid->font());
    const int y = r.y() + r.height() - 2;
    auto red = [&](int x) {
        const QColor c = shot.pixelColor(x, y);
        return c.red() > 200 && c.green() < 60 && c.blue() < 60;
    };
    // "ab" from the cell's left edge + 2, then the blank unmarked, then "cd".
    const int x0 = r.x() + 2;
    const int abEnd = x0 + fm.horizontalAdvance("ab") - 1;
    const int cdStart = x0 + fm.horizontalAdvance("ab ");
    const int cdEnd = x0 + fm.horizontalAdvance("ab cd") - 1;
    EXPECT_TRUE(red(x0));
    EXPECT_TRUE(red(abEnd));
    EXPECT_FALSE(red(abEnd + 2));
    EXPECT_TRUE(red(cdStart));
    EXPECT_TRUE(red(cdEnd));
    EXPECT_FALSE(red(cdEnd + 2));
    // Only that row of pixels.
    EXPECT_FALSE(shot.pixelColor(x0, y - 1).red() > 200 && shot.pixelColor(x0, y - 1).green() < 60);
}

TEST_F(SearchWindow, TheResultWindowFloatsAndDocksOnlyIntoItsStrip)
{
    clickNode(letters);
    quickSearch("");
    chooseLine(0);
    ASSERT_TRUE(search->Docked());
    // Pulled out by its title bar.
    QWidget *title = search->PanelTitle;
    const QPoint grip = title->rect().center();
    QTest::mousePress(title, Qt::LeftButton, {}, grip);
    QMouseEvent move(QEvent::MouseMove, QPointF(grip.x(), grip.y() - 300),
                     title->mapToGlobal(QPointF(grip.x(), grip.y() - 300)), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(title, &move);
    QTest::mouseRelease(title, Qt::LeftButton);
    ASSERT_FALSE(search->Docked());
    EXPECT_TRUE(search->isWindow());
    EXPECT_TRUE(search->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(search->PanelResult->isVisible());
    EXPECT_TRUE(search->isVisible());

    // Over the tree it stays afloat; over its strip it docks.
    search->move(form->TreeView1->mapToGlobal(QPoint(10, 10)));
    QCoreApplication::processEvents();
    EXPECT_FALSE(search->Docked());
    QSplitter *pageArea = form->Splitter3;
    search->move(pageArea->mapToGlobal(QPoint(40, pageArea->height() - 100)));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_TRUE(search->Docked());
    EXPECT_TRUE(search->PanelResult->isVisible());

    // Closing takes the strip out of the layout.
    QTest::mouseClick(search->btn_close, Qt::LeftButton);
    EXPECT_FALSE(search->isVisible());
    EXPECT_FALSE(search->PanelResult->isVisible());
    // Choosing a line again brings it back.
    chooseLine(1);
    EXPECT_TRUE(search->isVisible());
    EXPECT_TRUE(search->PanelResult->isVisible());
}

TEST_F(SearchWindow, ALongResultIsReadAsTheGridScrollsAndLocksNoTable)
{
    // Value rows of 600 more files in North with the same number.
    ASSERT_TRUE(CatalogConnection->RunInTransaction([&] {
        for (int i = 0; i < 600; ++i)
            writeValues(letterId, NodeData(north)->Id, 1000 + i, {"many", "", ""});
        return true;
    }));
    clickNode(north);
    quickSearch("many");
    ASSERT_EQ(lines(), QStringList{"North:600"});
    chooseLine(0);
    EXPECT_EQ(search->ADOQuery1->rowCount(), TSearchResultModel::kBlockRows);
    // A field added while the grid shows its first block.
    Messages::ClearShown();
    FieldDefList defs;
    FieldStore::LoadFieldDefs(CatalogConnection, letterId, defs, false);
    defs << new FieldRecord{letterId, "F3", "日期", 0, 10, 0, 2};
    FieldStore::ApplyFieldDefs(CatalogConnection, letterId, defs);
    FieldStore::FreeFieldDefs(defs);
    EXPECT_TRUE(Messages::Shown().isEmpty()) << Messages::Shown().value(0).text.toStdString();
    FieldStore::LoadFieldDefs(CatalogConnection, letterId, defs, false);
    EXPECT_EQ(defs.size(), 3);
    FieldStore::FreeFieldDefs(defs);
    // Scrolling to the end reads the rest, each row once.
    search->DBGrid1->scrollToBottom();
    while (search->ADOQuery1->canFetchMore())
        search->ADOQuery1->fetchMore();
    const QStringList ids = gridColumn(2);
    EXPECT_EQ(ids.size(), 600);
    EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), 600);
}
