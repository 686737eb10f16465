#pragma once
// The packed DIB every page image block holds: a 40-byte header, biClrUsed palette
// entries of four bytes, then the rows, each padded to 4 bytes. One reader and one
// writer of that header for every library; fields are little-endian whatever the host.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace arkavo {

inline constexpr std::size_t DibHeaderSize = 40;

// Byte offsets of the header fields.
namespace dib {
inline constexpr std::size_t Size = 0;
inline constexpr std::size_t Width = 4;
inline constexpr std::size_t Height = 8;
inline constexpr std::size_t Planes = 12;
inline constexpr std::size_t BitCount = 14;
inline constexpr std::size_t Compression = 16;
inline constexpr std::size_t SizeImage = 20;
inline constexpr std::size_t XPelsPerMeter = 24;
inline constexpr std::size_t YPelsPerMeter = 28;
inline constexpr std::size_t ClrUsed = 32;
inline constexpr std::size_t ClrImportant = 36;

inline constexpr std::uint32_t BiRgb = 0;
inline constexpr std::uint32_t BiBitfields = 3;
} // namespace dib

inline std::uint16_t readLe16(const std::uint8_t *p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}
inline std::uint32_t readLe32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
inline void writeLe16(std::uint8_t *p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
inline void writeLe32(std::uint8_t *p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

// Bytes per stored row: the row's bits rounded up to a multiple of 32.
inline constexpr std::size_t dibStride(std::int64_t width, int bitCount)
{
    return std::size_t((std::uint64_t(width) * std::uint64_t(bitCount) + 31) / 32 * 4);
}

// Colours a palette of clrUsed entries stands for: in a bitmap file 0 means all the
// depth can index. Page blocks count biClrUsed as the entries stored.
inline constexpr std::uint32_t dibColours(int bitCount, std::uint32_t clrUsed)
{
    return clrUsed == 0 && bitCount <= 8 ? std::uint32_t(1) << bitCount : clrUsed;
}

// Set of depths a reader accepts: bit n stands for n bits per pixel.
inline constexpr std::uint64_t dibDepth(int bits)
{
    return std::uint64_t(1) << bits;
}

// What a reader takes beyond the rules every reader shares.
struct DibRules {
    std::uint64_t depths = dibDepth(1) | dibDepth(8) | dibDepth(24) | dibDepth(32);
    bool anyHeaderSize = false; // biSize not consulted: the header is taken as 40 bytes
    bool topDown = false;       // a negative biHeight means rows stored top-down
    bool bitfields = false;     // BI_BITFIELDS passes as uncompressed
};

// The layout of a block that describeDib() accepted.
struct DibInfo {
    int width = 0;
    int height = 0; // rows, always positive; topDown tells their order
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t clrUsed = 0;  // palette entries stored after the header
    std::size_t stride = 0;     // bytes per row, a multiple of 4
    std::size_t bitsOffset = 0; // where the rows start: header and palette
    std::size_t size = 0;       // bytes of header, palette and rows
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;

    std::size_t imageBytes() const { return stride * std::size_t(height); }
    template <typename Byte> Byte *palette(Byte *block) const { return block + DibHeaderSize; }
    template <typename Byte> Byte *bits(Byte *block) const { return block + bitsOffset; }
    // Row i in storage order: the bottom row first unless the rows are top-down.
    template <typename Byte> Byte *row(Byte *block, int i) const
    {
        return block + bitsOffset + std::size_t(i) * stride;
    }
};

// The layout of the DIB in a block of size bytes; nothing when a reader must not touch
// it: a header other than 40 bytes, no width or height (or a negative one the rules do
// not take), a depth outside the rules, compressed pixels, more palette entries than
// the depth can index (256 for deeper pages), or header, palette and rows not all
// inside the block.
inline std::optional<DibInfo> describeDib(const std::uint8_t *data, std::size_t size,
                                          const DibRules &rules = {})
{
    if (!data || size < DibHeaderSize)
        return std::nullopt;
    if (!rules.anyHeaderSize && readLe32(data + dib::Size) != DibHeaderSize)
        return std::nullopt;
    const auto width = std::int32_t(readLe32(data + dib::Width));
    const auto height = std::int32_t(readLe32(data + dib::Height));
    const int bitCount = readLe16(data + dib::BitCount);
    const std::uint32_t compression = readLe32(data + dib::Compression);
    const std::uint32_t clrUsed = readLe32(data + dib::ClrUsed);
    if (width <= 0 || height == 0 || height == INT32_MIN || (height < 0 && !rules.topDown))
        return std::nullopt;
    if (bitCount > 32 || !(rules.depths & dibDepth(bitCount)))
        return std::nullopt;
    if (compression != dib::BiRgb && !(rules.bitfields && compression == dib::BiBitfields))
        return std::nullopt;
    if (clrUsed > (bitCount <= 8 ? std::uint32_t(1) << bitCount : 256u))
        return std::nullopt;
    DibInfo info;
    info.width = width;
    info.height = height < 0 ? -height : height;
    info.topDown = height < 0;
    info.bitCount = bitCount;
    info.clrUsed = clrUsed;
    info.stride = dibStride(width, bitCount);
    info.bitsOffset = DibHeaderSize + 4 * std::size_t(clrUsed);
    // Width and height below 2^31 and depth at most 32 keep this inside 64 bits.
    const std::uint64_t total = info.bitsOffset + std::uint64_t(info.stride) * std::uint64_t(info.height);
    if (total > size)
        return std::nullopt;
    info.size = std::size_t(total);
    info.xPelsPerMeter = std::int32_t(readLe32(data + dib::XPelsPerMeter));
    info.yPelsPerMeter = std::int32_t(readLe32(data + dib::YPelsPerMeter));
    return info;
}

// Fields of a fresh header; the others are fixed: biSize 40, one plane, uncompressed.
struct DibHeader {
    int width = 0;
    int height = 0; // positive: rows bottom-up
    int bitCount = 0;
    std::uint32_t clrUsed = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrImportant = 0;

    std::size_t stride() const { return dibStride(width, bitCount); }
    std::uint64_t imageBytes() const { return std::uint64_t(stride()) * std::uint64_t(height); }
    std::size_t bitsOffset() const { return DibHeaderSize + 4 * std::size_t(clrUsed); }
    // Header, palette and rows.
    std::uint64_t blockSize() const { return bitsOffset() + imageBytes(); }
};

// Writes all 40 header bytes at p; biSizeImage is the rows' bytes.
inline void writeDibHeader(std::uint8_t *p, const DibHeader &h)
{
    writeLe32(p + dib::Size, DibHeaderSize);
    writeLe32(p + dib::Width, std::uint32_t(h.width));
    writeLe32(p + dib::Height, std::uint32_t(h.height));
    writeLe16(p + dib::Planes, 1);
    writeLe16(p + dib::BitCount, std::uint16_t(h.bitCount));
    writeLe32(p + dib::Compression, dib::BiRgb);
    writeLe32(p + dib::SizeImage, std::uint32_t(h.imageBytes()));
    writeLe32(p + dib::XPelsPerMeter, std::uint32_t(h.xPelsPerMeter));
    writeLe32(p + dib::YPelsPerMeter, std::uint32_t(h.yPelsPerMeter));
    writeLe32(p + dib::ClrUsed, h.clrUsed);
    writeLe32(p + dib::ClrImportant, h.clrImportant);
}

} // namespace arkavo
