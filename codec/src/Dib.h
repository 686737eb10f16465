#pragma once
// Packed DIBs as the codec reads and writes them: a view over a caller's block and a
// builder for the normalised pages the decoders hand out.
#include <arkavo/Dib.h>
#include <arkavo/GlobalBlock.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace arkavo::codec {

// Decoders refuse pages whose pixels would need more than this.
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t(1) << 30;

std::int32_t dpiToPelsPerMeter(int dpi);
int pelsPerMeterToDpi(std::int32_t ppm);

// What a caller's page holds, once its palette is understood.
enum class PageKind {
    Bilevel, // 1 bit
    Grey,    // 8 bits, grey palette
    Indexed, // 8 bits, colour palette
    Colour,  // 24 or 32 bits
};

// A read-only view over a locked DIB block, checked against the block's size.
struct DibView {
    int width = 0;
    int height = 0; // always positive; topDown tells the row order
    bool topDown = false;
    int bits = 0;
    std::uint32_t stride = 0;
    const std::uint8_t *palette = nullptr; // BGRX entries
    std::uint32_t paletteCount = 0;
    const std::uint8_t *pixels = nullptr;
    int xdpi = 0; // from the header; 0 when absent
    int ydpi = 0;

    PageKind kind = PageKind::Colour;
    bool blackIsOne = false;       // bilevel: bit value 1 is black
    bool identityGrey = false;     // grey: pixel values are grey levels as they stand
    std::uint8_t grey[256] = {};   // grey: level of each index
    std::uint8_t rgb[256][3] = {}; // indexed: R, G, B of each index

    // Row y counted from the top of the picture.
    const std::uint8_t *row(int y) const
    {
        return pixels + std::size_t(topDown ? y : height - 1 - y) * stride;
    }
};

// Fills `view` from a block of `size` bytes. False when the header is unusable or
// the block is too small for what the header claims.
bool viewDib(const std::uint8_t *data, std::size_t size, DibView &view);

// A new page in normalised form (bilevel palette black/white, grey ramp), zero-filled.
// Empty when the size is absurd or memory runs out.
struct NewDib {
    GlobalBlock block;
    std::uint8_t *pixels = nullptr; // bottom row first, as stored
    std::uint32_t stride = 0;
    int height = 0;

    std::uint8_t *row(int y) const { return pixels + std::size_t(height - 1 - y) * stride; }
};
NewDib makeDib(int width, int height, int bits, int xdpi, int ydpi, std::uint64_t maxPixelBytes);

// dst = ~src, eight bytes at a time (bilevel rows change polarity on the way in and out).
inline void copyInverted(std::uint8_t *dst, const std::uint8_t *src, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, src + i, 8);
        word = ~word;
        std::memcpy(dst + i, &word, 8);
    }
    for (; i < n; ++i)
        dst[i] = std::uint8_t(~src[i]);
}

// Masks the bits past the page's right edge in the last byte of a bilevel row.
inline void clearTailBits(std::uint8_t *row, int width)
{
    if (width % 8)
        row[width / 8] &= std::uint8_t(0xFF00 >> (width % 8));
}

} // namespace arkavo::codec
