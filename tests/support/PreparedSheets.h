#pragma once
// A4 sheets at 300 dpi as a scanner sees them, made in code: a sheet of paper, turned by
// a known skew, on the scanner's black background, with a long rule near the top and
// a row of n marks below it that tell the sheets apart. ReadSheet finds the rule and
// the marks again in a page that came back, wherever cleaning moved them.
#include "PatternPage.h"

#include <arkavo/Dib.h>
#include <codec.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <stdexcept>

namespace arkavo::test {

struct SheetSpec {
    int marks = 0;       // 0: a blank separator sheet
    double skew = 0;     // degrees, clockwise as displayed
    int background = 0;  // pixels of black background around the paper
    bool colour = false; // 24-bit instead of 8-bit grey
};

inline constexpr int kSheetWidth = 2480, kSheetHeight = 3508; // A4 at 300 dpi
// Layout on the paper, in pixels from its top left corner.
inline constexpr int kRuleLeft = 300, kRuleRight = 2180, kRuleTop = 420, kRuleThickness = 8;
inline constexpr int kMarkTop = 520, kMarkSize = 60, kMarkPitch = 120;

// The grey value of the sheet at (x, y), counted from the top left of the image.
class SheetPainter {
public:
    explicit SheetPainter(const SheetSpec &s)
        : m_spec(s), m_cos(std::cos(-s.skew * M_PI / 180.0)), m_sin(std::sin(-s.skew * M_PI / 180.0))
    {
    }

    std::uint8_t grey(double x, double y) const
    {
        // Turn the image point back onto the unturned paper around the page centre.
        const double cx = kSheetWidth / 2.0, cy = kSheetHeight / 2.0;
        const double u = cx + (x - cx) * m_cos - (y - cy) * m_sin;
        const double v = cy + (x - cx) * m_sin + (y - cy) * m_cos;
        const int b = m_spec.background;
        if (u < b || v < b || u >= kSheetWidth - b || v >= kSheetHeight - b)
            return 12; // the lid's black behind the paper
        if (m_spec.marks == 0)
            return 245;
        if (u >= kRuleLeft && u < kRuleRight && v >= kRuleTop && v < kRuleTop + kRuleThickness)
            return 20;
        if (v >= kMarkTop && v < kMarkTop + kMarkSize && u >= kRuleLeft) {
            const int k = int((u - kRuleLeft) / kMarkPitch);
            if (k < m_spec.marks && u - kRuleLeft - k * kMarkPitch < kMarkSize)
                return 20;
        }
        // Lines of text-like ink below, so the page has a body for deskew to read.
        if (v > 800 && v < kSheetHeight - 500 && u > kRuleLeft && u < kRuleRight) {
            const int line = int(v - 800) % 90;
            const int column = int(u - kRuleLeft) % 37;
            if (line < 28 && column < 22 && (int(u) / 37 + int(v) / 90) % 7 != 0)
                return 35;
        }
        return 245;
    }

private:
    SheetSpec m_spec;
    double m_cos, m_sin;
};

inline GlobalBlock MakeSheet(const SheetSpec &s)
{
    const SheetPainter painter(s);
    return MakePatternPage(
        kSheetWidth, kSheetHeight, s.colour ? 24 : 8, [&s, &painter](std::uint8_t *row, int x, int rowIndex) {
            const std::uint8_t g = painter.grey(x, kSheetHeight - 1 - rowIndex); // bottom-up
            if (s.colour) {
                row[3 * x] = std::uint8_t(g * 0.9); // a slightly warm paper
                row[3 * x + 1] = g;
                row[3 * x + 2] = g;
            } else {
                row[x] = g;
            }
        });
}

// Writes the sheet as the JPEG a scanner would send.
inline void WriteSheetJpeg(const SheetSpec &s, const std::filesystem::path &file)
{
    GlobalBlock dib = MakeSheet(s);
    TCodecImage image{300, 300, dib.get()};
    if (SaveJPG(&image, file.string().c_str()) != 1)
        throw std::runtime_error("cannot write " + file.string());
}

// Grey value of a pixel of a 1, 8 or 24-bit page, counted from the top left.
class PageReader {
public:
    explicit PageReader(HGLOBAL h) : m_lock(h)
    {
        if (m_lock)
            m_info = describeDib(m_lock.data(), GlobalSize(h));
        if (!m_info)
            throw std::runtime_error("not a page image");
    }
    int width() const { return m_info->width; }
    int height() const { return m_info->height; }
    int bits() const { return m_info->bitCount; }
    int grey(int x, int y) const
    {
        const std::uint8_t *d = m_lock.data();
        const std::uint8_t *r = m_info->row(d, m_info->height - 1 - y);
        switch (m_info->bitCount) {
        case 1: {
            const int index = (r[x / 8] >> (7 - x % 8)) & 1;
            return m_info->palette(d)[4 * index + 1];
        }
        case 8:
            return m_info->palette(d)[4 * r[x] + 1];
        default:
            return (r[3 * x] + r[3 * x + 1] + r[3 * x + 2]) / 3;
        }
    }
    bool dark(int x, int y) const { return grey(x, y) < 128; }

private:
    GlobalLockGuard m_lock;
    std::optional<DibInfo> m_info;
};

struct SheetReading {
    bool blank = true;
    bool ruled = false; // the rule was found
    int marks = 0;
    double skew = 0; // degrees the rule still leans, clockwise as displayed
};

// Finds the rule as the topmost dark line in the page: its centre row in two columns a
// long way apart gives its slope, and the marks are counted along a line parallel to
// it, from the rule's left end. Meant for pages without the lid's black around them.
inline SheetReading ReadSheet(HGLOBAL page)
{
    const PageReader p(page);
    SheetReading r;
    long darkCount = 0;
    for (int y = 0; y < p.height(); y += 4)
        for (int x = 0; x < p.width(); x += 4)
            darkCount += p.dark(x, y);
    r.blank = darkCount * 16 < long(p.width()) * p.height() / 1000;
    if (r.blank)
        return r;
    // The centre row of the first dark run from the top in column x, weighted by ink.
    auto ruleRow = [&p](int x) -> double {
        for (int y = 0; y < p.height(); ++y) {
            if (!p.dark(x, y))
                continue;
            double sum = 0, weight = 0;
            for (int k = std::max(0, y - 2); k < p.height() && k < y + 2 * kRuleThickness; ++k) {
                const double w = std::max(0, 200 - p.grey(x, k));
                sum += w * k;
                weight += w;
            }
            return weight > 0 ? sum / weight : y;
        }
        return -1;
    };
    // Both columns lie inside the rule whether or not the page was cropped.
    const int x1 = p.width() / 4, x2 = p.width() * 3 / 4;
    const double y1 = ruleRow(x1), y2 = ruleRow(x2);
    if (y1 < 0 || y2 < 0 || std::abs(y2 - y1) > (x2 - x1) * 0.1)
        return r;
    r.ruled = true;
    const double slope = (y2 - y1) / double(x2 - x1);
    r.skew = std::atan(slope) * 180.0 / M_PI;
    auto onRule = [&](int x) {
        const int y = int(std::lround(y1 + (x - x1) * slope));
        return y >= 0 && y < p.height() && p.dark(x, y);
    };
    int left = x1;
    while (left > 0 && onRule(left - 1))
        --left;
    // Marks lie a fixed distance below the rule, starting under its left end.
    const double below = kMarkTop - kRuleTop + kMarkSize / 2.0 - kRuleThickness / 2.0;
    bool inMark = false;
    for (int x = left; x < p.width() && x < left + 12 * kMarkPitch; ++x) {
        const int y = int(std::lround(y1 + (x - x1) * slope + below));
        if (y < 0 || y >= p.height())
            break;
        const bool d = p.dark(x, y);
        if (d && !inMark)
            ++r.marks;
        inMark = d;
    }
    return r;
}

} // namespace arkavo::test
