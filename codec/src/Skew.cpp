// Skew measurement with Leptonica's sweep-and-search over a binarised copy of the page.
#include "Codecs.h"

#include <leptonica/allheaders.h>

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

// A bilevel page in Leptonica's layout in one pass: each row's bytes go into native
// 32-bit words, most significant bit first, inverted unless 1 is already black. The
// DIB's rows are padded to 32 bits just as Leptonica's are.
void copyBilevelRows(const DibView &page, l_uint32 *words, std::size_t wpl)
{
    const l_uint32 flip = page.blackIsOne ? 0 : ~l_uint32(0);
    const l_uint32 tail = page.width % 32 ? ~l_uint32(0) << (32 - page.width % 32) : ~l_uint32(0);
    for (int y = 0; y < page.height; ++y) {
        const std::uint8_t *src = page.row(y);
        l_uint32 *dst = words + std::size_t(y) * wpl;
        for (std::size_t w = 0; w < wpl; ++w, src += 4)
            dst[w] =
                (l_uint32(src[0]) << 24 | l_uint32(src[1]) << 16 | l_uint32(src[2]) << 8 | src[3]) ^ flip;
        dst[wpl - 1] &= tail;
    }
}

// A 1-bit Leptonica image of the page, top row first, 1 = ink.
PixPtr inkImage(const DibView &page)
{
    if (page.kind == PageKind::Bilevel) {
        PixPtr pix(pixCreateNoInit(page.width, page.height, 1));
        if (pix)
            copyBilevelRows(page, pixGetData(pix.get()), std::size_t(pixGetWpl(pix.get())));
        return pix;
    }
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
    PixPtr pix = inkImage(page);
    if (!pix)
        return 0;
    l_float32 angle = 0, confidence = 0;
    if (pixFindSkewSweepAndSearch(pix.get(), &angle, &confidence, 4, 2, kSweepRange, 1.0f, 0.01f) != 0)
        return 0;
    if (confidence < kMinConfidence || angle != angle)
        return 0;
    // Leptonica's angle is the clockwise turn that straightens the page; callers want
    // the page's own skew, straightened by turning it the other way.
    return -double(angle);
}

} // namespace arkavo::codec
