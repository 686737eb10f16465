// RemoveBorder: whitens the dark margins that the scanner lid or the paper edge leaves
// along the four sides of a page, keeping its size.
#include "PageAreas.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace arkavo::pixolve {
namespace {

// How far the dark border reaches in from each side: per column from the bottom (low)
// and top (high), per row from the left and right. Areas below low, from high on, left of
// left and from right on are whitened.
struct BorderLimits {
    std::vector<int> low, high, left, right;
};

// Dark means a grey level below the threshold. Pixels are read straight from the page;
// only the few rows and columns the walks visit are looked at.
template <typename Dark> BorderLimits findLimits(int W, int H, Dark dark)
{
    BorderLimits lim;
    lim.low.assign(std::size_t(W), 0);
    lim.high.assign(std::size_t(W), H - 1);
    lim.left.assign(std::size_t(H), 0);
    lim.right.assign(std::size_t(H), W - 1);

    // Column walks go row by row over all walking columns at once, which keeps the
    // reads in memory order.
    if (H >= 5) {
        std::vector<int> walking;
        walking.reserve(std::size_t(W));
        for (int x = 0; x < W; ++x)
            if (dark(x, 3))
                walking.push_back(x);
        // Upward from row 3: stop at the first light row, or at row H - 1 after H - 4 steps.
        for (int f = 4; f <= H - 1 && !walking.empty(); ++f) {
            std::size_t kept = 0;
            for (int x : walking) {
                if (f == H - 1 || !dark(x, f))
                    lim.low[std::size_t(x)] = std::min(f + 3, H - 1);
                else
                    walking[kept++] = x;
            }
            walking.resize(kept);
        }

        walking.clear();
        for (int x = 0; x < W; ++x)
            if (dark(x, H - 4))
                walking.push_back(x);
        // Downward from row H - 4: stop at the first light row, or at row 1.
        if (H - 4 <= 1) {
            for (int x : walking)
                lim.high[std::size_t(x)] = 1;
        }
        for (int f = H - 5; f >= 1 && !walking.empty(); --f) {
            std::size_t kept = 0;
            for (int x : walking) {
                if (f == 1 || !dark(x, f))
                    lim.high[std::size_t(x)] = std::max(f - 3, 1);
                else
                    walking[kept++] = x;
            }
            walking.resize(kept);
        }
    }

    if (W >= 5) {
        for (int y = 0; y < H; ++y) {
            if (dark(3, y)) {
                int f = 3;
                while (f < W - 1) {
                    ++f;
                    if (!dark(f, y))
                        break;
                }
                lim.left[std::size_t(y)] = std::min(f + 3, W - 1);
            }
            if (dark(W - 4, y)) {
                int f = W - 4;
                while (f > 1) {
                    --f;
                    if (!dark(f, y))
                        break;
                }
                lim.right[std::size_t(y)] = std::max(f - 3, 1);
            }
        }
    }
    return lim;
}

// The same walks on a bitonal page where exactly the ink is dark, a word or byte at a
// time: column walks keep the walking columns as a bit mask and drop those that meet
// paper; row walks skip whole bytes of ink.
BorderLimits findInkLimits(ConstImageView page, bool lightZero)
{
    const int W = page.width;
    const int H = page.height;
    const int paperBit = lightZero ? 0 : 1;
    BorderLimits lim;
    lim.low.assign(std::size_t(W), 0);
    lim.high.assign(std::size_t(W), H - 1);
    lim.left.assign(std::size_t(H), 0);
    lim.right.assign(std::size_t(H), W - 1);

    if (H >= 5) {
        const std::size_t rowBytes = (std::size_t(W) + 7) / 8;
        const std::size_t words = (rowBytes + 7) / 8;
        std::vector<std::uint8_t> validBytes(words * 8, 0);
        setBitRange(validBytes.data(), 0, W, 1);
        // Ink of one row as words, pixels past W cleared.
        auto inkWord = [&](int y, std::size_t k) {
            std::uint64_t valid;
            std::memcpy(&valid, validBytes.data() + 8 * k, 8);
            const std::uint64_t bits = loadWord(page.row(y), k, rowBytes);
            return (lightZero ? bits : ~bits) & valid;
        };
        // Walks from row `start` by `step`; a column stops at the first paper row or, still
        // on ink, at row `last`. limitOf(f) turns the stopping row into the limit.
        auto walkColumns = [&](int start, int step, int last, std::vector<int> &limits, auto limitOf) {
            std::vector<std::uint64_t> walking(words);
            bool any = false;
            for (std::size_t k = 0; k < words; ++k)
                any |= (walking[k] = inkWord(start, k)) != 0;
            // Only words between the first and last still walking are looked at.
            std::size_t lo = 0, hi = words;
            // A walk that starts on its last row stops there at once.
            for (int f = start; any;) {
                if (f != last)
                    f += step;
                any = false;
                while (lo < hi && !walking[lo])
                    ++lo;
                while (hi > lo && !walking[hi - 1])
                    --hi;
                for (std::size_t k = lo; k < hi; ++k) {
                    if (!walking[k])
                        continue;
                    const std::uint64_t ink = f == last ? 0 : inkWord(f, k);
                    std::uint64_t stopped = walking[k] & ~ink;
                    walking[k] &= ink;
                    any |= walking[k] != 0;
                    while (stopped) {
                        const int pos = std::countr_zero(stopped);
                        stopped &= stopped - 1;
                        limits[std::size_t(wordBitColumn(k, pos))] = limitOf(f);
                    }
                }
            }
        };
        walkColumns(3, 1, H - 1, lim.low, [&](int f) { return std::min(f + 3, H - 1); });
        walkColumns(H - 4, -1, 1, lim.high, [&](int f) { return std::max(f - 3, 1); });
    }
    if (W >= 5) {
        for (int y = 0; y < H; ++y) {
            const std::uint8_t *row = page.row(y);
            if (getBit(row, 3) != paperBit) {
                // First paper column after 3, or W - 1 when the walk runs out.
                const int f = std::min(findBit(row, 4, W - 1, paperBit), W - 1);
                lim.left[std::size_t(y)] = std::min(f + 3, W - 1);
            }
            if (getBit(row, W - 4) != paperBit) {
                // Last paper column before W - 4, or 1 when the walk runs out.
                const int f = std::max(findBitBackward(row, 2, W - 4, paperBit), 1);
                lim.right[std::size_t(y)] = std::max(f - 3, 1);
            }
        }
    }
    return lim;
}

BorderLimits limitsFor(ConstImageView page, bool lightZero, int t)
{
    const int W = page.width;
    const int H = page.height;
    switch (page.bitCount) {
    case 1: {
        // Grey 0 is dark for t > 0, grey 255 only for t > 255.
        const bool inkDark = t > 0;
        const bool paperDark = t > 255;
        if (inkDark && !paperDark)
            return findInkLimits(page, lightZero);
        return findLimits(W, H, [&](int x, int y) {
            const bool paper = getBit(page.row(y), x) != int(lightZero);
            return paper ? paperDark : inkDark;
        });
    }
    case 8:
        return findLimits(W, H, [&](int x, int y) { return int(page.row(y)[x]) < t; });
    default: {
        const std::size_t bpp = std::size_t(page.bitCount / 8);
        return findLimits(W, H, [&](int x, int y) { return int(luminance(page.row(y) + x * bpp)) < t; });
    }
    }
}

// Sets pixels [x0, x1) of one row to white.
void whitenSpan(const ImageView &img, int y, int x0, int x1, int whiteBit)
{
    if (x0 >= x1)
        return;
    std::uint8_t *row = img.row(y);
    switch (img.bitCount) {
    case 1:
        setBitRange(row, x0, x1, whiteBit);
        break;
    case 8:
        std::memset(row + x0, 255, std::size_t(x1 - x0));
        break;
    case 24:
        std::memset(row + 3 * std::size_t(x0), 255, 3 * std::size_t(x1 - x0));
        break;
    default: // 32-bit: blue, green and red; the fourth byte stays
        for (int x = x0; x < x1; ++x)
            std::memset(row + 4 * std::size_t(x), 255, 3);
        break;
    }
}

// Whitens, row by row from `first` in steps of `step`, the columns in `columns`
// (ascending) until each reaches the row `until(x)` where its area ends. The set of columns
// and its runs of neighbours are worked out again only at rows where some column leaves,
// so the work follows the whitened area and the number of such rows, not the page.
template <typename Until>
void whitenColumns(const ImageView &img, std::vector<int> columns, int first, int step, Until until,
                   int whiteBit)
{
    std::vector<std::pair<int, int>> runs; // [x0, x1)
    int nextChange = first;
    for (int y = first; y >= 0 && y < img.height; y += step) {
        if (y == nextChange) {
            std::size_t kept = 0;
            int nearest = step > 0 ? img.height : -1;
            for (int x : columns) {
                const int u = until(x);
                if (step > 0 ? y < u : y > u) {
                    columns[kept++] = x;
                    nearest = step > 0 ? std::min(nearest, u) : std::max(nearest, u);
                }
            }
            columns.resize(kept);
            if (columns.empty())
                break;
            nextChange = nearest;
            runs.clear();
            for (std::size_t i = 0; i < columns.size();) {
                std::size_t j = i + 1;
                while (j < columns.size() && columns[j] == columns[j - 1] + 1)
                    ++j;
                runs.emplace_back(columns[i], columns[j - 1] + 1);
                i = j;
            }
        }
        for (const auto &[x0, x1] : runs)
            whitenSpan(img, y, x0, x1, whiteBit);
    }
}

void whiten(const ImageView &img, const BorderLimits &lim, int whiteBit)
{
    const int W = img.width;
    const int H = img.height;
    const bool bitonal = img.bitCount == 1;

    // Bottom: in every column the rows below its low limit, from row 0 up.
    std::vector<int> columns;
    columns.reserve(std::size_t(W));
    for (int x = 0; x < W; ++x)
        if (lim.low[std::size_t(x)] > 0)
            columns.push_back(x);
    whitenColumns(
        img, columns, 0, 1, [&](int x) { return lim.low[std::size_t(x)]; }, whiteBit);
    // Top: in every column the rows from its high limit up, from row H - 1 down.
    columns.resize(std::size_t(W));
    for (int x = 0; x < W; ++x)
        columns[std::size_t(x)] = x;
    whitenColumns(
        img, std::move(columns), H - 1, -1, [&](int x) { return lim.high[std::size_t(x)] - 1; }, whiteBit);
    // Left and right sides. Bitonal pages take one column more on each side: up to and
    // including the left limit, and from one column before the right limit.
    for (int y = 0; y < H; ++y) {
        const int left = lim.left[std::size_t(y)] + (bitonal ? 1 : 0);
        const int right = lim.right[std::size_t(y)] - (bitonal ? 1 : 0);
        whitenSpan(img, y, 0, std::min(left, W), whiteBit);
        whitenSpan(img, y, std::max(right, 0), W, whiteBit);
    }
}

} // namespace
} // namespace arkavo::pixolve

using namespace arkavo::pixolve;

extern "C" HGLOBAL RemoveBorder(HGLOBAL image, int threshold)
{
    return sameSizeResult(image, [&](SourcePage &page, ResultBlock &result) {
        // The result starts as the whole input block; only border pixels change.
        std::memcpy(result.block(), page.block(), page.blockSize());

        const ConstImageView src = WrapDib(page);
        // On colour pages only pure black (grey 0) belongs to a border.
        const int t = page.bitCount() >= 24 ? 1 : threshold;
        const BorderLimits lim = limitsFor(src, page.lightZero(), t);
        whiten(result.image(), lim, page.lightZero() ? 0 : 1);
    });
}
