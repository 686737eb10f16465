// Windows bitmap files: the codec's own reader and writer.
#include "Codecs.h"
#include "Files.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace arkavo::codec {

namespace {

int luminance(int r, int g, int b)
{
    return (r * 299 + g * 587 + b * 114 + 500) / 1000;
}

} // namespace

int decodeBmp(const std::uint8_t *data, std::size_t size, DecodedPage &out, std::uint64_t maxPixelBytes)
{
    if (!data || size < 26 || data[0] != 'B' || data[1] != 'M')
        return 0;
    const std::uint32_t pixelOffset = readLe32(data + 10);
    const std::uint32_t headerSize = readLe32(data + 14);
    std::int64_t width = 0, height = 0;
    int bits = 0;
    std::uint32_t compression = dib::BiRgb, colours = 0;
    std::int32_t xppm = 0, yppm = 0;
    std::size_t paletteOffset = 14 + std::size_t(headerSize);
    int entrySize = 4;
    if (headerSize == 12) { // OS/2 core header
        width = readLe16(data + 18);
        height = readLe16(data + 20);
        bits = readLe16(data + 24);
        entrySize = 3;
    } else if (headerSize >= 40 && headerSize <= 124 && size >= 14 + std::size_t(headerSize)) {
        width = std::int32_t(readLe32(data + 18));
        height = std::int32_t(readLe32(data + 22));
        bits = readLe16(data + 28);
        compression = readLe32(data + 30);
        xppm = std::int32_t(readLe32(data + 38));
        yppm = std::int32_t(readLe32(data + 42));
        colours = readLe32(data + 46);
    } else {
        return 0;
    }
    const bool topDown = height < 0;
    height = topDown ? -height : height;
    if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return 0;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return 0;

    if (compression == dib::BiBitfields) {
        // Only the usual blue-green-red layout of 32-bit pixels.
        if (bits != 32)
            return 0;
        std::size_t masks = 14 + 40;
        if (headerSize == 40)
            paletteOffset += 12;
        if (size < masks + 12 || readLe32(data + masks) != 0x00FF0000 ||
            readLe32(data + masks + 4) != 0x0000FF00 || readLe32(data + masks + 8) != 0x000000FF)
            return 0;
    } else if (compression != dib::BiRgb) {
        return 0;
    }

    // Palette: biClrUsed 0 means the full palette for the depth.
    std::uint8_t rgb[256][3] = {};
    bool allGrey = true;
    if (bits <= 8) {
        const std::uint32_t maxColours = 1u << bits;
        colours = dibColours(bits, colours);
        if (colours > maxColours)
            return 0;
        if (paletteOffset + std::size_t(colours) * entrySize > size)
            return 0;
        for (std::uint32_t i = 0; i < colours; ++i) {
            const std::uint8_t *e = data + paletteOffset + std::size_t(i) * entrySize;
            rgb[i][0] = e[2], rgb[i][1] = e[1], rgb[i][2] = e[0];
            allGrey = allGrey && e[0] == e[1] && e[1] == e[2];
        }
    }

    const std::uint64_t srcStride = dibStride(width, bits);
    if (pixelOffset > size || srcStride * std::uint64_t(height) > size - pixelOffset)
        return 0;
    const std::uint8_t *pixels = data + pixelOffset;
    auto srcRow = [&](int y) { return pixels + (topDown ? y : height - 1 - y) * srcStride; };

    out.xdpi = pelsPerMeterToDpi(xppm);
    out.ydpi = pelsPerMeterToDpi(yppm);
    const int depth = bits == 1 ? 1 : bits <= 8 ? (allGrey ? 8 : 24) : 24;
    out.dib = makeDib(int(width), int(height), depth, effectiveDpi(out.xdpi), effectiveDpi(out.ydpi),
                      maxPixelBytes);
    if (!out.dib.block)
        return 0;

    const int w = int(width);
    if (bits == 1) {
        // Entry 0 must be the darker colour; files that store white first get their bits flipped.
        const bool invert =
            luminance(rgb[0][0], rgb[0][1], rgb[0][2]) > luminance(rgb[1][0], rgb[1][1], rgb[1][2]);
        const std::size_t bytes = std::size_t(w + 7) / 8;
        for (int y = 0; y < int(height); ++y) {
            const std::uint8_t *src = srcRow(y);
            std::uint8_t *dst = out.dib.row(y);
            if (invert)
                copyInverted(dst, src, bytes);
            else
                std::memcpy(dst, src, bytes);
            clearTailBits(dst, w);
        }
    } else if (bits <= 8) {
        std::uint8_t grey[256];
        for (int i = 0; i < 256; ++i)
            grey[i] = std::uint8_t(luminance(rgb[i][0], rgb[i][1], rgb[i][2]));
        for (int y = 0; y < int(height); ++y) {
            const std::uint8_t *src = srcRow(y);
            std::uint8_t *dst = out.dib.row(y);
            for (int x = 0; x < w; ++x) {
                const int index = bits == 8 ? src[x] : (src[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
                if (depth == 8) {
                    dst[x] = grey[index];
                } else {
                    dst[3 * x] = rgb[index][2];
                    dst[3 * x + 1] = rgb[index][1];
                    dst[3 * x + 2] = rgb[index][0];
                }
            }
        }
    } else {
        const int step = bits / 8;
        for (int y = 0; y < int(height); ++y) {
            const std::uint8_t *src = srcRow(y);
            std::uint8_t *dst = out.dib.row(y);
            if (step == 3) {
                std::memcpy(dst, src, std::size_t(w) * 3);
            } else {
                for (int x = 0; x < w; ++x)
                    std::memcpy(dst + 3 * x, src + 4 * x, 3);
            }
        }
    }
    return 1;
}

bool writeBmp(const DibView &page, int xdpi, int ydpi, const char *fileName)
{
    // 32-bit pages are written as 24-bit: readers disagree about the fourth byte.
    const int bits = page.bits == 32 ? 24 : page.bits;
    const std::uint32_t colours = bits == 1 ? 2 : bits == 8 ? 256 : 0;
    const DibHeader header{.width = page.width,
                           .height = page.height,
                           .bitCount = bits,
                           .clrUsed = colours,
                           .xPelsPerMeter = dpiToPelsPerMeter(xdpi),
                           .yPelsPerMeter = dpiToPelsPerMeter(ydpi)};
    const std::uint32_t stride = std::uint32_t(header.stride());
    const std::uint64_t pixelBytes = header.imageBytes();
    const std::uint32_t offset = std::uint32_t(14 + header.bitsOffset());
    if (offset + pixelBytes > 0xFFFFFFFFull)
        return false;

    std::vector<std::uint8_t> head(offset, 0);
    head[0] = 'B';
    head[1] = 'M';
    writeLe32(&head[2], std::uint32_t(offset + pixelBytes));
    writeLe32(&head[10], offset);
    std::uint8_t *info = &head[14];
    writeDibHeader(info, header);
    std::uint8_t *palette = info + DibHeaderSize;
    if (bits == 1) {
        // The page's own pair of colours, or black and white when it has none.
        for (std::uint32_t i = 0; i < 2; ++i) {
            if (i < page.paletteCount)
                std::memcpy(palette + 4 * i, page.palette + 4 * i, 3);
            else
                std::memset(palette + 4 * i, i ? 255 : 0, 3);
        }
    } else if (bits == 8) {
        for (int i = 0; i < 256; ++i) {
            palette[4 * i] = page.rgb[i][2];
            palette[4 * i + 1] = page.rgb[i][1];
            palette[4 * i + 2] = page.rgb[i][0];
        }
    }

    PendingFile file(fileName);
    if (!file.ok() || !file.write(head.data(), head.size()))
        return false;
    if (!page.topDown && page.bits == bits) {
        if (!file.write(page.pixels, std::size_t(pixelBytes)))
            return false;
    } else {
        // Rows go out bottom-up, in blocks of a few hundred kilobytes.
        const int rowsPerBlock = int(std::max<std::uint32_t>(1, (1u << 18) / stride));
        std::vector<std::uint8_t> block(std::size_t(stride) * std::size_t(rowsPerBlock), 0);
        for (int y = page.height - 1; y >= 0;) {
            int n = 0;
            for (; n < rowsPerBlock && y >= 0; ++n, --y) {
                const std::uint8_t *src = page.row(y);
                std::uint8_t *dst = block.data() + std::size_t(n) * stride;
                if (page.bits == bits) {
                    std::memcpy(dst, src, stride);
                } else {
                    for (int x = 0; x < page.width; ++x)
                        std::memcpy(dst + 3 * x, src + 4 * x, 3);
                }
            }
            if (!file.write(block.data(), std::size_t(n) * stride))
                return false;
        }
    }
    return file.commit();
}

} // namespace arkavo::codec
