// Thumbnail: a reduced copy of a page that fits a box with the page's proportions, each
// thumbnail pixel the mean of the page area it covers. Bitonal pages give grey thumbnails.
#include "PageAreas.h"

#include <array>
#include <bit>
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

// Horizontal sums of one row of values: for every result column and channel, the values
// weighted by their overlap with the column.
template <int Channels, typename Value>
void rowSums(const Value *src, const std::vector<AreaTap> &taps, std::uint64_t interiorWeight,
             std::uint64_t *out)
{
    for (std::size_t j = 0; j < taps.size(); ++j) {
        const AreaTap &t = taps[j];
        const Value *first = src + std::size_t(t.first) * Channels;
        std::uint64_t h[Channels];
        for (int c = 0; c < Channels; ++c)
            h[c] = t.firstWeight * first[c];
        if (t.last > t.first) {
            const Value *last = src + std::size_t(t.last) * Channels;
            std::uint64_t inner[Channels] = {};
            for (const Value *q = first + Channels; q < last; q += Channels)
                for (int c = 0; c < Channels; ++c)
                    inner[c] += q[c];
            for (int c = 0; c < Channels; ++c)
                h[c] += interiorWeight * inner[c] + t.lastWeight * last[c];
        }
        for (int c = 0; c < Channels; ++c)
            out[j * Channels + std::size_t(c)] = h[c];
    }
}

// Column totals of a run of page rows that all weigh the same. Rows are added eight
// values at a time into narrow lanes of 64-bit words (bytes for bitonal rows, 16 bits for
// grey and colour rows) and the lanes are emptied into 32-bit totals before they can
// overflow. Bitonal rows add 1 per paper pixel.
class ColumnTotals {
public:
    ColumnTotals(ConstImageView src, bool lightZero) : m_src(src), m_flip(lightZero ? 0xFF : 0x00)
    {
        m_values = src.bitCount == 1 ? std::size_t(src.width)
                                     : std::size_t(src.width) * std::size_t(src.bitCount / 8);
        m_words = (m_values + 7) / 8;
        m_totals.resize(m_words * 8);
        m_lanes.resize(src.bitCount == 1 ? m_words : 2 * m_words);
        m_tail.resize(8);
    }

    // Totals of rows [first, end), one per value of a row (per pixel and channel).
    const std::uint32_t *sum(int first, int end)
    {
        std::fill(m_totals.begin(), m_totals.end(), 0u);
        std::fill(m_lanes.begin(), m_lanes.end(), 0u);
        const int capacity = m_src.bitCount == 1 ? 255 : 257; // rows a lane can hold
        int inLanes = 0;
        for (int y = first; y < end; ++y) {
            if (inLanes == capacity) {
                empty();
                inLanes = 0;
            }
            if (m_src.bitCount == 1)
                addBits(m_src.row(y));
            else
                addBytes(m_src.row(y));
            ++inLanes;
        }
        empty();
        return m_totals.data();
    }

private:
    // Per byte of a bitonal row, its eight pixels as byte lanes of 1 (paper) or 0.
    static const std::uint64_t *spread()
    {
        static const auto table = [] {
            std::array<std::uint64_t, 256> t{};
            for (int b = 0; b < 256; ++b) {
                std::uint8_t lanes[8];
                for (int k = 0; k < 8; ++k)
                    lanes[k] = std::uint8_t((b >> (7 - k)) & 1);
                std::memcpy(&t[std::size_t(b)], lanes, 8);
            }
            return t;
        }();
        return table.data();
    }

    void addBits(const std::uint8_t *row)
    {
        const std::uint64_t *table = spread();
        // Pixels past the width land in lanes that are never read.
        for (std::size_t k = 0; k < m_words; ++k)
            m_lanes[k] += table[std::uint8_t(row[k] ^ m_flip)];
    }

    void addBytes(const std::uint8_t *row)
    {
        constexpr std::uint64_t Even = 0x00FF00FF00FF00FFull;
        const std::size_t full = m_values / 8;
        for (std::size_t k = 0; k < m_words; ++k) {
            std::uint64_t w;
            if (k < full) {
                std::memcpy(&w, row + 8 * k, 8);
            } else {
                std::memcpy(m_tail.data(), row + 8 * k, m_values - 8 * k);
                std::memcpy(&w, m_tail.data(), 8);
            }
            m_lanes[2 * k] += w & Even;
            m_lanes[2 * k + 1] += (w >> 8) & Even;
        }
    }

    void empty()
    {
        if (m_src.bitCount == 1) {
            for (std::size_t k = 0; k < m_words; ++k) {
                std::uint8_t lanes[8];
                std::memcpy(lanes, &m_lanes[k], 8);
                for (int i = 0; i < 8; ++i)
                    m_totals[8 * k + std::size_t(i)] += lanes[i];
                m_lanes[k] = 0;
            }
            return;
        }
        // Lane i of the even word holds byte 2i of the eight, the odd word byte 2i + 1
        // (little-endian loads, see addBytes()).
        for (std::size_t k = 0; k < m_words; ++k) {
            for (int i = 0; i < 4; ++i) {
                m_totals[8 * k + std::size_t(2 * i)] += std::uint32_t((m_lanes[2 * k] >> (16 * i)) & 0xFFFF);
                m_totals[8 * k + std::size_t(2 * i + 1)] +=
                    std::uint32_t((m_lanes[2 * k + 1] >> (16 * i)) & 0xFFFF);
            }
            m_lanes[2 * k] = m_lanes[2 * k + 1] = 0;
        }
    }

    ConstImageView m_src;
    std::uint8_t m_flip; // makes paper bits 1
    std::size_t m_values = 0;
    std::size_t m_words = 0;
    std::vector<std::uint32_t> m_totals;
    std::vector<std::uint64_t> m_lanes;
    std::vector<std::uint8_t> m_tail;
};

// Horizontal sums of a bitonal row seen as grey (ink 0, paper 255), from running counts
// of paper pixels per byte rather than an unpacked row.
class BitRowSums {
public:
    BitRowSums(int width, bool lightZero)
        : m_flip(lightZero ? 0xFF : 0x00), m_prefix((std::size_t(width) + 7) / 8 + 1, 0)
    {
    }

    void operator()(const std::uint8_t *row, const std::vector<AreaTap> &taps, std::uint64_t interiorWeight,
                    std::uint64_t *out)
    {
        static constexpr auto ones = [] {
            std::array<std::uint8_t, 256> t{};
            for (int b = 0; b < 256; ++b)
                t[std::size_t(b)] = std::uint8_t(std::popcount(unsigned(b)));
            return t;
        }();
        for (std::size_t b = 0; b + 1 < m_prefix.size(); ++b)
            m_prefix[b + 1] = m_prefix[b] + ones[std::uint8_t(row[b] ^ m_flip)];
        // Paper pixels in [0, x).
        auto paperBefore = [&](int x) {
            std::uint32_t n = m_prefix[std::size_t(x >> 3)];
            if (x & 7)
                n += ones[std::uint8_t((row[x >> 3] ^ m_flip) & (0xFF00u >> (x & 7)))];
            return std::uint64_t(n);
        };
        auto paperAt = [&](int x) { return std::uint64_t(((row[x >> 3] ^ m_flip) >> (7 - (x & 7))) & 1); };
        for (std::size_t j = 0; j < taps.size(); ++j) {
            const AreaTap &t = taps[j];
            std::uint64_t h = t.firstWeight * paperAt(t.first);
            if (t.last > t.first)
                h += t.lastWeight * paperAt(t.last) +
                     interiorWeight * (paperBefore(t.last) - paperBefore(t.first + 1));
            out[j] = 255 * h;
        }
    }

private:
    std::uint8_t m_flip; // makes paper bits 1
    std::vector<std::uint32_t> m_prefix;
};

template <int Channels> void reduce(ConstImageView src, bool lightZero, ImageView dst)
{
    static_assert(std::endian::native == std::endian::little, "byte lanes assume little-endian loads");
    const std::vector<AreaTap> tx = areaTaps(src.width, dst.width);
    const std::vector<AreaTap> ty = areaTaps(src.height, dst.height);
    const std::uint64_t total = std::uint64_t(src.width) * std::uint64_t(src.height);
    const std::size_t values = std::size_t(dst.width) * Channels;
    const std::uint64_t dw = std::uint64_t(dst.width);
    // Work is counted in source bytes so that only large pages are split over threads.
    const std::size_t bytesPerResultRow =
        src.stride * (std::size_t(src.height) / std::size_t(dst.height) + 1);

    forRowBands(dst.height, bytesPerResultRow, [&](int firstRow, int endRow) {
        std::vector<std::uint64_t> acc(values), sums(values);
        BitRowSums bitSums(src.bitCount == 1 ? src.width : 0, lightZero);
        ColumnTotals columns(src, lightZero);
        // A page row weighted by its overlap with the result row.
        auto addEdgeRow = [&](int y, std::uint64_t wy) {
            if (src.bitCount == 1)
                bitSums(src.row(y), tx, dw, sums.data());
            else
                rowSums<Channels>(src.row(y), tx, dw, sums.data());
            for (std::size_t i = 0; i < values; ++i)
                acc[i] += sums[i] * wy;
        };
        for (int r = firstRow; r < endRow; ++r) {
            std::fill(acc.begin(), acc.end(), 0);
            const AreaTap &t = ty[std::size_t(r)];
            addEdgeRow(t.first, t.firstWeight);
            if (t.last > t.first)
                addEdgeRow(t.last, t.lastWeight);
            // The rows in between weigh the same (dst.height each): add them up by column
            // first and reduce the totals once.
            if (t.last - t.first > 1) {
                const std::uint32_t *totals = columns.sum(t.first + 1, t.last);
                rowSums<Channels>(totals, tx, dw, sums.data());
                const std::uint64_t scale = std::uint64_t(dst.height) * (src.bitCount == 1 ? 255u : 1u);
                for (std::size_t i = 0; i < values; ++i)
                    acc[i] += sums[i] * scale;
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
            std::uint8_t *palette = result.block() + arkavo::DibHeaderSize;
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
