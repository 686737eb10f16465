#include "Pages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

using namespace arkavo;
using namespace arkavo::test;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Lines of "words" (blocks with letter-like strokes), as on a typed page.
struct TextLayout {
    std::vector<std::vector<std::pair<int, int>>> words; // per line: [x0, x1)
    int top = 120, pitch = 42, xHeight = 18;

    explicit TextLayout(int width, int lines)
    {
        std::mt19937 rng(7);
        for (int l = 0; l < lines; ++l) {
            std::vector<std::pair<int, int>> line;
            for (int x = 100 + int(rng() % 40); x < width - 180;) {
                const int len = 20 + int(rng() % 90);
                line.emplace_back(x, x + len);
                x += len + 12 + int(rng() % 10);
            }
            words.push_back(line);
        }
    }

    bool ink(double x, double y) const
    {
        const int line = int(std::floor((y - top) / pitch));
        if (line < 0 || line >= int(words.size()) || y - top - line * pitch >= xHeight)
            return false;
        const int xi = int(std::floor(x));
        if (xi % 7 >= 3 && int(std::floor(y)) % 9 >= 2)
            return false;
        for (const auto &w : words[std::size_t(line)])
            if (xi >= w.first && xi < w.second)
                return true;
        return false;
    }
};

// The text page turned clockwise by `degrees` as displayed.
GlobalBlock textPage(int bits, double degrees, int width = 1240, int height = 1754)
{
    static const TextLayout layout(1240, 36);
    std::vector<std::uint32_t> palette;
    if (bits == 1)
        palette = {0x000000, 0xFFFFFF};
    else
        for (std::uint32_t i = 0; i < 256; ++i)
            palette.push_back(i * 0x010101);
    GlobalBlock page = makeDib(width, height, bits, palette, 150);
    GlobalLockGuard lock(page.get());
    std::uint8_t *pixels = lock.data() + 40 + 4 * palette.size();
    const std::size_t stride = std::size_t((width * bits + 31) / 32 * 4);
    const double c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
    const double cx = width / 2.0, cy = height / 2.0;
    std::mt19937 rng(3);
    for (int y = 0; y < height; ++y) {
        std::uint8_t *row = pixels + stride * std::size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const double dx = x - cx, dy = y - cy;
            const bool black = layout.ink(cx + dx * c + dy * s, cy - dx * s + dy * c);
            if (bits == 1) {
                if (!black)
                    row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
            } else {
                row[x] = std::uint8_t((black ? 40 : 225) + int(rng() % 24));
            }
        }
    }
    return page;
}

TEST(CodecSkew, SyntheticTextPagesGiveTheirAngle)
{
    for (int bits : {1, 8})
        for (double angle : {-5.0, -3.3, -1.0, -0.4, 0.0, 0.7, 2.0, 4.5, 5.0}) {
            GlobalBlock page = textPage(bits, angle);
            EXPECT_NEAR(GetAngle(page.get()), angle, 0.1) << bits << "-bit page turned " << angle;
        }
}

// The same 1-bit picture stored another way: palette entry 0 white, or rows top-down.
GlobalBlock restored(const GlobalBlock &page, bool whiteZero, bool topDown)
{
    const DibInfo info = dibInfo(page.get());
    const std::size_t stride = std::size_t((info.width + 31) / 32 * 4);
    GlobalBlock copy = makeDib(info.width, info.height, 1,
                               whiteZero ? std::vector<std::uint32_t>{0xFFFFFF, 0x000000}
                                         : std::vector<std::uint32_t>{0x000000, 0xFFFFFF},
                               150);
    GlobalLockGuard from(page.get()), to(copy.get());
    const std::uint8_t *src = from.data() + 48;
    std::uint8_t *dst = to.data() + 48;
    if (topDown) {
        const std::int32_t height = -info.height;
        std::memcpy(to.data() + 8, &height, 4);
    }
    for (int y = 0; y < info.height; ++y) {
        const std::uint8_t *s = src + stride * std::size_t(y);
        std::uint8_t *d = dst + stride * std::size_t(topDown ? info.height - 1 - y : y);
        for (std::size_t i = 0; i < stride; ++i)
            d[i] = whiteZero ? std::uint8_t(~s[i]) : s[i];
    }
    return copy;
}

// A 1-bit page is handed to the measure without the grey path; whatever its size,
// palette order or row order, it gives exactly the angle of the same picture in grey.
TEST(CodecSkew, BilevelPagesMeasureLikeTheirGreyTwin)
{
    const std::pair<int, int> sizes[] = {{1240, 1754}, {1237, 1753}, {1250, 1754}};
    for (const auto &[width, height] : sizes)
        for (double angle : {-2.5, 0.0, 1.3}) {
            GlobalBlock grey = textPage(8, angle, width, height);
            GlobalBlock bilevel = textPage(1, angle, width, height);
            const double expected = GetAngle(grey.get());
            EXPECT_NEAR(expected, angle, 0.1) << width;
            for (bool whiteZero : {false, true})
                for (bool topDown : {false, true}) {
                    GlobalBlock page = restored(bilevel, whiteZero, topDown);
                    EXPECT_EQ(GetAngle(page.get()), expected)
                        << width << " wide, turned " << angle << (whiteZero ? ", white 0" : "")
                        << (topDown ? ", top-down" : "");
                }
        }
}

TEST(CodecSkew, PagesWithoutTextGiveZero)
{
    std::mt19937 rng(11);
    for (int bits : {1, 8}) {
        GlobalBlock blank = textPage(bits, 0, 64, 64); // too small to carry the layout's text
        GlobalBlock big = makeDib(2480, 3508, bits,
                                  bits == 1 ? std::vector<std::uint32_t>{0, 0xFFFFFF}
                                            : std::vector<std::uint32_t>(256, 0xFFFFFF));
        {
            GlobalLockGuard lock(big.get());
            std::uint8_t *pixels = lock.data() + 40 + (bits == 1 ? 8 : 1024);
            const std::size_t stride = bits == 1 ? 312 : 2480;
            // White paper with scattered specks, as a scanner gives an empty sheet.
            std::memset(pixels, bits == 1 ? 0xFF : 0, stride * 3508);
            for (int i = 0; i < 20000; ++i) {
                const std::size_t y = rng() % 3508, x = rng() % 2480;
                if (bits == 1)
                    pixels[y * stride + x / 8] &= std::uint8_t(~(0x80 >> (x % 8)));
                else
                    pixels[y * stride + x] = 255;
            }
        }
        if (bits == 8) {
            // Palette: index 0 white, anything else black.
            GlobalLockGuard lock(big.get());
            std::memset(lock.data() + 44, 0, 4 * 255);
        }
        EXPECT_EQ(GetAngle(blank.get()), 0.0);
        EXPECT_EQ(GetAngle(big.get()), 0.0) << bits << "-bit speckled page";
    }
}

} // namespace
