#pragma once
// An A4 page at 300 dpi built in code, for benchmarks that need repository-sized pages.
#include <arkavo/GlobalBlock.h>

#include <cstdint>
#include <cstring>

namespace arkavo::test {

// A packed bottom-up DIB of 2480 × 3508 pixels at 11811 pixels per metre, 1-bit, 8-bit grey
// or 24-bit colour, with lines of text-like ink. The caller owns the block.
inline GlobalBlock MakeA4Page(int bits)
{
    const int width = 2480, height = 3508;
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
        const bool textLine = (y / 40) % 2 == 0;
        for (int x = 0; x < width; ++x) {
            const bool ink = textLine && ((x / 7 + y / 9) % 5 == 0);
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
        }
    }
    return block;
}

} // namespace arkavo::test
