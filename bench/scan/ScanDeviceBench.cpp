// From the scan command to the last page filed: a ten-sheet feeder batch from the scanner
// library's test device at 300 dpi A4, every cleaning option on but the inversion, in
// lineart, grey and colour. Pages per minute, and the longest time the window's thread
// went without running its event loop during the scan.
#include "CatalogSchema.h"
#include "Controls.h"
#include "Globals.h"
#include "Messages.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TImageManager.h"

#include "TempDir.h"

#include "capteon/CapteonInterface.h"
#include "codec.h"
#include <arkavo/GlobalBlock.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

namespace {

const char *const kModes[] = {"Lineart", "Gray", "Color"};

void BM_ScanBatch(benchmark::State &state)
{
    arkavo::test::TempDir root;
    AppPath = RootPath = QString::fromStdString(root.str());
    Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
    if (OpenCatalog("Admin", "") != CatalogLogin::LoggedIn) {
        state.SkipWithError("no catalogue");
        return;
    }
    double pages = 0, seconds = 0, longest = 0;
    {
        TForm1 form;
        auto *panel =
            new TForm3({form.ImageManager, form.TreeView1, form.ListView1, &form, form.FormImgProcSetting},
                       nullptr, &form);
        form.ConnectScanPanel(panel);
        if (!panel->Capteon1) {
            state.SkipWithError("libcapteon.so beside the benchmark");
            return;
        }
        panel->Capteon1->widget()->setProperty("SettingsFile",
                                               QString::fromStdString((root / "Capteon.ini").string()));
        form.resize(1200, 800);
        form.show();
        QTreeWidgetItem *type = form.ImageManager->NewFileType(true);
        QTreeWidgetItem *folder = form.ImageManager->NewFolder(type, "F", true);
        CapteonControl *scanner = panel->Capteon1;
        scanner->setShowUI(false);
        scanner->setScanner(QStringLiteral("test:0"));
        scanner->setXResolution(300);
        scanner->setYResolution(300);
        scanner->setPaperSize(QStringLiteral("A4"));
        scanner->setFeeder(QStringLiteral("ADF"));
        scanner->setDeviceOption(QStringLiteral("mode"), QString::fromLatin1(kModes[state.range(0)]));
        if (state.range(0) == 0)
            scanner->setDeviceOption(QStringLiteral("depth"), QStringLiteral("1"));
        panel->chkbox_CROPBLACKBOX->setChecked(true);
        panel->chkbox_AUTOCROP->setChecked(true);
        panel->chkbox_DESKEW->setChecked(true);
        panel->ComboBox_ROTATE->setCurrentIndex(1);
        form.TreeView1->setCurrentItem(folder);
        QCoreApplication::processEvents();
        for (auto _ : state) {
            QElapsedTimer sinceTick;
            double gap = 0;
            QTimer tick;
            QObject::connect(&tick, &QTimer::timeout,
                             [&] { gap = std::max(gap, double(sinceTick.restart())); });
            sinceTick.start();
            tick.start(5);
            QElapsedTimer clock;
            clock.start();
            form.TreeView1->setCurrentItem(folder);
            panel->btn_scan_appendClick();
            seconds += clock.elapsed() / 1000.0;
            tick.stop();
            longest = std::max(longest, gap);
            pages += 10;
        }
        // What the scanner delivered, as filed: the first page of the first file.
        if (folder->childCount() > 0) {
            QString dir;
            form.ImageManager->GetNodePath(folder->child(0), true, dir);
            const QStringList files = QDir(dir).entryList(QDir::Files, QDir::Name);
            TCodecImage image{0, 0, nullptr};
            if (!files.isEmpty())
                LoadFile(QFile::encodeName(QDir(dir).filePath(files.first())).constData(), &image, 0);
            const arkavo::GlobalBlock page(image.Dib);
            if (page) {
                arkavo::GlobalLockGuard lock(page.get());
                int32_t wh[2];
                uint16_t bits;
                std::memcpy(wh, lock.data() + 4, sizeof wh);
                std::memcpy(&bits, lock.data() + 14, sizeof bits);
                state.counters["width"] = wh[0];
                state.counters["height"] = wh[1];
                state.counters["bits"] = bits;
            }
        }
        form.hide();
    }
    DestroyCatalogObjects();
    Messages::SetResponder(nullptr);
    state.counters["pages_per_minute"] = pages / seconds * 60;
    state.counters["ms_per_page"] = 1000 * seconds / pages;
    state.counters["gui_block_ms"] = longest;
}

BENCHMARK(BM_ScanBatch)->DenseRange(0, 2)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    // The test device with an A4 feeder, as the demo folder sets it up.
    setenv("SANE_CONFIG_DIR", ARKAVO_DEMO_SCANNER, 1);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ControlRegistry::RegisterControls(QCoreApplication::applicationDirPath() + u'/');
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
