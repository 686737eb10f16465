// Pixolve on an A4 page at 300 dpi (2480 x 3508) in 1, 8 and 24 bits, beside Leptonica's
// counterpart of each operation and beside a plain copy of the page's pixels. Colour pages
// go to Leptonica as 32 bpp, its only full-colour form. Time is wall-clock (Pixolve splits
// large pages over the cores); CPU is the whole process's, i.e. the work done.
#include "TestDib.h"
#include "pixolve.h"

#include <benchmark/benchmark.h>
#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstring>
#include <map>
#include <memory>

using arkavo::GlobalBlock;

namespace {

constexpr int A4Width = 2480;
constexpr int A4Height = 3508;

// A page with some structure: text-like dark strokes on white, plus noise on colour pages.
GlobalBlock &page(int bits)
{
    static std::map<int, GlobalBlock> pages;
    auto it = pages.find(bits);
    if (it == pages.end()) {
        auto pixel = [bits](int x, int y) -> std::uint32_t {
            const bool ink = (x / 3 + y / 7) % 11 == 0 && (y / 40) % 2 == 0;
            if (bits == 1)
                return ink ? 0 : 1;
            const std::uint32_t grey = ink ? 20 : 235 + (arkavo::test::noisePixel(x, y, 8) & 15);
            return bits == 8 ? grey : grey | grey << 8 | (grey ^ 7) << 16;
        };
        it = pages.emplace(bits, arkavo::test::makeDib(A4Width, A4Height, bits, pixel)).first;
    }
    return it->second;
}

struct PixDeleter {
    void operator()(PIX *p) const { pixDestroy(&p); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

// The same page as a Leptonica image (1, 8 or 32 bpp).
PIX *leptonicaPage(int bits)
{
    static std::map<int, PixPtr> pixes;
    auto it = pixes.find(bits);
    if (it == pixes.end()) {
        const int depth = bits == 24 ? 32 : bits;
        PIX *pix = pixCreate(A4Width, A4Height, depth);
        const arkavo::test::DibReader dib(page(bits).get());
        for (int y = 0; y < A4Height; ++y)
            for (int x = 0; x < A4Width; ++x) {
                const std::uint32_t v = dib.pixel(x, dib.displayRow(y));
                if (depth == 1)
                    pixSetPixel(pix, x, y, v ? 0 : 1); // Leptonica: 1 is black
                else if (depth == 8)
                    pixSetPixel(pix, x, y, v);
                else
                    pixSetRGBPixel(pix, x, y, int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF));
            }
        it = pixes.emplace(bits, PixPtr(pix)).first;
    }
    return it->second.get();
}

std::size_t pixelBytes(int bits)
{
    return arkavo::test::dibStrideOf(A4Width, bits) * A4Height;
}

void setBytes(benchmark::State &state, int bits)
{
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(pixelBytes(bits)));
}

// Runs a Pixolve call and frees its result.
template <typename F> void runPixolve(benchmark::State &state, F call)
{
    const int bits = int(state.range(0));
    HGLOBAL input = page(bits).get();
    for (auto _ : state) {
        HGLOBAL result = call(input);
        if (!result)
            state.SkipWithError("no result");
        benchmark::DoNotOptimize(result);
        GlobalFree(result);
    }
    setBytes(state, bits);
}

template <typename F> void runLeptonica(benchmark::State &state, F call)
{
    const int bits = int(state.range(0));
    PIX *input = leptonicaPage(bits);
    for (auto _ : state) {
        PIX *result = call(input);
        if (!result)
            state.SkipWithError("no result");
        benchmark::DoNotOptimize(result);
        pixDestroy(&result);
    }
    setBytes(state, bits);
}

// The floor for a byte-wise operation: copy the pixels into memory already there.
void Copy_Memcpy(benchmark::State &state)
{
    const int bits = int(state.range(0));
    const std::size_t n = pixelBytes(bits);
    arkavo::GlobalLockGuard src(page(bits).get());
    std::vector<std::uint8_t> dst(n);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data() + 40 + 4 * arkavo::test::paletteSizeOf(bits), n);
        benchmark::ClobberMemory();
    }
    setBytes(state, bits);
}

// What every result costs before any work: a new zeroed block, the page copied into it.
void Copy_NewBlock(benchmark::State &state)
{
    const int bits = int(state.range(0));
    HGLOBAL input = page(bits).get();
    for (auto _ : state) {
        GlobalBlock out = GlobalBlock::allocate(GlobalSize(input));
        arkavo::GlobalLockGuard s(input), d(out.get());
        std::memcpy(d.data(), s.data(), GlobalSize(input));
        benchmark::ClobberMemory();
    }
    setBytes(state, bits);
}

const double RotateDegrees = 5.0;

void Rotate_Pixolve(benchmark::State &state)
{
    runPixolve(state, [](HGLOBAL h) { return Rotate(h, RotateDegrees, A4Width / 2, A4Height / 2, 1); });
}
void Rotate_Leptonica(benchmark::State &state)
{
    runLeptonica(state, [](PIX *p) {
        return pixRotate(p, float(RotateDegrees * std::numbers::pi / 180.0), L_ROTATE_AREA_MAP,
                         L_BRING_IN_WHITE, 0, 0);
    });
}
void Rotate_LeptonicaSampling(benchmark::State &state)
{
    runLeptonica(state, [](PIX *p) {
        return pixRotate(p, float(RotateDegrees * std::numbers::pi / 180.0), L_ROTATE_SAMPLING,
                         L_BRING_IN_WHITE, 0, 0);
    });
}
void RotateExpand_Pixolve(benchmark::State &state)
{
    runPixolve(state, [](HGLOBAL h) { return RotateExpand(h, 90.0, 0, 0, 0); });
}
void RotateExpand_Leptonica(benchmark::State &state)
{
    runLeptonica(state, [](PIX *p) { return pixRotateOrth(p, 1); });
}
void Mirror_Pixolve(benchmark::State &state)
{
    runPixolve(state, Mirror);
}
void Mirror_Leptonica(benchmark::State &state)
{
    runLeptonica(state, [](PIX *p) { return pixFlipLR(nullptr, p); });
}
void Flip_Pixolve(benchmark::State &state)
{
    runPixolve(state, Flip);
}
void Flip_Leptonica(benchmark::State &state)
{
    runLeptonica(state, [](PIX *p) { return pixFlipTB(nullptr, p); });
}
void Invert_Pixolve(benchmark::State &state)
{
    runPixolve(state, Invert);
}
void Invert_Leptonica(benchmark::State &state)
{
    runLeptonica(state, [](PIX *p) { return pixInvert(nullptr, p); });
}
void AdjustBrightness_Pixolve(benchmark::State &state)
{
    runPixolve(state, [](HGLOBAL h) { return AdjustBrightness(h, 25); });
}
void AdjustContrast_Pixolve(benchmark::State &state)
{
    runPixolve(state, [](HGLOBAL h) { return AdjustContrast(h, 25); });
}
void AdjustBrightnessAndContrast_Pixolve(benchmark::State &state)
{
    runPixolve(state, [](HGLOBAL h) { return AdjustBrightnessAndContrast(h, 40, 30); });
}
void TextEffect_Pixolve(benchmark::State &state)
{
    runPixolve(state, [](HGLOBAL h) { return TextEffect(h, 2); });
}
void TextEffect_Leptonica(benchmark::State &state)
{
    runLeptonica(state, [](PIX *p) {
        return pixGetDepth(p) == 1 ? pixErodeBrick(nullptr, p, 3, 3) : pixErodeGray(p, 3, 3);
    });
}
void AddWaterMark_Pixolve(benchmark::State &state)
{
    static GlobalBlock mark =
        arkavo::test::makeDib(1600, 500, 8, [](int x, int y) { return (x / 50 + y / 50) % 2 ? 255u : 180u; });
    runPixolve(state, [](HGLOBAL h) { return AddWaterMark(h, mark.get()); });
}

// On a shared machine the fastest of several runs is the fairest figure.
double fastest(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

} // namespace

#define ON_PAGES(fn, ...)                                                                                    \
    BENCHMARK(fn)                                                                                            \
        ->ArgName("bits")                                                                                    \
        ->UseRealTime()                                                                                      \
        ->MeasureProcessCPUTime()                                                                            \
        ->ComputeStatistics("min", fastest)                                                                  \
        ->Unit(benchmark::kMillisecond)                                                                      \
        ->Apply([](auto *b) {                                                                                \
            for (int bits : {__VA_ARGS__})                                                                   \
                b->Arg(bits);                                                                                \
        })

ON_PAGES(Copy_Memcpy, 1, 8, 24);
ON_PAGES(Copy_NewBlock, 1, 8, 24);
ON_PAGES(Rotate_Pixolve, 1, 8, 24);
ON_PAGES(Rotate_Leptonica, 1, 8, 24);
ON_PAGES(Rotate_LeptonicaSampling, 1);
ON_PAGES(RotateExpand_Pixolve, 1, 8, 24);
ON_PAGES(RotateExpand_Leptonica, 1, 8, 24);
ON_PAGES(Mirror_Pixolve, 1, 8, 24);
ON_PAGES(Mirror_Leptonica, 1, 8, 24);
ON_PAGES(Flip_Pixolve, 1, 8, 24);
ON_PAGES(Flip_Leptonica, 1, 8, 24);
ON_PAGES(Invert_Pixolve, 1, 8, 24);
ON_PAGES(Invert_Leptonica, 1, 8, 24);
ON_PAGES(AdjustBrightness_Pixolve, 8, 24);
ON_PAGES(AdjustContrast_Pixolve, 8, 24);
ON_PAGES(AdjustBrightnessAndContrast_Pixolve, 8, 24);
ON_PAGES(TextEffect_Pixolve, 1, 8);
ON_PAGES(TextEffect_Leptonica, 1, 8);
ON_PAGES(AddWaterMark_Pixolve, 1, 8, 24);
