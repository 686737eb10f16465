#include "PixolveImage.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <thread>
#include <utility>

namespace arkavo::pixolve {

namespace {

// Bytes of header, palette and rows; false when they overflow.
bool dibBytes(int width, int height, int bitCount, std::uint32_t clrUsed, std::size_t &bytes)
{
    std::size_t pixels = 0;
    if (__builtin_mul_overflow(dibStride(width, bitCount), std::size_t(height), &pixels))
        return false;
    return !__builtin_add_overflow(DibHeaderSize + 4 * std::size_t(clrUsed), pixels, &bytes);
}

} // namespace

WorkImage::WorkImage(int width, int height, int bitCount, std::uint8_t fill)
    : m_width(width), m_height(height), m_bitCount(bitCount), m_stride(dibStride(width, bitCount))
{
    if (width > 0 && height > 0)
        m_bits.assign(m_stride * std::size_t(height), fill);
}

SourcePage::SourcePage(HGLOBAL block) : m_lock(block)
{
    if (!m_lock)
        return;
    m_blockSize = GlobalSize(block);
    // The header is taken as 40 bytes whatever biSize says; bit fields count as uncompressed.
    const auto info = describeDib(m_lock.data(), m_blockSize, {.anyHeaderSize = true, .bitfields = true});
    // A 1-bit page's polarity lives in palette entry 0.
    if (!info || (info->bitCount == 1 && info->clrUsed < 1))
        return;
    m_width = info->width;
    m_height = info->height;
    m_bitCount = info->bitCount;
    m_clrUsed = info->clrUsed;
    m_valid = true;
}

ConstImageView WrapDib(const SourcePage &page)
{
    if (!page)
        return {};
    return {page.block() + page.headerBytes(), page.width(), page.height(), page.bitCount(), page.stride()};
}

RECT flipRows(const RECT &rect, int height)
{
    return {rect.left, height - rect.bottom, rect.right, height - rect.top};
}

WorkImage GrayCopy(ConstImageView src, bool lightZero, Region region)
{
    const int x0 = std::max(region.x, 0);
    const int y0 = std::max(region.y, 0);
    const int x1 = int(std::min<long long>(static_cast<long long>(region.x) + region.width, src.width));
    const int y1 = int(std::min<long long>(static_cast<long long>(region.y) + region.height, src.height));
    if (x1 <= x0 || y1 <= y0)
        return {};
    WorkImage gray(x1 - x0, y1 - y0, 8);
    ImageView out = gray.view();
    // On a light-zero page bit 0 is white: 0 -> 255, 1 -> 0; otherwise 0 -> 0, 1 -> 255.
    const std::uint8_t bit0 = lightZero ? 255 : 0;
    const std::uint8_t bit1 = lightZero ? 0 : 255;
    const int bpp = src.bytesPerPixel();
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t *s = src.row(y);
        std::uint8_t *d = out.row(y - y0);
        switch (src.bitCount) {
        case 1:
            for (int x = x0; x < x1; ++x)
                d[x - x0] = getBit(s, x) ? bit1 : bit0;
            break;
        case 8:
            std::memcpy(d, s + x0, std::size_t(x1 - x0));
            break;
        default:
            for (int x = x0; x < x1; ++x)
                d[x - x0] = luminance(s + std::size_t(x) * bpp);
            break;
        }
    }
    return gray;
}

WorkImage GrayCopy(const SourcePage &page, Region region)
{
    return GrayCopy(WrapDib(page), page.lightZero(), region);
}

WorkImage GrayCopy(const SourcePage &page)
{
    return GrayCopy(page, {0, 0, page.width(), page.height()});
}

ResultBlock ResultBlock::sameSize(const SourcePage &page)
{
    ResultBlock r;
    r.m_block = GlobalBlock::allocate(page.blockSize());
    r.m_data = static_cast<std::uint8_t *>(GlobalLock(r.m_block.get()));
    if (!r.m_data) {
        r.m_block.reset();
        return {};
    }
    std::memcpy(r.m_data, page.block(), page.headerBytes());
    r.m_pixelOffset = page.headerBytes();
    r.m_width = page.width();
    r.m_height = page.height();
    r.m_bitCount = page.bitCount();
    r.m_stride = page.stride();
    return r;
}

ResultBlock ResultBlock::resized(const SourcePage &page, int width, int height)
{
    return withFormat(page, width, height, page.bitCount(), page.clrUsed());
}

ResultBlock ResultBlock::withFormat(const SourcePage &page, int width, int height, int bitCount,
                                    std::uint32_t clrUsed)
{
    std::size_t bytes = 0;
    if (width <= 0 || height <= 0 || clrUsed > 256 || !dibBytes(width, height, bitCount, clrUsed, bytes))
        return {};
    ResultBlock r;
    r.m_block = GlobalBlock::allocate(bytes);
    r.m_data = static_cast<std::uint8_t *>(GlobalLock(r.m_block.get()));
    if (!r.m_data) {
        r.m_block.reset();
        return {};
    }
    const std::size_t palette = 4 * std::size_t(std::min(clrUsed, page.clrUsed()));
    std::memcpy(r.m_data, page.block(), DibHeaderSize + palette);
    r.m_pixelOffset = DibHeaderSize + 4 * std::size_t(clrUsed);
    r.m_width = width;
    r.m_height = height;
    r.m_bitCount = bitCount;
    r.m_stride = dibStride(width, bitCount);
    writeLe32(r.m_data + dib::Width, std::uint32_t(width));
    writeLe32(r.m_data + dib::Height, std::uint32_t(height));
    writeLe16(r.m_data + dib::BitCount, std::uint16_t(bitCount));
    writeLe32(r.m_data + dib::SizeImage, std::uint32_t(r.m_stride * std::size_t(height)));
    writeLe32(r.m_data + dib::ClrUsed, clrUsed);
    return r;
}

ResultBlock::ResultBlock(ResultBlock &&other) noexcept
    : m_block(std::move(other.m_block)), m_data(std::exchange(other.m_data, nullptr)),
      m_pixelOffset(other.m_pixelOffset), m_width(other.m_width), m_height(other.m_height),
      m_bitCount(other.m_bitCount), m_stride(other.m_stride)
{
}

ResultBlock &ResultBlock::operator=(ResultBlock &&other) noexcept
{
    if (this != &other) {
        unlock();
        m_block = std::move(other.m_block);
        m_data = std::exchange(other.m_data, nullptr);
        m_pixelOffset = other.m_pixelOffset;
        m_width = other.m_width;
        m_height = other.m_height;
        m_bitCount = other.m_bitCount;
        m_stride = other.m_stride;
    }
    return *this;
}

ResultBlock::~ResultBlock()
{
    unlock();
}

void ResultBlock::unlock()
{
    if (m_data)
        GlobalUnlock(m_block.get());
    m_data = nullptr;
}

HGLOBAL ResultBlock::release()
{
    unlock();
    return m_block.release();
}

void forRowBands(int rows, std::size_t bytesPerRow, const std::function<void(int, int)> &fn)
{
    // Below about a megabyte a second thread costs more than it saves.
    constexpr std::size_t MinBytesPerBand = std::size_t(1) << 20;
    const std::size_t total = std::size_t(std::max(rows, 0)) * bytesPerRow;
    const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 4u));
    const int bands =
        int(std::min<std::size_t>({cores, total / MinBytesPerBand, std::size_t(std::max(rows, 1))}));
    if (bands <= 1) {
        fn(0, rows);
        return;
    }
    // A band that fails (allocation) is reported to the caller once every band is done.
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(bands));
    auto run = [&fn, &failures](int band, int first, int end) {
        try {
            fn(first, end);
        } catch (...) {
            failures[std::size_t(band)] = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(std::size_t(bands - 1));
    int first = 0;
    for (int b = 0; b < bands; ++b) {
        const int end = int(static_cast<long long>(rows) * (b + 1) / bands);
        if (b == bands - 1) {
            run(b, first, end); // the calling thread takes the last band
        } else {
            try {
                workers.emplace_back(run, b, first, end);
            } catch (...) {
                run(b, first, end); // no thread to be had: do the band here
            }
        }
        first = end;
    }
    for (std::thread &t : workers)
        t.join();
    for (const std::exception_ptr &failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

} // namespace arkavo::pixolve
