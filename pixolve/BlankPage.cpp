// IsBlankPage: the share of black in the central part of a page, so that callers can
// recognise empty separator sheets. The outer eighth on every side is left out, where
// punch holes, staples and scanner edges show.
#include "PageAreas.h"

#include <cmath>
#include <vector>

using namespace arkavo::pixolve;

namespace {

// Black pixels (grey level below t) among columns [x0, x0 + w) of rows [y0, y0 + h).
std::int64_t countBlack(ConstImageView page, bool lightZero, int x0, int y0, int w, int h, int t)
{
    std::int64_t black = 0;
    if (page.bitCount == 1) {
        // Grey levels are 0 (ink) and 255 (paper).
        const bool inkBlack = t > 0;
        const bool paperBlack = t > 255;
        if (!inkBlack && !paperBlack)
            return 0;
        if (inkBlack && paperBlack)
            return std::int64_t(w) * h;
        std::int64_t set = 0;
        for (int y = y0; y < y0 + h; ++y)
            set += countBitRange(page.row(y), x0, x0 + w);
        // Set bits are ink on light-zero pages and paper on the others.
        return lightZero ? set : std::int64_t(w) * h - set;
    }
    if (t <= 0)
        return 0;
    if (page.bitCount == 8) {
        for (int y = y0; y < y0 + h; ++y) {
            const std::uint8_t *p = page.row(y) + x0;
            std::uint32_t n = 0;
            int i = 0;
            for (; i + 8 <= w; i += 8)
                n += swar::countBelow(swar::load(p + i), t);
            for (; i < w; ++i)
                n += int(p[i]) < t;
            black += n;
        }
        return black;
    }
    const std::size_t bpp = std::size_t(page.bitCount / 8);
    std::vector<std::uint8_t> grey(std::size_t(w) + 8, 0xFF);
    for (int y = y0; y < y0 + h; ++y) {
        greyBelow(page.row(y) + std::size_t(x0) * bpp, w, bpp, t, grey.data());
        std::uint32_t n = 0;
        for (int i = 0; i < w; i += 8)
            n += swar::countBelow(swar::load(grey.data() + i), t);
        black += n;
    }
    return black;
}

} // namespace

extern "C" int IsBlankPage(HGLOBAL image, int threshold)
{
    try {
        SourcePage page(image);
        if (!page)
            return -1;
        const int W = page.width();
        const int H = page.height();
        const int x0 = W / 8;
        const int y0 = H / 8;
        const int w = int(std::int64_t(W) * 3 / 4);
        const int h = int(std::int64_t(H) * 3 / 4);
        const std::int64_t total = std::int64_t(w) * h;
        if (total == 0)
            return -1;
        const std::int64_t black = countBlack(WrapDib(page), page.lightZero(), x0, y0, w, h, threshold);
        return int(std::floor(10000.0 * double(black) / double(total)));
    } catch (...) {
        return -1;
    }
}
