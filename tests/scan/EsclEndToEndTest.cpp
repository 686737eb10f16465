// Real pages through the whole road: sheets with known skew, the scanner lid's black
// around them and blank separators, from a driverless network scanner (the loopback
// eSCL device) through the airscan backend, the scanner control and the scan panel's
// cleaning and splitting into the catalogue.
#include "CatalogSchema.h"
#include "Controls.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TImageManager.h"

#include "EsclScanner.h"
#include "PreparedSheets.h"
#include "TempDir.h"

#include "capteon/CapteonInterface.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>

using arkavo::test::SheetSpec;

namespace {

const char kDeviceName[] = "Arkavo Loopback eSCL";

arkavo::test::SheetReading readStoredPage(const QString &path)
{
    TCodecImage image{};
    if (LoadFile(path.toUtf8().constData(), &image, 0) < 1) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    arkavo::GlobalBlock dib(image.Dib);
    return arkavo::test::ReadSheet(dib.get());
}

} // namespace

TEST(EsclEndToEnd, AppendWithCleaningAndBlankSeparatorsFilesStraightPagesAsTheSeparatorsSay)
{
    arkavo::test::TempDir root;
    arkavo::test::TempDir sheets;
    // Two pages, a separator, two pages, a separator, one page; every sheet lies
    // crooked in the feeder and the lid's black shows around it.
    const std::vector<SheetSpec> feeder = {{1, 1.2, 40},  {2, -0.8, 40}, {0, 0.6, 40}, {3, 2.0, 40},
                                           {4, -1.5, 40}, {0, -0.4, 40}, {5, 0.7, 40}};
    for (std::size_t i = 0; i < feeder.size(); ++i)
        arkavo::test::WriteSheetJpeg(feeder[i], sheets / ("sheet" + std::to_string(i + 1) + ".jpg"));
    arkavo::test::EsclScanner device(sheets.path());
    arkavo::test::WriteAirscanConfig(root / "sane", kDeviceName, device.url());
    setenv("SANE_CONFIG_DIR", (root / "sane").c_str(), 1);

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

        CapteonControl *scanner = panel->Capteon1;
        scanner->setShowUI(false);
        scanner->setScanner(QStringLiteral("airscan:e0:") + kDeviceName);
        scanner->setXResolution(300);
        scanner->setYResolution(300);
        scanner->setFeeder(QStringLiteral("ADF"));
        scanner->setPaperSize(QStringLiteral("A4"));
        scanner->setDeviceOption(QStringLiteral("mode"), QStringLiteral("Gray"));
        panel->chkbox_DESKEW->setChecked(true);
        panel->chkbox_CROPBLACKBOX->setChecked(true);
        panel->chkbox_AUTOCROP->setChecked(true);
        panel->ComboBox_CUTMODE->setCurrentIndex(1); // "空白页分隔"
        form->TreeView1->setCurrentItem(folder);
        QCoreApplication::processEvents();
        form->UpdateCommandStates();
        ASSERT_TRUE(panel->btn_scan_append->isEnabled());
        QTest::mouseClick(panel->btn_scan_append, Qt::LeftButton);

        EXPECT_EQ(device.countRequests({"NextDocument", "\"status\": 200"}), int(feeder.size()));
        // The file the command made, then one file for each separator, which is its page 1.
        const std::vector<std::vector<int>> expected = {{1, 2}, {0, 3, 4}, {0, 5}};
        ASSERT_EQ(folder->childCount(), int(expected.size()));
        for (int f = 0; f < folder->childCount(); ++f) {
            const QString dir = store->ImagesPath + type->text(0) + "/F/" + folder->child(f)->text(0) + "/";
            const QStringList pages = QDir(dir).entryList({"P*"}, QDir::Files, QDir::Name);
            std::vector<int> marks;
            for (const QString &name : pages) {
                const arkavo::test::SheetReading page = readStoredPage(dir + name);
                marks.push_back(page.blank ? 0 : page.marks);
                if (!page.blank) {
                    const std::string where = "file " + std::to_string(f + 1) + ' ' + name.toStdString();
                    EXPECT_TRUE(page.ruled) << where;
                    EXPECT_LT(std::abs(page.skew), 0.1) << where;
                }
            }
            EXPECT_EQ(marks, expected[std::size_t(f)]) << "file " << f + 1;
        }
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
