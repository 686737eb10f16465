#include "FrameAssembler.h"

#include <arkavo/Dib.h>

#include <algorithm>
#include <bit>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace arkavo::capteon {

namespace {

// Index of the significant byte of a 16-bit sample; devices send host byte order.
constexpr int kHighByte = std::endian::native == std::endian::little ? 1 : 0;

// Red, green, blue samples to blue, green, red, w pixels.
void rgbToBgr(const std::uint8_t *src, std::uint8_t *dst, int w)
{
    for (int x = 0; x < w; ++x, src += 3, dst += 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// Four pixels per step with a byte shuffle; most of the time of a colour page.
__attribute__((target("ssse3"))) void rgbToBgrSsse3(const std::uint8_t *src, std::uint8_t *dst, int w)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
    int x = 0;
    // Each step loads and stores 16 bytes for 12: stay two pixels clear of the end.
    for (; x + 6 <= w; x += 4) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 3 * x), _mm_shuffle_epi8(v, order));
    }
    rgbToBgr(src + 3 * x, dst + 3 * x, w - x);
}

const bool g_hasSsse3 = __builtin_cpu_supports("ssse3");
#endif

std::uint32_t pelsPerMeter(int dpi)
{
    return dpi > 0 ? std::uint32_t(std::lround(dpi / 0.0254)) : 0;
}

int paletteSize(int bitCount)
{
    return bitCount == 1 ? 2 : bitCount == 8 ? 256 : 0;
}

// Bits 0 .. n-1 of a row cleared beyond the last pixel, so the padding is defined.
std::uint8_t lastByteMask(int width)
{
    int used = width % 8;
    return used == 0 ? 0xFF : std::uint8_t(0xFF << (8 - used));
}

int channelOffset(FrameFormat format)
{
    switch (format) {
    case FrameFormat::Red:
        return 2;
    case FrameFormat::Green:
        return 1;
    default:
        return 0;
    }
}

unsigned channelBit(FrameFormat format)
{
    switch (format) {
    case FrameFormat::Red:
        return 1;
    case FrameFormat::Green:
        return 2;
    case FrameFormat::Blue:
        return 4;
    default:
        return 7;
    }
}

// A page block with header and palette filled in. Without zeroing, the caller
// writes every pixel byte, padding included.
GlobalBlock allocatePage(int width, int height, int bitCount, int xDpi, int yDpi, bool zeroed = true)
{
    const auto colours = std::uint32_t(paletteSize(bitCount));
    const DibHeader header{.width = width,
                           .height = height,
                           .bitCount = bitCount,
                           .clrUsed = colours,
                           .xPelsPerMeter = std::int32_t(pelsPerMeter(xDpi)),
                           .yPelsPerMeter = std::int32_t(pelsPerMeter(yDpi)),
                           .clrImportant = colours};
    GlobalBlock block(GlobalAlloc(zeroed ? GHND : GMEM_MOVEABLE, std::size_t(header.blockSize())));
    if (!block)
        return block;
    GlobalLockGuard lock(block.get());
    std::uint8_t *h = lock.data();
    std::memset(h, 0, header.bitsOffset());
    writeDibHeader(h, header);
    std::uint8_t *pal = h + DibHeaderSize;
    if (colours == 2) {
        // Entry 0 black, entry 1 white: the usual convention for bilevel pages.
        pal[4] = pal[5] = pal[6] = 0xFF;
    } else {
        for (std::uint32_t i = 0; i < colours; ++i)
            pal[4 * i] = pal[4 * i + 1] = pal[4 * i + 2] = std::uint8_t(i);
    }
    return block;
}

} // namespace

void FrameAssembler::setResolution(int xDpi, int yDpi)
{
    m_xDpi = xDpi;
    m_yDpi = yDpi;
}

void FrameAssembler::reset()
{
    if (m_pixels)
        GlobalUnlock(m_block.get());
    m_pixels = nullptr;
    m_block.reset();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_partial.clear();
    m_inFrame = m_pageStarted = m_pageComplete = false;
    m_bitCount = m_width = 0;
    m_declaredHeight = -1;
    m_stride = 0;
    m_frameLine = m_pageLines = 0;
    m_channelsSeen = 0;
}

void FrameAssembler::startPage(const FrameParameters &p)
{
    m_width = p.pixelsPerLine;
    m_bitCount = p.format == FrameFormat::Gray ? (p.depth == 1 ? 1 : 8) : 24;
    m_stride = dibStride(m_width, m_bitCount);
    m_pageStarted = true;
    if (p.lines > 0) {
        m_declaredHeight = p.lines;
        // Separate colour frames fill a channel each, so their page starts zeroed;
        // otherwise every row is written whole and clearing it first would only cost time.
        const bool separate = p.format != FrameFormat::Gray && p.format != FrameFormat::Rgb;
        m_block = allocatePage(m_width, p.lines, m_bitCount, m_xDpi, m_yDpi, separate);
        if (!m_block)
            throw std::runtime_error("out of memory for a page of " + std::to_string(m_width) + " x " +
                                     std::to_string(p.lines) + " pixels");
        m_pixels = static_cast<std::uint8_t *>(GlobalLock(m_block.get())) + DibHeaderSize +
                   4 * std::size_t(paletteSize(m_bitCount));
    }
}

void FrameAssembler::beginFrame(const FrameParameters &p)
{
    if (p.depth != 1 && p.depth != 8 && p.depth != 16)
        throw std::runtime_error("unsupported sample depth " + std::to_string(p.depth));
    if (p.pixelsPerLine <= 0 || p.bytesPerLine <= 0 || p.pixelsPerLine > 1000000)
        throw std::runtime_error("invalid line size");
    const int samples = p.format == FrameFormat::Rgb ? 3 : 1;
    const long long needed = (static_cast<long long>(p.pixelsPerLine) * samples * p.depth + 7) / 8;
    if (p.bytesPerLine < needed)
        throw std::runtime_error("line too short for its pixels");
    if (p.lines > 1000000)
        throw std::runtime_error("invalid page length");
    if (m_pageComplete)
        throw std::runtime_error("page already complete");

    const bool separate =
        p.format == FrameFormat::Red || p.format == FrameFormat::Green || p.format == FrameFormat::Blue;
    if (!m_pageStarted) {
        startPage(p);
    } else {
        // Later frames of one page are the other colour channels.
        if (!separate || m_bitCount != 24 || p.pixelsPerLine != m_width)
            throw std::runtime_error("frame does not match the page it belongs to");
    }
    m_frame = p;
    m_inFrame = true;
    m_frameLine = 0;
    m_partial.clear();
    m_partial.reserve(std::size_t(p.bytesPerLine));
}

std::uint8_t *FrameAssembler::rowForLine(int line)
{
    if (m_declaredHeight > 0) {
        if (line >= m_declaredHeight)
            return nullptr; // more lines than announced: the page keeps its size
        return m_pixels + std::size_t(m_declaredHeight - 1 - line) * m_stride;
    }
    const std::size_t end = std::size_t(line + 1) * m_stride;
    if (m_rows.size() < end) {
        // Grow geometrically: hand-scanner pages arrive line by line.
        if (m_rows.capacity() < end)
            m_rows.reserve(std::max(end, m_rows.capacity() * 2));
        m_rows.resize(end, 0);
    }
    return m_rows.data() + std::size_t(line) * m_stride;
}

void FrameAssembler::convertLine(const std::uint8_t *src, int line)
{
    std::uint8_t *dst = rowForLine(line);
    if (!dst)
        return;
    const int w = m_width;
    const FrameParameters &p = m_frame;
    if (p.format == FrameFormat::Gray || p.format == FrameFormat::Rgb) {
        const std::size_t used = (std::size_t(w) * std::size_t(m_bitCount) + 7) / 8;
        std::memset(dst + used, 0, m_stride - used);
    }
    switch (p.format) {
    case FrameFormat::Gray:
        if (p.depth == 1) {
            const int bytes = (w + 7) / 8;
            for (int i = 0; i < bytes; ++i)
                dst[i] = std::uint8_t(~src[i]);
            dst[bytes - 1] &= lastByteMask(w);
        } else if (p.depth == 8) {
            std::memcpy(dst, src, std::size_t(w));
        } else {
            for (int x = 0; x < w; ++x)
                dst[x] = src[2 * x + kHighByte];
        }
        break;
    case FrameFormat::Rgb:
        if (p.depth == 8) {
#if defined(__x86_64__) && defined(__GNUC__)
            if (g_hasSsse3) {
                rgbToBgrSsse3(src, dst, w);
                break;
            }
#endif
            rgbToBgr(src, dst, w);
        } else if (p.depth == 16) {
            for (int x = 0; x < w; ++x, src += 6, dst += 3) {
                dst[0] = src[4 + kHighByte];
                dst[1] = src[2 + kHighByte];
                dst[2] = src[kHighByte];
            }
        } else {
            // One bit per sample, red, green, blue in turn; a set bit is full intensity.
            for (int x = 0; x < w; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const int bit = 3 * x + c;
                    const bool on = (src[bit / 8] >> (7 - bit % 8)) & 1;
                    dst[3 * x + 2 - c] = on ? 0xFF : 0;
                }
            }
        }
        break;
    default: {
        std::uint8_t *d = dst + channelOffset(p.format);
        if (p.depth == 8) {
            for (int x = 0; x < w; ++x)
                d[3 * x] = src[x];
        } else if (p.depth == 16) {
            for (int x = 0; x < w; ++x)
                d[3 * x] = src[2 * x + kHighByte];
        } else {
            for (int x = 0; x < w; ++x)
                d[3 * x] = ((src[x / 8] >> (7 - x % 8)) & 1) ? 0xFF : 0;
        }
        break;
    }
    }
}

void FrameAssembler::addData(const std::uint8_t *data, std::size_t size)
{
    if (!m_inFrame)
        return;
    const std::size_t bpl = std::size_t(m_frame.bytesPerLine);
    // Finish a line begun by an earlier call.
    if (!m_partial.empty()) {
        const std::size_t take = std::min(size, bpl - m_partial.size());
        m_partial.insert(m_partial.end(), data, data + take);
        data += take;
        size -= take;
        if (m_partial.size() < bpl)
            return;
        convertLine(m_partial.data(), m_frameLine++);
        m_partial.clear();
    }
    // Whole lines straight from the caller's buffer.
    while (size >= bpl) {
        convertLine(data, m_frameLine++);
        data += bpl;
        size -= bpl;
    }
    if (size > 0)
        m_partial.assign(data, data + size);
    m_pageLines = std::max(m_pageLines, m_frameLine);
}

void FrameAssembler::endFrame()
{
    if (!m_inFrame)
        return;
    m_inFrame = false;
    m_partial.clear();
    m_pageLines = std::max(m_pageLines, m_frameLine);
    m_channelsSeen |= channelBit(m_frame.format);
    // A three-pass page is complete with its last frame; a device that flags the
    // last frame early still yields a page with the channels it sent.
    if (m_frame.lastFrame)
        m_pageComplete = true;
}

GlobalBlock FrameAssembler::takePage()
{
    GlobalBlock page;
    const int lines = m_declaredHeight > 0 ? std::min(m_pageLines, m_declaredHeight) : m_pageLines;
    if (m_pageStarted && lines > 0) {
        if (m_declaredHeight > 0 && lines == m_declaredHeight) {
            GlobalUnlock(m_block.get());
            m_pixels = nullptr;
            page = std::move(m_block);
        } else {
            // Unknown length, or a page that ended early: the rows that arrived make the page.
            page = allocatePage(m_width, lines, m_bitCount, m_xDpi, m_yDpi);
            if (page) {
                GlobalLockGuard lock(page.get());
                std::uint8_t *dst = lock.data() + DibHeaderSize + 4 * std::size_t(paletteSize(m_bitCount));
                if (m_declaredHeight > 0) {
                    // The first lines sit at the top rows of the bottom-up block.
                    const std::uint8_t *src = m_pixels + std::size_t(m_declaredHeight - lines) * m_stride;
                    std::memcpy(dst, src, m_stride * std::size_t(lines));
                } else {
                    for (int i = 0; i < lines; ++i)
                        std::memcpy(dst + std::size_t(lines - 1 - i) * m_stride,
                                    m_rows.data() + std::size_t(i) * m_stride, m_stride);
                }
            }
        }
    }
    reset();
    return page;
}

} // namespace arkavo::capteon
