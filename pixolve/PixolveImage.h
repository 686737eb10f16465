#pragma once
// What every Pixolve operation shares: reading a page block safely, views over its
// rows, owned working images, the grey copy, and the two forms of result block.
#include "pixolve.h"

#include <arkavo/Dib.h>
#include <arkavo/GlobalBlock.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <type_traits>
#include <vector>

// Byte loops that plain SSE2 cannot vectorise well also get an AVX2 build, chosen when
// the library is loaded; the loops themselves stay plain C++.
#if defined(__x86_64__) && defined(__GNUC__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define PIXOLVE_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef PIXOLVE_VECTOR_CLONES
#define PIXOLVE_VECTOR_CLONES
#endif

namespace arkavo::pixolve {

// Between native and big-endian order (its own inverse): 1-bit rows read as 64-bit
// words keep their leftmost pixel in the top bit.
inline std::uint64_t bigEndian64(std::uint64_t v)
{
    if constexpr (std::endian::native == std::endian::little)
        return __builtin_bswap64(v);
    return v;
}

// Up to eight bytes as one word and back; whole words take the fixed-size path, which
// compiles to a single load or store.
inline std::uint64_t loadWord(const std::uint8_t *p, std::size_t available)
{
    std::uint64_t v = 0;
    if (available >= 8)
        std::memcpy(&v, p, 8);
    else
        std::memcpy(&v, p, available);
    return v;
}
inline void storeWord(std::uint8_t *p, std::uint64_t v, std::size_t room)
{
    if (room >= 8)
        std::memcpy(p, &v, 8);
    else
        std::memcpy(p, &v, room);
}

// Bits of a 1-bit row: the leftmost pixel is the most significant bit of byte 0.
inline int getBit(const std::uint8_t *row, int x)
{
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}
inline void setBit(std::uint8_t *row, int x, int value)
{
    const std::uint8_t mask = std::uint8_t(0x80u >> (x & 7));
    if (value)
        row[x >> 3] |= mask;
    else
        row[x >> 3] &= std::uint8_t(~mask);
}

// Rows over some pixel memory, in memory order: row 0 is the bottom row as displayed.
template <typename Byte> struct BasicImageView {
    Byte *bits = nullptr;
    int width = 0;
    int height = 0;
    int bitCount = 0;
    std::size_t stride = 0;

    Byte *row(int y) const { return bits + std::size_t(y) * stride; }
    std::size_t bytes() const { return stride * std::size_t(height); }
    int bytesPerPixel() const { return bitCount / 8; }
    bool empty() const { return width <= 0 || height <= 0; }

    operator BasicImageView<const std::uint8_t>() const requires(!std::is_const_v<Byte>)
    {
        return {bits, width, height, bitCount, stride};
    }
};
using ImageView = BasicImageView<std::uint8_t>;
using ConstImageView = BasicImageView<const std::uint8_t>;

// A working image with its own pixels, rows padded to 4 bytes like a page.
// Allocation failure throws std::bad_alloc; the exports turn that into null.
class WorkImage {
public:
    WorkImage() = default;
    WorkImage(int width, int height, int bitCount, std::uint8_t fill = 0);

    ImageView view() { return {m_bits.data(), m_width, m_height, m_bitCount, m_stride}; }
    ConstImageView view() const { return {m_bits.data(), m_width, m_height, m_bitCount, m_stride}; }
    bool empty() const { return m_bits.empty(); }

private:
    std::vector<std::uint8_t> m_bits;
    int m_width = 0;
    int m_height = 0;
    int m_bitCount = 0;
    std::size_t m_stride = 0;
};

// An input page block, locked for the object's lifetime and checked before any pixel
// is read: positive width and height, depth 1, 8, 24 or 32, uncompressed, a palette of
// at most 256 entries (at least one on 1-bit pages, whose polarity lives in entry 0), and
// header, palette and rows all inside the block. Anything else leaves it invalid.
class SourcePage {
public:
    explicit SourcePage(HGLOBAL block);
    SourcePage(const SourcePage &) = delete;
    SourcePage &operator=(const SourcePage &) = delete;

    bool valid() const { return m_valid; }
    explicit operator bool() const { return m_valid; }

    const std::uint8_t *block() const { return m_lock.data(); }
    std::size_t blockSize() const { return m_blockSize; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int bitCount() const { return m_bitCount; }
    std::uint32_t clrUsed() const { return m_clrUsed; }
    // Header and palette: where the rows start.
    std::size_t headerBytes() const { return DibHeaderSize + 4 * std::size_t(m_clrUsed); }
    std::size_t stride() const { return dibStride(m_width, m_bitCount); }
    // 1-bit pages: bit 0 is white when palette entry 0 is light (its blue byte above 128).
    bool lightZero() const { return m_bitCount == 1 && m_lock.data()[DibHeaderSize] > 128; }

private:
    GlobalLockGuard m_lock;
    std::size_t m_blockSize = 0;
    bool m_valid = false;
    int m_width = 0;
    int m_height = 0;
    int m_bitCount = 0;
    std::uint32_t m_clrUsed = 0;
};

// The pixels of a valid page, in place (no copy).
ConstImageView WrapDib(const SourcePage &page);

// A rectangle in library coordinates: x from the left, y from the bottom row.
struct Region {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Callers count rows from the top, the library from the bottom; top' = H - bottom and
// bottom' = H - top. The turn is its own inverse, so it serves both directions.
RECT flipRows(const RECT &rect, int height);

// 8-bit grey copy of a region (clipped to the image; empty when nothing is left):
// 1-bit pixels become 0 (black) or 255 (white) by the page's polarity, 8-bit values are
// copied, colour pixels become their luminance.
WorkImage GrayCopy(ConstImageView src, bool lightZero, Region region);
WorkImage GrayCopy(const SourcePage &page, Region region);
WorkImage GrayCopy(const SourcePage &page);

// Grey level of a blue, green, red pixel: ITU-R BT.601 weights in 8-bit fixed point.
inline std::uint8_t luminance(const std::uint8_t *bgr)
{
    return std::uint8_t((29u * bgr[0] + 150u * bgr[1] + 77u * bgr[2] + 128u) >> 8);
}

// A new zero-filled result block, locked until release(). Header and the palette come
// from the input page; the caller fills the pixels through image().
class ResultBlock {
public:
    // Same-size operations: exactly as large as the input block, header and palette copied.
    static ResultBlock sameSize(const SourcePage &page);
    // Size-changing operations: header + palette + stride x height bytes, with width,
    // height and image size set to the new values; depth and palette as the input's.
    static ResultBlock resized(const SourcePage &page, int width, int height);
    // Like resized(), with another depth and palette length. Palette entries the input
    // has are copied as far as they go, the others are left zero for the caller.
    static ResultBlock withFormat(const SourcePage &page, int width, int height, int bitCount,
                                  std::uint32_t clrUsed);

    ResultBlock() = default;
    ResultBlock(ResultBlock &&other) noexcept;
    ResultBlock &operator=(ResultBlock &&other) noexcept;
    ~ResultBlock();

    explicit operator bool() const { return m_data != nullptr; }
    // Whole block from the header on, for operations that rewrite the palette.
    std::uint8_t *block() { return m_data; }
    ImageView image() { return {m_data + m_pixelOffset, m_width, m_height, m_bitCount, m_stride}; }
    // Unlocks the block and hands it over; the caller frees it with GlobalFree.
    HGLOBAL release();

private:
    void unlock();

    GlobalBlock m_block;
    std::uint8_t *m_data = nullptr;
    std::size_t m_pixelOffset = 0;
    int m_width = 0;
    int m_height = 0;
    int m_bitCount = 0;
    std::size_t m_stride = 0;
};

// Calls fn(firstRow, endRow) over bands covering [0, rows). Large jobs are split over the
// machine's cores; fn must then only write rows of its own band. An exception from any
// band is rethrown here after all bands have finished.
void forRowBands(int rows, std::size_t bytesPerRow, const std::function<void(int, int)> &fn);

// Runs an export's body, turning any exception (allocation failure) into a null result.
template <typename F> HGLOBAL guarded(F &&body) noexcept
{
    try {
        return body();
    } catch (...) {
        return nullptr;
    }
}

// The shape of an operation whose result has the page's size: reads the page, makes the
// result block and lets body(page, result) fill it. Null when the page is not a valid image
// or memory runs out, otherwise the filled result, which the caller frees.
template <typename F> HGLOBAL sameSizeResult(HGLOBAL image, F &&body) noexcept
{
    return guarded([&]() -> HGLOBAL {
        SourcePage page(image);
        if (!page)
            return nullptr;
        ResultBlock result = ResultBlock::sameSize(page);
        if (!result)
            return nullptr;
        body(page, result);
        return result.release();
    });
}

} // namespace arkavo::pixolve
