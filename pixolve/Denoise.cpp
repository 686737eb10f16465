// Denoise: removes small dark specks from bitonal and grey pages, and smooths colour
// pages with a small Gaussian filter.
#include "PageAreas.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace arkavo::pixolve {
namespace {

// Removes specks from an inverted grey image (ink bright, paper dark) in place.
//
// A seed is a pixel more than 100 levels brighter than its left and lower neighbours. From
// there the speck is followed upward: its first row may be 1..s pixels wide with paper
// under it and one column beyond, and every following row may widen it to at most s + 1
// columns. The first row within s rows that is all paper across the speck's width closes
// it, and the rectangle below that row is painted with the paper to the seed's left.
// Pixels are visited bottom row first, left to right, and later seeds see earlier fills.
//
// A speck that would have to be followed past the left or right page edge is left alone:
// what lies beyond the page is unknown, so it cannot be shown to be closed.
void RemoveSpecks(std::uint8_t *g, std::size_t stride, int W, int H, int s)
{
    if (s < 1)
        return;
    for (int y = s; y < H - s; ++y) {
        std::uint8_t *row = g + std::size_t(y) * stride;
        const std::uint8_t *below = row - stride;
        for (int x = s; x < W - s; ++x) {
            const int v = row[x];
            const int a = row[x - 1];
            if (v - a <= 100 || v - below[x] <= 100)
                continue;
            const int T = v - 100; // above T: speck; below T: paper; T itself: neither

            // First row: at most s pixels wide, paper under it and one column beyond.
            // x + s < W, so every column read here lies on the page.
            int n = 0;
            while (n < s && row[x + n + 1] > T && below[x + n + 1] < T)
                ++n;
            if (n == s || !(below[x + n + 1] < T))
                continue;

            int L = x;
            int R = x + n;
            for (int j = 0; j < s; ++j) {
                const std::uint8_t *r = g + std::size_t(y + 1 + j) * stride;
                bool offPage = false;
                while (R - L <= s) {
                    if (L == 0) {
                        offPage = true;
                        break;
                    }
                    if (!(r[L - 1] > T))
                        break;
                    --L;
                }
                while (!offPage && R - L <= s) {
                    if (R == W - 1) {
                        offPage = true;
                        break;
                    }
                    if (!(r[R + 1] > T))
                        break;
                    ++R;
                }
                if (offPage || R - L > s)
                    break;
                bool allPaper = true;
                for (int i = L; i <= R && allPaper; ++i)
                    allPaper = r[i] < T;
                if (allPaper) {
                    for (int yy = y; yy <= y + j; ++yy)
                        std::memset(g + std::size_t(yy) * stride + L, a, std::size_t(R - L + 1));
                    break;
                }
            }
        }
    }
}

// Bitonal page to inverted grey: ink 255, paper 0.
void unpackInk(ConstImageView src, bool lightZero, std::uint8_t *g)
{
    // Per source byte, its eight pixels as inverted grey levels.
    static const auto table = [] {
        std::array<std::array<std::uint8_t, 8>, 256> t{};
        for (int b = 0; b < 256; ++b)
            for (int k = 0; k < 8; ++k)
                t[std::size_t(b)][std::size_t(k)] = ((b >> (7 - k)) & 1) ? 255 : 0;
        return t;
    }();
    const int W = src.width;
    const std::uint8_t flip = lightZero ? 0x00 : 0xFF; // ink bits become 1
    for (int y = 0; y < src.height; ++y) {
        const std::uint8_t *s = src.row(y);
        std::uint8_t *d = g + std::size_t(y) * std::size_t(W);
        int x = 0;
        for (; x + 8 <= W; x += 8)
            std::memcpy(d + x, table[std::uint8_t(s[x >> 3] ^ flip)].data(), 8);
        for (; x < W; ++x)
            d[x] = (getBit(s, x) ^ (flip & 1)) ? 255 : 0;
    }
}

// Inverted grey back to bits: 127 and above is ink, written in the page's polarity.
void packInk(const std::uint8_t *g, bool lightZero, ImageView dst)
{
    const int W = dst.width;
    const std::uint8_t flip = lightZero ? 0x00 : 0xFF;
    for (int y = 0; y < dst.height; ++y) {
        const std::uint8_t *s = g + std::size_t(y) * std::size_t(W);
        std::uint8_t *d = dst.row(y);
        int x = 0;
        for (; x + 8 <= W; x += 8) {
            unsigned b = 0;
            for (int k = 0; k < 8; ++k)
                b = (b << 1) | (s[x + k] >= 127 ? 1u : 0u);
            d[x >> 3] = std::uint8_t(b ^ flip);
        }
        if (x < W) {
            unsigned b = 0;
            for (int k = 0; k < 8; ++k)
                b = (b << 1) | (x + k < W && s[x + k] >= 127 ? 1u : 0u);
            const std::uint8_t used = std::uint8_t(0xFFu << (8 - (W - x)));
            d[x >> 3] = std::uint8_t((b ^ flip) & used);
        }
    }
}

// Separable Gaussian smoothing of the blue, green and red bytes; 1 2 1 for small specks,
// 1 4 6 4 1 for larger ones. Pixels beyond the edge repeat the edge pixel. The fourth
// byte of 32-bit pixels is kept. Rows [firstRow, endRow) of the result are written.
void smoothColour(ConstImageView src, ImageView dst, int radius, int firstRow, int endRow)
{
    static constexpr int Taps3[] = {1, 2, 1};
    static constexpr int Taps5[] = {1, 4, 6, 4, 1};
    const int *taps = radius == 1 ? Taps3 : Taps5;
    const int shift = radius == 1 ? 4 : 8; // the 2-D weights add up to 16 or 256
    const int k = 2 * radius + 1;
    const int W = src.width;
    const int H = src.height;
    const int bpp = src.bitCount / 8;
    const std::size_t rowValues = std::size_t(W) * 3;

    // Rows filtered horizontally, kept in a ring of k rows indexed by source row.
    std::vector<std::uint16_t> ring(rowValues * std::size_t(k));
    std::vector<int> ringRow(std::size_t(k), -1);
    auto horizontal = [&](int y) -> const std::uint16_t * {
        std::uint16_t *out = ring.data() + rowValues * std::size_t(y % k);
        if (ringRow[std::size_t(y % k)] == y)
            return out;
        ringRow[std::size_t(y % k)] = y;
        const std::uint8_t *s = src.row(y);
        // Near the ends the taps are clamped to the edge pixel; in between they are not.
        auto clamped = [&](int x) {
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int t = -radius; t <= radius; ++t)
                    sum += taps[t + radius] * s[std::clamp(x + t, 0, W - 1) * bpp + c];
                out[std::size_t(x) * 3 + std::size_t(c)] = std::uint16_t(sum);
            }
        };
        const int innerEnd = std::max(W - radius, radius);
        for (int x = 0; x < std::min(radius, W); ++x)
            clamped(x);
        if (radius == 1) {
            for (int x = 1; x < innerEnd; ++x) {
                const std::uint8_t *p = s + std::size_t(x) * std::size_t(bpp);
                for (int c = 0; c < 3; ++c)
                    out[std::size_t(x) * 3 + std::size_t(c)] =
                        std::uint16_t(p[c - bpp] + 2 * p[c] + p[c + bpp]);
            }
        } else {
            for (int x = 2; x < innerEnd; ++x) {
                const std::uint8_t *p = s + std::size_t(x) * std::size_t(bpp);
                for (int c = 0; c < 3; ++c)
                    out[std::size_t(x) * 3 + std::size_t(c)] = std::uint16_t(
                        p[c - 2 * bpp] + 4 * p[c - bpp] + 6 * p[c] + 4 * p[c + bpp] + p[c + 2 * bpp]);
            }
        }
        for (int x = std::max(innerEnd, std::min(radius, W)); x < W; ++x)
            clamped(x);
        return out;
    };

    std::vector<std::uint32_t> acc(rowValues);
    for (int y = firstRow; y < endRow; ++y) {
        std::fill(acc.begin(), acc.end(), 0u);
        for (int t = -radius; t <= radius; ++t) {
            const std::uint16_t *h = horizontal(std::clamp(y + t, 0, H - 1));
            const std::uint32_t wt = std::uint32_t(taps[t + radius]);
            for (std::size_t i = 0; i < rowValues; ++i)
                acc[i] += wt * h[i];
        }
        std::uint8_t *d = dst.row(y);
        const std::uint8_t *s = src.row(y);
        const std::uint32_t half = 1u << (shift - 1);
        for (int x = 0; x < W; ++x) {
            for (int c = 0; c < 3; ++c)
                d[x * bpp + c] = std::uint8_t((acc[std::size_t(x) * 3 + std::size_t(c)] + half) >> shift);
            if (bpp == 4)
                d[x * 4 + 3] = s[x * 4 + 3];
        }
    }
}

} // namespace
} // namespace arkavo::pixolve

using namespace arkavo::pixolve;

extern "C" HGLOBAL Denoise(HGLOBAL image, int speckSize)
{
    return sameSizeResult(image, [&](SourcePage &page, ResultBlock &result) {
        const ConstImageView src = WrapDib(page);
        const ImageView dst = result.image();
        const int W = src.width;
        const int H = src.height;

        if (src.bitCount >= 24) {
            const int radius = speckSize <= 3 ? 1 : 2;
            forRowBands(H, src.stride,
                        [&](int first, int end) { smoothColour(src, dst, radius, first, end); });
            return;
        }

        // Specks are searched on inverted grey, ink bright and paper dark.
        std::vector<std::uint8_t> g(std::size_t(W) * std::size_t(H));
        if (src.bitCount == 1) {
            unpackInk(src, page.lightZero(), g.data());
            RemoveSpecks(g.data(), std::size_t(W), W, H, speckSize);
            packInk(g.data(), page.lightZero(), dst);
        } else {
            for (int y = 0; y < H; ++y) {
                const std::uint8_t *s = src.row(y);
                std::uint8_t *d = g.data() + std::size_t(y) * std::size_t(W);
                for (int x = 0; x < W; ++x)
                    d[x] = std::uint8_t(255 - s[x]);
            }
            RemoveSpecks(g.data(), std::size_t(W), W, H, speckSize);
            for (int y = 0; y < H; ++y) {
                const std::uint8_t *s = g.data() + std::size_t(y) * std::size_t(W);
                std::uint8_t *d = dst.row(y);
                for (int x = 0; x < W; ++x)
                    d[x] = std::uint8_t(255 - s[x]);
            }
        }
    });
}
