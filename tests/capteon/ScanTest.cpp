// Batches from the scanner library's test device, end to end through the control:
// page layouts, resolution, feeder batches, faults, cancel, the dialogs and the
// remembered choices.
#include "CapteonWidget.h"
#include "ProgressWindow.h"
#include "SaneDevice.h"
#include "SaneTestDevice.h"
#include "TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>

using namespace arkavo;
using namespace arkavo::capteon;

namespace {

std::int32_t read32(const std::uint8_t *p)
{
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

struct PageInfo {
    int width = 0;
    int height = 0;
    int bits = 0;
    int colours = 0;
    int xPelsPerMeter = 0;
    int xDpi = 0; // the control's XResolution while the page is delivered
    int yDpi = 0;
    std::vector<std::uint8_t> palette;
    int uniform = -1; // the one byte value of every pixel byte, or -1
};

PageInfo describe(HGLOBAL h, const CapteonWidget &control)
{
    PageInfo p;
    GlobalLockGuard lock(h);
    const std::uint8_t *d = lock.data();
    p.width = read32(d + 4);
    p.height = read32(d + 8);
    p.bits = d[14];
    p.xPelsPerMeter = read32(d + 24);
    p.colours = read32(d + 32);
    p.palette.assign(d + 40, d + 40 + 4 * std::min(p.colours, 2));
    p.xDpi = control.XResolution();
    p.yDpi = control.YResolution();
    const std::size_t stride = (std::size_t(p.width) * p.bits + 31) / 32 * 4;
    const std::size_t used = (std::size_t(p.width) * p.bits + 7) / 8;
    const std::uint8_t *pixels = d + 40 + 4 * p.colours;
    p.uniform = pixels[0];
    for (int y = 0; y < p.height && p.uniform >= 0; ++y)
        for (std::size_t x = 0; x < used; ++x)
            if (pixels[std::size_t(y) * stride + x] != p.uniform) {
                p.uniform = -1;
                break;
            }
    return p;
}

using arkavo::test::ClickProgressCancel;
using arkavo::test::VisibleTopLevel;

// Waits on the GUI thread without letting events run, as a host filing a page does.
void waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QThread::msleep(5);
}

class CapteonScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_host = std::make_unique<QWidget>();
        m_control = newControl();
    }

    CapteonWidget *newControl()
    {
        auto *c = new CapteonWidget(m_host.get());
        c->setSettingsFile(QString::fromStdString((m_dir / "Capteon.ini").string()));
        c->setParentWindow(m_host.get());
        c->onPageDone(m_host.get(), [this, c](HGLOBAL h) {
            m_pages.push_back(describe(h, *c));
            m_events += 'P';
            if (m_onPage)
                m_onPage(int(m_pages.size()));
        });
        c->onScanDone(m_host.get(), [this] { m_events += 'D'; });
        return c;
    }

    // A fresh control on the test device, 100 dpi, no dialog.
    void useTestDevice(int dpi = 100)
    {
        m_control->setShowUI(false);
        m_control->setScanner(QStringLiteral("test:0"));
        m_control->setXResolution(dpi);
        m_control->setYResolution(dpi);
    }

    void option(const char *name, const char *value)
    {
        m_control->setDeviceOption(QString::fromLatin1(name), QString::fromLatin1(value));
    }

    // Scans and returns the error text, empty when Scan returned normally.
    std::string scan()
    {
        try {
            m_control->Scan();
        } catch (const std::runtime_error &e) {
            return e.what();
        }
        return {};
    }

    arkavo::test::TempDir m_dir;
    std::unique_ptr<QWidget> m_host;
    CapteonWidget *m_control = nullptr;
    std::vector<PageInfo> m_pages;
    std::string m_events;
    std::function<void(int)> m_onPage;
};

[[maybe_unused]] const auto *g_sane = ::testing::AddGlobalTestEnvironment(new arkavo::test::SaneEnvironment);

} // namespace

TEST_F(CapteonScan, FeederBatchDeliversTenGreyPagesThenScanDone)
{
    useTestDevice(300);
    m_control->setFeeder(QStringLiteral("Automatic Document Feeder"));
    m_control->setPaperSize(QStringLiteral("A4"));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(5);

    EXPECT_EQ(scan(), "");
    EXPECT_EQ(m_events, "PPPPPPPPPPD");
    ASSERT_EQ(m_pages.size(), 10u);
    for (const PageInfo &p : m_pages) {
        EXPECT_EQ(p.width, 2480);
        EXPECT_EQ(p.height, 3507);
        EXPECT_EQ(p.bits, 8);
        EXPECT_EQ(p.colours, 256);
        EXPECT_EQ(p.xDpi, 300);
        EXPECT_EQ(p.yDpi, 300);
        EXPECT_EQ(p.xPelsPerMeter, 11811);
        EXPECT_EQ(p.uniform, 0); // solid black test picture
    }
    EXPECT_EQ(m_control->PageCount(), 10);
    EXPECT_EQ(m_control->imagewidth(), 2480);
    EXPECT_EQ(m_control->imageheight(), 3507);
    EXPECT_GT(ticks, 0) << "the GUI thread's events ran during the scan";
}

struct KindCase {
    const char *name;
    std::vector<std::pair<const char *, const char *>> options;
    int bits, width, height, uniform;
};

void PrintTo(const KindCase &c, std::ostream *os)
{
    *os << c.name;
}

class CapteonPageKinds : public CapteonScan, public ::testing::WithParamInterface<KindCase> {};

TEST_P(CapteonPageKinds, FlatbedGivesOnePageInTheRightLayout)
{
    const KindCase &c = GetParam();
    useTestDevice();
    for (const auto &[name, value] : c.options)
        option(name, value);
    EXPECT_EQ(scan(), "");
    ASSERT_EQ(m_pages.size(), 1u);
    const PageInfo &p = m_pages[0];
    EXPECT_EQ(p.bits, c.bits);
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
    EXPECT_EQ(p.uniform, c.uniform);
    EXPECT_EQ(p.xDpi, 100);
    if (c.bits == 1) {
        EXPECT_EQ(p.palette, (std::vector<std::uint8_t>{0, 0, 0, 0, 255, 255, 255, 0}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CapteonPageKinds,
    ::testing::Values(
        KindCase{"lineart_black_is_bit_zero",
                 {{"mode", "Gray"}, {"depth", "1"}, {"test-picture", "Solid black"}},
                 1,
                 826,
                 1169,
                 0},
        KindCase{
            "grey16_reduced_to_8", {{"depth", "16"}, {"test-picture", "Solid white"}}, 8, 826, 1169, 255},
        KindCase{"colour_24_bit", {{"mode", "Color"}, {"test-picture", "Solid white"}}, 24, 826, 1169, 255},
        KindCase{"three_pass_channels_combined",
                 {{"mode", "Color"},
                  {"three-pass", "true"},
                  {"three-pass-order", "GBR"},
                  {"test-picture", "Solid white"}},
                 24,
                 826,
                 1169,
                 255},
        KindCase{"hand_scanner_of_unknown_length",
                 {{"hand-scanner", "true"}, {"test-picture", "Solid white"}},
                 8,
                 433,
                 669,
                 255}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CapteonScan, ColourPatternArrivesAsBlueGreenRed)
{
    // The colour pattern has saturated bands: a page of one value would mean the
    // channels were not kept apart.
    useTestDevice();
    option("mode", "Color");
    option("test-picture", "Color pattern");
    EXPECT_EQ(scan(), "");
    ASSERT_EQ(m_pages.size(), 1u);
    EXPECT_EQ(m_pages[0].bits, 24);
    EXPECT_EQ(m_pages[0].uniform, -1);
}

TEST_F(CapteonScan, ResolutionReportedIsWhatTheDeviceSet)
{
    // The device rounds 150.6 dpi to its step of 1 dpi.
    useTestDevice(0);
    option("resolution", "150.6");
    EXPECT_EQ(scan(), "");
    ASSERT_EQ(m_pages.size(), 1u);
    EXPECT_EQ(m_pages[0].xDpi, 151);
    EXPECT_EQ(m_pages[0].yDpi, 151);
    EXPECT_EQ(m_pages[0].xPelsPerMeter, 5945);
    EXPECT_EQ(m_pages[0].width, 1248);
}

TEST_F(CapteonScan, PaperSizeSetsTheScanAreaAndImagePathKeepsBmpCopies)
{
    useTestDevice();
    m_control->setPaperSize(QStringLiteral("A5"));
    m_control->setImagePath(QString::fromStdString(m_dir.path().string()));
    EXPECT_EQ(scan(), "");
    ASSERT_EQ(m_pages.size(), 1u);
    EXPECT_EQ(m_pages[0].width, 582); // 148 x 210 mm at 100 dpi
    EXPECT_EQ(m_pages[0].height, 826);
    EXPECT_EQ(m_control->PaperSize(), "A5");
    QFile bmp(QString::fromStdString((m_dir / "page0001.bmp").string()));
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    const QByteArray bytes = bmp.readAll();
    EXPECT_TRUE(bytes.startsWith("BM"));
    EXPECT_EQ(bytes.size(), 14 + 40 + 1024 + 584 * 826);
}

TEST_F(CapteonScan, ControlsShareTheLibraryWhicheverGoesFirst)
{
    // The library starts and ends once per process; a second control coming and
    // going must not end it under the first.
    useTestDevice();
    {
        QWidget otherPanel;
        auto *other = new CapteonWidget(&otherPanel);
        other->setSettingsFile(QString::fromStdString((m_dir / "Other.ini").string()));
        other->setShowUI(false);
        other->setScanner(QStringLiteral("test:1"));
        other->Scan();
        EXPECT_EQ(other->Scanner(), "Noname frontend-tester (test:1)");
    }
    EXPECT_EQ(scan(), "");
    EXPECT_EQ(m_pages.size(), 1u);
}

struct FaultCase {
    const char *status;
    int afterPages;
    const char *words;
};

void PrintTo(const FaultCase &c, std::ostream *os)
{
    *os << c.status << " after " << c.afterPages;
}

class CapteonFaults : public CapteonScan, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CapteonFaults, FaultEndsBatchWithItsTextAndKeepsDeliveredPages)
{
    const FaultCase &c = GetParam();
    useTestDevice();
    m_control->setFeeder(QStringLiteral("Automatic Document Feeder"));
    const int after = c.afterPages;
    const QString status = QString::fromLatin1(c.status);
    m_control->setSheetHook([after, status](int pagesRead, SaneDevice &device) {
        if (pagesRead == after)
            device.setValue(QStringLiteral("read-return-value"), status);
    });
    const std::string error = scan();
    EXPECT_EQ(int(m_pages.size()), c.afterPages);
    EXPECT_NE(error.find(c.words), std::string::npos) << error;
    if (c.afterPages > 0) {
        EXPECT_NE(error.find(std::to_string(c.afterPages) + " 页已保留"), std::string::npos) << error;
    }
    EXPECT_EQ(m_events, std::string(std::size_t(c.afterPages), 'P') + "D");
}

INSTANTIATE_TEST_SUITE_P(Statuses, CapteonFaults,
                         ::testing::Values(FaultCase{"SANE_STATUS_NO_DOCS", 0, "进纸器中没有纸"},
                                           FaultCase{"SANE_STATUS_JAMMED", 3, "卡纸"},
                                           FaultCase{"SANE_STATUS_COVER_OPEN", 3, "盖板打开"},
                                           FaultCase{"SANE_STATUS_NO_DOCS", 2, "进纸器中没有纸"},
                                           FaultCase{"SANE_STATUS_IO_ERROR", 5, "通信出错"},
                                           FaultCase{"SANE_STATUS_DEVICE_BUSY", 1, "正忙"}),
                         [](const auto &info) {
                             return std::string(info.param.status + 12) + "_after_" +
                                    std::to_string(info.param.afterPages);
                         });

TEST_F(CapteonScan, MissingOrBusyDeviceIsReportedWithoutPages)
{
    useTestDevice();
    m_control->setScanner(QStringLiteral("test:7"));
    EXPECT_NE(scan().find("找不到扫描仪"), std::string::npos);

    m_control->setScanner(QStringLiteral("test:0"));
    {
        SaneDevice other(QStringLiteral("test:0")); // another program has it open
        const std::string error = scan();
        EXPECT_NE(error.find("正忙"), std::string::npos) << error;
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor outlived a failed open";
    EXPECT_TRUE(m_pages.empty());
    EXPECT_EQ(scan(), "") << "the device works again once it is free";
    EXPECT_EQ(m_pages.size(), 1u);
}

TEST_F(CapteonScan, CancelAfterThreePagesEndsWithoutError)
{
    useTestDevice();
    m_control->setFeeder(QStringLiteral("Automatic Document Feeder"));
    m_host->show();
    m_host->setEnabled(false); // as the scan panel does around Scan
    bool cancelWasUsable = false;
    m_onPage = [&](int page) {
        if (page == 3)
            cancelWasUsable = ClickProgressCancel();
    };
    EXPECT_EQ(scan(), "");
    EXPECT_TRUE(cancelWasUsable);
    // Pages read ahead of the cancel still arrive; the batch stops soon after.
    EXPECT_GE(m_pages.size(), 3u);
    EXPECT_LT(m_pages.size(), 10u);
    EXPECT_EQ(m_events, std::string(m_pages.size(), 'P') + "D");
    EXPECT_EQ(VisibleTopLevel("CapteonProgress"), nullptr);
}

TEST_F(CapteonScan, CancelStillDeliversEveryPageReadAheadOfASlowHost)
{
    useTestDevice();
    m_control->setFeeder(QStringLiteral("Automatic Document Feeder"));
    std::atomic<int> readBeforeLastSheet{0};
    m_control->setSheetHook([&](int pagesRead, SaneDevice &device) {
        // Each sheet a little longer than the one before, so the pages show their order.
        device.setValue(QStringLiteral("br-y"), QString::number(20 + 5 * pagesRead));
        readBeforeLastSheet = pagesRead;
    });
    m_onPage = [&](int page) {
        QThread::msleep(150); // filing takes a while; the device reads on
        if (page == 3)
            ClickProgressCancel();
    };
    EXPECT_EQ(scan(), "");
    ASSERT_GT(m_pages.size(), 3u) << "the pages read ahead of the cancel were dropped";
    EXPECT_GE(int(m_pages.size()), readBeforeLastSheet.load());
    for (std::size_t i = 1; i < m_pages.size(); ++i)
        EXPECT_LT(m_pages[i - 1].height, m_pages[i].height) << "page " << i + 1 << " out of order";
    EXPECT_EQ(m_events, std::string(m_pages.size(), 'P') + "D");
}

TEST_F(CapteonScan, HandlerExceptionStopsTheBatchAndNamesTheSheetsNotFiled)
{
    useTestDevice();
    m_control->setFeeder(QStringLiteral("Automatic Document Feeder"));
    std::atomic<int> sheetsStarted{0};
    m_control->setSheetHook([&](int, SaneDevice &device) {
        device.setValue(QStringLiteral("br-y"), QStringLiteral("30")); // small pages, read at once
        ++sheetsStarted;
    });
    m_onPage = [&](int page) {
        if (page != 2)
            return;
        // Pages 3 and 4 wait in the queue; page 5 is read and waits for room.
        waitUntil([&] { return sheetsStarted >= 5; }, 5000);
        QThread::msleep(500);
        throw std::runtime_error("filing failed");
    };
    const std::string error = scan();
    EXPECT_EQ(error.rfind("filing failed", 0), 0u) << error;
    EXPECT_NE(error.find("从本批第 2 张起已读入但未归档的页面：4 张"), std::string::npos) << error;
    EXPECT_EQ(m_pages.size(), 2u);
    EXPECT_EQ(m_events, "PPD");
}

TEST_F(CapteonScan, OptionsDialogIsBuiltFromTheDeviceAndStartsTheScan)
{
    useTestDevice();
    m_control->setShowUI(true);
    bool inspected = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), "CapteonOptions");
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the device is open: no wait cursor";
        auto *mode = dialog->findChild<QComboBox *>(QStringLiteral("mode"));
        ASSERT_NE(mode, nullptr);
        EXPECT_GE(mode->findText(QStringLiteral("Color")), 0);
        auto *resolution = dialog->findChild<QDoubleSpinBox *>(QStringLiteral("resolution"));
        ASSERT_NE(resolution, nullptr);
        EXPECT_EQ(resolution->minimum(), 1.0);
        EXPECT_EQ(resolution->maximum(), 1200.0);
        EXPECT_EQ(resolution->value(), 100.0);
        auto *source = dialog->findChild<QComboBox *>(QStringLiteral("source"));
        ASSERT_NE(source, nullptr);
        EXPECT_GE(source->findText(QStringLiteral("Automatic Document Feeder")), 0);
        auto *paper = dialog->findChild<QComboBox *>(QStringLiteral("PaperSize"));
        ASSERT_NE(paper, nullptr);
        EXPECT_EQ(paper->currentText(), "A4");
        EXPECT_EQ(paper->findText(QStringLiteral("A3")), -1) << "larger than the scan area";
        auto *depth = dialog->findChild<QComboBox *>(QStringLiteral("depth"));
        ASSERT_NE(depth, nullptr);
        EXPECT_EQ(depth->count(), 3); // word list 1, 8, 16
        EXPECT_EQ(dialog->findChild<QCheckBox *>(QStringLiteral("three-pass")), nullptr)
            << "inactive in grey";

        // Colour makes the device offer three-pass scanning; the dialog follows.
        mode->setCurrentIndex(mode->findText(QStringLiteral("Color")));
        emit mode->activated(mode->currentIndex());
        QTimer::singleShot(0, [&, dialog] {
            EXPECT_NE(dialog->findChild<QCheckBox *>(QStringLiteral("three-pass")), nullptr);
            if (const char *dir = getenv("CAPTEON_SNAPSHOT_DIR"))
                dialog->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/capteon-options.png"));
            inspected = true;
            dialog->findChild<QPushButton *>(QStringLiteral("btnScan"))->click();
        });
    });
    EXPECT_EQ(scan(), "");
    EXPECT_TRUE(inspected);
    ASSERT_EQ(m_pages.size(), 1u);
    EXPECT_EQ(m_pages[0].bits, 24);
}

TEST_F(CapteonScan, CancellingTheOptionsDialogScansNothing)
{
    useTestDevice();
    m_control->setShowUI(true);
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->reject();
    });
    EXPECT_EQ(scan(), "");
    EXPECT_TRUE(m_pages.empty());
    EXPECT_EQ(m_events, "");
}

TEST_F(CapteonScan, SelectScannerListsDevicesAndKeepsTheChoice)
{
    useTestDevice();
    m_control->setScanner(QStringLiteral("test:1"));
    EXPECT_EQ(m_control->Scanner(), "Noname frontend-tester (test:1)");
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto *list = dialog->findChild<QTreeWidget *>(QStringLiteral("DeviceList"));
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->topLevelItemCount(), 2);
        EXPECT_EQ(list->currentItem()->text(3), "test:1") << "current choice preselected";
        EXPECT_EQ(list->topLevelItem(0)->text(0), "Noname");
        EXPECT_EQ(list->topLevelItem(0)->text(1), "frontend-tester");
        EXPECT_EQ(list->topLevelItem(0)->text(2), "virtual device");
        dialog->findChild<QPushButton *>(QStringLiteral("btnRefresh"))->click();
        ASSERT_EQ(list->topLevelItemCount(), 2);
        EXPECT_EQ(list->currentItem()->text(3), "test:1");
        list->setCurrentItem(list->topLevelItem(0));
        if (const char *dir = getenv("CAPTEON_SNAPSHOT_DIR"))
            dialog->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/capteon-select.png"));
        dialog->accept();
    });
    m_control->SelectScanner();
    EXPECT_EQ(m_control->Scanner(), "Noname frontend-tester (test:0)");
    EXPECT_EQ(m_control->deviceName(), "test:0");
}

TEST_F(CapteonScan, ChoicesAndLastUsedOptionsPersistBetweenRuns)
{
    useTestDevice(75);
    option("mode", "Color");
    EXPECT_EQ(scan(), "");
    delete m_control;

    m_control = newControl(); // the next run of the program
    EXPECT_EQ(m_control->Scanner(), "Noname frontend-tester (test:0)");
    EXPECT_FALSE(m_control->ShowUI());
    EXPECT_EQ(m_control->XResolution(), 75);
    EXPECT_EQ(scan(), "");
    ASSERT_EQ(m_pages.size(), 2u);
    EXPECT_EQ(m_pages[1].bits, 24);
    EXPECT_EQ(m_pages[1].xDpi, 75);
}

// The application lives for the whole run and is torn down before the leak check.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // also when ctest only lists the cases
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
