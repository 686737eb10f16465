// The control's own cost per page (assembling the device's bytes into a DIB and
// freeing it after delivery) on A4 pages at 300 dpi, and the rate at which a
// feeder batch from the scanner library's test device reaches the host.
#include "CapteonWidget.h"
#include "FrameAssembler.h"
#include "SaneDevice.h"
#include "SaneTestDevice.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <vector>

using namespace arkavo;
using namespace arkavo::capteon;

namespace {

constexpr int kWidth = 2480; // A4 at 300 dpi
constexpr int kHeight = 3507;
constexpr std::size_t kReadSize = 256 * 1024; // what the worker asks the device for per read

struct Layout {
    FrameFormat format;
    int depth;
    int samples;
};

void assemblePage(benchmark::State &state, std::vector<Layout> frames)
{
    std::vector<std::vector<std::uint8_t>> data;
    std::vector<FrameParameters> params;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        FrameParameters p;
        p.format = frames[i].format;
        p.depth = frames[i].depth;
        p.pixelsPerLine = kWidth;
        p.lines = kHeight;
        p.bytesPerLine = (kWidth * frames[i].samples * frames[i].depth + 7) / 8;
        p.lastFrame = i + 1 == frames.size();
        params.push_back(p);
        std::vector<std::uint8_t> bytes(std::size_t(p.bytesPerLine) * kHeight);
        for (std::size_t k = 0; k < bytes.size(); ++k)
            bytes[k] = std::uint8_t(k * 31 + i);
        data.push_back(std::move(bytes));
    }
    FrameAssembler assembler;
    for (auto _ : state) {
        assembler.setResolution(300, 300);
        for (std::size_t f = 0; f < params.size(); ++f) {
            assembler.beginFrame(params[f]);
            const std::vector<std::uint8_t> &bytes = data[f];
            for (std::size_t i = 0; i < bytes.size(); i += kReadSize)
                assembler.addData(bytes.data() + i, std::min(kReadSize, bytes.size() - i));
            assembler.endFrame();
        }
        GlobalBlock page = assembler.takePage();
        benchmark::DoNotOptimize(page.get());
        // The control frees the block once the host's handler returns.
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_AssembleA4_Lineart(benchmark::State &state)
{
    assemblePage(state, {{FrameFormat::Gray, 1, 1}});
}
void BM_AssembleA4_Grey8(benchmark::State &state)
{
    assemblePage(state, {{FrameFormat::Gray, 8, 1}});
}
void BM_AssembleA4_Grey16(benchmark::State &state)
{
    assemblePage(state, {{FrameFormat::Gray, 16, 1}});
}
void BM_AssembleA4_Colour24(benchmark::State &state)
{
    assemblePage(state, {{FrameFormat::Rgb, 8, 3}});
}
void BM_AssembleA4_ThreePass(benchmark::State &state)
{
    assemblePage(state, {{FrameFormat::Red, 8, 1}, {FrameFormat::Green, 8, 1}, {FrameFormat::Blue, 8, 1}});
}
BENCHMARK(BM_AssembleA4_Lineart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssembleA4_Grey8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssembleA4_Grey16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssembleA4_Colour24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssembleA4_ThreePass)->Unit(benchmark::kMillisecond);

QApplication &app()
{
    static arkavo::test::SaneTestDevice *sane = new arkavo::test::SaneTestDevice;
    static int argc = 1;
    static char name[] = "bench_capteon";
    static char *argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication *instance = new QApplication(argc, argv);
    (void)sane;
    return *instance;
}

// A ten-page grey feeder batch at 300 dpi, from Scan to the host's handler.
void BM_FeederBatchToHost(benchmark::State &state)
{
    app();
    arkavo::test::TempDir dir;
    QWidget host;
    auto *control = new CapteonWidget(&host);
    control->setSettingsFile(QString::fromStdString((dir / "Capteon.ini").string()));
    control->setShowUI(false);
    control->setScanner(QStringLiteral("test:0"));
    control->setXResolution(300);
    control->setYResolution(300);
    control->setFeeder(QStringLiteral("ADF"));
    control->setDeviceOption(QStringLiteral("mode"),
                             state.range(0) ? QStringLiteral("Color") : QStringLiteral("Gray"));
    std::int64_t pages = 0;
    control->onPageDone(&host, [&pages](HGLOBAL h) {
        benchmark::DoNotOptimize(GlobalSize(h));
        ++pages;
    });
    for (auto _ : state)
        control->Scan();
    state.counters["pages"] = double(pages) / double(state.iterations());
    state.counters["pages_per_minute"] =
        benchmark::Counter(double(pages) * 60.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FeederBatchToHost)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The same batch read straight from the device with nothing done to the bytes:
// what the scanner library itself costs.
void BM_FeederBatchDeviceOnly(benchmark::State &state)
{
    app();
    std::vector<std::uint8_t> buffer(kReadSize);
    std::int64_t pages = 0;
    for (auto _ : state) {
        SaneDevice device(QStringLiteral("test:0"));
        device.setValue(QStringLiteral("mode"),
                        state.range(0) ? QStringLiteral("Color") : QStringLiteral("Gray"));
        device.setValue(QStringLiteral("source"), QStringLiteral("Automatic Document Feeder"));
        device.setValue(QStringLiteral("resolution"), QStringLiteral("300"));
        QString error;
        while (device.start(&error) == ReadStatus::Good) {
            int length = 0;
            while (device.read(buffer.data(), int(buffer.size()), &length, &error) == ReadStatus::Good)
                benchmark::DoNotOptimize(length);
            ++pages;
        }
    }
    state.counters["pages_per_minute"] =
        benchmark::Counter(double(pages) * 60.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FeederBatchDeviceOnly)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace
