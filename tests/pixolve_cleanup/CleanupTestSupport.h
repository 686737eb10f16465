#pragma once
// Small helpers for the page-area tests: pages described as ink and paper so that one
// table covers both bitonal polarities and the byte depths alike.
#include "TestDib.h"

#include <pixolve.h>

#include <arkavo/GlobalBlock.h>

#include <cstdint>
#include <string>

namespace arkavo::test {

// A depth and, for 1-bit pages, a polarity.
struct PageKind {
    int bitCount;
    bool lightZero = false;

    std::string name() const
    {
        return std::to_string(bitCount) + "-bit" +
               (bitCount == 1 ? (lightZero ? " light-zero" : " dark-zero") : "");
    }
    DibOptions options() const
    {
        DibOptions o;
        o.lightZero = lightZero;
        return o;
    }
    // The stored value of a grey level: bits by polarity (grey below 128 is ink),
    // grey bytes as they are, colour as equal blue, green and red, with a fourth byte.
    std::uint32_t value(int grey) const
    {
        switch (bitCount) {
        case 1:
            return (grey < 128) == lightZero ? 1u : 0u;
        case 8:
            return std::uint32_t(grey);
        case 24:
            return std::uint32_t(grey) * 0x010101u;
        default:
            return 0x5A000000u | std::uint32_t(grey) * 0x010101u;
        }
    }
    // The value as DibReader::pixel() returns it (without the fourth byte).
    std::uint32_t seen(int grey) const { return value(grey) & 0xFFFFFFu; }
    std::uint32_t white() const { return seen(255); }
    std::uint32_t black() const { return seen(0); }
};

inline const PageKind AllKinds[] = {{1, false}, {1, true}, {8}, {24}, {32}};

// A page drawn from grey levels in library coordinates (y = 0 is the bottom row).
inline GlobalBlock makePage(const PageKind &kind, int width, int height,
                            const std::function<int(int, int)> &grey)
{
    return makeDib(
        width, height, kind.bitCount, [&](int x, int y) { return kind.value(grey(x, y)); }, kind.options());
}

} // namespace arkavo::test
