// Thumbnail: a reduced copy of a page that fits a box with the page's proportions, each
// thumbnail pixel the mean of the page area it covers. Bitonal pages give grey thumbnails.
#include "PageAreas.h"

#include <array>
#include <cstring>
#include <vector>

namespace arkavo::pixolve {
namespace {

// The source pixels one result pixel covers along one axis, with exact weights. Seen in
// units of 1/(src * dst) page widths, source pixel i spans [i * dst, (i + 1) * dst) and
// result pixel j spans [j * src, (j + 1) * src); the weight of a source pixel is the
// length of the overlap, so the weights of one result pixel add up to src, and pixels
// strictly inside the span weigh dst each.
struct AreaTap {
    int first = 0;
    int last = 0;
    std::uint64_t firstWeight = 0;
    std::uint64_t lastWeight = 0; // 0 when first == last
};

std::vector<AreaTap> areaTaps(int src, int dst)
{
    std::vector<AreaTap> taps(static_cast<std::size_t>(dst));
    for (int j = 0; j < dst; ++j) {
        const std::int64_t lo = std::int64_t(j) * src;
        const std::int64_t hi = lo + src;
        AreaTap &t = taps[std::size_t(j)];
        t.first = int(lo / dst);
        t.last = int((hi - 1) / dst);
        if (t.first == t.last) {
            t.firstWeight = std::uint64_t(src);
        } else {
            t.firstWeight = std::uint64_t((std::int64_t(t.first) + 1) * dst - lo);
            t.lastWeight = std::uint64_t(hi - std::int64_t(t.last) * dst);
        }
    }
    return taps;
}

// Sum of count bytes taken every `step` bytes.
template <int Step> std::uint64_t sumBytes(const std::uint8_t *p, int count)
{
    std::uint64_t total = 0;
    // 32-bit partial sums cannot overflow within 2^24 bytes.
    while (count > 0) {
        const int chunk = std::min(count, 1 << 24);
        std::uint32_t part = 0;
        for (int i = 0; i < chunk; ++i)
            part += p[std::size_t(i) * Step];
        total += part;
        p += std::size_t(chunk) * Step;
        count -= chunk;
    }
    return total;
}

// Adds one source row, weighted by wy, into the sums of one result row.
template <int Channels>
void addRow(const std::uint8_t *src, const std::vector<AreaTap> &taps, std::uint64_t interiorWeight,
            std::uint64_t wy, std::uint64_t *acc)
{
    for (std::size_t j = 0; j < taps.size(); ++j) {
        const AreaTap &t = taps[j];
        for (int c = 0; c < Channels; ++c) {
            const std::uint8_t *p = src + c;
            std::uint64_t h = t.firstWeight * p[std::size_t(t.first) * Channels];
            if (t.last > t.first) {
                h += t.lastWeight * p[std::size_t(t.last) * Channels];
                const int inner = t.last - t.first - 1;
                if (inner > 0)
                    h += interiorWeight * sumBytes<Channels>(p + std::size_t(t.first + 1) * Channels, inner);
            }
            acc[j * Channels + std::size_t(c)] += h * wy;
        }
    }
}

// Bitonal row to grey: ink 0, paper 255.
void unpackGrey(const std::uint8_t *row, int width, bool lightZero, std::uint8_t *grey)
{
    static const auto table = [] {
        std::array<std::array<std::uint8_t, 8>, 256> t{};
        for (int b = 0; b < 256; ++b)
            for (int k = 0; k < 8; ++k)
                t[std::size_t(b)][std::size_t(k)] = ((b >> (7 - k)) & 1) ? 255 : 0;
        return t;
    }();
    const std::uint8_t flip = lightZero ? 0xFF : 0x00; // paper bits become 1
    int x = 0;
    for (; x + 8 <= width; x += 8)
        std::memcpy(grey + x, table[std::uint8_t(row[x >> 3] ^ flip)].data(), 8);
    for (; x < width; ++x)
        grey[x] = (getBit(row, x) ^ (flip & 1)) ? 255 : 0;
}

template <int Channels> void reduce(ConstImageView src, bool lightZero, ImageView dst)
{
    const std::vector<AreaTap> tx = areaTaps(src.width, dst.width);
    const std::vector<AreaTap> ty = areaTaps(src.height, dst.height);
    const std::uint64_t total = std::uint64_t(src.width) * std::uint64_t(src.height);
    const std::size_t values = std::size_t(dst.width) * Channels;
    // Work is counted in source bytes so that only large pages are split over threads.
    const std::size_t bytesPerResultRow =
        src.stride * (std::size_t(src.height) / std::size_t(dst.height) + 1);

    forRowBands(dst.height, bytesPerResultRow, [&](int firstRow, int endRow) {
        std::vector<std::uint64_t> acc(values);
        std::vector<std::uint8_t> grey(src.bitCount == 1 ? std::size_t(src.width) : 0);
        auto sourceRow = [&](int y) -> const std::uint8_t * {
            if (src.bitCount != 1)
                return src.row(y);
            unpackGrey(src.row(y), src.width, lightZero, grey.data());
            return grey.data();
        };
        for (int r = firstRow; r < endRow; ++r) {
            std::fill(acc.begin(), acc.end(), 0);
            const AreaTap &t = ty[std::size_t(r)];
            for (int y = t.first; y <= t.last; ++y) {
                const std::uint64_t wy =
                    y == t.first ? t.firstWeight : (y == t.last ? t.lastWeight : std::uint64_t(dst.height));
                addRow<Channels>(sourceRow(y), tx, std::uint64_t(dst.width), wy, acc.data());
            }
            std::uint8_t *d = dst.row(r);
            for (std::size_t i = 0; i < values; ++i)
                d[i] = std::uint8_t((acc[i] + total / 2) / total);
        }
    });
}

} // namespace
} // namespace arkavo::pixolve

using namespace arkavo::pixolve;

// The thumbnail always takes the size that fits the box, so a page smaller than the box
// is enlarged; the area means then spread each page pixel over the result pixels it
// covers. The page is never read outside its own rows and columns.
extern "C" HGLOBAL Thumbnail(HGLOBAL image, int boxWidth, int boxHeight)
{
    return guarded([&]() -> HGLOBAL {
        if (boxWidth <= 0 || boxHeight <= 0)
            return nullptr;
        SourcePage page(image);
        if (!page)
            return nullptr;
        const std::int64_t W = page.width();
        const std::int64_t H = page.height();
        std::int64_t tw, th;
        if (double(boxHeight) / double(H) < double(boxWidth) / double(W)) {
            tw = W * boxHeight / H;
            th = boxHeight;
        } else {
            tw = boxWidth;
            th = H * boxWidth / W;
        }
        // A very narrow or very flat page would truncate to nothing; keep one pixel.
        tw = std::max<std::int64_t>(tw, 1);
        th = std::max<std::int64_t>(th, 1);

        const ConstImageView src = WrapDib(page);
        ResultBlock result;
        if (page.bitCount() == 1) {
            result = ResultBlock::withFormat(page, int(tw), int(th), 8, 256);
            if (!result)
                return nullptr;
            std::uint8_t *palette = result.block() + DibHeaderSize;
            for (int i = 0; i < 256; ++i) {
                palette[4 * i] = palette[4 * i + 1] = palette[4 * i + 2] = std::uint8_t(i);
                palette[4 * i + 3] = 0;
            }
        } else {
            result = ResultBlock::resized(page, int(tw), int(th));
            if (!result)
                return nullptr;
        }
        const ImageView dst = result.image();
        switch (page.bitCount()) {
        case 1:
        case 8:
            reduce<1>(src, page.lightZero(), dst);
            break;
        case 24:
            reduce<3>(src, false, dst);
            break;
        default:
            reduce<4>(src, false, dst);
            break;
        }
        return result.release();
    });
}
