// A batch from the scanner library's test device through the real scanner control into
// the catalogue, as an operator scans it.
#include "DeviceScanWindow.h"
#include "PageImport.h"
#include "PageListView.h"
#include "TFormImgProcSetting.h"

#include "SaneTestDevice.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

[[maybe_unused]] const auto *g_sane = ::testing::AddGlobalTestEnvironment(new arkavo::test::SaneEnvironment);

} // namespace

TEST(ScanEndToEnd, ATenSheetFeederBatchAppendedToAFolderLandsAsTenPagesWithThumbnails)
{
    arkavo::test::TempDir root;
    arkavo::test::DeviceScanWindow w;
    ASSERT_NO_FATAL_FAILURE(w.open(root));
    w.scanner->setShowUI(false);
    w.scanner->setScanner(QStringLiteral("test:0"));
    w.scanner->setXResolution(150);
    w.scanner->setYResolution(150);
    w.scanner->setFeeder(QStringLiteral("ADF"));
    w.panel->chkbox_DESKEW->setChecked(true);
    w.panel->chkbox_CROPBLACKBOX->setChecked(true);
    ASSERT_NO_FATAL_FAILURE(w.appendToFolder());

    ASSERT_EQ(w.folder->childCount(), 1);
    QTreeWidgetItem *file = w.folder->child(0);
    const QString dir = w.fileDir(0);
    const QStringList pages = QDir(dir).entryList({"P*.tif"}, QDir::Files, QDir::Name);
    EXPECT_EQ(pages.size(), 10);
    EXPECT_EQ(pages.value(9), "P0000010.tif");
    // The list shows the new file's pages and makes their thumbnails.
    w.form->TreeView1->setCurrentItem(file);
    QElapsedTimer wait;
    wait.start();
    while ((w.form->ThumbnailsPending() || w.form->ListView1->count() < 10) && wait.elapsed() < 20000)
        QTest::qWait(20);
    EXPECT_EQ(w.form->ListView1->count(), 10);
    for (const QString &page : pages)
        EXPECT_TRUE(ThumbnailIsCurrent(dir + page, w.store->ThumbnailPathOf(dir + page)))
            << page.toStdString();
    EXPECT_TRUE(QDir(w.panel->TempDir()).isEmpty());
}

// The application lives for the whole run and is torn down before the leak check.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
