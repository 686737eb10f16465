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

// A 1-bit Leptonica image of the page, top row first, 1 = ink.
PixPtr inkImage(const DibView &page)
{
    PixPtr pix(pixCreate(page.width, page.height, 1));
    if (!pix)
        return nullptr;
    l_uint32 *words = pixGetData(pix.get());
    const std::size_t wpl = std::size_t(pixGetWpl(pix.get()));
    const std::size_t bytes = std::size_t(page.width + 7) / 8;
    std::uint8_t levels[256];
    for (int i = 0; i < 256; ++i)
        levels[i] =
            page.kind == PageKind::Grey || page.kind == PageKind::Indexed ? page.grey[i] : std::uint8_t(i);
    for (int y = 0; y < page.height; ++y) {
        const std::uint8_t *src = page.row(y);
        auto *dst = reinterpret_cast<std::uint8_t *>(words + std::size_t(y) * wpl);
        if (page.kind == PageKind::Bilevel) {
            if (page.blackIsOne) {
                std::memcpy(dst, src, bytes);
            } else {
                for (std::size_t i = 0; i < bytes; ++i)
                    dst[i] = std::uint8_t(~src[i]);
            }
            clearTailBits(dst, page.width);
            continue;
        }
        std::memset(dst, 0, wpl * 4);
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
