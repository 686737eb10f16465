#pragma once
// An 8-bit grey page image built in code, for tests that write page files.
#include <arkavo/GlobalBlock.h>

#include <cstdint>
#include <cstring>

namespace arkavo::test {

// A packed bottom-up DIB of Width × Height grey pixels with a 256-entry grey ramp,
// filled with Fill(i) for the i-th pixel byte. The caller owns the block.
template <typename FillFn> GlobalBlock MakeGrayPage(int width, int height, FillFn fill)
{
    const int stride = (width + 3) & ~3;
    GlobalBlock block = GlobalBlock::allocate(40 + 1024 + std::size_t(stride) * height);
    GlobalLockGuard lock(block.get());
    uint8_t *p = lock.data();
    const int32_t header[] = {40, width, height};
    std::memcpy(p, header, sizeof header);
    const uint16_t planes = 1, bits = 8;
    std::memcpy(p + 12, &planes, 2);
    std::memcpy(p + 14, &bits, 2);
    const uint32_t used = 256;
    std::memcpy(p + 32, &used, 4);
    for (int i = 0; i < 256; ++i)
        p[40 + 4 * i] = p[41 + 4 * i] = p[42 + 4 * i] = uint8_t(i);
    for (int i = 0; i < stride * height; ++i)
        p[1064 + i] = fill(i);
    return block;
}

} // namespace arkavo::test
