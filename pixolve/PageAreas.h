#pragma once
// Helpers shared by the operations that look at page areas (border removal, crop, fill,
// denoise, blank test, thumbnail): bit ranges of 1-bit rows, ink masks and per-pixel grey
// levels read straight from the page, so that no full grey copy is needed where a few
// pixels or a bit count will do.
#include "PixolveImage.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace arkavo::pixolve {

// Sets pixels [x0, x1) of a 1-bit row to `bit`.
inline void setBitRange(std::uint8_t *row, int x0, int x1, int bit)
{
    if (x0 >= x1)
        return;
    const int firstByte = x0 >> 3;
    const int lastByte = (x1 - 1) >> 3;
    const std::uint8_t headMask = std::uint8_t(0xFFu >> (x0 & 7));
    const std::uint8_t tailMask = std::uint8_t(0xFFu << (7 - ((x1 - 1) & 7)));
    auto apply = [&](std::uint8_t &b, std::uint8_t mask) { b = bit ? (b | mask) : (b & ~mask); };
    if (firstByte == lastByte) {
        apply(row[firstByte], std::uint8_t(headMask & tailMask));
        return;
    }
    apply(row[firstByte], headMask);
    if (lastByte - firstByte > 1)
        std::memset(row + firstByte + 1, bit ? 0xFF : 0x00, std::size_t(lastByte - firstByte - 1));
    apply(row[lastByte], tailMask);
}

// Copies `width` pixels of a 1-bit row starting at pixel srcX to the start of dst. Bits
// of dst beyond `width` in its last byte are cleared. Reads no byte past the source pixels.
inline void copyBitRange(std::uint8_t *dst, const std::uint8_t *src, int srcX, int width)
{
    if (width <= 0)
        return;
    const int bytes = (width + 7) >> 3;
    const int shift = srcX & 7;
    const std::uint8_t *s = src + (srcX >> 3);
    if (shift == 0) {
        std::memcpy(dst, s, std::size_t(bytes));
    } else {
        // Last source byte holding a wanted pixel: never read beyond it.
        const int lastSrc = (srcX + width - 1) >> 3;
        const int available = lastSrc - (srcX >> 3);
        for (int k = 0; k < bytes; ++k) {
            const unsigned hi = unsigned(s[k]) << shift;
            const unsigned lo = k + 1 <= available ? unsigned(s[k + 1]) >> (8 - shift) : 0u;
            dst[k] = std::uint8_t(hi | lo);
        }
    }
    if (width & 7)
        dst[bytes - 1] &= std::uint8_t(0xFFu << (8 - (width & 7)));
}

// Number of set bits among pixels [x0, x1) of a 1-bit row.
inline std::int64_t countBitRange(const std::uint8_t *row, int x0, int x1)
{
    if (x0 >= x1)
        return 0;
    const int firstByte = x0 >> 3;
    const int lastByte = (x1 - 1) >> 3;
    const unsigned headMask = 0xFFu >> (x0 & 7);
    const unsigned tailMask = (0xFFu << (7 - ((x1 - 1) & 7))) & 0xFFu;
    if (firstByte == lastByte)
        return std::popcount(unsigned(row[firstByte]) & headMask & tailMask);
    std::int64_t n = std::popcount(unsigned(row[firstByte]) & headMask);
    int k = firstByte + 1;
    for (; k + 8 <= lastByte; k += 8) {
        std::uint64_t w;
        std::memcpy(&w, row + k, 8);
        n += std::popcount(w);
    }
    for (; k < lastByte; ++k)
        n += std::popcount(unsigned(row[k]));
    return n + std::popcount(unsigned(row[lastByte]) & tailMask);
}

// Grey level of one page pixel, as the grey copy would hold it.
inline int greyAt(const ConstImageView &v, bool lightZero, int x, int y)
{
    const std::uint8_t *r = v.row(y);
    switch (v.bitCount) {
    case 1:
        return (getBit(r, x) != int(lightZero)) ? 255 : 0;
    case 8:
        return r[x];
    default:
        return luminance(r + std::size_t(x) * std::size_t(v.bitCount / 8));
    }
}

// Clips a library region to a width x height page; returns false when nothing is left.
// Coordinates come in as 64-bit so that caller rectangles near the integer limits
// cannot overflow on the way.
struct Span64 {
    std::int64_t x0, y0, x1, y1; // columns [x0, x1), rows [y0, y1)
};
inline bool clipToPage(Span64 &s, int width, int height)
{
    s.x0 = std::clamp<std::int64_t>(s.x0, 0, width);
    s.x1 = std::clamp<std::int64_t>(s.x1, 0, width);
    s.y0 = std::clamp<std::int64_t>(s.y0, 0, height);
    s.y1 = std::clamp<std::int64_t>(s.y1, 0, height);
    return s.x0 < s.x1 && s.y0 < s.y1;
}

// A caller rectangle (top-down rows) as library rows: low = H - bottom, high = H - top.
inline Span64 libraryArea(const RECT &r, int height)
{
    return {r.left, std::int64_t(height) - r.bottom, r.right, std::int64_t(height) - r.top};
}

} // namespace arkavo::pixolve
