// One scanned A4 page at 300 dpi, per depth, through what happens before it is filed:
// cleaning with every step on but the inversion (border, automatic crop, deskew, a quarter
// turn), the blank-sheet test, the temporary file's name and the write to it. Goals per
// page: 1-bit 60 ms, 8-bit 150 ms, 24-bit 250 ms. Filing into the store is not included;
// the temporary file is removed after each page, as the filing does once it is copied.
// The pattern page lies straight, so the deskew only measures it; the second run feeds the
// same page skewed by 1.5 degrees, so that the deskew turns it as well.
#include "PageCleaning.h"

#include "PatternPage.h"
#include "TempDir.h"

#include "FileHelpers.h"

#include "pixolve.h"

#include <QFile>

#include <benchmark/benchmark.h>

namespace {

void BM_PageBeforeFiling(benchmark::State &state)
{
    const int bits = int(state.range(0));
    const bool skewed = state.range(1) != 0;
    arkavo::GlobalBlock incoming = arkavo::test::MakeA4Page(bits);
    if (skewed)
        incoming = arkavo::GlobalBlock(Rotate(incoming.get(), 1.5, 2480 / 2, 3508 / 2, 1));
    const arkavo::test::TempDir dir;
    const QString temp = QString::fromStdString(dir.str());
    const ImageProcSettings settings;
    const CleaningOptions options{.removeBorder = true, .autoCrop = true, .deskew = true, .rotate = 1};
    for (auto _ : state) {
        const arkavo::GlobalBlock cleaned = CleanPage(incoming.get(), options, settings);
        const HGLOBAL page = cleaned ? cleaned.get() : incoming.get();
        benchmark::DoNotOptimize(NeedsNewFile(1, 999999, CutMode::BlankPage, page, settings));
        const QString path = TempPagePath(temp, 1, DibBitCount(page));
        if (!SaveTempPage(TCodecImage{300, 300, page}, path)) {
            state.SkipWithError("the temporary page was not written");
            break;
        }
        QFile::remove(path);
    }
    state.counters["goal_ms"] = bits == 1 ? 60 : bits == 8 ? 150 : 250;
}

} // namespace

BENCHMARK(BM_PageBeforeFiling)
    ->ArgNames({"bits", "skewed"})
    ->ArgsProduct({{1, 8, 24}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
