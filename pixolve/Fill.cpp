// Fill: sets every pixel of a rectangle to one value; the program erases a selection to
// white with it.
#include "PageAreas.h"

#include <algorithm>
#include <cstring>

using namespace arkavo::pixolve;

extern "C" HGLOBAL Fill(HGLOBAL image, const RECT *rect, int value)
{
    if (!rect)
        return nullptr;
    return sameSizeResult(image, [&](SourcePage &page, ResultBlock &result) {
        const ConstImageView src = WrapDib(page);
        const ImageView dst = result.image();
        std::memcpy(dst.bits, src.bits, src.bytes());

        // Only the part of the rectangle that lies on the page is filled.
        Span64 area = libraryArea(*rect, page.height());
        if (!clipToPage(area, page.width(), page.height()))
            return;

        int v = std::clamp(value, 0, 255);
        // On light-zero bitonal pages bit 0 is white: 255 must still mean white.
        if (page.bitCount() == 1 && page.lightZero())
            v = 255 - v;
        const int x0 = int(area.x0);
        const int x1 = int(area.x1);
        for (int y = int(area.y0); y < int(area.y1); ++y) {
            std::uint8_t *row = dst.row(y);
            switch (dst.bitCount) {
            case 1:
                setBitRange(row, x0, x1, v != 0 ? 1 : 0);
                break;
            case 8:
                std::memset(row + x0, v, std::size_t(x1 - x0));
                break;
            case 24:
                std::memset(row + 3 * std::size_t(x0), v, 3 * std::size_t(x1 - x0));
                break;
            default: // 32-bit: the three colour bytes; the fourth byte stays
                for (int x = x0; x < x1; ++x)
                    std::memset(row + 4 * std::size_t(x), v, 3);
                break;
            }
        }
    });
}
