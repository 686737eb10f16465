// Rotate, RotateExpand, Mirror, Flip and Invert.
#include "PixolveImage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

namespace arkavo::pixolve {
namespace {

// The 64 bits of a word in reverse order.
std::uint64_t reverseBits(std::uint64_t v)
{
    v = __builtin_bswap64(v);
    v = (v >> 4 & 0x0F0F0F0F0F0F0F0Full) | (v & 0x0F0F0F0F0F0F0F0Full) << 4;
    v = (v >> 2 & 0x3333333333333333ull) | (v & 0x3333333333333333ull) << 2;
    return (v >> 1 & 0x5555555555555555ull) | (v & 0x5555555555555555ull) << 1;
}

// A 1-bit row right to left: its words reversed bit for bit, then shifted left past the
// padding bits that the reversal brought to the front.
void mirrorBits(const std::uint8_t *src, std::uint8_t *dst, int width)
{
    const std::size_t bytes = (std::size_t(width) + 7) / 8, words = (bytes + 7) / 8;
    constexpr std::size_t MaxWords = 512; // rows up to 32768 pixels; wider ones bit by bit
    if (words > MaxWords) {
        std::memset(dst, 0, bytes);
        for (int x = 0; x < width; ++x)
            setBit(dst, x, getBit(src, width - 1 - x));
        return;
    }
    std::array<std::uint64_t, MaxWords + 1> reversed;
    for (std::size_t k = 0; k < words; ++k) {
        const std::size_t at = (words - 1 - k) * 8;
        reversed[k] = reverseBits(bigEndian64(loadWord(src + at, bytes - at)));
    }
    reversed[words] = 0;
    const int shift = int(words * 64 - std::size_t(width)); // 0..63
    for (std::size_t k = 0; k < words; ++k) {
        const std::uint64_t v = shift ? reversed[k] << shift | reversed[k + 1] >> (64 - shift) : reversed[k];
        storeWord(dst + k * 8, bigEndian64(v), bytes - k * 8);
    }
}

// Work per row of a mirror, in bytes copied: reversing bits costs about eight times a copy.
std::size_t mirrorWork(const ImageView &out)
{
    return out.stride * (out.bitCount == 1 ? 8 : 1);
}

PIXOLVE_VECTOR_CLONES void reverseBytes(const std::uint8_t *src, std::uint8_t *dst, int count)
{
    for (int x = 0; x < count; ++x)
        dst[x] = src[count - 1 - x];
}

// Right-to-left copy of one row of `width` pixels.
void mirrorRow(const std::uint8_t *src, std::uint8_t *dst, int width, int bitCount)
{
    switch (bitCount) {
    case 1:
        mirrorBits(src, dst, width);
        break;
    case 8:
        reverseBytes(src, dst, width);
        break;
    case 24: {
        // Four-byte moves whose fourth byte the next pixel overwrites; the first source
        // pixel and the last destination pixel move by three bytes to stay in the row.
        auto move3 = [](const std::uint8_t *s, std::uint8_t *d) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        };
        if (width == 1) {
            move3(src, dst);
            break;
        }
        move3(src + std::size_t(width - 1) * 3, dst);
        for (int x = 1; x < width - 1; ++x) {
            std::uint32_t v;
            std::memcpy(&v, src + std::size_t(width - 1 - x) * 3, 4);
            std::memcpy(dst + std::size_t(x) * 3, &v, 4);
        }
        move3(src, dst + std::size_t(width - 1) * 3);
        break;
    }
    default:
        for (int x = 0; x < width; ++x)
            std::memcpy(dst + std::size_t(x) * 4, src + std::size_t(width - 1 - x) * 4, 4);
        break;
    }
}

// Bytes of a row that hold pixels (padding excluded).
std::size_t rowBytes(int width, int bitCount)
{
    return (std::size_t(width) * std::size_t(bitCount) + 7) / 8;
}

void invertRow(const std::uint8_t *src, std::uint8_t *dst, int width, int bitCount)
{
    const std::size_t n = rowBytes(width, bitCount);
    if (bitCount == 32) {
        // The fourth byte is not a colour: it is carried over as it is.
        for (std::size_t i = 0; i < n; i += 4) {
            std::uint32_t v;
            std::memcpy(&v, src + i, 4);
            v ^= 0x00FFFFFFu;
            std::memcpy(dst + i, &v, 4);
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = std::uint8_t(~src[i]);
    if (bitCount == 1 && width % 8) // padding bits stay zero
        dst[n - 1] &= std::uint8_t(0xFF00u >> (width % 8));
}

// An 8 x 8 bit block, row r in byte 7 - r with its leftmost pixel in the top bit, turned
// about its diagonal (Hacker's Delight, transpose8).
std::uint64_t transpose8(std::uint64_t x)
{
    std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x ^= t ^ (t << 28);
    return x;
}

// Quarter turns: 90 takes result pixel (x', y') from input (W - 1 - y', x'), -90 from
// (y', H - 1 - x'). Both are the transpose of the input (rows read bottom-up for -90)
// with the transposed rows stored in reverse order for 90.
void turnQuarterBits(ConstImageView in, ImageView out, bool right)
{
    const int columnBytes = (in.width + 7) / 8;
    const int rowGroups = (in.height + 7) / 8;
    // Each 8 x 8 block costs about what copying eight times its bytes would.
    forRowBands(columnBytes, std::size_t(in.height) * 8, [&](int firstByte, int endByte) {
        for (int k = firstByte; k < endByte; ++k) {
            for (int m = 0; m < rowGroups; ++m) {
                std::uint64_t block = 0;
                for (int r = 0; r < 8; ++r) {
                    const int i = 8 * m + r;
                    if (i < in.height)
                        block |= std::uint64_t(in.row(right ? i : in.height - 1 - i)[k]) << (8 * (7 - r));
                }
                block = transpose8(block);
                for (int c = 0; c < 8; ++c) {
                    const int j = 8 * k + c;
                    if (j >= in.width)
                        break;
                    out.row(right ? in.width - 1 - j : j)[m] = std::uint8_t(block >> (8 * (7 - c)));
                }
            }
        }
    });
}

template <int Bytes> void turnQuarterPixels(ConstImageView in, ImageView out, bool right)
{
    constexpr int Tile = 64; // keeps the column walk through the input inside the cache
    forRowBands(out.height, out.stride, [&](int firstRow, int endRow) {
        for (int ty = firstRow; ty < endRow; ty += Tile) {
            const int tyEnd = std::min(ty + Tile, endRow);
            for (int tx = 0; tx < out.width; tx += Tile) {
                const int txEnd = std::min(tx + Tile, out.width);
                const std::ptrdiff_t step = right ? std::ptrdiff_t(in.stride) : -std::ptrdiff_t(in.stride);
                for (int y = ty; y < tyEnd; ++y) {
                    std::uint8_t *d = out.row(y) + std::size_t(tx) * Bytes;
                    const std::uint8_t *s = in.row(right ? tx : in.height - 1 - tx) +
                                            std::size_t(right ? in.width - 1 - y : y) * Bytes;
                    for (int x = tx; x < txEnd; ++x, d += Bytes, s += step)
                        std::memcpy(d, s, Bytes);
                }
            }
        }
    });
}

// Rotation about (cx, cy): result pixel (x', y') samples the input at
// (cx + dx cos a - dy sin a, cy + dx sin a + dy cos a) with dx = x' - cx, dy = y' - cy.
// Pixel centres sit at whole coordinates, so angle 0 is an exact copy. A result pixel is
// covered when the sample point lies on an input pixel, [-0.5, W - 0.5) x [-0.5, H - 0.5);
// bilinear samples near the edge repeat the edge pixels.
struct Turn {
    double cosA, sinA;
    double cx, cy;
    int width, height;

    bool inside(double sx, double sy) const
    {
        return sx >= -0.5 && sx < width - 0.5 && sy >= -0.5 && sy < height - 0.5;
    }
};

// The run of result columns [first, end) of one row whose sample points are covered:
// a line meets the rectangle in one interval. Solved in closed form, then settled
// against the exact test at both ends.
std::pair<int, int> coveredColumns(const Turn &t, double sx0, double sy0, int columns)
{
    double lo = 0, hi = columns;
    auto limit = [&](double start, double step, double size) {
        if (std::fabs(step) < 1e-12) {
            if (!(start >= -0.5 && start < size - 0.5))
                hi = lo - 1;
            return;
        }
        double a = (-0.5 - start) / step, b = (size - 0.5 - start) / step;
        if (a > b)
            std::swap(a, b);
        lo = std::max(lo, a);
        hi = std::min(hi, b);
    };
    limit(sx0, t.cosA, t.width);
    limit(sy0, t.sinA, t.height);
    if (!(hi >= lo))
        return {0, 0};
    auto inside = [&](int x) { return t.inside(sx0 + x * t.cosA, sy0 + x * t.sinA); };
    int first = int(std::clamp(std::ceil(lo), 0.0, double(columns)));
    int end = int(std::clamp(std::ceil(hi), 0.0, double(columns)));
    while (first > 0 && inside(first - 1))
        --first;
    while (first < end && !inside(first))
        ++first;
    while (end < columns && inside(end))
        ++end;
    while (end > first && !inside(end - 1))
        --end;
    return {first, end};
}

// Sample points are stepped in 32.32 fixed point along a covered run; indices are
// clamped, so rounding drift at the run's ends cannot leave the input. A 32-bit pixel is
// sampled as four channels, its fourth byte included.
constexpr int FixedShift = 32;
constexpr std::int64_t FixedHalf = std::int64_t(1) << (FixedShift - 1);
std::int64_t toFixed(double v)
{
    return std::llround(v * 4294967296.0);
}

template <int Bytes, bool Bilinear>
void rotateRun(ConstImageView in, std::uint8_t *d, int first, int end, std::int64_t fx, std::int64_t fy,
               std::int64_t stepX, std::int64_t stepY)
{
    const int maxX = in.width - 1, maxY = in.height - 1;
    for (int x = first; x < end; ++x, fx += stepX, fy += stepY) {
        std::uint8_t *out = d + std::size_t(x) * Bytes;
        if constexpr (!Bilinear) {
            const int ix = std::clamp(int((fx + FixedHalf) >> FixedShift), 0, maxX);
            const int iy = std::clamp(int((fy + FixedHalf) >> FixedShift), 0, maxY);
            std::memcpy(out, in.row(iy) + std::size_t(ix) * Bytes, Bytes);
        } else {
            const int x0 = int(fx >> FixedShift), y0 = int(fy >> FixedShift);
            const int wx = int((fx >> (FixedShift - 8)) & 0xFF);
            const int wy = int((fy >> (FixedShift - 8)) & 0xFF);
            const std::size_t c0 = std::size_t(std::clamp(x0, 0, maxX)) * Bytes;
            const std::size_t c1 = std::size_t(std::clamp(x0 + 1, 0, maxX)) * Bytes;
            const std::uint8_t *r0 = in.row(std::clamp(y0, 0, maxY));
            const std::uint8_t *r1 = in.row(std::clamp(y0 + 1, 0, maxY));
            for (int c = 0; c < Bytes; ++c) {
                const int below = r0[c0 + c] * 256 + (r0[c1 + c] - r0[c0 + c]) * wx;
                const int above = r1[c0 + c] * 256 + (r1[c1 + c] - r1[c0 + c]) * wx;
                out[c] = std::uint8_t((below * 256 + (above - below) * wy + 32768) >> 16);
            }
        }
    }
}

// Bits are always sampled nearest: there is nothing between black and white. Whole
// result bytes are built eight samples at a time; the partial bytes at the run's ends
// are merged with the fill around them.
void rotateRunBits(ConstImageView in, std::uint8_t *d, int first, int end, std::int64_t fx, std::int64_t fy,
                   std::int64_t stepX, std::int64_t stepY)
{
    const int maxX = in.width - 1, maxY = in.height - 1;
    auto sample = [&]() {
        const int ix = std::clamp(int((fx + FixedHalf) >> FixedShift), 0, maxX);
        const int iy = std::clamp(int((fy + FixedHalf) >> FixedShift), 0, maxY);
        fx += stepX;
        fy += stepY;
        return unsigned(getBit(in.row(iy), ix));
    };
    auto merge = [d](int x, unsigned bit) {
        const unsigned shift = 7u - unsigned(x & 7);
        d[x >> 3] = std::uint8_t((d[x >> 3] & ~(1u << shift)) | bit << shift);
    };
    int x = first;
    for (; x < end && (x & 7); ++x)
        merge(x, sample());
    for (; x + 8 <= end; x += 8) {
        unsigned byte = 0;
        for (int k = 0; k < 8; ++k)
            byte = byte << 1 | sample();
        d[x >> 3] = std::uint8_t(byte);
    }
    for (; x < end; ++x)
        merge(x, sample());
}

void rotateRows(ConstImageView in, ImageView out, const Turn &t, bool bilinear, int firstRow, int endRow)
{
    const std::int64_t stepX = toFixed(t.cosA), stepY = toFixed(t.sinA);
    for (int y = firstRow; y < endRow; ++y) {
        const double dy = y - t.cy;
        const double sx0 = t.cx - t.cx * t.cosA - dy * t.sinA;
        const double sy0 = t.cy - t.cx * t.sinA + dy * t.cosA;
        const auto [first, end] = coveredColumns(t, sx0, sy0, out.width);
        if (first >= end)
            continue;
        const std::int64_t fx = toFixed(sx0 + first * t.cosA), fy = toFixed(sy0 + first * t.sinA);
        std::uint8_t *d = out.row(y);
        if (in.bitCount == 1)
            rotateRunBits(in, d, first, end, fx, fy, stepX, stepY);
        else if (in.bitCount == 8)
            (bilinear ? rotateRun<1, true> : rotateRun<1, false>)(in, d, first, end, fx, fy, stepX, stepY);
        else if (in.bitCount == 24)
            (bilinear ? rotateRun<3, true> : rotateRun<3, false>)(in, d, first, end, fx, fy, stepX, stepY);
        else
            (bilinear ? rotateRun<4, true> : rotateRun<4, false>)(in, d, first, end, fx, fy, stepX, stepY);
    }
}

} // namespace
} // namespace arkavo::pixolve

using namespace arkavo::pixolve;

extern "C" {

// Turns the page by `angle` degrees (clockwise as displayed) about (cx, cy), keeping its
// size; uncovered pixels are 255. Interpolation 1 is bilinear, anything else nearest.
// The caller frees the result.
HGLOBAL Rotate(HGLOBAL image, double angle, int cx, int cy, int interpolation)
{
    return sameSizeResult(image, [&](SourcePage &page, ResultBlock &result) {
        const ConstImageView in = WrapDib(page);
        const ImageView out = result.image();
        std::memset(out.bits, 0xFF, out.bytes());
        const double a = angle * (std::numbers::pi / 180.0);
        const Turn turn{std::cos(a), std::sin(a), double(cx), double(cy), in.width, in.height};
        const std::size_t work =
            std::size_t(in.width) * (in.bitCount == 1 ? 1 : std::size_t(in.bytesPerPixel()) * 4);
        forRowBands(out.height, work,
                    [&](int first, int end) { rotateRows(in, out, turn, interpolation == 1, first, end); });
    });
}

// Quarter or half turn (angle truncated to -90, 90 or 180) with the turned size. Any
// other angle gives null. The caller frees the result.
HGLOBAL RotateExpand(HGLOBAL image, double angle, int, int, int)
{
    return guarded([&]() -> HGLOBAL {
        if (!(angle > -1000.0 && angle < 1000.0))
            return nullptr;
        const int turn = int(angle);
        if (turn != 90 && turn != -90 && turn != 180)
            return nullptr;
        SourcePage page(image);
        if (!page)
            return nullptr;
        const bool half = turn == 180;
        ResultBlock result = ResultBlock::resized(page, half ? page.width() : page.height(),
                                                  half ? page.height() : page.width());
        if (!result)
            return nullptr;
        const ConstImageView in = WrapDib(page);
        const ImageView out = result.image();
        if (half) {
            forRowBands(out.height, mirrorWork(out), [&](int first, int end) {
                for (int y = first; y < end; ++y)
                    mirrorRow(in.row(in.height - 1 - y), out.row(y), in.width, in.bitCount);
            });
            return result.release();
        }
        const bool right = turn == 90;
        switch (in.bitCount) {
        case 1:
            turnQuarterBits(in, out, right);
            break;
        case 8:
            turnQuarterPixels<1>(in, out, right);
            break;
        case 24:
            turnQuarterPixels<3>(in, out, right);
            break;
        default:
            turnQuarterPixels<4>(in, out, right);
            break;
        }
        return result.release();
    });
}

// Left and right exchanged. The caller frees the result.
HGLOBAL Mirror(HGLOBAL image)
{
    return sameSizeResult(image, [&](SourcePage &page, ResultBlock &result) {
        const ConstImageView in = WrapDib(page);
        const ImageView out = result.image();
        forRowBands(out.height, mirrorWork(out), [&](int first, int end) {
            for (int y = first; y < end; ++y)
                mirrorRow(in.row(y), out.row(y), in.width, in.bitCount);
        });
    });
}

// Top and bottom exchanged. The caller frees the result.
HGLOBAL Flip(HGLOBAL image)
{
    return sameSizeResult(image, [&](SourcePage &page, ResultBlock &result) {
        const ConstImageView in = WrapDib(page);
        const ImageView out = result.image();
        // Plain copies run at memory speed: a second thread only adds page faults
        // competing over the new block, and measured slower.
        for (int y = 0; y < out.height; ++y)
            std::memcpy(out.row(y), in.row(in.height - 1 - y), out.stride);
    });
}

// Every pixel value complemented; the palette stays, so a 1-bit page swaps black and
// white. The caller frees the result.
HGLOBAL Invert(HGLOBAL image)
{
    return sameSizeResult(image, [&](SourcePage &page, ResultBlock &result) {
        const ConstImageView in = WrapDib(page);
        const ImageView out = result.image();
        // Memory-bound like a copy: one thread (see Flip).
        for (int y = 0; y < out.height; ++y)
            invertRow(in.row(y), out.row(y), in.width, in.bitCount);
    });
}

} // extern "C"
