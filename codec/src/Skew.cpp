// Skew measurement with Leptonica's sweep-and-search over a binarised copy of the page.
#include "Codecs.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace arkavo::codec {

namespace {

struct PixDeleter {
    void operator()(PIX *p) const
    {
        PIX *q = p;
        pixDestroy(&q);
    }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

void quiet(const char *) {}

// Leptonica reports to stderr; keeps it quiet for one call.
class QuietLeptonica {
public:
    QuietLeptonica() : m_severity(setMsgSeverity(L_SEVERITY_NONE)) { leptSetStderrHandler(quiet); }
    ~QuietLeptonica()
    {
        leptSetStderrHandler(nullptr);
        setMsgSeverity(m_severity);
    }
    QuietLeptonica(const QuietLeptonica &) = delete;
    QuietLeptonica &operator=(const QuietLeptonica &) = delete;

private:
    l_int32 m_severity;
};

// Grey levels below this count as ink.
constexpr int kInkLevel = 128;

// Sweep and search run on the page reduced by 4 and by 2.
constexpr int kSweepReduction = 4;
constexpr int kSearchReduction = 2;

// 64 pixels, first in the top bit, as 32: each pixel pair ORed into one.
inline std::uint32_t halveBits(std::uint64_t x)
{
    x = ((x | x << 1) >> 1) & 0x5555555555555555u;
    x = (x | x >> 1) & 0x3333333333333333u;
    x = (x | x >> 2) & 0x0F0F0F0F0F0F0F0Fu;
    x = (x | x >> 4) & 0x00FF00FF00FF00FFu;
    x = (x | x >> 8) & 0x0000FFFF0000FFFFu;
    return std::uint32_t(x | x >> 16);
}

// Eight bytes as one number, the first byte on top.
inline std::uint64_t bigEndian(const std::uint8_t *p)
{
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    if constexpr (std::endian::native == std::endian::little)
        x = __builtin_bswap64(x);
    return x;
}

// Eight bytes of a row as one number, the first byte on top; none past `end`.
inline std::uint64_t rowBits(const std::uint8_t *row, std::size_t from, std::size_t end)
{
    std::uint64_t x = 0;
    for (std::size_t i = from; i < from + 8; ++i)
        x = x << 8 | (i < end ? row[i] : 0);
    return x;
}

// A bilevel page at half size in Leptonica's layout, top row first, 1 = ink: each pixel
// is ink when any of the 2 x 2 page pixels under it is, which is the first reduction the
// measure makes anyway. One pass over the page in place of a copy, an inversion, a byte
// swap and that reduction.
PixPtr halfInkImage(const DibView &page)
{
    const int width = page.width / 2, height = page.height / 2;
    PixPtr pix(pixCreateNoInit(width, height, 1));
    if (!pix)
        return nullptr;
    l_uint32 *words = pixGetData(pix.get());
    const std::size_t wpl = std::size_t(pixGetWpl(pix.get()));
    const std::size_t rowBytes = std::size_t(page.width + 7) / 8;
    const std::uint64_t flip = page.blackIsOne ? 0 : ~std::uint64_t(0);
    const l_uint32 tail = width % 32 ? ~l_uint32(0) << (32 - width % 32) : ~l_uint32(0);
    // Whole eight-byte groups of both rows; the last word may reach past the DIB's row,
    // whose padding is only to four bytes.
    const std::size_t whole = std::min(wpl, rowBytes / 8);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t *a = page.row(2 * y);
        const std::uint8_t *b = page.row(2 * y + 1);
        l_uint32 *dst = words + std::size_t(y) * wpl;
        for (std::size_t w = 0; w < whole; ++w)
            dst[w] = halveBits((bigEndian(a + 8 * w) ^ flip) | (bigEndian(b + 8 * w) ^ flip));
        for (std::size_t w = whole; w < wpl; ++w) {
            // Bits past the row's end turn into ink here and are masked off below.
            dst[w] = halveBits((rowBits(a, 8 * w, rowBytes) ^ flip) | (rowBits(b, 8 * w, rowBytes) ^ flip));
        }
        dst[wpl - 1] &= tail;
    }
    return pix;
}

// A 1-bit Leptonica image of a grey or colour page, top row first, 1 = ink.
PixPtr inkImage(const DibView &page)
{
    PixPtr pix(pixCreate(page.width, page.height, 1));
    if (!pix)
        return nullptr;
    l_uint32 *words = pixGetData(pix.get());
    const std::size_t wpl = std::size_t(pixGetWpl(pix.get()));
    std::uint8_t levels[256];
    for (int i = 0; i < 256; ++i)
        levels[i] =
            page.kind == PageKind::Grey || page.kind == PageKind::Indexed ? page.grey[i] : std::uint8_t(i);
    for (int y = 0; y < page.height; ++y) {
        const std::uint8_t *src = page.row(y);
        auto *dst = reinterpret_cast<std::uint8_t *>(words + std::size_t(y) * wpl);
        if (page.kind == PageKind::Colour) {
            const int step = page.bits / 8;
            for (int x = 0; x < page.width; ++x, src += step) {
                const int level = (src[2] * 77 + src[1] * 150 + src[0] * 29) >> 8;
                if (level < kInkLevel)
                    dst[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
            }
        } else {
            for (int x = 0; x < page.width; ++x)
                if (levels[src[x]] < kInkLevel)
                    dst[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
        }
    }
    // Leptonica keeps pixels in native 32-bit words, most significant bit first.
    pixEndianByteSwap(pix.get());
    return pix;
}

// Leptonica's own threshold for trusting a measured skew.
constexpr float kMinConfidence = 3.0f;
constexpr float kSweepRange = 7.0f;

} // namespace

double measureSkew(const DibView &page)
{
    if (page.width < 32 || page.height < 32)
        return 0;
    QuietLeptonica quietness;
    // A bilevel page comes already halved, so the reductions left to do are halved too.
    const bool halved = page.kind == PageKind::Bilevel;
    PixPtr pix = halved ? halfInkImage(page) : inkImage(page);
    if (!pix)
        return 0;
    const int done = halved ? 2 : 1;
    l_float32 angle = 0, confidence = 0;
    if (pixFindSkewSweepAndSearch(pix.get(), &angle, &confidence, kSweepReduction / done,
                                  kSearchReduction / done, kSweepRange, 1.0f, 0.01f) != 0)
        return 0;
    if (confidence < kMinConfidence || angle != angle)
        return 0;
    // Leptonica's angle is the clockwise turn that straightens the page; callers want
    // the page's own skew, straightened by turning it the other way.
    return -double(angle);
}

} // namespace arkavo::codec
