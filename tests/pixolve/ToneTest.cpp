// Brightness, contrast, stroke weight and watermark on pages built in code.
#include "TestDib.h"
#include "pixolve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

using namespace arkavo;
using test::DibReader;

namespace {

// An 8-bit page 16 x 16 holding each grey level once: value = x + 16 y.
GlobalBlock rampPage(int bitCount = 8)
{
    return test::makeDib(16, 16, bitCount, [bitCount](int x, int y) {
        const std::uint32_t v = std::uint32_t(x + 16 * y);
        return bitCount == 8 ? v : 0xAB000000u | v << 16 | v << 8 | v;
    });
}

// Output grey level for every input level of a ramp page (blue byte for colour pages).
std::vector<std::uint32_t> levels(HGLOBAL result)
{
    const DibReader r(result);
    std::vector<std::uint32_t> out;
    for (int v = 0; v < 256; ++v)
        out.push_back(r.pixel(v % 16, v / 16) & 0xFF);
    return out;
}

} // namespace

TEST(Tones, ContrastFollowsTheToneTable)
{
    GlobalBlock page = rampPage();
    struct Case {
        int contrast;
        std::map<int, int> expected; // input level -> output level
    } cases[] = {
        {25, {{200, 224}, {50, 26}, {127, 127}, {0, 0}, {255, 255}}},
        {100, {{0, 0}, {126, 0}, {127, 255}, {255, 255}}},
        {-100, {{0, 127}, {126, 127}, {127, 127}, {255, 127}}},
        {-50, {{255, 191}, {0, 63}, {127, 127}}},
        {250, {{126, 0}, {127, 255}}}, // beyond the range: as 100
    };
    for (const Case &c : cases) {
        GlobalBlock result(AdjustContrast(page.get(), c.contrast));
        ASSERT_TRUE(result) << c.contrast;
        const auto out = levels(result.get());
        for (auto [in, expected] : c.expected)
            EXPECT_EQ(out[std::size_t(in)], std::uint32_t(expected))
                << "contrast " << c.contrast << " level " << in;
        EXPECT_TRUE(std::is_sorted(out.begin(), out.end()))
            << "order of levels kept, contrast " << c.contrast;
    }
    GlobalBlock same(AdjustContrast(page.get(), 0));
    EXPECT_EQ(test::blockBytes(same.get()), test::blockBytes(page.get()));
}

TEST(Tones, ColourBytesAreMappedAndTheFourthByteIsKept)
{
    for (int bits : {24, 32}) {
        GlobalBlock page = rampPage(bits);
        GlobalBlock result(AdjustContrast(page.get(), 25));
        GlobalBlock brighter(AdjustBrightness(page.get(), 30));
        const DibReader r(result.get()), b(brighter.get());
        const std::uint32_t fourth = bits == 32 ? 0xAB000000u : 0;
        EXPECT_EQ(r.pixel(200 % 16, 200 / 16, true), fourth | 224u * 0x010101u) << bits;
        EXPECT_EQ(r.pixel(50 % 16, 50 / 16, true), fourth | 26u * 0x010101u) << bits;
        EXPECT_EQ(b.pixel(10, 0, true), fourth | 40u * 0x010101u) << bits;
        EXPECT_EQ(b.pixel(15, 15, true), fourth | 0xFFFFFFu) << bits;
    }
}

TEST(Tones, BrightnessSaturates)
{
    GlobalBlock page = rampPage();
    struct Case {
        int delta;
        std::map<int, int> expected;
    } cases[] = {
        {25, {{0, 25}, {10, 35}, {230, 255}, {240, 255}, {255, 255}}},
        {-25, {{0, 0}, {24, 0}, {25, 0}, {26, 1}, {255, 230}}},
        {1000, {{0, 255}}},
        {-1000, {{255, 0}}},
    };
    for (const Case &c : cases) {
        GlobalBlock result(AdjustBrightness(page.get(), c.delta));
        const auto out = levels(result.get());
        for (auto [in, expected] : c.expected)
            EXPECT_EQ(out[std::size_t(in)], std::uint32_t(expected))
                << "delta " << c.delta << " level " << in;
    }
}

TEST(Tones, BrightnessAndContrastTogether)
{
    GlobalBlock page = rampPage(24);
    for (int b : {-255, -25, 0, 25, 100, 255}) {
        GlobalBlock both(AdjustBrightnessAndContrast(page.get(), b, 0));
        GlobalBlock alone(AdjustBrightness(page.get(), b));
        EXPECT_EQ(test::blockBytes(both.get()), test::blockBytes(alone.get()))
            << "contrast 0 is brightness alone, b " << b;
    }
    // b = 100 moves the pivot to 152: the level brightened onto it stays, the others
    // move away from it by the table.
    GlobalBlock grey = rampPage();
    GlobalBlock result(AdjustBrightnessAndContrast(grey.get(), 100, 50));
    const auto out = levels(result.get());
    EXPECT_EQ(out[52], 152u);
    EXPECT_EQ(out[100], 247u); // 200 -> 152 + 103 * 48 / 52
    EXPECT_EQ(out[0], 48u);    // 100 -> 152 - 152 * 52 / 76
    EXPECT_EQ(out[155], 255u);
    GlobalBlock threshold(AdjustBrightnessAndContrast(grey.get(), -40, 100));
    const auto t = levels(threshold.get());
    EXPECT_EQ(t[156], 0u); // 116 < 117 = 127 - 40 / 4
    EXPECT_EQ(t[157], 255u);
}

TEST(Tones, RefusedDepthsGiveNullAndLeaveThePage)
{
    GlobalBlock bilevel = test::makeNoiseDib(33, 9, 1);
    GlobalBlock colour = test::makeNoiseDib(33, 9, 24);
    GlobalBlock colour32 = test::makeNoiseDib(33, 9, 32);
    const auto bilevelBytes = test::blockBytes(bilevel.get());
    const auto colourBytes = test::blockBytes(colour.get());
    EXPECT_EQ(AdjustBrightness(bilevel.get(), 25), nullptr);
    EXPECT_EQ(AdjustContrast(bilevel.get(), 25), nullptr);
    EXPECT_EQ(AdjustBrightnessAndContrast(bilevel.get(), 25, 25), nullptr);
    EXPECT_EQ(TextEffect(colour.get(), 2), nullptr);
    EXPECT_EQ(TextEffect(colour32.get(), -2), nullptr);
    EXPECT_EQ(test::blockBytes(bilevel.get()), bilevelBytes);
    EXPECT_EQ(test::blockBytes(colour.get()), colourBytes);
}

TEST(TextEffect, PositiveStrengthGrowsABlackPixelLeftAndDown)
{
    // 8-bit: black 0 on white; 1-bit: bit 0 on bits 1 (minimum of the bit values).
    for (int bits : {1, 8}) {
        const std::uint32_t white = bits == 1 ? 1 : 255;
        for (auto [px, py] : {std::pair{10, 10}, {0, 0}, {19, 14}}) {
            GlobalBlock page =
                test::makeDib(20, 15, bits, [&](int x, int y) { return x == px && y == py ? 0 : white; });
            GlobalBlock result(TextEffect(page.get(), 2));
            ASSERT_TRUE(result);
            const DibReader out(result.get());
            for (int y = 0; y < 15; ++y)
                for (int x = 0; x < 20; ++x) {
                    // Left of and below the pixel as displayed: library rows count upward.
                    const bool inBlock = x >= px - 2 && x <= px && y >= py - 2 && y <= py;
                    EXPECT_EQ(out.pixel(x, y), inBlock ? 0u : white)
                        << bits << " bits, dot " << px << "," << py << " at " << x << "," << y;
                }
        }
    }
}

TEST(TextEffect, MatchesTheClippedWindowForAnyStrength)
{
    // Against a plain minimum / maximum over the window clipped at the page's edge.
    for (int bits : {1, 8})
        for (auto [w, h] : {std::pair{45, 31}, {8, 70}})
            for (int n : {1, 2, 7, 9, 20, 100000, 0, -1, -3, -11, -40}) {
                GlobalBlock page = test::makeNoiseDib(w, h, bits);
                GlobalBlock result(TextEffect(page.get(), n));
                ASSERT_TRUE(result);
                const DibReader in(page.get()), out(result.get());
                const int reach = n > 0 ? std::min(n, 1000) : -n;
                bool ok = true;
                for (int y = 0; y < h && ok; ++y)
                    for (int x = 0; x < w && ok; ++x) {
                        std::uint32_t v = in.pixel(x, y);
                        for (int j = y; j <= std::min(y + reach, h - 1); ++j)
                            for (int i = x; i <= std::min(x + reach, w - 1); ++i)
                                v = n > 0 ? std::min(v, in.pixel(i, j)) : std::max(v, in.pixel(i, j));
                        ok = out.pixel(x, y) == v;
                        EXPECT_TRUE(ok)
                            << bits << " bits " << w << "x" << h << " n " << n << " at " << x << "," << y;
                    }
                EXPECT_TRUE(out.excessIsZero());
                if (bits == 1 && w % 8) { // padding bits stay clear
                    for (int y = 0; y < h; ++y)
                        EXPECT_EQ(out.row(y)[(w - 1) / 8] & (0xFFu >> (w % 8)), 0u);
                }
            }
}

TEST(AddWaterMark, CentresTheMarkAndDarkensByAnd)
{
    // A black 6 x 4 mark on a 20 x 10 page lands at (7, 3).
    GlobalBlock mark = test::makeUniformDib(6, 4, 8, 0);
    const std::uint32_t white[] = {1, 255, 0xFFFFFF, 0xCDFFFFFF};
    int i = 0;
    for (int bits : {1, 8, 24, 32}) {
        GlobalBlock page = test::makeUniformDib(20, 10, bits, white[i]);
        GlobalBlock result(AddWaterMark(page.get(), mark.get()));
        ASSERT_TRUE(result);
        const DibReader out(result.get());
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool under = x >= 7 && x < 13 && y >= 3 && y < 7;
                const std::uint32_t dark = bits == 32 ? 0xCD000000u : 0u;
                EXPECT_EQ(out.pixel(x, y, true), under ? dark : white[i])
                    << bits << " bits at " << x << "," << y;
            }
        ++i;
    }
}

TEST(AddWaterMark, LargerMarkIsClippedAtTheOrigin)
{
    GlobalBlock page = test::makeNoiseDib(20, 10, 8);
    GlobalBlock mark = test::makeNoiseDib(31, 15, 8);
    GlobalBlock result(AddWaterMark(page.get(), mark.get()));
    ASSERT_TRUE(result);
    const DibReader in(page.get()), m(mark.get()), out(result.get());
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(out.pixel(x, y), in.pixel(x, y) & m.pixel(x, y)) << x << "," << y;
}

TEST(AddWaterMark, WhiteMarkLeavesThePage)
{
    GlobalBlock white = test::makeUniformDib(9, 5, 8, 255);
    for (int bits : {1, 8, 24, 32}) {
        GlobalBlock page = test::makeNoiseDib(23, 11, bits, {.extraBytes = 3});
        GlobalBlock result(AddWaterMark(page.get(), white.get()));
        EXPECT_EQ(test::blockBytes(result.get()), test::blockBytes(page.get())) << bits;
    }
}

// Every exported image operation, with arguments that accept the given depth.
struct Operation {
    const char *what;
    std::function<HGLOBAL(HGLOBAL)> call;
    std::vector<int> depths;
    bool sameSize = true;
};
static std::vector<Operation> operations()
{
    static GlobalBlock mark = test::makeNoiseDib(7, 5, 8);
    return {
        {"Rotate", [](HGLOBAL h) { return Rotate(h, 12.5, 3, 4, 1); }, {1, 8, 24, 32}},
        {"RotateExpand", [](HGLOBAL h) { return RotateExpand(h, 90, 0, 0, 0); }, {1, 8, 24, 32}, false},
        {"Mirror", Mirror, {1, 8, 24, 32}},
        {"Flip", Flip, {1, 8, 24, 32}},
        {"Invert", Invert, {1, 8, 24, 32}},
        {"AdjustBrightness", [](HGLOBAL h) { return AdjustBrightness(h, -25); }, {8, 24, 32}},
        {"AdjustContrast", [](HGLOBAL h) { return AdjustContrast(h, 25); }, {8, 24, 32}},
        {"AdjustBrightnessAndContrast",
         [](HGLOBAL h) { return AdjustBrightnessAndContrast(h, 30, -20); },
         {8, 24, 32}},
        {"TextEffect", [](HGLOBAL h) { return TextEffect(h, 2); }, {1, 8}},
        {"AddWaterMark", [](HGLOBAL h) { return AddWaterMark(h, mark.get()); }, {1, 8, 24, 32}},
    };
}

TEST(PixolveCalls, HeaderFieldsSurviveAndTheInputIsUntouched)
{
    for (const Operation &op : operations())
        for (int bits : op.depths) {
            GlobalBlock page = test::makeNoiseDib(
                29, 13, bits,
                {.extraBytes = 11, .xPelsPerMeter = 3937, .yPelsPerMeter = 2362, .clrImportant = 3});
            const auto before = test::blockBytes(page.get());
            GlobalBlock result(op.call(page.get()));
            ASSERT_TRUE(result) << op.what << " " << bits;
            EXPECT_EQ(test::blockBytes(page.get()), before) << op.what << " changed its input";
            const DibReader in(page.get()), out(result.get());
            EXPECT_EQ(out.xPelsPerMeter(), 3937) << op.what;
            EXPECT_EQ(out.yPelsPerMeter(), 2362) << op.what;
            EXPECT_EQ(out.clrImportant(), 3u) << op.what;
            EXPECT_EQ(out.bitCount(), bits) << op.what;
            EXPECT_EQ(out.clrUsed(), in.clrUsed()) << op.what;
            if (op.sameSize) {
                EXPECT_EQ(out.blockSize(), in.blockSize()) << op.what << " " << bits;
                EXPECT_TRUE(out.excessIsZero()) << op.what << " " << bits;
            }
        }
}

TEST(PixolveCalls, MalformedBlocksGiveNull)
{
    GlobalBlock good = test::makeNoiseDib(10, 6, 8);
    const auto bytes = test::blockBytes(good.get());
    GlobalBlock shortBlock = GlobalBlock::allocate(bytes.size() - 1);
    GlobalBlock depth16 = GlobalBlock::allocate(bytes.size());
    GlobalBlock headerOnly = GlobalBlock::allocate(20);
    {
        GlobalLockGuard s(shortBlock.get()), d(depth16.get());
        std::memcpy(s.data(), bytes.data(), bytes.size() - 1);
        std::memcpy(d.data(), bytes.data(), bytes.size());
        d.data()[14] = 16;
    }
    for (const Operation &op : operations()) {
        EXPECT_EQ(op.call(nullptr), nullptr) << op.what;
        EXPECT_EQ(op.call(shortBlock.get()), nullptr) << op.what;
        EXPECT_EQ(op.call(depth16.get()), nullptr) << op.what;
        EXPECT_EQ(op.call(headerOnly.get()), nullptr) << op.what;
    }
    EXPECT_EQ(AddWaterMark(good.get(), nullptr), nullptr);
    EXPECT_EQ(AddWaterMark(good.get(), shortBlock.get()), nullptr);
}
