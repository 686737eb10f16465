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
    // Per-byte bit counts of up to 31 words are added up in byte lanes and summed once;
    // this keeps clear of a library call where the processor's count instruction is not
    // in the baseline instruction set.
    while (k + 8 <= lastByte) {
        std::uint64_t lanes = 0;
        for (int words = 0; words < 31 && k + 8 <= lastByte; ++words, k += 8) {
            std::uint64_t w;
            std::memcpy(&w, row + k, 8);
            w -= (w >> 1) & 0x5555555555555555ull;
            w = (w & 0x3333333333333333ull) + ((w >> 2) & 0x3333333333333333ull);
            lanes += (w + (w >> 4)) & 0x0F0F0F0F0F0F0F0Full;
        }
        lanes = (lanes & 0x00FF00FF00FF00FFull) + ((lanes >> 8) & 0x00FF00FF00FF00FFull);
        n += std::int64_t((lanes * 0x0001000100010001ull) >> 48);
    }
    for (; k < lastByte; ++k)
        n += std::popcount(unsigned(row[k]));
    return n + std::popcount(unsigned(row[lastByte]) & tailMask);
}

// First pixel in [from, to) of a 1-bit row whose bit equals `bit`, or `to` when none.
// Whole bytes without such a bit are skipped at once.
inline int findBit(const std::uint8_t *row, int from, int to, int bit)
{
    const std::uint8_t none = bit ? 0x00 : 0xFF;
    int x = from;
    while (x < to && (x & 7)) {
        if (getBit(row, x) == bit)
            return x;
        ++x;
    }
    while (x + 8 <= to && row[x >> 3] == none)
        x += 8;
    for (; x < to; ++x)
        if (getBit(row, x) == bit)
            return x;
    return to;
}

// Last pixel in [from, to) of a 1-bit row whose bit equals `bit`, or from - 1 when none.
inline int findBitBackward(const std::uint8_t *row, int from, int to, int bit)
{
    const std::uint8_t none = bit ? 0x00 : 0xFF;
    int x = to - 1;
    while (x >= from && (x & 7) != 7) {
        if (getBit(row, x) == bit)
            return x;
        --x;
    }
    while (x - 7 >= from && row[x >> 3] == none)
        x -= 8;
    for (; x >= from; --x)
        if (getBit(row, x) == bit)
            return x;
    return from - 1;
}

// Up to eight bytes of a row as one word, never reading past `rowBytes`. Bits keep their
// byte order, so two words loaded this way combine pixel by pixel.
inline std::uint64_t loadWord(const std::uint8_t *row, std::size_t word, std::size_t rowBytes)
{
    std::uint64_t w = 0;
    const std::size_t at = word * 8;
    std::memcpy(&w, row + at, std::min<std::size_t>(8, rowBytes - at));
    return w;
}

// Pixel column of bit `pos` (0 = least significant) of word `word` loaded by loadWord().
inline int wordBitColumn(std::size_t word, int pos)
{
    return int(word * 64) + (pos & ~7) + (7 - (pos & 7));
}

// Eight grey bytes at a time (plain 64-bit arithmetic, no vector extensions).
namespace swar {
constexpr std::uint64_t Ones = 0x0101010101010101ull;
constexpr std::uint64_t Highs = 0x8080808080808080ull;

inline std::uint64_t load(const std::uint8_t *p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// The high bit of every byte of x that is below n, for 0 <= n <= 128. No byte borrows
// from its neighbour: (127 + n) - (b & 127) never goes below zero.
inline std::uint64_t below(std::uint64_t x, unsigned n)
{
    return ((Ones * (127u + n)) - (x & ~Highs)) & ~x & Highs;
}

// Number of bytes whose high bit is set in a word that has no other bits.
inline unsigned highBits(std::uint64_t m)
{
    return unsigned(((m >> 7) * Ones) >> 56);
}

// Number of bytes of x below t, for any t: values of 129 and more are counted as the
// bytes whose complement is below 256 - t.
inline unsigned countBelow(std::uint64_t x, int t)
{
    if (t <= 0)
        return 0;
    if (t > 255)
        return 8;
    const std::uint64_t m = t <= 128 ? below(x, unsigned(t)) : ~below(~x, unsigned(256 - t)) & Highs;
    return highBits(m);
}
// True when some byte of the n bytes at p (n a multiple of 8) is below t.
inline bool anyBelow(const std::uint8_t *p, std::size_t n, int t)
{
    if (t <= 0)
        return false;
    if (t > 255)
        return true;
    std::uint64_t m = 0;
    for (std::size_t i = 0; i < n; i += 8) {
        const std::uint64_t x = load(p + i);
        m |= t <= 128 ? below(x, unsigned(t)) : ~below(~x, unsigned(256 - t)) & Highs;
    }
    return m != 0;
}
} // namespace swar

// Luminance of `count` colour pixels into grey bytes, knowing that only levels below t
// matter: a pixel whose blue, green and red are all t or more has a luminance of t or more
// (the weights add up to 256), so groups of eight such pixels are written as white without
// weighing them. Grey values below t are exact.
inline void greyBelow(const std::uint8_t *src, int count, std::size_t bpp, int t, std::uint8_t *grey)
{
    int i = 0;
    for (; i + 8 <= count; i += 8, src += 8 * bpp) {
        if (!swar::anyBelow(src, 8 * bpp, t)) {
            std::memset(grey + i, 255, 8);
            continue;
        }
        for (int k = 0; k < 8; ++k)
            grey[i + k] = luminance(src + std::size_t(k) * bpp);
    }
    for (; i < count; ++i, src += bpp)
        grey[i] = luminance(src);
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
