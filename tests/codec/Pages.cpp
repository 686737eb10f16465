#include "Pages.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace arkavo::test {

namespace {

std::uint32_t le32(const std::uint8_t *p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}
void put32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

std::uint32_t strideOf(int width, int bits)
{
    return std::uint32_t((width * bits + 31) / 32 * 4);
}

const std::uint8_t *pixelRow(const std::uint8_t *p, int y)
{
    const int w = int(le32(p + 4)), h = int(le32(p + 8)), bits = p[14];
    const std::uint8_t *pixels = p + 40 + 4 * le32(p + 32);
    return pixels + std::size_t(h - 1 - y) * strideOf(w, bits);
}

} // namespace

GlobalBlock makeDib(int width, int height, int bits, const std::vector<std::uint32_t> &palette, int dpi)
{
    const std::uint32_t stride = strideOf(width, bits);
    GlobalBlock block = GlobalBlock::allocate(40 + 4 * palette.size() + std::size_t(stride) * height);
    GlobalLockGuard lock(block.get());
    std::uint8_t *p = lock.data();
    put32(p, 40);
    put32(p + 4, std::uint32_t(width));
    put32(p + 8, std::uint32_t(height));
    p[12] = 1;
    p[14] = std::uint8_t(bits);
    put32(p + 20, stride * std::uint32_t(height));
    put32(p + 24, std::uint32_t(dpi * 10000 / 254));
    put32(p + 28, std::uint32_t(dpi * 10000 / 254));
    put32(p + 32, std::uint32_t(palette.size()));
    for (std::size_t i = 0; i < palette.size(); ++i)
        put32(p + 40 + 4 * i, palette[i]);
    return block;
}

GlobalBlock patternPage(int width, int height, int bits, int dpi)
{
    std::vector<std::uint32_t> palette;
    if (bits == 1)
        palette = {0x000000, 0xFFFFFF};
    if (bits == 8)
        for (std::uint32_t i = 0; i < 256; ++i)
            palette.push_back(i * 0x010101);
    GlobalBlock block = makeDib(width, height, bits, palette, dpi);
    GlobalLockGuard lock(block.get());
    std::uint8_t *p = lock.data();
    std::uint8_t *pixels = p + 40 + 4 * palette.size();
    const std::uint32_t stride = strideOf(width, bits);
    for (int y = 0; y < height; ++y) {
        std::uint8_t *row = pixels + std::size_t(y) * stride;
        for (int x = 0; x < width; ++x) {
            const unsigned v = unsigned(x * 7 + y * 13 + (x * y) % 29);
            if (bits == 1) {
                if ((v / 3 + (x ^ y)) % 5 < 2)
                    row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
            } else if (bits == 8) {
                row[x] = std::uint8_t(v);
            } else {
                const int step = bits / 8;
                row[step * x] = std::uint8_t(v);
                row[step * x + 1] = std::uint8_t(x * 3 + y);
                row[step * x + 2] = std::uint8_t(255 - y * 5);
                if (step == 4)
                    row[step * x + 3] = 0x5A;
            }
        }
    }
    return block;
}

DibInfo dibInfo(HGLOBAL dib)
{
    DibInfo info;
    GlobalLockGuard lock(dib);
    if (!lock)
        return info;
    const std::uint8_t *p = lock.data();
    info.width = int(le32(p + 4));
    info.height = int(le32(p + 8));
    info.bits = p[14];
    info.clrUsed = le32(p + 32);
    info.size = std::uint32_t(GlobalSize(dib));
    return info;
}

std::uint32_t paletteEntry(HGLOBAL dib, int index)
{
    GlobalLockGuard lock(dib);
    return le32(lock.data() + 40 + 4 * index) & 0xFFFFFF;
}

int greyAt(HGLOBAL dib, int x, int y)
{
    GlobalLockGuard lock(dib);
    const std::uint8_t *p = lock.data();
    const int bits = p[14];
    const std::uint8_t *row = pixelRow(p, y);
    if (bits == 1) {
        const int bit = (row[x / 8] >> (7 - x % 8)) & 1;
        return p[40 + 4 * bit];
    }
    if (bits == 8)
        return p[40 + 4 * row[x]];
    const std::uint8_t *px = row + (bits / 8) * x;
    return (px[2] * 299 + px[1] * 587 + px[0] * 114 + 500) / 1000;
}

std::uint32_t colourAt(HGLOBAL dib, int x, int y)
{
    GlobalLockGuard lock(dib);
    const std::uint8_t *p = lock.data();
    const int bits = p[14];
    if (bits <= 8) {
        const int g = greyAt(dib, x, y);
        return std::uint32_t(g * 0x010101);
    }
    const std::uint8_t *px = pixelRow(p, y) + (bits / 8) * x;
    return std::uint32_t(px[2]) << 16 | std::uint32_t(px[1]) << 8 | px[0];
}

int maxDifference(HGLOBAL a, HGLOBAL b)
{
    const DibInfo ia = dibInfo(a), ib = dibInfo(b);
    if (ia.width != ib.width || ia.height != ib.height)
        return -1;
    const bool colour = ia.bits > 8 || ib.bits > 8;
    int worst = 0;
    for (int y = 0; y < ia.height; ++y)
        for (int x = 0; x < ia.width; ++x) {
            if (!colour) {
                worst = std::max(worst, std::abs(greyAt(a, x, y) - greyAt(b, x, y)));
                continue;
            }
            const std::uint32_t ca = colourAt(a, x, y), cb = colourAt(b, x, y);
            for (int s = 0; s < 24; s += 8)
                worst = std::max(worst, std::abs(int((ca >> s) & 255) - int((cb >> s) & 255)));
        }
    return worst;
}

double meanDifference(HGLOBAL a, HGLOBAL b)
{
    const DibInfo ia = dibInfo(a);
    double sum = 0;
    for (int y = 0; y < ia.height; ++y)
        for (int x = 0; x < ia.width; ++x)
            sum += std::abs(greyAt(a, x, y) - greyAt(b, x, y));
    return sum / (double(ia.width) * ia.height);
}

int load(const std::string &path, GlobalBlock &out, int page, int *xdpi, int *ydpi)
{
    TCodecImage image{-1, -1, reinterpret_cast<HGLOBAL>(1)};
    const int pages = LoadFile(path.c_str(), &image, page);
    out.reset(image.Dib);
    if (xdpi)
        *xdpi = image.XResolution;
    if (ydpi)
        *ydpi = image.YResolution;
    return pages;
}

std::vector<std::uint8_t> readBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string &path, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

StderrCapture::StderrCapture()
{
    std::fflush(stderr);
    char name[] = "/tmp/arkavo-stderr-XXXXXX";
    m_file = ::mkstemp(name);
    ::unlink(name);
    m_saved = ::dup(2);
    ::dup2(m_file, 2);
}

StderrCapture::~StderrCapture()
{
    text();
    ::close(m_file);
}

std::string StderrCapture::text()
{
    if (!m_done) {
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        m_done = true;
    }
    std::string result;
    ::lseek(m_file, 0, SEEK_SET);
    char buffer[512];
    for (ssize_t n; (n = ::read(m_file, buffer, sizeof buffer)) > 0;)
        result.append(buffer, std::size_t(n));
    return result;
}

} // namespace arkavo::test
