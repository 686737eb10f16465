#include "OviscoBitmaps.h"

#include <arkavo/Dib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace ovisco {

namespace {

int strideOf(int width, int bitCount)
{
    return int(arkavo::dibStride(width, bitCount));
}

// A new zero-filled DIB block with its 40-byte header written.
arkavo::GlobalBlock allocateDib(int width, int height, int bitCount, int paletteEntries, std::uint8_t **data)
{
    const arkavo::DibHeader header{
        .width = width, .height = height, .bitCount = bitCount, .clrUsed = std::uint32_t(paletteEntries)};
    arkavo::GlobalBlock block = arkavo::GlobalBlock::allocate(std::size_t(header.blockSize()));
    if (!block)
        return block;
    arkavo::GlobalLockGuard lock(block.get());
    std::uint8_t *p = lock.data();
    arkavo::writeDibHeader(p, header);
    *data = p; // blocks never move; the pointer stays valid while the block lives
    return block;
}

// The working image's palette as a full 256-entry table; a short one continues as a grey ramp.
void copyPalette(const DibView &work, std::uint8_t *to)
{
    for (int i = 0; i < 256; ++i) {
        if (i < work.paletteEntries)
            std::memcpy(to + 4 * i, work.palette + 4 * i, 4);
        else
            to[4 * i] = to[4 * i + 1] = to[4 * i + 2] = std::uint8_t(i);
    }
}

// Per output sample on one axis: the two neighbours and the weight of the second (0..256).
struct LinearTap {
    int i0, i1, f;
};

std::vector<LinearTap> linearTaps(int n, int m)
{
    std::vector<LinearTap> taps(static_cast<std::size_t>(m));
    const double scale = double(n) / m;
    for (int k = 0; k < m; ++k) {
        double f = (k + 0.5) * scale - 0.5;
        if (f < 0)
            f = 0;
        int i0 = int(f);
        if (i0 >= n - 1) {
            taps[std::size_t(k)] = {n - 1, n - 1, 0};
            continue;
        }
        int w = int(std::lround((f - i0) * 256.0));
        if (w >= 256) {
            ++i0;
            w = 0;
        }
        taps[std::size_t(k)] = {i0, std::min(i0 + 1, n - 1), w};
    }
    return taps;
}

template <int C>
void scaleLinear(const DibView &src, const SourceRegion &r, std::uint8_t *dst, int dstStride, int dw, int dh)
{
    const std::vector<LinearTap> tx = linearTaps(r.width, dw);
    const std::vector<LinearTap> ty = linearTaps(r.height, dh);
    std::vector<int> x0(static_cast<std::size_t>(dw)), x1(static_cast<std::size_t>(dw));
    for (int i = 0; i < dw; ++i) {
        x0[std::size_t(i)] = (r.x + tx[std::size_t(i)].i0) * C;
        x1[std::size_t(i)] = (r.x + tx[std::size_t(i)].i1) * C;
    }
    for (int j = 0; j < dh; ++j) {
        const LinearTap &t = ty[std::size_t(j)];
        const std::uint8_t *r0 = src.row(r.y + t.i0);
        const std::uint8_t *r1 = src.row(r.y + t.i1);
        std::uint8_t *out = dst + std::size_t(j) * dstStride;
        const int fy = t.f;
        for (int i = 0; i < dw; ++i) {
            const int a = x0[std::size_t(i)], b = x1[std::size_t(i)];
            const int fx = tx[std::size_t(i)].f;
            for (int c = 0; c < C; ++c) {
                const int top = r0[a + c] * (256 - fx) + r0[b + c] * fx;
                if (fy == 0) {
                    out[i * C + c] = std::uint8_t((top + 128) >> 8);
                } else {
                    const int bottom = r1[a + c] * (256 - fx) + r1[b + c] * fx;
                    out[i * C + c] = std::uint8_t((top * (256 - fy) + bottom * fy + 32768) >> 16);
                }
            }
        }
    }
}

// Fills the output row Out (rows Stride bytes apart) with source row Sy sampled through
// the column table Xs, which holds each output pixel's byte offset in the source row. When
// Sy is the row sampled last (LastRow), the output row above is copied instead.
void sampleRow(const DibView &src, int sy, const std::vector<int> &xs, int channels, std::uint8_t *out,
               int stride, int &lastRow)
{
    const std::size_t n = xs.size();
    if (sy == lastRow) {
        std::memcpy(out, out - stride, n * std::size_t(channels));
        return;
    }
    lastRow = sy;
    const std::uint8_t *in = src.row(sy);
    if (channels == 1) {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = in[xs[i]];
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t *p = in + xs[i];
            out[3 * i] = p[0];
            out[3 * i + 1] = p[1];
            out[3 * i + 2] = p[2];
        }
    }
}

void scaleNearest(const DibView &src, const SourceRegion &r, int channels, std::uint8_t *dst, int dstStride,
                  int dw, int dh)
{
    std::vector<int> xs(static_cast<std::size_t>(dw));
    for (int i = 0; i < dw; ++i)
        xs[std::size_t(i)] = int((r.x + std::int64_t(i) * r.width / dw) * channels);
    int lastRow = -1;
    for (int j = 0; j < dh; ++j) {
        const int sy = r.y + int(std::int64_t(j) * r.height / dh);
        sampleRow(src, sy, xs, channels, dst + std::size_t(j) * dstStride, dstStride, lastRow);
    }
}

// Area weights of one axis: output k averages the source interval it covers, with
// 16-bit weights that add up to exactly 65536.
struct AreaAxis {
    std::vector<int> first, count;
    std::vector<std::uint32_t> weights; // count[k] entries per output, back to back
    std::vector<int> offset;
};

AreaAxis areaAxis(int n, int m)
{
    AreaAxis ax;
    ax.first.resize(std::size_t(m));
    ax.count.resize(std::size_t(m));
    ax.offset.resize(std::size_t(m));
    const double scale = double(n) / m;
    for (int k = 0; k < m; ++k) {
        const double a = k * scale, b = std::min(double(n), (k + 1) * scale);
        const int p0 = std::min(int(a), n - 1);
        const int p1 = std::max(p0 + 1, std::min(n, int(std::ceil(b))));
        ax.first[std::size_t(k)] = p0;
        ax.count[std::size_t(k)] = p1 - p0;
        ax.offset[std::size_t(k)] = int(ax.weights.size());
        std::uint32_t sum = 0;
        std::size_t largest = ax.weights.size();
        for (int p = p0; p < p1; ++p) {
            const double cover = std::max(0.0, std::min(b, p + 1.0) - std::max(a, double(p)));
            const auto w = std::uint32_t(std::lround(cover / (b - a) * 65536.0));
            if (ax.weights.size() == largest || w > ax.weights[largest])
                largest = ax.weights.size();
            ax.weights.push_back(w);
            sum += w;
        }
        ax.weights[largest] += 65536u - sum; // rounding rest goes to the biggest share
    }
    return ax;
}

void scaleArea(const DibView &src, const SourceRegion &r, int channels, std::uint8_t *dst, int dstStride,
               int dw, int dh)
{
    const AreaAxis ax = areaAxis(r.width, dw);
    const AreaAxis ay = areaAxis(r.height, dh);
    const std::size_t n = std::size_t(dw) * channels;
    std::vector<std::uint64_t> acc(n);
    std::vector<std::uint32_t> hrow(n);
    int hrowOf = -1;
    for (int j = 0; j < dh; ++j) {
        std::fill(acc.begin(), acc.end(), 0);
        const int p0 = ay.first[std::size_t(j)];
        for (int q = 0; q < ay.count[std::size_t(j)]; ++q) {
            const int p = p0 + q;
            if (p != hrowOf) { // boundary rows serve two outputs; filter them once
                const std::uint8_t *in = src.row(r.y + p) + std::size_t(r.x) * channels;
                for (int i = 0; i < dw; ++i) {
                    const std::uint32_t *w = &ax.weights[std::size_t(ax.offset[std::size_t(i)])];
                    const std::uint8_t *s = in + std::size_t(ax.first[std::size_t(i)]) * channels;
                    for (int c = 0; c < channels; ++c) {
                        std::uint32_t v = 0;
                        for (int t = 0; t < ax.count[std::size_t(i)]; ++t)
                            v += w[t] * s[t * channels + c];
                        hrow[std::size_t(i) * channels + c] = v;
                    }
                }
                hrowOf = p;
            }
            const std::uint64_t wy = ay.weights[std::size_t(ay.offset[std::size_t(j)] + q)];
            for (std::size_t i = 0; i < n; ++i)
                acc[i] += wy * hrow[i];
        }
        std::uint8_t *out = dst + std::size_t(j) * dstStride;
        for (std::size_t i = 0; i < n; ++i)
            out[i] = std::uint8_t(std::min<std::uint64_t>(255, (acc[i] + (std::uint64_t(1) << 31)) >> 32));
    }
}

} // namespace

bool describeDib(const std::uint8_t *data, std::size_t size, DibView *out)
{
    // Rows are read right after a 40-byte header and its palette; other header sizes,
    // top-down rows and other depths are refused.
    const auto info = arkavo::describeDib(
        data, size, {.depths = arkavo::dibDepth(1) | arkavo::dibDepth(8) | arkavo::dibDepth(24)});
    if (!info || info->width > MaxDibSide || info->height > MaxDibSide ||
        (info->bitCount == 1 && info->clrUsed < 2))
        return false;
    out->width = info->width;
    out->height = info->height;
    out->bitCount = info->bitCount;
    out->stride = int(info->stride);
    out->paletteEntries = int(info->clrUsed);
    out->palette = info->palette(data);
    out->bits = info->bits(data);
    return true;
}

arkavo::GlobalBlock makeGrayCopy(const DibView &src)
{
    std::uint8_t *p = nullptr;
    arkavo::GlobalBlock block = allocateDib(src.width, src.height, 8, 256, &p);
    if (!block)
        return block;
    for (int i = 0; i < 256; ++i)
        p[40 + 4 * i] = p[41 + 4 * i] = p[42 + 4 * i] = std::uint8_t(i);
    const std::uint8_t zero = std::uint8_t(src.paletteRed(0));
    const std::uint8_t one = std::uint8_t(src.paletteRed(1));
    // Eight output pixels per source byte, looked up once for all 256 byte values.
    std::uint8_t expand[256][8];
    for (int b = 0; b < 256; ++b)
        for (int k = 0; k < 8; ++k)
            expand[b][k] = (b & (0x80 >> k)) ? one : zero;
    const int dstStride = strideOf(src.width, 8);
    std::uint8_t *bits = p + arkavo::DibHeaderSize + 1024;
    const int fullBytes = src.width / 8, rest = src.width % 8;
    for (int y = 0; y < src.height; ++y) {
        const std::uint8_t *in = src.row(y);
        std::uint8_t *out = bits + std::size_t(y) * dstStride;
        for (int b = 0; b < fullBytes; ++b)
            std::memcpy(out + 8 * b, expand[in[b]], 8);
        if (rest)
            std::memcpy(out + 8 * fullBytes, expand[in[fullBytes]], std::size_t(rest));
    }
    return block;
}

ScaleMode scaleModeFor(double zoom, int workBitCount, bool workIsSource)
{
    if (zoom > 100.0)
        return ScaleMode::Nearest;
    if ((workIsSource && workBitCount == 24) || zoom > 50.0)
        return ScaleMode::Linear;
    return ScaleMode::Area;
}

arkavo::GlobalBlock buildDisplayBitmap(const DibView &work, const SourceRegion &region, int width, int height,
                                       ScaleMode mode)
{
    if (width <= 0 || height <= 0 || (work.bitCount != 8 && work.bitCount != 24))
        return {};
    const int channels = work.bitCount / 8;
    std::uint8_t *p = nullptr;
    arkavo::GlobalBlock block = allocateDib(width, height, work.bitCount, channels == 1 ? 256 : 0, &p);
    if (!block)
        return block;
    std::uint8_t *bits = p + arkavo::DibHeaderSize;
    if (channels == 1) {
        copyPalette(work, bits);
        bits += 1024;
    }
    if (region.width <= 0 || region.height <= 0 || region.x < 0 || region.y < 0 ||
        region.x + region.width > work.width || region.y + region.height > work.height)
        return block; // nothing of the image to show: stays black
    const int stride = strideOf(width, work.bitCount);
    if (region.width == width && region.height == height) {
        for (int j = 0; j < height; ++j)
            std::memcpy(bits + std::size_t(j) * stride,
                        work.row(region.y + j) + std::size_t(region.x) * channels,
                        std::size_t(width) * channels);
        return block;
    }
    switch (mode) {
    case ScaleMode::Nearest:
        scaleNearest(work, region, channels, bits, stride, width, height);
        break;
    case ScaleMode::Linear:
        if (channels == 1)
            scaleLinear<1>(work, region, bits, stride, width, height);
        else
            scaleLinear<3>(work, region, bits, stride, width, height);
        break;
    case ScaleMode::Area:
        scaleArea(work, region, channels, bits, stride, width, height);
        break;
    }
    return block;
}

arkavo::GlobalBlock buildZoomedBitmap(const DibView &work, const Rect &cache, double zoom)
{
    const int width = cache.width(), height = cache.height();
    if (width <= 0 || height <= 0 || zoom <= 0 || (work.bitCount != 8 && work.bitCount != 24))
        return {};
    const int channels = work.bitCount / 8;
    std::uint8_t *p = nullptr;
    arkavo::GlobalBlock block = allocateDib(width, height, work.bitCount, channels == 1 ? 256 : 0, &p);
    if (!block)
        return block;
    std::uint8_t *bits = p + arkavo::DibHeaderSize;
    if (channels == 1) {
        copyPalette(work, bits);
        bits += 1024;
    }
    const double toSource = 100.0 / zoom;
    std::vector<int> xs(static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i)
        xs[std::size_t(i)] =
            std::clamp(truncToInt((cache.left + i) * toSource), 0, work.width - 1) * channels;
    const int stride = strideOf(width, work.bitCount);
    int lastRow = -1;
    for (int j = 0; j < height; ++j) {
        // Display row j counts from the bottom, like the zoomed row cache.bottom - 1 - j.
        const int fromTop =
            std::clamp(truncToInt((double(cache.bottom) - 1 - j) * toSource), 0, work.height - 1);
        const int sy = work.height - 1 - fromTop;
        sampleRow(work, sy, xs, channels, bits + std::size_t(j) * stride, stride, lastRow);
    }
    return block;
}

QImage dibToImage(HGLOBAL dib)
{
    arkavo::GlobalLockGuard lock(dib);
    DibView v;
    if (!lock || !describeDib(lock.data(), GlobalSize(dib), &v))
        return {};
    QImage img(v.width, v.height, QImage::Format_RGB32);
    if (img.isNull())
        return img;
    QRgb lut[256];
    for (int i = 0; i < 256; ++i) {
        if (v.bitCount != 24 && i < v.paletteEntries)
            lut[i] = qRgb(v.palette[4 * i + 2], v.palette[4 * i + 1], v.palette[4 * i]);
        else
            lut[i] = qRgb(i, i, i);
    }
    for (int y = 0; y < v.height; ++y) {
        const std::uint8_t *in = v.row(v.height - 1 - y);
        auto *out = reinterpret_cast<QRgb *>(img.scanLine(y));
        switch (v.bitCount) {
        case 1:
            for (int x = 0; x < v.width; ++x)
                out[x] = lut[(in[x >> 3] >> (7 - (x & 7))) & 1];
            break;
        case 8:
            for (int x = 0; x < v.width; ++x)
                out[x] = lut[in[x]];
            break;
        default:
            for (int x = 0; x < v.width; ++x)
                out[x] = 0xff000000u | std::uint32_t(in[3 * x + 2]) << 16 |
                         std::uint32_t(in[3 * x + 1]) << 8 | in[3 * x];
            break;
        }
    }
    return img;
}

} // namespace ovisco
