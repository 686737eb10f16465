// Quarter and half turns, free rotation, mirror, flip and invert on pages built in code.
#include "TestDib.h"
#include "pixolve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

using namespace arkavo;
using test::DibReader;

namespace {

struct Shape {
    int width, height, bitCount;
};
std::string name(const Shape &s)
{
    return std::to_string(s.width) + "x" + std::to_string(s.height) + "x" + std::to_string(s.bitCount);
}

// Widths that are and are not multiples of 8 and 4, on every depth.
std::vector<Shape> shapes()
{
    std::vector<Shape> all;
    for (int bits : {1, 8, 24, 32})
        for (auto [w, h] : {std::pair{300, 200}, {13, 7}, {37, 5}, {1, 9}, {66, 17}})
            all.push_back({w, h, bits});
    all.push_back({33001, 3, 1}); // wider than the word-wise bit path takes
    return all;
}

} // namespace

TEST(RotateExpand, QuarterTurnsMoveEveryPixelAndUndoEachOther)
{
    for (const Shape &s : shapes()) {
        GlobalBlock page =
            test::makeNoiseDib(s.width, s.height, s.bitCount, {.xPelsPerMeter = 7874, .clrImportant = 2});
        const DibReader in(page.get());
        GlobalBlock right(RotateExpand(page.get(), 90.0, 0, 0, 0));
        GlobalBlock left(RotateExpand(page.get(), -90.0, 0, 0, 0));
        ASSERT_TRUE(right && left) << name(s);
        const DibReader r(right.get()), l(left.get());
        for (const DibReader *turned : {&r, &l}) {
            EXPECT_EQ(turned->width(), s.height) << name(s);
            EXPECT_EQ(turned->height(), s.width) << name(s);
            EXPECT_EQ(turned->sizeImage(), turned->stride() * std::size_t(s.width)) << name(s);
            EXPECT_EQ(turned->blockSize(), turned->dibSize()) << name(s);
            EXPECT_EQ(turned->xPelsPerMeter(), 7874);
            EXPECT_EQ(turned->clrImportant(), 2u);
            EXPECT_EQ(std::memcmp(turned->header() + 40, in.header() + 40, 4 * in.clrUsed()), 0) << "palette";
        }
        bool mapped = true;
        for (int y = 0; y < s.width && mapped; ++y)
            for (int x = 0; x < s.height && mapped; ++x) {
                mapped = r.pixel(x, y, true) == in.pixel(s.width - 1 - y, x, true) &&
                         l.pixel(x, y, true) == in.pixel(y, s.height - 1 - x, true);
                EXPECT_TRUE(mapped) << name(s) << " at " << x << "," << y;
            }
        // As displayed: the input's bottom-left pixel becomes the top-left one.
        EXPECT_EQ(r.pixel(0, r.displayRow(0)), in.pixel(0, 0)) << name(s);

        GlobalBlock back(RotateExpand(right.get(), -90.0, 0, 0, 0));
        EXPECT_EQ(test::blockBytes(back.get()), test::blockBytes(page.get())) << name(s);
    }
}

TEST(RotateExpand, HalfTurnTwiceRestoresThePage)
{
    for (const Shape &s : shapes()) {
        GlobalBlock page = test::makeNoiseDib(s.width, s.height, s.bitCount);
        GlobalBlock once(RotateExpand(page.get(), 180.0, 0, 0, 0));
        ASSERT_TRUE(once) << name(s);
        const DibReader in(page.get()), half(once.get());
        ASSERT_EQ(half.width(), s.width);
        ASSERT_EQ(half.height(), s.height);
        EXPECT_EQ(half.pixel(0, 0, true), in.pixel(s.width - 1, s.height - 1, true)) << name(s);
        EXPECT_EQ(half.pixel(s.width - 1, 0, true), in.pixel(0, s.height - 1, true)) << name(s);
        GlobalBlock twice(RotateExpand(once.get(), 180.9, 0, 0, 0));
        EXPECT_EQ(test::blockBytes(twice.get()), test::blockBytes(page.get())) << name(s);
    }
}

TEST(RotateExpand, OtherAnglesAreRefused)
{
    GlobalBlock page = test::makeNoiseDib(8, 4, 8);
    for (double angle : {0.0, 45.0, 89.9, 270.0, -180.0, std::nan("")})
        EXPECT_EQ(RotateExpand(page.get(), angle, 0, 0, 0), nullptr) << angle;
}

TEST(MirrorFlipInvert, EachMovesOrChangesPixelsAsStatedAndTwiceRestores)
{
    struct Op {
        const char *what;
        HGLOBAL (*call)(HGLOBAL);
    } ops[] = {{"Mirror", Mirror}, {"Flip", Flip}, {"Invert", Invert}};
    for (const Shape &s : shapes()) {
        GlobalBlock page =
            test::makeNoiseDib(s.width, s.height, s.bitCount, {.lightZero = true, .extraBytes = 6});
        const DibReader in(page.get());
        for (const Op &op : ops) {
            GlobalBlock once(op.call(page.get()));
            ASSERT_TRUE(once) << op.what << " " << name(s);
            const DibReader out(once.get());
            EXPECT_EQ(out.blockSize(), in.blockSize());
            EXPECT_TRUE(out.excessIsZero()) << op.what << " " << name(s);
            EXPECT_EQ(std::memcmp(out.header(), in.header(), in.pixelOffset()), 0)
                << "header and palette kept";
            bool ok = true;
            for (int y = 0; y < s.height && ok; ++y)
                for (int x = 0; x < s.width && ok; ++x) {
                    const std::uint32_t v = out.pixel(x, y, true);
                    if (op.call == Mirror)
                        ok = v == in.pixel(s.width - 1 - x, y, true);
                    else if (op.call == Flip)
                        ok = v == in.pixel(x, s.height - 1 - y, true);
                    else if (s.bitCount == 32) // colour bytes complemented, fourth byte kept
                        ok = v == (in.pixel(x, y, true) ^ 0x00FFFFFFu);
                    else
                        ok = v == (~in.pixel(x, y) & (s.bitCount == 1 ? 1u : (1u << s.bitCount) - 1));
                    EXPECT_TRUE(ok) << op.what << " " << name(s) << " at " << x << "," << y;
                }
            GlobalBlock twice(op.call(once.get()));
            EXPECT_EQ(test::blockBytes(twice.get()), test::blockBytes(page.get()))
                << op.what << " " << name(s);
        }
    }
}

TEST(Rotate, AngleZeroCopiesThePage)
{
    for (const Shape &s : shapes())
        for (int interpolation : {0, 1}) {
            GlobalBlock page = test::makeNoiseDib(s.width, s.height, s.bitCount);
            GlobalBlock turned(Rotate(page.get(), 0.0, s.width / 2, s.height / 2, interpolation));
            ASSERT_TRUE(turned);
            EXPECT_TRUE(test::samePixels(DibReader(turned.get()), DibReader(page.get()), true)) << name(s);
            EXPECT_EQ(DibReader(turned.get()).blockSize(), DibReader(page.get()).blockSize());
        }
}

TEST(Rotate, KeepsTheSizeAndLeavesUncoveredCornersWhite)
{
    const std::uint32_t white[] = {1, 255, 0xFFFFFF, 0xFFFFFFFF};
    int i = 0;
    for (int bits : {1, 8, 24, 32}) {
        // A black page (bit 0 black on the usual 1-bit palette).
        GlobalBlock page = test::makeUniformDib(201, 103, bits, 0, {.clrImportant = 5});
        for (double angle : {30.0, -7.5, 135.0}) {
            GlobalBlock turned(Rotate(page.get(), angle, 100, 51, 1));
            ASSERT_TRUE(turned);
            const DibReader out(turned.get());
            EXPECT_EQ(out.width(), 201);
            EXPECT_EQ(out.height(), 103);
            EXPECT_EQ(out.clrImportant(), 5u);
            for (auto [x, y] : {std::pair{0, 0}, {200, 0}, {0, 102}, {200, 102}})
                EXPECT_EQ(out.pixel(x, y, true), white[i])
                    << bits << " bits, " << angle << " deg at " << x << "," << y;
            EXPECT_EQ(out.pixel(100, 51), 0u) << bits << " bits, centre stays black";
        }
        ++i;
    }
}

TEST(Rotate, PositiveAnglesTurnClockwiseAsDisplayed)
{
    // A black square right of the centre; turning clockwise as displayed moves it down,
    // which is toward smaller library rows.
    const int cx = 100, cy = 100;
    for (int bits : {1, 8, 24}) {
        const std::uint32_t whiteValue = bits == 1 ? 1 : bits == 8 ? 255 : 0xFFFFFF;
        GlobalBlock page = test::makeDib(201, 201, bits, [&](int x, int y) {
            return std::abs(x - (cx + 60)) <= 3 && std::abs(y - cy) <= 3 ? 0u : whiteValue;
        });
        GlobalBlock turned(Rotate(page.get(), 10.0, cx, cy, 1));
        ASSERT_TRUE(turned);
        const DibReader out(turned.get());
        const double a = 10.0 * std::numbers::pi / 180.0;
        const int ex = int(std::lround(cx + 60 * std::cos(a))), ey = int(std::lround(cy - 60 * std::sin(a)));
        EXPECT_EQ(out.pixel(ex, ey), 0u) << bits << " bits: square moved down";
        EXPECT_EQ(out.pixel(ex, 2 * cy - ey), whiteValue) << bits << " bits: not up";
        EXPECT_EQ(out.pixel(cx + 60, cy + 8), whiteValue) << bits << " bits";
    }
}

TEST(Rotate, BilinearBlendsNeighboursNearestDoesNot)
{
    // Vertical stripes of 0 and 200 turned by a half pixel's worth: bilinear gives values
    // in between, nearest only the two levels.
    GlobalBlock page = test::makeDib(64, 64, 8, [](int x, int) { return x % 2 ? 200u : 0u; });
    GlobalBlock smooth(Rotate(page.get(), 0.5, 32, 32, 1));
    GlobalBlock sharp(Rotate(page.get(), 0.5, 32, 32, 0));
    const DibReader s(smooth.get()), n(sharp.get());
    bool between = false, onlyLevels = true;
    for (int y = 8; y < 56; ++y)
        for (int x = 8; x < 56; ++x) {
            between |= s.pixel(x, y) > 20 && s.pixel(x, y) < 180;
            onlyLevels &= n.pixel(x, y) == 0 || n.pixel(x, y) == 200;
        }
    EXPECT_TRUE(between);
    EXPECT_TRUE(onlyLevels);
}
