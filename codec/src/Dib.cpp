#include "Dib.h"

#include <cmath>
#include <cstring>

namespace arkavo::codec {

namespace {

std::uint32_t le32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void put32(std::uint8_t *p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

int luminance(const std::uint8_t *bgr)
{
    return (bgr[2] * 299 + bgr[1] * 587 + bgr[0] * 114 + 500) / 1000;
}

void classifyPalette(DibView &v)
{
    if (v.bits == 1) {
        v.kind = PageKind::Bilevel;
        // A bilevel page is light-zero when entry 0 is light; without a palette it is
        // the usual black/white pair.
        v.blackIsOne = v.paletteCount >= 1 && v.palette[0] > 128;
        return;
    }
    if (v.bits != 8) {
        v.kind = PageKind::Colour;
        return;
    }
    bool allGrey = true;
    bool identity = true;
    for (int i = 0; i < 256; ++i) {
        std::uint8_t b = std::uint8_t(i), g = b, r = b;
        if (std::uint32_t(i) < v.paletteCount) {
            const std::uint8_t *e = v.palette + 4 * i;
            b = e[0], g = e[1], r = e[2];
        }
        v.rgb[i][0] = r, v.rgb[i][1] = g, v.rgb[i][2] = b;
        if (r != g || g != b)
            allGrey = false;
        if (r != i || g != i || b != i)
            identity = false;
        std::uint8_t bgr[3] = {b, g, r};
        v.grey[i] = std::uint8_t(luminance(bgr));
    }
    v.kind = allGrey ? PageKind::Grey : PageKind::Indexed;
    v.identityGrey = identity;
}

} // namespace

std::int32_t dpiToPelsPerMeter(int dpi)
{
    return std::int32_t(std::lround(dpi * 10000.0 / 254.0));
}

int pelsPerMeterToDpi(std::int32_t ppm)
{
    if (ppm <= 0)
        return 0;
    double dpi = std::round(ppm * 0.0254);
    return dpi >= 1 && dpi <= 100000 ? int(dpi) : 0;
}

bool viewDib(const std::uint8_t *data, std::size_t size, DibView &v)
{
    if (!data || size < 40)
        return false;
    const std::int32_t width = std::int32_t(le32(data + 4));
    const std::int32_t height = std::int32_t(le32(data + 8));
    const int bits = data[14] | data[15] << 8;
    const std::uint32_t compression = le32(data + 16);
    const std::uint32_t clrUsed = le32(data + 32);
    if (width <= 0 || height == 0 || height == INT32_MIN || compression != 0)
        return false;
    if (bits != 1 && bits != 8 && bits != 24 && bits != 32)
        return false;
    if (clrUsed > (bits <= 8 ? (1u << bits) : 256u))
        return false;
    v.width = width;
    v.height = height < 0 ? -height : height;
    v.topDown = height < 0;
    v.bits = bits;
    v.stride = dibStride(std::uint32_t(width), bits);
    const std::uint64_t pixelBytes = std::uint64_t(v.stride) * std::uint64_t(v.height);
    const std::uint64_t offset = 40 + 4 * std::uint64_t(clrUsed);
    if (pixelBytes > kMaxPixelBytes || offset + pixelBytes > size)
        return false;
    v.palette = data + 40;
    v.paletteCount = clrUsed;
    v.pixels = data + offset;
    v.xdpi = pelsPerMeterToDpi(std::int32_t(le32(data + 24)));
    v.ydpi = pelsPerMeterToDpi(std::int32_t(le32(data + 28)));
    classifyPalette(v);
    return true;
}

NewDib makeDib(int width, int height, int bits, int xdpi, int ydpi, std::uint64_t maxPixelBytes)
{
    NewDib d;
    if (width <= 0 || height <= 0)
        return d;
    const std::uint32_t stride = dibStride(std::uint32_t(width), bits);
    const std::uint64_t pixelBytes = std::uint64_t(stride) * std::uint64_t(height);
    if (pixelBytes > maxPixelBytes)
        return d;
    const std::uint32_t colours = bits == 1 ? 2 : bits == 8 ? 256 : 0;
    d.block = GlobalBlock::allocate(std::size_t(40 + 4 * colours + pixelBytes));
    if (!d.block)
        return d;
    // Blocks never move, so the address stays valid after unlocking.
    std::uint8_t *p = static_cast<std::uint8_t *>(GlobalLock(d.block.get()));
    GlobalUnlock(d.block.get());
    put32(p, 40);
    put32(p + 4, std::uint32_t(width));
    put32(p + 8, std::uint32_t(height));
    p[12] = 1;
    p[14] = std::uint8_t(bits);
    put32(p + 20, std::uint32_t(pixelBytes));
    put32(p + 24, std::uint32_t(dpiToPelsPerMeter(xdpi)));
    put32(p + 28, std::uint32_t(dpiToPelsPerMeter(ydpi)));
    put32(p + 32, colours);
    for (std::uint32_t i = 0; i < colours; ++i) {
        const std::uint8_t level = bits == 1 ? std::uint8_t(i * 255) : std::uint8_t(i);
        std::memset(p + 40 + 4 * i, level, 3);
    }
    d.pixels = p + 40 + 4 * colours;
    d.stride = stride;
    d.height = height;
    return d;
}

} // namespace arkavo::codec
