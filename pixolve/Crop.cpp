// Crop: cuts a page down to a rectangle, or to the content found inside it (a box around
// the runs of lines that hold ink), grown by a margin.
#include "PageAreas.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace arkavo::pixolve {
namespace {

// Grey levels 0..126 are dark; a row or column with two dark pixels holds content.
constexpr int DarkBelow = 127;
// A box edge is found where this many content lines follow each other.
constexpr int RunLength = 5;

// Which columns of a region hold content (1 per column). Rows are tested one by one
// only as far as the searches from both ends need them.
using ContentColumns = std::vector<std::uint8_t>;

// Per column, whether one and whether two dark pixels have been seen, as bit masks laid
// out like the pixels they stand for (one high bit per grey byte, or one bit per bitonal
// pixel). Rows are taken in bands, possibly on several threads, and the bands' marks merged.
struct ColumnMarks {
    std::vector<std::uint64_t> once, twice;
    explicit ColumnMarks(std::size_t words) : once(words, 0), twice(words, 0) {}

    void add(std::size_t k, std::uint64_t dark)
    {
        twice[k] |= once[k] & dark;
        once[k] |= dark;
    }
    void merge(const ColumnMarks &band)
    {
        for (std::size_t k = 0; k < once.size(); ++k) {
            twice[k] |= band.twice[k] | (once[k] & band.once[k]);
            once[k] |= band.once[k];
        }
    }
};

template <typename BandFn>
ColumnMarks markBands(int h, std::size_t words, std::size_t bytesPerRow, BandFn band)
{
    ColumnMarks all(words);
    std::mutex merging;
    forRowBands(h, bytesPerRow, [&](int first, int end) {
        ColumnMarks marks(words);
        band(first, end, marks);
        std::lock_guard<std::mutex> lock(merging);
        all.merge(marks);
    });
    return all;
}

// Grey pages (and colour pages through their luminance), eight grey bytes at a time.
ContentColumns findContentBytes(ConstImageView page, const Span64 &r)
{
    const int w = int(r.x1 - r.x0);
    const int h = int(r.y1 - r.y0);
    const std::size_t words = (std::size_t(w) + 7) / 8;
    const std::size_t bpp = std::size_t(page.bitCount / 8);
    const ColumnMarks marks =
        markBands(h, words, std::size_t(w) * bpp, [&](int first, int end, ColumnMarks &m) {
            // Colour rows are turned into grey first; grey rows are read in place, except
            // for a last partial word, copied out with white past the region.
            std::vector<std::uint8_t> grey(bpp == 1 ? 8 : words * 8, 0xFF);
            const std::size_t fullWords = bpp == 1 ? std::size_t(w) / 8 : words;
            for (int y = first; y < end; ++y) {
                const std::uint8_t *src = page.row(int(r.y0) + y) + std::size_t(r.x0) * bpp;
                const std::uint8_t *g = src;
                if (bpp == 1) {
                    std::memcpy(grey.data(), src + 8 * fullWords, std::size_t(w) - 8 * fullWords);
                } else {
                    greyBelow(src, w, bpp, DarkBelow, grey.data());
                    g = grey.data();
                }
                for (std::size_t k = 0; k < words; ++k) {
                    const std::uint8_t *at = k < fullWords ? g + 8 * k : grey.data();
                    m.add(k, swar::below(swar::load(at), DarkBelow));
                }
            }
        });
    std::vector<std::uint8_t> twice(words * 8);
    std::memcpy(twice.data(), marks.twice.data(), words * 8);
    ContentColumns columns(static_cast<std::size_t>(w));
    for (int i = 0; i < w; ++i)
        columns[std::size_t(i)] = twice[std::size_t(i)] >> 7;
    return columns;
}

// 1-bit pages: ink (grey 0) is the only dark value. The region's pixels are shifted to
// the start of a scratch row so that whole 64-bit words can be combined.
ContentColumns findContentBits(ConstImageView page, bool lightZero, const Span64 &r)
{
    const int w = int(r.x1 - r.x0);
    const int h = int(r.y1 - r.y0);
    const std::size_t words = (std::size_t(w) + 63) / 64;
    // Pixels past w must never count as ink. The mask is built as bytes so that its bits
    // sit where the row's bits sit when both are read as words.
    std::vector<std::uint8_t> validBytes(words * 8, 0);
    setBitRange(validBytes.data(), 0, w, 1);
    std::vector<std::uint64_t> valid(words);
    std::memcpy(valid.data(), validBytes.data(), words * 8);

    const ColumnMarks marks = markBands(h, words, words * 8, [&](int first, int end, ColumnMarks &m) {
        std::vector<std::uint8_t> scratch(words * 8, 0);
        // A region starting on a byte boundary is read in place, all but its last word;
        // otherwise each row is shifted into the scratch row first.
        const bool aligned = (r.x0 & 7) == 0;
        const std::size_t inPlace = aligned ? std::size_t(w) / 64 : 0;
        for (int y = first; y < end; ++y) {
            const std::uint8_t *row = page.row(int(r.y0) + y);
            if (aligned)
                copyBitRange(scratch.data() + 8 * inPlace, row, int(r.x0) + int(64 * inPlace),
                             w - int(64 * inPlace));
            else
                copyBitRange(scratch.data(), row, int(r.x0), w);
            const std::uint8_t *inRow = row + (r.x0 >> 3);
            for (std::size_t k = 0; k < words; ++k) {
                const std::uint64_t bits = swar::load(k < inPlace ? inRow + 8 * k : scratch.data() + 8 * k);
                m.add(k, (lightZero ? bits : ~bits) & valid[k]);
            }
        }
    });
    std::vector<std::uint8_t> twice(words * 8);
    std::memcpy(twice.data(), marks.twice.data(), words * 8);
    ContentColumns columns(static_cast<std::size_t>(w));
    for (int i = 0; i < w; ++i)
        columns[std::size_t(i)] = getBit(twice.data(), i);
    return columns;
}

// First index in scan order (0.. n - 1 forward, n - 1.. 0 backward) at which RunLength
// content lines follow each other, or -1.
template <typename IsContent> int findRun(int n, bool forward, IsContent isContent)
{
    int run = 0;
    for (int k = 0; k < n; ++k) {
        const int i = forward ? k : n - 1 - k;
        run = isContent(i) ? run + 1 : 0;
        if (run == RunLength)
            return i;
    }
    return -1;
}

// Whether one row of the region holds two dark pixels; stops counting at the second.
class RowTest {
public:
    RowTest(ConstImageView page, bool lightZero, const Span64 &r)
        : m_page(page), m_lightZero(lightZero), m_x0(int(r.x0)), m_y0(int(r.y0)), m_w(int(r.x1 - r.x0)),
          m_row(page.bitCount == 1 ? (std::size_t(m_w) + 63) / 64 * 8 : (std::size_t(m_w) + 7) / 8 * 8, 0)
    {
        if (page.bitCount == 1) {
            m_valid.assign(m_row.size(), 0);
            setBitRange(m_valid.data(), 0, m_w, 1);
        }
    }

    bool operator()(int y)
    {
        const std::uint8_t *src = m_page.row(m_y0 + y);
        unsigned dark = 0;
        if (m_page.bitCount == 1) {
            copyBitRange(m_row.data(), src, m_x0, m_w);
            for (std::size_t k = 0; k < m_row.size() && dark < 2; k += 8) {
                const std::uint64_t bits = swar::load(m_row.data() + k);
                const std::uint64_t d = (m_lightZero ? bits : ~bits) & swar::load(m_valid.data() + k);
                dark += (d != 0) + ((d & (d - 1)) != 0);
            }
            return dark >= 2;
        }
        const std::size_t bpp = std::size_t(m_page.bitCount / 8);
        std::fill(m_row.begin() + m_w, m_row.end(), 0xFF);
        if (bpp == 1)
            std::memcpy(m_row.data(), src + m_x0, std::size_t(m_w));
        else
            greyBelow(src + std::size_t(m_x0) * bpp, m_w, bpp, DarkBelow, m_row.data());
        for (std::size_t k = 0; k < m_row.size() && dark < 2; k += 8)
            dark += swar::highBits(swar::below(swar::load(m_row.data() + k), DarkBelow));
        return dark >= 2;
    }

private:
    ConstImageView m_page;
    bool m_lightZero;
    int m_x0, m_y0, m_w;
    std::vector<std::uint8_t> m_row, m_valid;
};

// Box start from the low side: two lines before the run's first line.
int boxStart(int hit)
{
    return hit > 6 ? hit - 6 : 0;
}
// Box end (exclusive) from the high side: one line beyond the run's outer line.
int boxEnd(int hit, int n)
{
    const int k = hit <= 0 ? n - 1 : hit;
    return n - k > 6 ? k + 6 : n - 1;
}

// Copies columns [x0, x1) of rows [y0, y1) into the result.
void copyBox(ConstImageView src, ImageView dst, const Span64 &box)
{
    const int w = int(box.x1 - box.x0);
    for (int y = 0; y < dst.height; ++y) {
        const std::uint8_t *s = src.row(int(box.y0) + y);
        std::uint8_t *d = dst.row(y);
        if (src.bitCount == 1)
            copyBitRange(d, s, int(box.x0), w);
        else
            std::memcpy(d, s + std::size_t(box.x0) * std::size_t(src.bitCount / 8),
                        std::size_t(w) * std::size_t(src.bitCount / 8));
    }
}

} // namespace
} // namespace arkavo::pixolve

using namespace arkavo::pixolve;

extern "C" HGLOBAL Crop(HGLOBAL image, RECT *rect, int mode, int margin)
{
    return guarded([&]() -> HGLOBAL {
        if (!rect || mode < 0 || mode > 2)
            return nullptr;
        SourcePage page(image);
        if (!page)
            return nullptr;
        const int W = page.width();
        const int H = page.height();
        const ConstImageView src = WrapDib(page);

        Span64 box{};
        bool found = true;
        if (mode == 0) {
            box = libraryArea(*rect, H);
        } else {
            Span64 r = mode == 2 ? Span64{0, 0, W, H} : libraryArea(*rect, H);
            // A search area reaching past the page is searched only where it lies on it.
            found = clipToPage(r, W, H);
            if (found) {
                const ContentColumns columns = page.bitCount() == 1
                                                   ? findContentBits(src, page.lightZero(), r)
                                                   : findContentBytes(src, r);
                const int h = int(r.y1 - r.y0);
                const int w = int(columns.size());
                RowTest row(src, page.lightZero(), r);
                auto column = [&](int i) { return columns[std::size_t(i)] != 0; };
                const int a = findRun(h, true, row);
                const int b = findRun(h, false, row);
                const int c = findRun(w, true, column);
                const int d = findRun(w, false, column);
                box = {r.x0 + boxStart(c), r.y0 + boxStart(a), r.x0 + boxEnd(d, w), r.y0 + boxEnd(b, h)};
            }
        }
        if (found) {
            const std::int64_t m = margin;
            box = {box.x0 - m, box.y0 - m, box.x1 + m, box.y1 + m};
            found = clipToPage(box, W, H);
        }
        // Nothing left to keep (an empty or off-page rectangle, or a page too small to
        // search): the page comes back whole, and so does the rectangle.
        if (!found)
            box = {0, 0, W, H};

        ResultBlock result = ResultBlock::resized(page, int(box.x1 - box.x0), int(box.y1 - box.y0));
        if (!result)
            return nullptr;
        copyBox(src, result.image(), box);
        *rect = RECT{std::int32_t(box.x0), std::int32_t(H - box.y1), std::int32_t(box.x1),
                     std::int32_t(H - box.y0)};
        return result.release();
    });
}
