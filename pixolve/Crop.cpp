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

// Which rows and columns of a region hold content.
struct ContentLines {
    std::vector<std::uint8_t> rows;    // per region row: 1 when it holds content
    std::vector<std::uint8_t> columns; // per region column
};

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
ContentLines findContentBytes(ConstImageView page, const Span64 &r)
{
    const int w = int(r.x1 - r.x0);
    const int h = int(r.y1 - r.y0);
    const std::size_t words = (std::size_t(w) + 7) / 8;
    const std::size_t bpp = std::size_t(page.bitCount / 8);
    ContentLines lines;
    lines.rows.assign(std::size_t(h), 0);
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
                unsigned dark = 0;
                for (std::size_t k = 0; k < words; ++k) {
                    const std::uint8_t *at = k < fullWords ? g + 8 * k : grey.data();
                    const std::uint64_t d = swar::below(swar::load(at), DarkBelow);
                    m.add(k, d);
                    dark += swar::highBits(d);
                }
                lines.rows[std::size_t(y)] = dark >= 2;
            }
        });
    std::vector<std::uint8_t> twice(words * 8);
    std::memcpy(twice.data(), marks.twice.data(), words * 8);
    lines.columns.resize(std::size_t(w));
    for (int i = 0; i < w; ++i)
        lines.columns[std::size_t(i)] = twice[std::size_t(i)] >> 7;
    return lines;
}

// 1-bit pages: ink (grey 0) is the only dark value. The region's pixels are shifted to
// the start of a scratch row so that whole 64-bit words can be combined.
ContentLines findContentBits(ConstImageView page, bool lightZero, const Span64 &r)
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
    ContentLines lines;
    lines.rows.assign(std::size_t(h), 0);

    const ColumnMarks marks = markBands(h, words, words * 8, [&](int first, int end, ColumnMarks &m) {
        std::vector<std::uint8_t> scratch(words * 8, 0);
        for (int y = first; y < end; ++y) {
            copyBitRange(scratch.data(), page.row(int(r.y0) + y), int(r.x0), w);
            unsigned ink = 0; // counts to two at most per word: enough to tell a content row
            for (std::size_t k = 0; k < words; ++k) {
                std::uint64_t bits;
                std::memcpy(&bits, scratch.data() + 8 * k, 8);
                const std::uint64_t d = (lightZero ? bits : ~bits) & valid[k];
                m.add(k, d);
                ink += (d != 0) + ((d & (d - 1)) != 0);
            }
            lines.rows[std::size_t(y)] = ink >= 2;
        }
    });
    std::vector<std::uint8_t> twice(words * 8);
    std::memcpy(twice.data(), marks.twice.data(), words * 8);
    lines.columns.resize(std::size_t(w));
    for (int i = 0; i < w; ++i)
        lines.columns[std::size_t(i)] = getBit(twice.data(), i);
    return lines;
}

// First index in scan order at which RunLength content lines follow each other, or -1.
int findRun(const std::vector<std::uint8_t> &content, bool forward)
{
    const int n = int(content.size());
    int run = 0;
    for (int k = 0; k < n; ++k) {
        const int i = forward ? k : n - 1 - k;
        run = content[std::size_t(i)] ? run + 1 : 0;
        if (run == RunLength)
            return i;
    }
    return -1;
}

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
                const ContentLines lines = page.bitCount() == 1 ? findContentBits(src, page.lightZero(), r)
                                                                : findContentBytes(src, r);
                const int h = int(lines.rows.size());
                const int w = int(lines.columns.size());
                const int a = findRun(lines.rows, true);
                const int b = findRun(lines.rows, false);
                const int c = findRun(lines.columns, true);
                const int d = findRun(lines.columns, false);
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
