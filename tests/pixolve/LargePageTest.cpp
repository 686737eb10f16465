// Pages of a few megabytes take other paths (rows split over threads, two-byte tone
// tables); their results must follow the same rules as small pages.
#include "TestDib.h"
#include "pixolve.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace arkavo;
using test::DibReader;

namespace {

constexpr int Width = 1203, Height = 1401; // 1.7 MB at 8 bits, odd sizes

// What a tone operation does to each level, read off a small page holding each level once.
std::vector<std::uint32_t> levelsOf(const std::function<HGLOBAL(HGLOBAL)> &op)
{
    GlobalBlock ramp = test::makeDib(16, 16, 8, [](int x, int y) { return std::uint32_t(x + 16 * y); });
    GlobalBlock result(op(ramp.get()));
    const DibReader r(result.get());
    std::vector<std::uint32_t> out;
    for (int v = 0; v < 256; ++v)
        out.push_back(r.pixel(v % 16, v / 16));
    return out;
}

} // namespace

TEST(LargePages, ToneOperationsMapEveryByteLikeOnSmallPages)
{
    const std::function<HGLOBAL(HGLOBAL)> ops[] = {
        [](HGLOBAL h) { return AdjustContrast(h, 25); },
        [](HGLOBAL h) { return AdjustContrast(h, -60); },
        [](HGLOBAL h) { return AdjustBrightnessAndContrast(h, 100, 50); },
        [](HGLOBAL h) { return AdjustBrightness(h, -25); },
    };
    for (int bits : {8, 24, 32})
        for (const auto &op : ops) {
            const auto levels = levelsOf(op);
            GlobalBlock page = test::makeNoiseDib(Width, Height, bits);
            GlobalBlock result(op(page.get()));
            ASSERT_TRUE(result);
            const DibReader in(page.get()), out(result.get());
            bool ok = true;
            for (int y = 0; y < Height && ok; ++y)
                for (int x = 0; x < Width && ok; ++x) {
                    const std::uint32_t v = in.pixel(x, y, true), r = out.pixel(x, y, true);
                    for (int c = 0; c < (bits == 8 ? 1 : 3); ++c)
                        ok &= ((r >> (8 * c)) & 0xFF) == levels[(v >> (8 * c)) & 0xFF];
                    if (bits == 32)
                        ok &= (r >> 24) == (v >> 24);
                    EXPECT_TRUE(ok) << bits << " bits at " << x << "," << y;
                }
        }
}

TEST(LargePages, GeometryKeepsItsRules)
{
    for (int bits : {1, 8, 24}) {
        const int w = bits == 1 ? Width * 8 : Width; // the 1-bit page needs width to be large
        GlobalBlock page = test::makeNoiseDib(w, Height, bits);
        const auto bytes = test::blockBytes(page.get());
        for (auto op : {Mirror, Flip, Invert}) {
            GlobalBlock once(op(page.get()));
            GlobalBlock twice(op(once.get()));
            EXPECT_EQ(test::blockBytes(twice.get()), bytes) << bits;
        }
        GlobalBlock right(RotateExpand(page.get(), 90, 0, 0, 0));
        GlobalBlock back(RotateExpand(right.get(), -90, 0, 0, 0));
        EXPECT_EQ(test::blockBytes(back.get()), bytes) << bits;
        const DibReader in(page.get()), r(right.get());
        for (auto [x, y] : {std::pair{0, 0}, {Height - 1, 0}, {0, w - 1}, {Height - 1, w - 1}, {517, 611}})
            EXPECT_EQ(r.pixel(x, y), in.pixel(w - 1 - y, x)) << bits << " at " << x << "," << y;

        GlobalBlock same(Rotate(page.get(), 0.0, w / 2, Height / 2, 1));
        EXPECT_TRUE(test::samePixels(DibReader(same.get()), in)) << bits;
    }
}

TEST(LargePages, TextEffectMatchesTheWindowEverywhere)
{
    for (int bits : {1, 8}) {
        const int w = bits == 1 ? Width * 8 : Width;
        GlobalBlock page = test::makeNoiseDib(w, Height, bits);
        GlobalBlock result(TextEffect(page.get(), 2));
        const DibReader in(page.get()), out(result.get());
        bool ok = true;
        for (int y = 0; y < Height && ok; ++y)
            for (int x = 0; x < w && ok; ++x) {
                std::uint32_t v = in.pixel(x, y);
                for (int j = y; j <= std::min(y + 2, Height - 1); ++j)
                    for (int i = x; i <= std::min(x + 2, w - 1); ++i)
                        v = std::min(v, in.pixel(i, j));
                ok = out.pixel(x, y) == v;
                EXPECT_TRUE(ok) << bits << " bits at " << x << "," << y;
            }
    }
}
