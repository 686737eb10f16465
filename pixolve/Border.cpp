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

BorderLimits limitsFor(ConstImageView page, bool lightZero, int t)
{
    const int W = page.width;
    const int H = page.height;
    switch (page.bitCount) {
    case 1: {
        // Grey 0 is dark for t > 0, grey 255 only for t > 255.
        const bool inkDark = t > 0;
        const bool paperDark = t > 255;
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

void whiten(const ImageView &img, const BorderLimits &lim, int whiteBit)
{
    const int W = img.width;
    const int H = img.height;
    const bool bitonal = img.bitCount == 1;

    // Bottom: in every column the rows below its low limit. Done row by row over runs
    // of columns so that the writes follow memory order.
    const int maxLow = *std::max_element(lim.low.begin(), lim.low.end());
    for (int y = 0; y < maxLow; ++y) {
        for (int x = 0; x < W;) {
            if (lim.low[std::size_t(x)] <= y) {
                ++x;
                continue;
            }
            int end = x + 1;
            while (end < W && lim.low[std::size_t(end)] > y)
                ++end;
            whitenSpan(img, y, x, end, whiteBit);
            x = end;
        }
    }
    // Top: in every column the rows from its high limit up.
    const int minHigh = *std::min_element(lim.high.begin(), lim.high.end());
    for (int y = std::max(minHigh, 0); y < H; ++y) {
        for (int x = 0; x < W;) {
            if (lim.high[std::size_t(x)] > y) {
                ++x;
                continue;
            }
            int end = x + 1;
            while (end < W && lim.high[std::size_t(end)] <= y)
                ++end;
            whitenSpan(img, y, x, end, whiteBit);
            x = end;
        }
    }
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
    return guarded([&]() -> HGLOBAL {
        SourcePage page(image);
        if (!page)
            return nullptr;
        ResultBlock result = ResultBlock::sameSize(page);
        if (!result)
            return nullptr;
        // The result starts as the whole input block; only border pixels change.
        std::memcpy(result.block(), page.block(), page.blockSize());

        const ConstImageView src = WrapDib(page);
        // On colour pages only pure black (grey 0) belongs to a border.
        const int t = page.bitCount() >= 24 ? 1 : threshold;
        const BorderLimits lim = limitsFor(src, page.lightZero(), t);
        whiten(result.image(), lim, page.lightZero() ? 0 : 1);
        return result.release();
    });
}
