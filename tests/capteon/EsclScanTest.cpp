// Batches from a driverless network scanner through the airscan backend and the
// real control: the device list, feeder and platen scans in colour and grey, feeder
// faults and cancel. The scanner is the loopback eSCL device of tests/support.
#include "CapteonWidget.h"
#include "EsclScanner.h"
#include "ProgressWindow.h"
#include "PreparedSheets.h"
#include "TempDir.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

using namespace arkavo;
using namespace arkavo::capteon;
using arkavo::test::EsclScanner;

namespace {

const char kDeviceName[] = "Arkavo Loopback eSCL";
const QString kDevice = QStringLiteral("airscan:e0:Arkavo Loopback eSCL");

struct Page {
    int width = 0, height = 0, bits = 0, xDpi = 0, yDpi = 0, marks = -1;
};

// The scanner library's configuration folder, one for the run: the library reads its
// name once per process.
class EsclEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        s_dir = std::make_unique<arkavo::test::TempDir>();
        setenv("SANE_CONFIG_DIR", config().c_str(), 1);
    }
    void TearDown() override { s_dir.reset(); }

    static std::filesystem::path config() { return s_dir->path(); }

private:
    static inline std::unique_ptr<arkavo::test::TempDir> s_dir;
};

[[maybe_unused]] const auto *g_escl = ::testing::AddGlobalTestEnvironment(new EsclEnvironment);

class EsclScan : public ::testing::Test {
protected:
    // Starts the device with `count` sheets in its feeder, the n-th with n marks, and
    // points the library at it; the control comes after, so the library reads the new port.
    void startDevice(int count, bool colour = false, EsclScanner::Options options = {})
    {
        for (int i = 1; i <= count; ++i)
            arkavo::test::WriteSheetJpeg({i, 0, 0, colour}, m_pages / ("sheet" + std::to_string(i) + ".jpg"));
        m_device = std::make_unique<EsclScanner>(m_pages.path(), options);
        arkavo::test::WriteAirscanConfig(EsclEnvironment::config(), kDeviceName, m_device->url());
        m_host = std::make_unique<QWidget>();
        m_control = new CapteonWidget(m_host.get());
        m_control->setSettingsFile(QString::fromStdString((m_dir / "Capteon.ini").string()));
        m_control->setParentWindow(m_host.get());
        m_control->onPageDone(m_host.get(), [this](HGLOBAL h) {
            Page p;
            const arkavo::test::PageReader reader(h);
            p.width = reader.width();
            p.height = reader.height();
            p.bits = reader.bits();
            p.xDpi = m_control->XResolution();
            p.yDpi = m_control->YResolution();
            p.marks = arkavo::test::ReadSheet(h).marks;
            m_received.push_back(p);
            m_events += 'P';
            if (m_onPage)
                m_onPage(int(m_received.size()));
        });
        m_control->onScanDone(m_host.get(), [this] { m_events += 'D'; });
        m_control->setShowUI(false);
        m_control->setScanner(kDevice);
        m_control->setXResolution(300);
        m_control->setYResolution(300);
        m_control->setPaperSize(QStringLiteral("A4"));
    }

    void TearDown() override
    {
        m_host.reset(); // the control, and with it the library, before the device
        m_device.reset();
    }

    std::string scan()
    {
        try {
            m_control->Scan();
        } catch (const std::runtime_error &e) {
            return e.what();
        }
        return {};
    }

    std::vector<int> marks() const
    {
        std::vector<int> m;
        for (const Page &p : m_received)
            m.push_back(p.marks);
        return m;
    }

    static std::vector<int> upTo(int n)
    {
        std::vector<int> v;
        for (int i = 1; i <= n; ++i)
            v.push_back(i);
        return v;
    }

    arkavo::test::TempDir m_dir;
    arkavo::test::TempDir m_pages;
    std::unique_ptr<EsclScanner> m_device;
    std::unique_ptr<QWidget> m_host;
    CapteonWidget *m_control = nullptr;
    std::vector<Page> m_received;
    std::string m_events;
    std::function<void(int)> m_onPage;
};

} // namespace

TEST_F(EsclScan, SelectScannerListsTheNetworkDeviceAtOnceAndKeepsTheChoice)
{
    startDevice(1);
    m_control->setScanner(QString());
    QElapsedTimer listing;
    bool inspected = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // Discovery is off: the list must not wait on the network.
        EXPECT_LT(listing.elapsed(), 3000);
        auto *list = dialog->findChild<QTreeWidget *>(QStringLiteral("DeviceList"));
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->topLevelItemCount(), 1);
        QTreeWidgetItem *row = list->topLevelItem(0);
        EXPECT_EQ(row->text(0), "eSCL");
        EXPECT_EQ(row->text(1), kDeviceName);
        EXPECT_EQ(row->text(3), kDevice);
        EXPECT_EQ(list->currentItem(), row);
        if (const char *dir = getenv("CAPTEON_SNAPSHOT_DIR"))
            dialog->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/capteon-select-escl.png"));
        inspected = true;
        dialog->accept();
    });
    listing.start();
    m_control->SelectScanner();
    EXPECT_TRUE(inspected);
    EXPECT_EQ(m_control->deviceName(), kDevice);
    EXPECT_EQ(m_control->Scanner(), QStringLiteral("eSCL %1 (%2)").arg(kDeviceName, kDevice));
}

struct BatchCase {
    const char *name;
    const char *source;
    const char *mode;
    int pages;
    int bits;
    const char *colourMode; // as the device was asked for it
    const char *inputSource;
};

void PrintTo(const BatchCase &c, std::ostream *os)
{
    *os << c.name;
}

class EsclBatches : public EsclScan, public ::testing::WithParamInterface<BatchCase> {};

TEST_P(EsclBatches, SheetsArriveOneByOneInFeederOrderAtTheRequestedResolution)
{
    const BatchCase &c = GetParam();
    startDevice(4, c.bits == 24);
    m_control->setFeeder(QString::fromLatin1(c.source));
    m_control->setDeviceOption(QStringLiteral("mode"), QString::fromLatin1(c.mode));
    EXPECT_EQ(scan(), "");
    EXPECT_EQ(m_events, std::string(std::size_t(c.pages), 'P') + "D");
    EXPECT_EQ(marks(), upTo(c.pages));
    for (const Page &p : m_received) {
        EXPECT_EQ(p.width, arkavo::test::kSheetWidth);
        EXPECT_EQ(p.height, arkavo::test::kSheetHeight);
        EXPECT_EQ(p.bits, c.bits);
        EXPECT_EQ(p.xDpi, 300);
        EXPECT_EQ(p.yDpi, 300);
    }
    EXPECT_EQ(m_device->countRequests({"\"POST\"", "\"status\": 201", c.colourMode, c.inputSource,
                                       "\"XResolution\": \"300\"", "\"YResolution\": \"300\""}),
              1);
    EXPECT_EQ(m_device->countRequests({"NextDocument", "\"status\": 200"}), c.pages);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, EsclBatches,
    ::testing::Values(BatchCase{"feeder_grey", "ADF", "Gray", 4, 8, "Grayscale8", "\"Feeder\""},
                      BatchCase{"feeder_colour", "ADF", "Color", 4, 24, "RGB24", "\"Feeder\""},
                      BatchCase{"platen_colour", "Flatbed", "Color", 1, 24, "RGB24", "\"Platen\""}),
    [](const auto &info) { return std::string(info.param.name); });

struct FaultCase {
    const char *name;
    int sheets;
    EsclScanner::Options options;
    int kept;
    const char *words;
};

void PrintTo(const FaultCase &c, std::ostream *os)
{
    *os << c.name;
}

class EsclFaultCases : public EsclScan, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(EsclFaultCases, FeederFaultEndsTheBatchInPlainWordsAndKeepsTheSheetsBefore)
{
    const FaultCase &c = GetParam();
    startDevice(c.sheets, false, c.options);
    m_control->setFeeder(QStringLiteral("ADF"));
    m_control->setDeviceOption(QStringLiteral("mode"), QStringLiteral("Gray"));
    const std::string error = scan();
    EXPECT_NE(error.find(c.words), std::string::npos) << error;
    if (c.kept > 0) {
        EXPECT_NE(error.find("已扫描的 " + std::to_string(c.kept) + " 页已保留"), std::string::npos) << error;
    }
    EXPECT_EQ(marks(), upTo(c.kept));
    EXPECT_EQ(m_events, std::string(std::size_t(c.kept), 'P') + "D");
}

INSTANTIATE_TEST_SUITE_P(Faults, EsclFaultCases,
                         ::testing::Values(FaultCase{"jam_on_sheet_3", 5, {3, 0}, 2, "卡纸"},
                                           FaultCase{"cover_open_on_sheet_3", 5, {0, 3}, 2, "盖板打开"},
                                           FaultCase{"jam_on_sheet_1", 5, {1, 0}, 0, "卡纸"},
                                           FaultCase{"empty_feeder", 0, {}, 0, "进纸器中没有纸"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(EsclScan, CancelKeepsEverySheetTheDeviceSent)
{
    // A device that takes its time over each sheet, as a real one does: the cancel
    // comes while the driver waits for the next sheet.
    startDevice(6, false, {0, 0, 800});
    m_control->setFeeder(QStringLiteral("ADF"));
    m_control->setDeviceOption(QStringLiteral("mode"), QStringLiteral("Gray"));
    m_host->show();
    bool cancelled = false;
    m_onPage = [&](int page) {
        if (page == 2)
            cancelled = arkavo::test::ClickProgressCancel();
    };
    EXPECT_EQ(scan(), "");
    ASSERT_TRUE(cancelled);
    EXPECT_GE(m_received.size(), 2u);
    EXPECT_LT(m_received.size(), 6u) << "the batch went on after the cancel";
    EXPECT_EQ(marks(), upTo(int(m_received.size())));
    EXPECT_EQ(m_device->countRequests({"NextDocument", "\"status\": 200"}), int(m_received.size()))
        << "a sheet the device sent was not delivered";
    EXPECT_EQ(m_events, std::string(m_received.size(), 'P') + "D");
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
