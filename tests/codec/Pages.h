#pragma once
// Page images built in code for the codec tests, and small helpers to look inside them.
#include "codec.h"

#include <arkavo/GlobalBlock.h>

#include <cstdint>
#include <string>
#include <vector>

namespace arkavo::test {

// A DIB with the given depth and palette (BGRX entries), pixels set by `pattern`.
GlobalBlock makeDib(int width, int height, int bits, const std::vector<std::uint32_t> &palette,
                    int dpi = 300);

// 1-bit black/white, 8-bit grey ramp and 24/32-bit pages with a busy pattern that
// exercises every bit and byte position.
GlobalBlock patternPage(int width, int height, int bits, int dpi = 300);

struct DibInfo {
    int width = 0;
    int height = 0;
    int bits = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t size = 0;
};
DibInfo dibInfo(HGLOBAL dib);
std::uint32_t paletteEntry(HGLOBAL dib, int index); // 0x00RRGGBB

// Grey level of pixel (x, y), y counted from the top, whatever the depth.
int greyAt(HGLOBAL dib, int x, int y);
// BGR of a colour pixel, as 0x00RRGGBB.
std::uint32_t colourAt(HGLOBAL dib, int x, int y);

// Largest difference in grey level (or per colour channel) over all pixels; -1 when
// the sizes differ.
int maxDifference(HGLOBAL a, HGLOBAL b);

// Mean difference of grey levels, for lossy formats.
double meanDifference(HGLOBAL a, HGLOBAL b);

// Loads page `page`; the record's Dib goes into `out`.
int load(const std::string &path, GlobalBlock &out, int page = 0, int *xdpi = nullptr, int *ydpi = nullptr);

std::vector<std::uint8_t> readBytes(const std::string &path);
void writeBytes(const std::string &path, const std::vector<std::uint8_t> &bytes);

// Collects whatever is written to stderr (fd 2) while it lives.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    std::string text();

private:
    int m_saved = -1;
    int m_file = -1;
    bool m_done = false;
};

} // namespace arkavo::test
