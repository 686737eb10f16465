// A batch from the scanner library's test device through the real scanner control into
// the catalogue, as an operator scans it.
#include "CatalogSchema.h"
#include "Controls.h"
#include "Globals.h"
#include "Messages.h"
#include "PageImport.h"
#include "PageListView.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TFormImgProcSetting.h"
#include "TImageManager.h"

#include "SaneTestDevice.h"
#include "TempDir.h"

#include "capteon/CapteonInterface.h"

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
    AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
    Messages::SetResponder([](const MessageRecord &m) {
        ADD_FAILURE() << m.text.toStdString();
        return MsgAnswer::Ok;
    });
    ControlRegistry::RegisterControls(QCoreApplication::applicationDirPath() + u'/');
    ASSERT_NE(ControlRegistry::Capteon(), nullptr) << "libcapteon.so beside the test";
    ASSERT_EQ(OpenCatalog("Admin", ""), CatalogLogin::LoggedIn);
    {
        auto form = std::make_unique<TForm1>();
        auto *panel = new TForm3(
            {form->ImageManager, form->TreeView1, form->ListView1, form.get(), form->FormImgProcSetting},
            nullptr, form.get());
        form->ConnectScanPanel(panel);
        ASSERT_NE(panel->Capteon1, nullptr);
        panel->Capteon1->widget()->setProperty("SettingsFile",
                                               QString::fromStdString((root / "Capteon.ini").string()));
        form->resize(1200, 800);
        form->show();
        TImageManager *store = form->ImageManager;
        QTreeWidgetItem *type = store->NewFileType(true);
        QTreeWidgetItem *folder = store->NewFolder(type, "F", true);

        panel->Capteon1->setShowUI(false);
        panel->Capteon1->setScanner(QStringLiteral("test:0"));
        panel->Capteon1->setXResolution(150);
        panel->Capteon1->setYResolution(150);
        panel->Capteon1->setFeeder(QStringLiteral("ADF"));
        panel->chkbox_DESKEW->setChecked(true);
        panel->chkbox_CROPBLACKBOX->setChecked(true);
        form->TreeView1->setCurrentItem(folder);
        QCoreApplication::processEvents();
        form->UpdateCommandStates();
        ASSERT_TRUE(panel->btn_scan_append->isEnabled());
        QTest::mouseClick(panel->btn_scan_append, Qt::LeftButton);

        ASSERT_EQ(folder->childCount(), 1);
        QTreeWidgetItem *file = folder->child(0);
        const QString dir = store->ImagesPath + type->text(0) + "/F/" + file->text(0) + "/";
        const QStringList pages = QDir(dir).entryList({"P*.tif"}, QDir::Files, QDir::Name);
        EXPECT_EQ(pages.size(), 10);
        EXPECT_EQ(pages.value(9), "P0000010.tif");
        // The list shows the new file's pages and makes their thumbnails.
        form->TreeView1->setCurrentItem(file);
        QElapsedTimer wait;
        wait.start();
        while ((form->ThumbnailsPending() || form->ListView1->count() < 10) && wait.elapsed() < 20000)
            QTest::qWait(20);
        EXPECT_EQ(form->ListView1->count(), 10);
        for (const QString &page : pages)
            EXPECT_TRUE(ThumbnailIsCurrent(dir + page, store->ThumbnailPathOf(dir + page)))
                << page.toStdString();
        EXPECT_TRUE(QDir(panel->TempDir()).isEmpty());
        form->hide();
    }
    Messages::SetResponder(nullptr);
    DestroyCatalogObjects();
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
