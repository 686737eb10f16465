#pragma once
// Page images built in code for the image-library tests, and a reader that looks at
// result blocks without the library's help. Coordinates are the library's: x from the
// left, y from the bottom row (memory order); displayRow() turns a row counted from
// the top into that.
#include <arkavo/GlobalBlock.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace arkavo::test {

// A pixel value: the bit (1-bit), the grey level (8-bit), 0xRRGGBB (24-bit) or
// 0xAARRGGBB (32-bit, AA the fourth byte).
using PixelFn = std::function<std::uint32_t(int x, int y)>;

struct DibOptions {
    bool lightZero = false;             // 1-bit palette: entry 0 white, entry 1 black
    std::size_t extraBytes = 0;         // block larger than the bitmap it holds
    std::int32_t xPelsPerMeter = 11811; // 300 dpi
    std::int32_t yPelsPerMeter = 11811;
    std::uint32_t clrImportant = 0;
};

inline std::size_t dibStrideOf(int width, int bitCount)
{
    return (std::size_t(width) * std::size_t(bitCount) + 31) / 32 * 4;
}
inline std::uint32_t paletteSizeOf(int bitCount)
{
    return bitCount == 1 ? 2 : bitCount == 8 ? 256 : 0;
}

inline void putU32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}
inline std::uint32_t getU32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// A page block in the library's form: 40-byte header, grey-ramp or black/white palette,
// bottom-up rows padded to 4 bytes; padding bits and bytes are zero.
inline GlobalBlock makeDib(int width, int height, int bitCount, const PixelFn &pixel,
                           const DibOptions &opt = {})
{
    const std::uint32_t clrUsed = paletteSizeOf(bitCount);
    const std::size_t stride = dibStrideOf(width, bitCount);
    const std::size_t offset = 40 + 4 * std::size_t(clrUsed);
    GlobalBlock block = GlobalBlock::allocate(offset + stride * std::size_t(height) + opt.extraBytes);
    GlobalLockGuard lock(block.get());
    std::uint8_t *p = lock.data();
    putU32(p, 40);
    putU32(p + 4, std::uint32_t(width));
    putU32(p + 8, std::uint32_t(height));
    p[12] = 1;
    p[14] = std::uint8_t(bitCount);
    putU32(p + 20, std::uint32_t(stride * std::size_t(height)));
    putU32(p + 24, std::uint32_t(opt.xPelsPerMeter));
    putU32(p + 28, std::uint32_t(opt.yPelsPerMeter));
    putU32(p + 32, clrUsed);
    putU32(p + 36, opt.clrImportant);
    for (std::uint32_t i = 0; i < clrUsed; ++i) {
        std::uint8_t v = std::uint8_t(i);
        if (bitCount == 1)
            v = (i == 0) == opt.lightZero ? 255 : 0;
        std::memset(p + 40 + 4 * i, v, 3);
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t *row = p + offset + std::size_t(y) * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = pixel(x, y);
            switch (bitCount) {
            case 1:
                if (v & 1)
                    row[x >> 3] |= std::uint8_t(0x80u >> (x & 7));
                break;
            case 8:
                row[x] = std::uint8_t(v);
                break;
            default:
                for (int c = 0; c < bitCount / 8; ++c)
                    row[std::size_t(x) * (bitCount / 8) + c] = std::uint8_t(v >> (8 * c));
                break;
            }
        }
    }
    return block;
}

// A page of one value everywhere.
inline GlobalBlock makeUniformDib(int width, int height, int bitCount, std::uint32_t value,
                                  const DibOptions &opt = {})
{
    return makeDib(
        width, height, bitCount, [value](int, int) { return value; }, opt);
}

// A deterministic pattern that differs from pixel to pixel (and from its mirror images).
inline std::uint32_t noisePixel(int x, int y, int bitCount)
{
    std::uint32_t h = std::uint32_t(x) * 73856093u ^ std::uint32_t(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    if (bitCount == 1)
        return h & 1;
    if (bitCount == 8)
        return h & 0xFF;
    return bitCount == 24 ? h & 0xFFFFFF : h;
}
inline GlobalBlock makeNoiseDib(int width, int height, int bitCount, const DibOptions &opt = {})
{
    return makeDib(
        width, height, bitCount, [bitCount](int x, int y) { return noisePixel(x, y, bitCount); }, opt);
}

// A copy of a block's bytes, for comparing a page before and after a call.
inline std::vector<std::uint8_t> blockBytes(HGLOBAL h)
{
    GlobalLockGuard lock(h);
    if (!lock)
        return {};
    return {lock.data(), lock.data() + GlobalSize(h)};
}

// Reads a page block the way the library's callers see it.
class DibReader {
public:
    explicit DibReader(HGLOBAL h) : m_bytes(blockBytes(h)) {}

    bool valid() const { return m_bytes.size() >= 40; }
    std::size_t blockSize() const { return m_bytes.size(); }
    int width() const { return int(getU32(&m_bytes[4])); }
    int height() const { return int(getU32(&m_bytes[8])); }
    int bitCount() const { return m_bytes[14]; }
    std::uint32_t sizeImage() const { return getU32(&m_bytes[20]); }
    std::int32_t xPelsPerMeter() const { return std::int32_t(getU32(&m_bytes[24])); }
    std::int32_t yPelsPerMeter() const { return std::int32_t(getU32(&m_bytes[28])); }
    std::uint32_t clrUsed() const { return getU32(&m_bytes[32]); }
    std::uint32_t clrImportant() const { return getU32(&m_bytes[36]); }
    std::size_t stride() const { return dibStrideOf(width(), bitCount()); }
    std::size_t pixelOffset() const { return 40 + 4 * std::size_t(clrUsed()); }
    std::size_t dibSize() const { return pixelOffset() + stride() * std::size_t(height()); }
    const std::uint8_t *header() const { return m_bytes.data(); }
    const std::uint8_t *row(int y) const { return &m_bytes[pixelOffset() + std::size_t(y) * stride()]; }
    // Row y counted from the top as displayed.
    int displayRow(int yFromTop) const { return height() - 1 - yFromTop; }

    // The value as makeDib takes it; the fourth byte of 32-bit pixels is left out unless asked.
    std::uint32_t pixel(int x, int y, bool withFourthByte = false) const
    {
        const std::uint8_t *r = row(y);
        switch (bitCount()) {
        case 1:
            return (r[x >> 3] >> (7 - (x & 7))) & 1u;
        case 8:
            return r[x];
        default: {
            const int n = bitCount() == 32 && withFourthByte ? 4 : 3;
            std::uint32_t v = 0;
            for (int c = 0; c < n; ++c)
                v |= std::uint32_t(r[std::size_t(x) * (bitCount() / 8) + c]) << (8 * c);
            return v;
        }
        }
    }
    // True when every byte after the bitmap is zero.
    bool excessIsZero() const
    {
        for (std::size_t i = dibSize(); i < m_bytes.size(); ++i)
            if (m_bytes[i] != 0)
                return false;
        return true;
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

// Same width, height and depth, and every pixel equal (padding and the fourth byte of
// 32-bit pixels not compared unless asked).
inline bool samePixels(const DibReader &a, const DibReader &b, bool withFourthByte = false)
{
    if (a.width() != b.width() || a.height() != b.height() || a.bitCount() != b.bitCount())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y, withFourthByte) != b.pixel(x, y, withFourthByte))
                return false;
    return true;
}

} // namespace arkavo::test
