// Crop: cuts a page down to a rectangle, or to the content found inside it (a box around
// the runs of lines that hold ink), grown by a margin.
#include "PageAreas.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace arkavo::pixolve {
namespace {

// Grey levels 0..126 are dark; a row or column with two dark pixels holds content.
constexpr int DarkBelow = 127;
// A box edge is found where this many content lines follow each other.
constexpr int RunLength = 5;

// Which rows and columns of a region hold content. One pass in memory order keeps, per
// column, whether one and whether two dark pixels have been seen, as byte masks.
struct ContentLines {
    std::vector<std::uint8_t> rows;    // per region row: 1 when it holds content
    std::vector<std::uint8_t> columns; // per region column
};

// Per-pixel dark masks of one row (0xFF dark, 0 light) for the depths kept in bytes.
void darkMaskRow(const std::uint8_t *row, int x0, int w, int bitCount, std::uint8_t *mask)
{
    if (bitCount == 8) {
        const std::uint8_t *p = row + x0;
        for (int i = 0; i < w; ++i)
            mask[i] = p[i] < DarkBelow ? 0xFF : 0x00;
        return;
    }
    const std::size_t bpp = std::size_t(bitCount / 8);
    const std::uint8_t *p = row + std::size_t(x0) * bpp;
    for (int i = 0; i < w; ++i, p += bpp)
        mask[i] = luminance(p) < DarkBelow ? 0xFF : 0x00;
}

ContentLines findContentBytes(ConstImageView page, const Span64 &r)
{
    const int w = int(r.x1 - r.x0);
    const int h = int(r.y1 - r.y0);
    ContentLines lines;
    lines.rows.assign(std::size_t(h), 0);
    std::vector<std::uint8_t> seen1(std::size_t(w), 0), seen2(std::size_t(w), 0), mask(std::size_t(w), 0);
    for (int y = 0; y < h; ++y) {
        darkMaskRow(page.row(int(r.y0) + y), int(r.x0), w, page.bitCount, mask.data());
        unsigned darkCount = 0;
        for (int i = 0; i < w; ++i) {
            const std::uint8_t d = mask[i];
            seen2[std::size_t(i)] |= seen1[std::size_t(i)] & d;
            seen1[std::size_t(i)] |= d;
            darkCount += d & 1u;
        }
        lines.rows[std::size_t(y)] = darkCount >= 2;
    }
    lines.columns.resize(std::size_t(w));
    for (int i = 0; i < w; ++i)
        lines.columns[std::size_t(i)] = seen2[std::size_t(i)] != 0;
    return lines;
}

// 1-bit pages: ink (grey 0) is the only dark value. The region's pixels are shifted to
// the start of a scratch row so that whole 64-bit words can be combined.
ContentLines findContentBits(ConstImageView page, bool lightZero, const Span64 &r)
{
    const int w = int(r.x1 - r.x0);
    const int h = int(r.y1 - r.y0);
    const std::size_t words = (std::size_t(w) + 63) / 64;
    std::vector<std::uint8_t> scratch(words * 8, 0);
    std::vector<std::uint64_t> seen1(words, 0), seen2(words, 0);
    ContentLines lines;
    lines.rows.assign(std::size_t(h), 0);
    // Pixels past w must never count as ink. The mask is built as bytes so that its bits
    // sit where the row's bits sit when both are read as words.
    std::vector<std::uint8_t> validBytes(words * 8, 0);
    setBitRange(validBytes.data(), 0, w, 1);
    std::vector<std::uint64_t> valid(words);
    std::memcpy(valid.data(), validBytes.data(), words * 8);

    for (int y = 0; y < h; ++y) {
        copyBitRange(scratch.data(), page.row(int(r.y0) + y), int(r.x0), w);
        int inkCount = 0;
        for (std::size_t k = 0; k < words; ++k) {
            std::uint64_t bits;
            std::memcpy(&bits, scratch.data() + 8 * k, 8);
            std::uint64_t ink = lightZero ? bits : ~bits;
            ink &= valid[k];
            seen2[k] |= seen1[k] & ink;
            seen1[k] |= ink;
            if (inkCount < 2)
                inkCount += std::popcount(ink);
        }
        lines.rows[std::size_t(y)] = inkCount >= 2;
    }
    lines.columns.resize(std::size_t(w));
    for (int i = 0; i < w; ++i) {
        std::uint8_t bytes[8];
        std::memcpy(bytes, &seen2[std::size_t(i) / 64], 8);
        const int inWord = i % 64;
        lines.columns[std::size_t(i)] = (bytes[inWord >> 3] >> (7 - (inWord & 7))) & 1;
    }
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
