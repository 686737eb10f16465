// "右转90度" over 100 selected A4 pages at 300 dpi of one depth (1-bit G4 TIFF, 8-bit TIFF,
// colour JPEG): the worker threads' wall time against the serial sum of load, turn, save
// and thumbnail measured in the same run, and the longest stretch the caller's thread
// went without running its event loop meanwhile.
#include "ImageBatch.h"
#include "ImageFiles.h"
#include "PageImport.h"

#include "PatternPage.h"
#include "QtApp.h"
#include "TempDir.h"

#include "codec.h"
#include "pixolve.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kPages = 100;

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_RotateSelection(benchmark::State &state)
{
    arkavo::test::EnsureApp();
    const int bits = int(state.range(0));
    const QString ext = bits == 24 ? ".jpg" : ".tif";
    arkavo::test::TempDir dir;
    const QString root = QString::fromStdString(dir.str());
    QDir().mkpath(root + "thumbs");
    {
        const arkavo::GlobalBlock page = arkavo::test::MakeA4Page(bits);
        const TCodecImage image{300, 300, page.get()};
        SaveImageFile(image, root + "first" + ext);
    }
    QList<ImageBatchPage> pages;
    for (int n = 0; n < kPages; ++n)
        pages.push_back({root + QString("P%1").arg(n + 1, 7, 10, QChar('0')) + ext,
                         root + "thumbs/" + QString::number(n) + ".bmp"});
    // Both passes start from the same upright pages.
    auto freshPages = [&] {
        for (const ImageBatchPage &p : pages) {
            QFile::remove(p.pagePath);
            QFile::copy(root + "first" + ext, p.pagePath);
        }
    };

    double serial = 0, workers = 0, longestBlock = 0;
    for (auto _ : state) {
        state.PauseTiming();
        freshPages();
        state.ResumeTiming();
        // The serial sum, step by step.
        double load = 0, turn = 0, save = 0, thumb = 0;
        for (const ImageBatchPage &p : pages) {
            auto t = std::chrono::steady_clock::now();
            TCodecImage loaded{0, 0, nullptr};
            LoadFile(QFile::encodeName(p.pagePath).constData(), &loaded, 0);
            const arkavo::GlobalBlock image(loaded.Dib);
            load += secondsSince(t);
            t = std::chrono::steady_clock::now();
            const arkavo::GlobalBlock result(RotateExpand(image.get(), 90, 0, 0, 0));
            turn += secondsSince(t);
            t = std::chrono::steady_clock::now();
            SaveImageFile({loaded.YResolution, loaded.XResolution, result.get()}, p.pagePath);
            save += secondsSince(t);
            t = std::chrono::steady_clock::now();
            MakeThumbnail(p.pagePath, p.thumbnailPath, result.get(), kThumbnailBoxWidth, kThumbnailBoxHeight);
            thumb += secondsSince(t);
        }
        serial = load + turn + save + thumb;
        state.counters["load_ms"] = 1000 * load / kPages;
        state.counters["turn_ms"] = 1000 * turn / kPages;
        state.counters["save_ms"] = 1000 * save / kPages;
        state.counters["thumb_ms"] = 1000 * thumb / kPages;

        state.PauseTiming();
        freshPages();
        state.ResumeTiming();
        // The command's own path: workers ahead, the caller taking outcomes in order and
        // its timer showing how long the event loop was kept waiting.
        QElapsedTimer sinceTick;
        double longest = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { longest = std::max(longest, double(sinceTick.restart())); });
        const auto start = std::chrono::steady_clock::now();
        {
            ImageBatch batch(ImageOp::RotateRight90, ImageOpParams{}, pages, ImageBatch::DefaultThreads());
            sinceTick.start();
            tick.start(5);
            for (int k = 0; k < batch.Count(); ++k)
                benchmark::DoNotOptimize(batch.WaitFor(k));
            tick.stop();
            longest = std::max(longest, double(sinceTick.elapsed()));
        }
        workers = secondsSince(start);
        longestBlock = longest;
    }
    state.counters["serial_s"] = serial;
    state.counters["workers_s"] = workers;
    state.counters["ratio"] = workers / serial;
    state.counters["gui_block_ms"] = longestBlock;
}

BENCHMARK(BM_RotateSelection)
    ->Arg(1)
    ->Arg(8)
    ->Arg(24)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace
