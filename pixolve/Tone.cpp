// AdjustBrightness, AdjustContrast, AdjustBrightnessAndContrast, TextEffect and AddWaterMark.
#include "PixolveImage.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace arkavo::pixolve {
namespace {

// One output value for every input value. Each call builds its own, so pages can be
// processed side by side.
using ToneTable = std::array<std::uint8_t, 256>;

ToneTable identityTable()
{
    ToneTable t{};
    for (int i = 0; i < 256; ++i)
        t[std::size_t(i)] = std::uint8_t(i);
    return t;
}

// Contrast c about the pivot m: c > 0 pushes values away from m (a threshold at m for
// c = 100), c < 0 draws them toward m (all m for c = -100). Integer arithmetic with
// truncating divisions; a zero divisor saturates.
ToneTable contrastTable(int m, int c)
{
    if (c == 0)
        return identityTable();
    ToneTable t{};
    t.fill(std::uint8_t(std::clamp(m, 0, 255)));
    const int a = c > 0 ? c : -c;
    const int upper = 255 - m;
    if (m <= 255) {
        const int q = upper * a / 100;
        for (int i = std::max(m, 0); i < 256; ++i) {
            int v;
            if (c > 0)
                v = upper - q == 0 ? 255 : m + upper * (i - m) / (upper - q);
            else
                v = upper == 0 ? 255 : m + (upper - q) * (i - m) / upper;
            t[std::size_t(i)] = std::uint8_t(std::min(v, 255));
        }
    }
    if (m > 0) {
        const int q = m * a / 100;
        for (int i = 0; i < std::min(m, 256); ++i) {
            int v;
            if (c > 0)
                v = m - q == 0 ? 0 : m - m * (m - i) / (m - q);
            else
                v = m - (m - q) * (m - i) / m;
            t[std::size_t(i)] = std::uint8_t(std::max(v, 0));
        }
    }
    return t;
}

// The table for two bytes at once (65536 entries), for large pages: half the lookups.
using PairTable = std::vector<std::uint16_t>;
PairTable pairTable(const ToneTable &table)
{
    PairTable pairs(65536);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        // Entry i maps the two bytes of i's own memory image, so loads and stores of
        // native 16-bit words agree on any byte order.
        std::uint16_t key = std::uint16_t(i), value;
        std::uint8_t b[2];
        std::memcpy(b, &key, 2);
        b[0] = table[b[0]];
        b[1] = table[b[1]];
        std::memcpy(&value, b, 2);
        pairs[i] = value;
    }
    return pairs;
}

// A table applied to a run of bytes; with a pair table, eight bytes per four lookups.
void ApplyToneTable(const std::uint8_t *s, std::uint8_t *d, std::size_t n, const ToneTable &table,
                    const PairTable &pairs)
{
    std::size_t i = 0;
    if (!pairs.empty()) {
        for (; i + 8 <= n; i += 8) {
            std::uint16_t v[4];
            std::memcpy(v, s + i, 8);
            for (std::uint16_t &w : v)
                w = pairs[w];
            std::memcpy(d + i, v, 8);
        }
    }
    for (; i < n; ++i)
        d[i] = table[s[i]];
}

// Saturating addition over a run of bytes, written so that it vectorises.
void addSaturated(const std::uint8_t *s, std::uint8_t *d, std::size_t n, int delta)
{
    if (delta >= 0) {
        const std::uint8_t add = std::uint8_t(delta), limit = std::uint8_t(255 - delta);
        for (std::size_t i = 0; i < n; ++i)
            d[i] = s[i] > limit ? std::uint8_t(255) : std::uint8_t(s[i] + add);
    } else {
        const std::uint8_t sub = std::uint8_t(-delta);
        for (std::size_t i = 0; i < n; ++i)
            d[i] = s[i] < sub ? std::uint8_t(0) : std::uint8_t(s[i] - sub);
    }
}

// The common frame of the tone exports: 8, 24 and 32-bit pages only. `map(s, d, n)`
// changes every grey value or colour byte of a row; the fourth byte of a 32-bit pixel
// is carried over as it is.
template <typename Map, typename Prepare = void (*)(std::size_t)>
HGLOBAL mapTones(
    HGLOBAL image, Map map, Prepare prepare = [](std::size_t) {})
{
    return guarded([&]() -> HGLOBAL {
        SourcePage page(image);
        if (!page || page.bitCount() == 1)
            return nullptr;
        ResultBlock result = ResultBlock::sameSize(page);
        if (!result)
            return nullptr;
        const ConstImageView in = WrapDib(page);
        const ImageView out = result.image();
        const std::size_t n = std::size_t(in.width) * std::size_t(in.bytesPerPixel());
        prepare(n * std::size_t(in.height));
        forRowBands(in.height, n, [&](int first, int end) {
            for (int y = first; y < end; ++y) {
                const std::uint8_t *s = in.row(y);
                std::uint8_t *d = out.row(y);
                map(s, d, n);
                if (in.bitCount == 32)
                    for (std::size_t j = 3; j < n; j += 4)
                        d[j] = s[j];
            }
        });
        return result.release();
    });
}

// A table over a whole page; the pair table pays for itself from about a megabyte on.
HGLOBAL mapThroughTable(HGLOBAL image, const ToneTable &table)
{
    PairTable pairs;
    return mapTones(
        image,
        [&](const std::uint8_t *s, std::uint8_t *out, std::size_t n) {
            ApplyToneTable(s, out, n, table, pairs);
        },
        [&](std::size_t pageBytes) {
            if (pageBytes >= (std::size_t(1) << 20))
                pairs = pairTable(table);
        });
}

// Minimum (or maximum) over a run of `window` elements starting at each element, clipped
// at the end: van Herk / Gil-Werman, three operations per element whatever the window.
// `get(i)` reads element i, `put(i, v)` writes the result; Op combines two values.
template <typename T, typename Op, typename Get, typename Put>
void forwardWindow(int count, int window, Op op, Get get, Put put, std::vector<T> &prefix,
                   std::vector<T> &suffix)
{
    window = std::clamp(window, 1, std::max(count, 1));
    prefix.resize(std::size_t(count));
    suffix.resize(std::size_t(count));
    for (int start = 0; start < count; start += window) {
        const int end = std::min(start + window, count);
        prefix[std::size_t(start)] = get(start);
        for (int i = start + 1; i < end; ++i)
            prefix[std::size_t(i)] = op(prefix[std::size_t(i - 1)], get(i));
        suffix[std::size_t(end - 1)] = get(end - 1);
        for (int i = end - 2; i >= start; --i)
            suffix[std::size_t(i)] = op(suffix[std::size_t(i + 1)], get(i));
    }
    for (int i = 0; i < count; ++i) {
        const int last = std::min(i + window - 1, count - 1);
        const bool sameBlock = last / window == i / window;
        put(i, sameBlock ? suffix[std::size_t(i)] : op(suffix[std::size_t(i)], prefix[std::size_t(last)]));
    }
}

struct MinOp {
    std::uint8_t operator()(std::uint8_t a, std::uint8_t b) const { return std::min(a, b); }
};
struct MaxOp {
    std::uint8_t operator()(std::uint8_t a, std::uint8_t b) const { return std::max(a, b); }
};
// Minimum and maximum of bit values, eight pixels at a time.
struct AndOp {
    std::uint8_t operator()(std::uint8_t a, std::uint8_t b) const { return a & b; }
};
struct OrOp {
    std::uint8_t operator()(std::uint8_t a, std::uint8_t b) const { return a | b; }
};

// dst[i] = op(a[i], b[i]). Kept apart so that the loop sees plain local bounds and
// vectorises (byte stores inside a lambda could alias everything it captured).
template <typename Op>
void combineBytes(std::uint8_t *dst, const std::uint8_t *a, const std::uint8_t *b, std::size_t n, Op op)
{
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = op(a[i], b[i]);
}

// Up to this many rows or columns a window is combined directly; longer ones use the
// block-wise prefix and suffix runs.
constexpr int DirectWindow = 8;

// out row y = Op over rows y .. y + window - 1 of h (those that exist), the first n bytes
// of each row combined byte by byte.
template <typename Op> void windowUp(ConstImageView h, ImageView out, std::size_t n, int window, Op op)
{
    window = std::clamp(window, 1, h.height);
    if (window <= DirectWindow) {
        forRowBands(h.height, n * std::size_t(window), [&](int first, int end) {
            for (int y = first; y < end; ++y) {
                std::uint8_t *d = out.row(y);
                std::memcpy(d, h.row(y), n);
                const int last = std::min(y + window - 1, h.height - 1);
                for (int r = y + 1; r <= last; ++r)
                    combineBytes(d, d, h.row(r), n, op);
            }
        });
        return;
    }
    WorkImage prefixRows(h.width, h.height, h.bitCount), suffixRows(h.width, h.height, h.bitCount);
    const ImageView g = prefixRows.view(), k = suffixRows.view();
    const int blocks = (h.height + window - 1) / window;
    forRowBands(blocks, n * std::size_t(window) * 2, [&](int firstBlock, int endBlock) {
        for (int b = firstBlock; b < endBlock; ++b) {
            const int start = b * window, end = std::min(start + window, h.height);
            std::memcpy(g.row(start), h.row(start), n);
            for (int y = start + 1; y < end; ++y)
                combineBytes(g.row(y), g.row(y - 1), h.row(y), n, op);
            std::memcpy(k.row(end - 1), h.row(end - 1), n);
            for (int y = end - 2; y >= start; --y)
                combineBytes(k.row(y), k.row(y + 1), h.row(y), n, op);
        }
    });
    forRowBands(h.height, n, [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            const int last = std::min(y + window - 1, h.height - 1);
            std::uint8_t *d = out.row(y);
            const std::uint8_t *ky = k.row(y);
            if (last / window == y / window) {
                std::memcpy(d, ky, n);
                continue;
            }
            combineBytes(d, ky, g.row(last), n, op);
        }
    });
}

// Grey-level minimum or maximum over a window of `window` columns and rows whose first
// column and row are the pixel's own (reaching right and up in library rows). The window
// is clipped at the page's edge: pixels beyond it are left out.
template <typename Op> void filterGray(ConstImageView in, ImageView out, int window, Op op)
{
    // Up the columns straight into the result, then along each result row in place.
    windowUp(in, out, std::size_t(in.width), window, op);
    const int width = in.width;
    const int across = std::clamp(window, 1, width);
    forRowBands(in.height, std::size_t(width) * std::size_t(std::min(across, DirectWindow)),
                [&](int first, int end) {
                    std::vector<std::uint8_t> row(static_cast<std::size_t>(width)), prefix, suffix;
                    for (int y = first; y < end; ++y) {
                        std::uint8_t *d = out.row(y);
                        const std::uint8_t *s = row.data();
                        std::memcpy(row.data(), d, row.size());
                        if (across <= DirectWindow) {
                            for (int k = 1; k < across; ++k)
                                combineBytes(d, d, s + k, std::size_t(width - k), op);
                            continue;
                        }
                        forwardWindow<std::uint8_t>(
                            width, across, op, [s](int i) { return s[i]; },
                            [d](int i, std::uint8_t v) { d[i] = v; }, prefix, suffix);
                    }
                });
}

// A 1-bit row as big-endian 64-bit words (pixel 0 in the top bit of word 0) followed by
// one spare word; bits past the width hold `neutral`.
void loadBitWords(const std::uint8_t *row, int width, std::uint64_t neutral,
                  std::vector<std::uint64_t> &words)
{
    const std::size_t bytes = (std::size_t(width) + 7) / 8;
    const std::size_t count = (std::size_t(width) + 63) / 64 + 1;
    words.assign(count, neutral);
    for (std::size_t w = 0; w * 8 < bytes; ++w)
        words[w] = bigEndian64(loadWord(row + w * 8, bytes - w * 8));
    const std::size_t last = std::size_t(width) / 64;
    const int used = width % 64;
    if (used) {
        const std::uint64_t tail = ~std::uint64_t(0) >> used;
        words[last] = (words[last] & ~tail) | (neutral & tail);
    }
}

// dst bit x = src bit x + shift, for a word row from loadBitWords (bits beyond read as
// `neutral`).
void shiftWordsLeft(const std::vector<std::uint64_t> &src, std::vector<std::uint64_t> &dst, int shift,
                    std::uint64_t neutral)
{
    const std::size_t count = src.size(), wordShift = std::size_t(shift) / 64;
    const int bitShift = shift % 64;
    dst.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t hi = i + wordShift < count ? src[i + wordShift] : neutral;
        const std::uint64_t lo = i + wordShift + 1 < count ? src[i + wordShift + 1] : neutral;
        dst[i] = bitShift ? (hi << bitShift) | (lo >> (64 - bitShift)) : hi;
    }
}

// The same filter on bits: minimum is AND, maximum is OR, over the bit values as they
// stand (polarity is not consulted). Pixels beyond the edge are left out.
template <typename Op>
void filterBits(ConstImageView in, ImageView out, int window, Op op, std::uint8_t neutral)
{
    const int bytes = (in.width + 7) / 8;
    const std::uint8_t tailMask = std::uint8_t(in.width % 8 ? 0xFF00u >> (in.width % 8) : 0xFFu);
    const std::uint64_t neutralWord = neutral ? ~std::uint64_t(0) : 0;
    const int across = std::clamp(window, 1, in.width);
    auto combine = [](std::uint64_t a, std::uint64_t b) { return std::is_same_v<Op, OrOp> ? a | b : a & b; };

    // Up the columns straight into the result, then along each result row in place.
    windowUp(in, out, std::size_t(bytes), window, op);
    forRowBands(in.height, std::size_t(bytes) * 64, [&](int first, int end) {
        std::vector<std::uint64_t> span, shifted;
        for (int y = first; y < end; ++y) {
            // span covers `reach` pixels from each x; doubled while that stays within the
            // window, then combined with itself shifted to cover the rest exactly.
            std::uint8_t *d = out.row(y);
            loadBitWords(d, in.width, neutralWord, span);
            int reach = 1;
            while (reach * 2 <= across) {
                shiftWordsLeft(span, shifted, reach, neutralWord);
                for (std::size_t i = 0; i < span.size(); ++i)
                    span[i] = combine(span[i], shifted[i]);
                reach *= 2;
            }
            if (reach < across) {
                shiftWordsLeft(span, shifted, across - reach, neutralWord);
                for (std::size_t i = 0; i < span.size(); ++i)
                    span[i] = combine(span[i], shifted[i]);
            }
            for (std::size_t w = 0; w * 8 < std::size_t(bytes); ++w) {
                storeWord(d + w * 8, bigEndian64(span[w]), std::size_t(bytes) - w * 8);
            }
        }
    });
    for (int y = 0; y < in.height; ++y) // padding bits stay zero
        out.row(y)[bytes - 1] &= tailMask;
}

} // namespace
} // namespace arkavo::pixolve

using namespace arkavo::pixolve;

extern "C" {

// Adds delta to every grey value or colour byte, saturating at 0 and 255. Null for
// 1-bit pages. The caller frees the result.
HGLOBAL AdjustBrightness(HGLOBAL image, int delta)
{
    const int d = std::clamp(delta, -255, 255);
    return mapTones(
        image, [d](const std::uint8_t *s, std::uint8_t *out, std::size_t n) { addSaturated(s, out, n, d); });
}

// Contrast about grey level 127, -100..100 (values beyond are taken as the nearest end).
// Null for 1-bit pages. The caller frees the result.
HGLOBAL AdjustContrast(HGLOBAL image, int contrast)
{
    return mapThroughTable(image, contrastTable(127, std::clamp(contrast, -100, 100)));
}

// Brightness first, then contrast about 127 + brightness / 4. Null for 1-bit pages.
// The caller frees the result.
HGLOBAL AdjustBrightnessAndContrast(HGLOBAL image, int brightness, int contrast)
{
    const int b = std::clamp(brightness, -255, 255);
    const int c = std::clamp(contrast, -100, 100);
    if (c == 0)
        return AdjustBrightness(image, b);
    // Both steps fold into one table: the contrast of the brightened value.
    const ToneTable tones = contrastTable(127 + b / 4, c);
    ToneTable table{};
    for (int i = 0; i < 256; ++i)
        table[std::size_t(i)] = tones[std::size_t(std::clamp(i + b, 0, 255))];
    return mapThroughTable(image, table);
}

// Strength n > 0: minimum over n + 1 columns and rows (darker, bolder strokes); n <= 0:
// maximum over 1 - n (thinner, lighter). 1 and 8-bit pages only, else null. The caller
// frees the result.
HGLOBAL TextEffect(HGLOBAL image, int strength)
{
    return guarded([&]() -> HGLOBAL {
        SourcePage page(image);
        if (!page || (page.bitCount() != 1 && page.bitCount() != 8))
            return nullptr;
        ResultBlock result = ResultBlock::sameSize(page);
        if (!result)
            return nullptr;
        const bool minimum = strength > 0;
        // Windows longer than the page are clipped to it anyway.
        const long long window = minimum ? 1LL + strength : 1LL - strength;
        const int w = int(std::min<long long>(window, std::max(page.width(), page.height())));
        if (page.bitCount() == 1 && minimum)
            filterBits(WrapDib(page), result.image(), w, AndOp{}, 0xFF);
        else if (page.bitCount() == 1)
            filterBits(WrapDib(page), result.image(), w, OrOp{}, 0x00);
        else if (minimum)
            filterGray(WrapDib(page), result.image(), w, MinOp{});
        else
            filterGray(WrapDib(page), result.image(), w, MaxOp{});
        return result.release();
    });
}

// Lays the mark, centred (clipped at the page's bottom-left when larger), over the page
// by a bitwise AND: white parts of the mark leave the page as it was. The mark is taken
// as grey levels whatever its depth. The caller frees the result.
HGLOBAL AddWaterMark(HGLOBAL pageImage, HGLOBAL markImage)
{
    return guarded([&]() -> HGLOBAL {
        SourcePage page(pageImage);
        if (!page)
            return nullptr;
        WorkImage mark;
        {
            SourcePage markPage(markImage);
            if (!markPage)
                return nullptr;
            mark = GrayCopy(markPage);
        }
        ResultBlock result = ResultBlock::sameSize(page);
        if (!result)
            return nullptr;
        const ConstImageView in = WrapDib(page);
        const ImageView out = result.image();
        std::memcpy(out.bits, in.bits, in.bytes());

        const ConstImageView m = mark.view();
        const int x0 = std::max((in.width - m.width) / 2, 0);
        const int y0 = std::max((in.height - m.height) / 2, 0);
        const int cols = std::min(m.width, in.width - x0);
        const int rows = std::min(m.height, in.height - y0);
        const int bpp = in.bytesPerPixel();
        for (int j = 0; j < rows; ++j) {
            const std::uint8_t *s = m.row(j);
            std::uint8_t *d = out.row(y0 + j);
            for (int i = 0; i < cols; ++i) {
                const int x = x0 + i;
                switch (in.bitCount) {
                case 1:
                    if (s[i] < 128)
                        setBit(d, x, 0);
                    break;
                case 8:
                    d[x] &= s[i];
                    break;
                default: // colour bytes only; the fourth byte of the mark layer is 255
                    for (int c = 0; c < 3; ++c)
                        d[std::size_t(x) * bpp + c] &= s[i];
                    break;
                }
            }
        }
        return result.release();
    });
}

} // extern "C"
