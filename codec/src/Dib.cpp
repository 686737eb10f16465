#include "Dib.h"

#include <cmath>
#include <cstring>

namespace arkavo::codec {

namespace {

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
    // The savers take top-down pages too, and never look at biSize.
    const auto info = describeDib(data, size, {.anyHeaderSize = true, .topDown = true});
    if (!info || info->imageBytes() > kMaxPixelBytes)
        return false;
    v.width = info->width;
    v.height = info->height;
    v.topDown = info->topDown;
    v.bits = info->bitCount;
    v.stride = std::uint32_t(info->stride);
    v.palette = info->palette(data);
    v.paletteCount = info->clrUsed;
    v.pixels = info->bits(data);
    v.xdpi = pelsPerMeterToDpi(info->xPelsPerMeter);
    v.ydpi = pelsPerMeterToDpi(info->yPelsPerMeter);
    classifyPalette(v);
    return true;
}

NewDib makeDib(int width, int height, int bits, int xdpi, int ydpi, std::uint64_t maxPixelBytes)
{
    NewDib d;
    if (width <= 0 || height <= 0)
        return d;
    const std::uint32_t colours = bits == 1 ? 2 : bits == 8 ? 256 : 0;
    const DibHeader header{.width = width,
                           .height = height,
                           .bitCount = bits,
                           .clrUsed = colours,
                           .xPelsPerMeter = dpiToPelsPerMeter(xdpi),
                           .yPelsPerMeter = dpiToPelsPerMeter(ydpi)};
    if (header.imageBytes() > maxPixelBytes)
        return d;
    d.block = GlobalBlock::allocate(std::size_t(header.blockSize()));
    if (!d.block)
        return d;
    // Blocks never move, so the address stays valid after unlocking.
    std::uint8_t *p = static_cast<std::uint8_t *>(GlobalLock(d.block.get()));
    GlobalUnlock(d.block.get());
    writeDibHeader(p, header);
    for (std::uint32_t i = 0; i < colours; ++i) {
        const std::uint8_t level = bits == 1 ? std::uint8_t(i * 255) : std::uint8_t(i);
        std::memset(p + DibHeaderSize + 4 * i, level, 3);
    }
    d.pixels = p + header.bitsOffset();
    d.stride = std::uint32_t(header.stride());
    d.height = height;
    return d;
}

} // namespace arkavo::codec
