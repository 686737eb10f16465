// A4 at 300 dpi (2480 x 3508) in 1, 8 and 24 bits: a scanned letter with a dark scanner
// edge on two sides, lines of text and a sprinkle of specks. Every operation is timed
// beside a memcpy of the page block and, where there is one, the Leptonica counterpart.
#include <pixolve.h>

#include <arkavo/GlobalBlock.h>

#include <benchmark/benchmark.h>
#include <leptonica/allheaders.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

using arkavo::GlobalBlock;
using arkavo::GlobalLockGuard;

namespace {

constexpr int W = 2480, H = 3508;

std::uint32_t hash(int x, int y)
{
    std::uint32_t h = std::uint32_t(x) * 73856093u ^ std::uint32_t(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return h ^ (h >> 15);
}

// Grey level of the letter at library coordinates (y = 0 the bottom row).
int letterGrey(int x, int y)
{
    if (x < 40 || y < 30 || y >= H - 25)
        return 10; // scanner edge
    const int line = (y - 300) / 60;
    if (y >= 300 && y < 3200 && (y - 300) % 60 < 30 && x >= 250 && x < 2230 - (line % 5) * 150) {
        const bool gap = (x / 90) % 7 == 6; // word gaps
        if (!gap && hash(x / 6, y / 5) % 4 == 0)
            return 20;
    }
    if (hash(x / 2, y / 2) % 9973 == 0)
        return 30; // specks of 2 x 2
    return 235;
}

struct Page {
    GlobalBlock dib;
    PIX *pix = nullptr;
};

std::size_t strideOf(int bits)
{
    return (std::size_t(W) * std::size_t(bits) + 31) / 32 * 4;
}

// The page as a DIB block and as a Leptonica image of the same content (24-bit pages
// become 32-bit images there, Leptonica's colour form).
Page &page(int bits)
{
    static std::map<int, Page> pages;
    auto it = pages.find(bits);
    if (it != pages.end())
        return it->second;
    Page &p = pages[bits];
    const std::uint32_t clrUsed = bits == 1 ? 2 : bits == 8 ? 256 : 0;
    const std::size_t offset = 40 + 4 * std::size_t(clrUsed);
    const std::size_t stride = strideOf(bits);
    p.dib = GlobalBlock::allocate(offset + stride * H);
    p.pix = pixCreate(W, H, bits == 24 ? 32 : bits);
    GlobalLockGuard lock(p.dib.get());
    std::uint8_t *d = lock.data();
    auto put32 = [](std::uint8_t *at, std::uint32_t v) { std::memcpy(at, &v, 4); };
    put32(d, 40);
    put32(d + 4, W);
    put32(d + 8, H);
    d[12] = 1;
    d[14] = std::uint8_t(bits);
    put32(d + 20, std::uint32_t(stride * H));
    put32(d + 32, clrUsed);
    for (std::uint32_t i = 0; i < clrUsed; ++i)
        std::memset(d + 40 + 4 * i, bits == 1 ? int(255 * i) : int(i), 3); // 1-bit: 0 black, 1 white
    for (int y = 0; y < H; ++y) {
        std::uint8_t *row = d + offset + std::size_t(y) * stride;
        const int pixY = H - 1 - y; // Leptonica rows run top-down
        for (int x = 0; x < W; ++x) {
            const int g = letterGrey(x, y);
            if (bits == 1) {
                if (g >= 128)
                    row[x >> 3] |= std::uint8_t(0x80u >> (x & 7));
                pixSetPixel(p.pix, x, pixY, g < 128 ? 1 : 0); // Leptonica: 1 is black
            } else if (bits == 8) {
                row[x] = std::uint8_t(g);
                pixSetPixel(p.pix, x, pixY, std::uint32_t(g));
            } else {
                const int b = std::min(255, g + 8), r = std::max(0, g - 6);
                row[3 * x] = std::uint8_t(b);
                row[3 * x + 1] = std::uint8_t(g);
                row[3 * x + 2] = std::uint8_t(r);
                l_uint32 v;
                composeRGBPixel(r, g, b, &v);
                pixSetPixel(p.pix, x, pixY, v);
            }
        }
    }
    return p;
}

void freeResult(HGLOBAL h)
{
    GlobalFree(h);
}

// Figures are wall time and the CPU time of the whole process (large pages are split over
// threads). The machine may be shared, so each figure is also given as the fastest of its
// repetitions.
double fastest(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}
#define PAGE_BENCH(fn)                                                                                       \
    BENCHMARK(fn)                                                                                            \
        ->Arg(1)                                                                                             \
        ->Arg(8)                                                                                             \
        ->Arg(24)                                                                                            \
        ->Unit(benchmark::kMillisecond)                                                                      \
        ->UseRealTime()                                                                                      \
        ->MeasureProcessCPUTime()                                                                            \
        ->Repetitions(5)                                                                                     \
        ->ComputeStatistics("min", fastest)

void BM_MemcpyPage(benchmark::State &state)
{
    Page &p = page(int(state.range(0)));
    const std::size_t n = p.dib.size();
    std::vector<std::uint8_t> dst(n);
    GlobalLockGuard lock(p.dib.get());
    for (auto _ : state) {
        std::memcpy(dst.data(), lock.data(), n);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(n));
}
PAGE_BENCH(BM_MemcpyPage);

// What every same-size result costs at least: a new zeroed block the page is copied into.
void BM_CopyToNewBlock(benchmark::State &state)
{
    Page &p = page(int(state.range(0)));
    const std::size_t n = p.dib.size();
    GlobalLockGuard lock(p.dib.get());
    for (auto _ : state) {
        HGLOBAL h = GlobalAlloc(GHND, n);
        std::memcpy(GlobalLock(h), lock.data(), n);
        GlobalUnlock(h);
        GlobalFree(h);
    }
}
PAGE_BENCH(BM_CopyToNewBlock);

void BM_RemoveBorder(benchmark::State &state)
{
    Page &p = page(int(state.range(0)));
    for (auto _ : state)
        freeResult(RemoveBorder(p.dib.get(), 80));
}
PAGE_BENCH(BM_RemoveBorder);

void BM_CropAuto(benchmark::State &state)
{
    Page &p = page(int(state.range(0)));
    for (auto _ : state) {
        RECT r{0, 0, 0, 0};
        freeResult(Crop(p.dib.get(), &r, 2, 100));
    }
}
PAGE_BENCH(BM_CropAuto);

// A selection of most of the page, as the crop command gets it.
constexpr RECT Selection{200, 300, 2200, 3200};

void BM_CropRect(benchmark::State &state)
{
    Page &p = page(int(state.range(0)));
    for (auto _ : state) {
        RECT r = Selection;
        freeResult(Crop(p.dib.get(), &r, 0, 0));
    }
}
PAGE_BENCH(BM_CropRect);

void BM_LeptClipRectangle(benchmark::State &state)
{
    Page &p = page(int(state.range(0)));
    BOX *box = boxCreate(Selection.left, Selection.top, Selection.right - Selection.left,
                         Selection.bottom - Selection.top);
    for (auto _ : state) {
        PIX *c = pixClipRectangle(p.pix, box, nullptr);
        pixDestroy(&c);
    }
    boxDestroy(&box);
}
PAGE_BENCH(BM_LeptClipRectangle);

void BM_Fill(benchmark::State &state)
{
    Page &p = page(int(state.range(0)));
    for (auto _ : state)
        freeResult(Fill(p.dib.get(), &Selection, 255));
}
PAGE_BENCH(BM_Fill);

void BM_IsBlankPage(benchmark::State &state)
{
    Page &p = page(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(IsBlankPage(p.dib.get(), 200));
}
PAGE_BENCH(BM_IsBlankPage);

// The same central region counted by Leptonica: set pixels of a 1-bit image, the grey
// histogram of an 8-bit one, luminance then histogram for colour.
void BM_LeptCountCentre(benchmark::State &state)
{
    Page &p = page(int(state.range(0)));
    BOX *box = boxCreate(W / 8, H / 8, W * 3 / 4, H * 3 / 4);
    std::vector<l_int32> tab(256);
    for (int i = 0; i < 256; ++i)
        tab[std::size_t(i)] = __builtin_popcount(unsigned(i));
    for (auto _ : state) {
        if (state.range(0) == 1) {
            l_int32 count = 0;
            pixCountPixelsInRect(p.pix, box, &count, tab.data());
            benchmark::DoNotOptimize(count);
        } else if (state.range(0) == 8) {
            NUMA *h = pixGetGrayHistogramInRect(p.pix, box, 1);
            numaDestroy(&h);
        } else {
            PIX *c = pixClipRectangle(p.pix, box, nullptr);
            PIX *g = pixConvertRGBToLuminance(c);
            NUMA *h = pixGetGrayHistogram(g, 1);
            numaDestroy(&h);
            pixDestroy(&g);
            pixDestroy(&c);
        }
    }
    boxDestroy(&box);
}
PAGE_BENCH(BM_LeptCountCentre);

void BM_Denoise(benchmark::State &state)
{
    Page &p = page(int(state.range(0)));
    for (auto _ : state)
        freeResult(Denoise(p.dib.get(), 3));
}
PAGE_BENCH(BM_Denoise);

void BM_Thumbnail(benchmark::State &state)
{
    Page &p = page(int(state.range(0)));
    for (auto _ : state)
        freeResult(Thumbnail(p.dib.get(), 135, 160));
}
PAGE_BENCH(BM_Thumbnail);

// Leptonica's area-mapped reduction to the same 113 x 160; bitonal pages through its
// scale-to-grey reduction.
void BM_LeptScaleArea(benchmark::State &state)
{
    Page &p = page(int(state.range(0)));
    const float scale = 160.0f / float(H);
    for (auto _ : state) {
        PIX *s = state.range(0) == 1 ? pixScaleToGray(p.pix, scale) : pixScaleAreaMap(p.pix, scale, scale);
        pixDestroy(&s);
    }
}
PAGE_BENCH(BM_LeptScaleArea);

} // namespace
