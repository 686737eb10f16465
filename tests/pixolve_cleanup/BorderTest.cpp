#include "CleanupTestSupport.h"

#include <gtest/gtest.h>

using namespace arkavo;
using namespace arkavo::test;

namespace {

GlobalBlock removeBorder(const GlobalBlock &page, int threshold)
{
    return GlobalBlock(RemoveBorder(page.get(), threshold));
}

// Every pixel is white where `whitened` says so and as on the input elsewhere.
::testing::AssertionResult whitenedExactly(const DibReader &in, const DibReader &out, const PageKind &kind,
                                           const std::function<bool(int, int)> &whitened)
{
    if (out.width() != in.width() || out.height() != in.height() || out.bitCount() != in.bitCount())
        return ::testing::AssertionFailure() << "size or depth changed";
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x) {
            const std::uint32_t want = whitened(x, y) ? kind.white() : in.pixel(x, y);
            if (out.pixel(x, y) != want)
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is " << out.pixel(x, y) << ", expected " << want;
        }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(RemoveBorder, WhitePageComesBackByteForByte)
{
    for (const PageKind &kind : AllKinds) {
        GlobalBlock page = makePage(kind, 37, 23, [](int, int) { return 255; });
        for (int t : {0, 80, 255}) {
            GlobalBlock out = removeBorder(page, t);
            ASSERT_TRUE(out) << kind.name();
            EXPECT_EQ(blockBytes(out.get()), blockBytes(page.get())) << kind.name() << " t=" << t;
        }
    }
}

TEST(RemoveBorder, BandOnEachSideIsWhitenedThreeLinesPastItsEdge)
{
    // 8-bit page of grey 128 (light at threshold 80) with a black band 20 lines deep
    // along one side, over columns or rows 20..59 only.
    const int W = 80, H = 70;
    const PageKind kind{8};
    struct Case {
        const char *side;
        std::function<bool(int, int)> band;
        std::function<bool(int, int)> whitened; // beyond the always-white top row and right column
    } cases[] = {
        {"bottom", [](int x, int y) { return y < 20 && x >= 20 && x < 60; },
         [](int x, int y) { return y <= 22 && x >= 20 && x < 60; }},
        {"top", [](int x, int y) { return y >= H - 20 && x >= 20 && x < 60; },
         [](int x, int y) { return y >= H - 24 && x >= 20 && x < 60; }},
        {"left", [](int x, int y) { return x < 20 && y >= 20 && y < 60; },
         [](int x, int y) { return x <= 22 && y >= 20 && y < 60; }},
        {"right", [](int x, int y) { return x >= W - 20 && y >= 20 && y < 60; },
         [](int x, int y) { return x >= W - 24 && y >= 20 && y < 60; }},
    };
    for (const Case &c : cases) {
        GlobalBlock page = makePage(kind, W, H, [&](int x, int y) { return c.band(x, y) ? 0 : 128; });
        GlobalBlock out = removeBorder(page, 80);
        ASSERT_TRUE(out);
        EXPECT_TRUE(whitenedExactly(DibReader(page.get()), DibReader(out.get()), kind, [&](int x, int y) {
            return c.whitened(x, y) || y == H - 1 || x == W - 1;
        })) << c.side;
    }
}

TEST(RemoveBorder, ColourPagesTreatOnlyPureBlackAsBorder)
{
    // A 10-pixel frame around grey 128: dark grey 40 stays whatever the threshold, black goes.
    const int W = 60, H = 50;
    for (const PageKind &kind : {PageKind{24}, PageKind{32}}) {
        for (int frame : {40, 0}) {
            GlobalBlock page = makePage(kind, W, H, [&](int x, int y) {
                return x < 10 || y < 10 || x >= W - 10 || y >= H - 10 ? frame : 128;
            });
            GlobalBlock out = removeBorder(page, 255);
            ASSERT_TRUE(out);
            const DibReader in(page.get()), res(out.get());
            EXPECT_TRUE(whitenedExactly(in, res, kind,
                                        [&](int x, int y) {
                                            const bool border =
                                                x <= 12 || y <= 12 || x >= W - 14 || y >= H - 14;
                                            return (frame == 0 && border) || y == H - 1 || x == W - 1;
                                        }))
                << kind.name() << " frame " << frame;
            if (kind.bitCount == 32) {
                // Whitening sets blue, green and red; the fourth byte stays.
                EXPECT_EQ(res.pixel(0, 0, true) >> 24, 0x5Au);
            }
        }
    }
}

TEST(RemoveBorder, BitonalPageKeepsEveryPixelOutsideTheWhitenedAreas)
{
    // A black frame 10 pixels wide, a scatter of ink well inside it.
    const int W = 90, H = 70;
    for (const PageKind &kind : {PageKind{1, false}, PageKind{1, true}}) {
        GlobalBlock page = makePage(kind, W, H, [&](int x, int y) {
            if (x < 10 || y < 10 || x >= W - 10 || y >= H - 10)
                return 0;
            const bool inner = x >= 30 && x < W - 30 && y >= 30 && y < H - 30;
            return inner && noisePixel(x, y, 1) ? 0 : 255;
        });
        const DibReader in(page.get());
        for (int t = 0; t <= 255; ++t) {
            GlobalBlock out = removeBorder(page, t);
            ASSERT_TRUE(out);
            // Grey levels of a bitonal page are 0 and 255: nothing is dark at threshold 0,
            // ink is dark at every other one. Bitonal pages also lose columns 0 and W - 2.
            EXPECT_TRUE(whitenedExactly(in, DibReader(out.get()), kind,
                                        [&](int x, int y) {
                                            const bool edges = y == H - 1 || x == 0 || x >= W - 2;
                                            const bool border =
                                                x <= 13 || y <= 12 || x >= W - 15 || y >= H - 14;
                                            return edges || (t > 0 && border);
                                        }))
                << kind.name() << " t=" << t;
        }
    }
}

TEST(RemoveBorder, ShortPagesFollowTheWalkLimits)
{
    // Columns 8..11 are dark in rows 0 and 1 only. On a five-row page the walk down starts
    // on row 1, its last row, and stops there: rows 1..4 of those columns are whitened.
    // Six rows start the walk on a light row; four rows are too few to walk.
    for (const PageKind &kind : AllKinds)
        for (int H : {4, 5, 6}) {
            const int W = 20;
            GlobalBlock page =
                makePage(kind, W, H, [](int x, int y) { return x >= 8 && x < 12 && y <= 1 ? 0 : 255; });
            GlobalBlock out = removeBorder(page, 128);
            ASSERT_TRUE(out);
            EXPECT_TRUE(whitenedExactly(DibReader(page.get()), DibReader(out.get()), kind,
                                        [&](int x, int y) {
                                            const bool edges = y == H - 1 || x == W - 1 ||
                                                               (kind.bitCount == 1 && (x == 0 || x == W - 2));
                                            return edges || (H == 5 && x >= 8 && x < 12 && y >= 1);
                                        }))
                << kind.name() << " H=" << H;
        }
}

TEST(RemoveBorder, TinyAndMalformedPagesAreSafe)
{
    for (const PageKind &kind : AllKinds)
        for (int size : {1, 2, 3, 4, 5, 6}) {
            GlobalBlock page = makePage(kind, size, size, [](int, int) { return 0; });
            GlobalBlock out = removeBorder(page, 128);
            ASSERT_TRUE(out) << kind.name() << " " << size;
            const DibReader res(out.get());
            // The top row is always whitened.
            for (int x = 0; x < size; ++x)
                EXPECT_EQ(res.pixel(x, size - 1), kind.white()) << kind.name() << " " << size;
        }
    EXPECT_EQ(RemoveBorder(nullptr, 80), nullptr);
    GlobalBlock page = makeUniformDib(8, 8, 8, 0);
    GlobalBlock cut = GlobalBlock::allocate(page.size() - 1);
    {
        GlobalLockGuard from(page.get()), to(cut.get());
        std::memcpy(to.data(), from.data(), cut.size());
    }
    EXPECT_EQ(RemoveBorder(cut.get(), 80), nullptr);
}
