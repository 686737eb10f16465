#pragma once
// Page images with a pattern, built in code: any size, and the A4 page at 300 dpi that
// benchmarks use for repository-sized work.
#include <arkavo/GlobalBlock.h>

#include <cstdint>
#include <cstring>

namespace arkavo::test {

// A packed bottom-up DIB at 11811 pixels per metre (300 dpi), 1-bit, 8-bit grey or 24-bit
// colour; the first two get a grey palette. Pixel(row, x, y) sets pixel x of the zeroed row
// y. The caller owns the block.
template <typename PixelFn> GlobalBlock MakePatternPage(int width, int height, int bits, PixelFn pixel)
{
    const int colours = bits == 1 ? 2 : bits == 8 ? 256 : 0;
    const int stride = (width * bits + 31) / 32 * 4;
    GlobalBlock block = GlobalBlock::allocate(40 + colours * 4 + size_t(stride) * height);
    GlobalLockGuard lock(block.get());
    uint8_t *p = lock.data();
    const int32_t header[] = {40, width, height};
    std::memcpy(p, header, sizeof header);
    const uint16_t planes[] = {1, uint16_t(bits)};
    std::memcpy(p + 12, planes, sizeof planes);
    const int32_t rest[] = {0, stride * height, 11811, 11811, colours, 0};
    std::memcpy(p + 16, rest, sizeof rest);
    for (int i = 0; i < colours; ++i) {
        const uint8_t v = colours == 2 ? uint8_t(i * 255) : uint8_t(i);
        p[40 + 4 * i] = p[41 + 4 * i] = p[42 + 4 * i] = v;
    }
    uint8_t *pixels = p + 40 + colours * 4;
    for (int y = 0; y < height; ++y) {
        uint8_t *row = pixels + size_t(y) * stride;
        for (int x = 0; x < width; ++x)
            pixel(row, x, y);
    }
    return block;
}

// An A4 page, 2480 × 3508 pixels, with lines of text-like ink.
inline GlobalBlock MakeA4Page(int bits)
{
    return MakePatternPage(2480, 3508, bits, [bits](uint8_t *row, int x, int y) {
        const bool ink = (y / 40) % 2 == 0 && (x / 7 + y / 9) % 5 == 0;
        if (bits == 1) {
            if (!ink)
                row[x / 8] |= uint8_t(0x80 >> (x % 8));
        } else if (bits == 8) {
            row[x] = ink ? 30 : uint8_t(235 + (x + y) % 16);
        } else {
            row[3 * x] = uint8_t(x / 10);
            row[3 * x + 1] = uint8_t(y / 14);
            row[3 * x + 2] = ink ? 20 : 220;
        }
    });
}

} // namespace arkavo::test
