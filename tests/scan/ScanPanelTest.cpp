// The scan panel in a real main window on a temporary catalogue, fed by a scanner double:
// where the scanned pages land in each scan mode and split mode, what a page that cannot
// be written does, and the panel's place in the window.
#include "FakeScanner.h"

#include "CatalogSchema.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TFormImgProcSetting.h"
#include "TImageManager.h"

#include "GrayPage.h"
#include "PatternPage.h"
#include "QtApp.h"
#include "TempDir.h"

#include "codec.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QTabBar>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstring>

using arkavo::GlobalBlock;
using arkavo::test::FakeScanner;

namespace {

// A grey sheet of one value (0 black .. 255 white), small enough to keep the tests quick.
GlobalBlock sheet(uint8_t value, int width = 120, int height = 160)
{
    return arkavo::test::MakeGrayPage(width, height, [value](int) { return value; });
}

// A sheet with a little writing on it: a dark band across the middle.
GlobalBlock written(uint8_t ink)
{
    return arkavo::test::MakeGrayPage(
        120, 160, [ink](int i) { return uint8_t(i / 120 > 60 && i / 120 < 100 ? ink : 255); });
}

// The first pixel byte of a page file, which tells the sheets of these tests apart.
int firstByteOf(const QString &path)
{
    TCodecImage image{0, 0, nullptr};
    LoadFile(QFile::encodeName(path).constData(), &image, 0);
    const GlobalBlock dib(image.Dib);
    if (!dib)
        return -1;
    arkavo::GlobalLockGuard lock(dib.get());
    uint32_t colours = 0;
    std::memcpy(&colours, lock.data() + 32, 4);
    uint16_t bits = 0;
    std::memcpy(&bits, lock.data() + 14, 2);
    return lock.data()[40 + 4 * (bits <= 8 ? (colours ? colours : 1u << bits) : 0)];
}

class ScanPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        Messages::ClearShown();
        Messages::SetResponder([this](const MessageRecord &m) {
            shown << m;
            return MsgAnswer::Ok;
        });
        ASSERT_EQ(OpenCatalog("Admin", ""), CatalogLogin::LoggedIn);
        form = std::make_unique<TForm1>();
        store = form->ImageManager;
        auto *panel = new TForm3({store, form->TreeView1, form->ListView1, form.get(),
                                  form->FormImgProcSetting, form->StatusPanels[1]},
                                 (fake = std::make_unique<FakeScanner>(form.get())).get(), form.get());
        scanner = fake.get();
        form->ConnectScanPanel(panel);
        form->resize(1200, 800);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        type = store->NewFileType(true);
        folder = store->NewFolder(type, "F", true);
        ASSERT_TRUE(type && folder);
    }
    void TearDown() override
    {
        form.reset();
        Messages::SetResponder(nullptr);
    }

    TForm3 *panel() const { return form->ScanPanel; }
    TPageListView *list() const { return form->ListView1; }
    QString fileDir(QTreeWidgetItem *file) const
    {
        return store->ImagesPath + type->text(0) + "/F/" + file->text(0) + "/";
    }
    QStringList pagesOf(QTreeWidgetItem *file) const
    {
        return QDir(fileDir(file)).entryList({"P*.tif", "P*.jpg"}, QDir::Files, QDir::Name);
    }
    // The sheets' values in the file's page order.
    QList<int> valuesOf(QTreeWidgetItem *file) const
    {
        QList<int> values;
        for (const QString &page : pagesOf(file))
            values << firstByteOf(fileDir(file) + page);
        return values;
    }
    void selectNode(QTreeWidgetItem *node)
    {
        form->TreeView1->setFocus();
        form->TreeView1->setCurrentItem(node);
        QCoreApplication::processEvents();
    }
    void feed(std::initializer_list<uint8_t> values)
    {
        for (uint8_t v : values)
            scanner->Sheets.push_back(sheet(v));
    }
    // Clicks a scan button with the mouse, as the operator does; it must be enabled.
    void click(QPushButton *button)
    {
        form->UpdateCommandStates();
        ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    QTreeWidgetItem *fileNamed(const QString &name) const { return store->FindChildByName(folder, name); }
    QList<QTreeWidgetItem *> files() const
    {
        QList<QTreeWidgetItem *> nodes;
        for (int i = 0; i < folder->childCount(); ++i)
            nodes << folder->child(i);
        return nodes;
    }
    // A file of Count pages whose sheets have values 10, 20, ...
    QTreeWidgetItem *fileWithPages(const QString &name, int count)
    {
        QTreeWidgetItem *file = store->NewFile(folder, name, true);
        QDir().mkpath(fileDir(file));
        for (int n = 1; n <= count; ++n) {
            const GlobalBlock page = sheet(uint8_t(10 * n));
            const TCodecImage image{300, 300, page.get()};
            SaveTIF(
                &image,
                QFile::encodeName(fileDir(file) + QString("P%1.tif").arg(n, 7, 10, QChar('0'))).constData(),
                0, 0);
        }
        return file;
    }

    arkavo::test::TempDir root;
    std::unique_ptr<FakeScanner> fake, fake2; // outlive the windows that use them
    std::unique_ptr<TForm1> form;
    FakeScanner *scanner = nullptr;
    TImageManager *store = nullptr;
    QTreeWidgetItem *type = nullptr, *folder = nullptr;
    QList<MessageRecord> shown;
};

} // namespace

TEST_F(ScanPanel, IsDockedUnderTheTreeWithItsTabsAndTheViewMenuShowsAndHidesIt)
{
    EXPECT_EQ(panel()->parentWidget(), form->Panel2);
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_TRUE(form->Action("MN_VIEW_SCANNER")->isChecked());
    QStringList tabs;
    for (int i = 0; i < panel()->PageControl1->count(); ++i)
        tabs << panel()->PageControl1->tabText(i);
    EXPECT_EQ(tabs, (QStringList{"扫描设置", "索引", "查询"}));
    EXPECT_FALSE(panel()->chkbox_INVERSE->isVisible());
    EXPECT_FALSE(panel()->SpinEdit1->isVisible());

    form->Action("MN_VIEW_SCANNER")->trigger();
    EXPECT_FALSE(panel()->isVisible());
    EXPECT_FALSE(form->Panel2->isVisible());
    EXPECT_FALSE(form->Action("MN_VIEW_SCANNER")->isChecked());
    form->Action("MN_VIEW_SCANNER")->trigger();
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_TRUE(form->Action("MN_VIEW_SCANNER")->isChecked());
    // The count appears with the split mode that uses it.
    panel()->ComboBox_CUTMODE->setCurrentIndex(2);
    EXPECT_TRUE(panel()->SpinEdit1->isVisible());
    EXPECT_TRUE(panel()->Label1->isVisible());
}

TEST_F(ScanPanel, SheetsWithoutCleaningAreFiledUnchangedAndStayTheScannersBlocks)
{
    QTreeWidgetItem *file = fileWithPages("A", 2);
    selectNode(file);
    feed({100, 110});
    click(panel()->btn_scan_append);
    EXPECT_EQ(valuesOf(file), (QList<int>{10, 20, 100, 110}));
    EXPECT_TRUE(scanner->Intact);
    ASSERT_EQ(list()->count(), 4);
    EXPECT_TRUE(form->isEnabled());
    // The scanned pages are the ones selected.
    EXPECT_TRUE(list()->item(2)->isSelected());
    EXPECT_TRUE(list()->item(3)->isSelected());
    EXPECT_FALSE(list()->item(0)->isSelected());
    EXPECT_TRUE(QDir(panel()->TempDir()).isEmpty());
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_TRUE(form->StatusPanels[1]->text().startsWith("已归档 2 页，每分钟"))
        << form->StatusPanels[1]->text().toStdString();
}

TEST_F(ScanPanel, AppendFromAFolderWithTwoPagesPerFileStartsWithTheFileItMade)
{
    selectNode(folder);
    panel()->ComboBox_CUTMODE->setCurrentIndex(2);
    panel()->SpinEdit1->setValue(2);
    feed({1, 2, 3, 4, 5});
    click(panel()->btn_scan_append);
    const QList<QTreeWidgetItem *> made = files();
    ASSERT_EQ(made.size(), 3);
    EXPECT_EQ(valuesOf(made[0]), (QList<int>{1, 2}));
    EXPECT_EQ(valuesOf(made[1]), (QList<int>{3, 4}));
    EXPECT_EQ(valuesOf(made[2]), (QList<int>{5}));
}

TEST_F(ScanPanel, BlankSheetsOpenNewFilesAsTheirFirstPage)
{
    // A, blank, B into an existing file.
    QTreeWidgetItem *file = fileWithPages("A", 0);
    selectNode(file);
    panel()->ComboBox_CUTMODE->setCurrentIndex(1);
    scanner->Sheets.push_back(written(40));
    scanner->Sheets.push_back(sheet(255));
    scanner->Sheets.push_back(written(60));
    click(panel()->btn_scan_append);
    ASSERT_EQ(files().size(), 2);
    EXPECT_EQ(pagesOf(file).size(), 1);
    EXPECT_EQ(valuesOf(files()[1]), (QList<int>{255, 255})); // the separator, then B (white at its first row)
    EXPECT_EQ(pagesOf(files()[1]).size(), 2);

    // From a folder, a blank first sheet leaves the file the command made empty.
    selectNode(folder);
    scanner->Sheets.push_back(sheet(255));
    scanner->Sheets.push_back(written(80));
    click(panel()->btn_scan_append);
    ASSERT_EQ(files().size(), 4);
    EXPECT_TRUE(pagesOf(files()[2]).isEmpty());
    EXPECT_EQ(pagesOf(files()[3]).size(), 2);
}

TEST_F(ScanPanel, InsertPutsTheSheetsInFrontOfTheFocusedPageInScanningOrder)
{
    QTreeWidgetItem *file = fileWithPages("A", 5);
    selectNode(file);
    list()->setFocus();
    list()->setCurrentRow(2);
    feed({101, 102});
    click(panel()->btn_scan_insert);
    EXPECT_EQ(valuesOf(file), (QList<int>{10, 20, 101, 102, 30, 40, 50}));
    EXPECT_TRUE(scanner->Intact);
}

TEST_F(ScanPanel, ReplaceOverwritesFromTheFocusedPageAndAppendsWhatIsLeft)
{
    QTreeWidgetItem *file = fileWithPages("A", 5);
    selectNode(file);
    list()->setFocus();
    list()->setCurrentRow(3);
    feed({101, 102, 103, 104});
    click(panel()->btn_scan_replace);
    EXPECT_EQ(valuesOf(file), (QList<int>{10, 20, 30, 101, 102, 103, 104}));
}

TEST_F(ScanPanel, AColourSheetReplacingAGreyPageChangesItsExtension)
{
    QTreeWidgetItem *file = fileWithPages("A", 2);
    selectNode(file);
    list()->setFocus();
    list()->setCurrentRow(0);
    scanner->Sheets.push_back(arkavo::test::MakePatternPage(
        120, 160, 24, [](uint8_t *row, int x, int) { row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = 200; }));
    click(panel()->btn_scan_replace);
    EXPECT_EQ(pagesOf(file), (QStringList{"P0000001.jpg", "P0000002.tif"}));
}

TEST_F(ScanPanel, ASheetThatCannotBeWrittenStopsTheScanWithAMessageAndKeepsWhatWasFiled)
{
    QTreeWidgetItem *file = fileWithPages("A", 1);
    selectNode(file);
    feed({100});
    click(panel()->btn_scan_append);
    ASSERT_EQ(valuesOf(file), (QList<int>{10, 100}));
    // The temporary folder is gone and a file has its name: nothing can be written there.
    QDir(panel()->TempDir()).removeRecursively();
    QFile blocker(panel()->TempDir().chopped(1));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    feed({110, 120, 130});
    click(panel()->btn_scan_append);
    EXPECT_EQ(valuesOf(file), (QList<int>{10, 100}));
    EXPECT_EQ(scanner->Delivered, 0); // the scan ended at the first sheet
    EXPECT_EQ(panel()->ScanPageNo, 3);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].caption, "错误");
    EXPECT_TRUE(shown[0].text.contains("第 3 页")) << shown[0].text.toStdString();
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(ScanPanel, CommandsWithNothingToWorkOnDoNotScan)
{
    QTreeWidgetItem *file = fileWithPages("A", 0);
    selectNode(file);
    feed({100});
    panel()->btn_scan_insertClick(); // no focused page
    panel()->btn_scan_replaceClick();
    EXPECT_EQ(scanner->Scans, 0);
    selectNode(type);
    form->UpdateCommandStates();
    EXPECT_FALSE(panel()->btn_scan_append->isEnabled());
    panel()->btn_scan_appendClick();
    EXPECT_EQ(scanner->Scans, 0);
}

TEST_F(ScanPanel, ProfilesAreSavedAtTheTopAndAppliedByNameInAnyLetterCase)
{
    TForm3 *p = panel();
    EXPECT_EQ(p->ComboBox_TYPENAME->currentText(), "默认模板");
    EXPECT_EQ(p->ComboBox_TYPENAME->count(), 0);
    p->chkbox_DESKEW->setChecked(true);
    p->ComboBox_CUTMODE->setCurrentIndex(2);
    p->SpinEdit1->setValue(5);
    p->ComboBox_TYPENAME->setEditText("  Office ");
    p->SpeedButton2Click();
    EXPECT_EQ(p->ComboBox_TYPENAME->currentText(), "Office");
    p->chkbox_DESKEW->setChecked(false);
    p->ComboBox_CUTMODE->setCurrentIndex(0);
    p->ComboBox_TYPENAME->setEditText("Plain");
    p->SpeedButton2Click();
    EXPECT_EQ(p->ComboBox_TYPENAME->itemText(0), "Plain");
    EXPECT_EQ(p->ComboBox_TYPENAME->itemText(1), "Office");

    // Another spelling of a listed name loads it; a name not listed changes nothing.
    p->ComboBox_TYPENAME->setEditText("OFFICE");
    EXPECT_TRUE(p->chkbox_DESKEW->isChecked());
    EXPECT_EQ(p->ComboBox_CUTMODE->currentIndex(), 2);
    EXPECT_EQ(p->SpinEdit1->value(), 5);
    EXPECT_TRUE(p->SpinEdit1->isVisible());
    p->ComboBox_TYPENAME->setEditText("Nobody");
    EXPECT_TRUE(p->chkbox_DESKEW->isChecked());
    p->ComboBox_TYPENAME->setEditText("Plain");
    EXPECT_FALSE(p->chkbox_DESKEW->isChecked());
    EXPECT_FALSE(p->SpinEdit1->isVisible());

    // Deleting keeps the name in the box, so that saving right after recreates it.
    p->SpeedButton3Click();
    EXPECT_EQ(p->ComboBox_TYPENAME->findText("Plain"), -1);
    EXPECT_EQ(p->ComboBox_TYPENAME->currentText(), "Plain");
    p->SpeedButton2Click();
    EXPECT_EQ(p->ComboBox_TYPENAME->itemText(0), "Plain");

    // A panel made afresh lists the profiles in their saved order and applies the first.
    fake2 = std::make_unique<FakeScanner>(form.get());
    TForm3 again({store, form->TreeView1, form->ListView1, form.get(), form->FormImgProcSetting},
                 fake2.get());
    EXPECT_EQ(again.ComboBox_TYPENAME->currentText(), "Plain");
    EXPECT_EQ(again.ComboBox_TYPENAME->itemText(1), "Office");
}

TEST_F(ScanPanel, DraggedOutOfItsDockItFloatsAndDroppedOnTheTreeItDocksAgain)
{
    QWidget *bar = panel()->PageControl1->tabBar();
    const QPoint from = bar->rect().center();
    QTest::mousePress(bar, Qt::LeftButton, {}, from);
    // Well to the right of the panel, over the page area.
    const QPoint out = bar->mapFromGlobal(form->ListView1->mapToGlobal(form->ListView1->rect().center()));
    QMouseEvent move(QEvent::MouseMove, QPointF(out), bar->mapToGlobal(QPointF(out)), Qt::NoButton,
                     Qt::LeftButton, {});
    QCoreApplication::sendEvent(bar, &move);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, out);
    QCoreApplication::processEvents();
    EXPECT_TRUE(panel()->isWindow());
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_FALSE(form->Panel2->isVisible()); // the tree fills the left column
    EXPECT_TRUE(form->Action("MN_VIEW_SCANNER")->isChecked());

    // Moved over the page area it stays afloat; over the tree it docks.
    panel()->move(form->ListView1->mapToGlobal(QPoint(50, 50)));
    QCoreApplication::processEvents();
    EXPECT_TRUE(panel()->isWindow());
    panel()->move(form->TreeView1->mapToGlobal(QPoint(10, 10)) - QPoint(20, 10));
    QCoreApplication::processEvents();
    EXPECT_EQ(panel()->parentWidget(), form->Panel2);
    EXPECT_TRUE(form->Panel2->isVisible());
    EXPECT_TRUE(panel()->isVisible());
}
