// Real pages through the whole road: sheets with known skew, the scanner lid's black
// around them and blank separators, from a driverless network scanner (the loopback
// eSCL device) through the airscan backend, the scanner control and the scan panel's
// cleaning and splitting into the catalogue.
#include "DeviceScanWindow.h"

#include "EsclScanner.h"
#include "PreparedSheets.h"

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

    arkavo::test::DeviceScanWindow w;
    ASSERT_NO_FATAL_FAILURE(w.open(root));
    w.scanner->setShowUI(false);
    w.scanner->setScanner(QStringLiteral("airscan:e0:") + kDeviceName);
    w.scanner->setXResolution(300);
    w.scanner->setYResolution(300);
    w.scanner->setFeeder(QStringLiteral("ADF"));
    w.scanner->setPaperSize(QStringLiteral("A4"));
    w.scanner->setDeviceOption(QStringLiteral("mode"), QStringLiteral("Gray"));
    w.panel->chkbox_DESKEW->setChecked(true);
    w.panel->chkbox_CROPBLACKBOX->setChecked(true);
    w.panel->chkbox_AUTOCROP->setChecked(true);
    w.panel->ComboBox_CUTMODE->setCurrentIndex(1); // "空白页分隔"
    ASSERT_NO_FATAL_FAILURE(w.appendToFolder());

    EXPECT_EQ(device.countRequests({"NextDocument", "\"status\": 200"}), int(feeder.size()));
    // The file the command made, then one file for each separator, which is its page 1.
    const std::vector<std::vector<int>> expected = {{1, 2}, {0, 3, 4}, {0, 5}};
    ASSERT_EQ(w.folder->childCount(), int(expected.size()));
    for (int f = 0; f < w.folder->childCount(); ++f) {
        const QString dir = w.fileDir(f);
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
