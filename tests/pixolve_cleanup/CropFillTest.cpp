#include "CleanupTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

using namespace arkavo;
using namespace arkavo::test;

// RECT lives in the global namespace, so its comparison and printing do too.
static bool operator==(const RECT &a, const RECT &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
[[maybe_unused]] static std::ostream &operator<<(std::ostream &os, const RECT &r)
{
    return os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

// The result holds exactly the input's columns [left, right) and top-down rows [top, bottom).
::testing::AssertionResult holdsArea(const DibReader &in, const DibReader &out, const RECT &r)
{
    if (out.width() != r.right - r.left || out.height() != r.bottom - r.top)
        return ::testing::AssertionFailure()
               << "size " << out.width() << " x " << out.height() << " for " << r;
    if (out.bitCount() != in.bitCount() || out.clrUsed() != in.clrUsed())
        return ::testing::AssertionFailure() << "depth or palette changed";
    if (out.sizeImage() != out.stride() * std::size_t(out.height()) || out.blockSize() != out.dibSize())
        return ::testing::AssertionFailure() << "image size or block size wrong";
    const int inBottom = in.height() - r.bottom; // library row of the area's lowest row
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            if (out.pixel(x, y) != in.pixel(r.left + x, inBottom + y))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs";
    return ::testing::AssertionSuccess();
}

// A 400 x 300 page with a block of the given grey over library columns 150..249, rows 100..199.
constexpr int PW = 400, PH = 300;
GlobalBlock textBlockPage(const PageKind &kind, int ink = 0)
{
    return makePage(kind, PW, PH, [&](int x, int y) {
        const bool block = x >= 150 && x < 250 && y >= 100 && y < 200;
        // A light scatter inside the block makes misplaced copies visible.
        return block ? (noisePixel(x, y, 1) ? ink : 255 - ink / 2) : 255;
    });
}

} // namespace

TEST(Crop, AutomaticCropOfABlankPageLosesTheLastColumnAndTopRowOnlyWithoutMargin)
{
    for (const PageKind &kind : AllKinds) {
        // Blank: light grey levels only, varied so that a shifted copy shows.
        GlobalBlock page =
            makePage(kind, 45, 31, [](int x, int y) { return 200 + int(noisePixel(x, y, 8) % 56); });
        for (int margin : {0, 1, 7}) {
            RECT r{3, 4, 5, 6}; // ignored in mode 2
            GlobalBlock out(Crop(page.get(), &r, 2, margin));
            ASSERT_TRUE(out) << kind.name();
            const RECT want = margin == 0 ? RECT{0, 1, 44, 31} : RECT{0, 0, 45, 31};
            EXPECT_EQ(r, want) << kind.name() << " margin " << margin;
            EXPECT_TRUE(holdsArea(DibReader(page.get()), DibReader(out.get()), want)) << kind.name();
        }
    }
}

TEST(Crop, AutomaticCropKeepsTwoLinesBeforeAndOneLineAfterTheContent)
{
    // Content rows 100..199 (library) are top-down rows 100..199 too (300 - 200 = 100); the
    // box starts two lines before the content on the low side and ends one line past it.
    for (const PageKind &kind : AllKinds) {
        GlobalBlock page = textBlockPage(kind);
        for (int m : {0, 10, 100}) {
            RECT r{};
            GlobalBlock out(Crop(page.get(), &r, 2, m));
            ASSERT_TRUE(out) << kind.name();
            const int low = std::max(98 - m, 0), high = std::min(201 + m, PH);
            const RECT want{std::max(148 - m, 0), PH - high, std::min(251 + m, PW), PH - low};
            EXPECT_EQ(r, want) << kind.name() << " m=" << m;
            EXPECT_TRUE(holdsArea(DibReader(page.get()), DibReader(out.get()), want))
                << kind.name() << " m=" << m;
        }
    }
}

TEST(Crop, ContentNeedsTwoPixelsDarkerThan127)
{
    struct Case {
        const char *what;
        std::function<int(int, int)> grey;
        RECT want;
    } cases[] = {
        {"block of 126 is content",
         [](int x, int y) { return x >= 150 && x < 250 && y >= 100 && y < 200 ? 126 : 255; },
         RECT{148, 99, 251, 202}},
        {"block of 127 is not",
         [](int x, int y) { return x >= 150 && x < 250 && y >= 100 && y < 200 ? 127 : 255; },
         RECT{0, 1, PW - 1, PH}},
        // One dark pixel per row: the rows are no content, and one column is no run.
        {"one-pixel line", [](int x, int y) { return x == 200 && y >= 50 && y < 250 ? 0 : 255; },
         RECT{0, 1, PW - 1, PH}},
    };
    for (const Case &c : cases) {
        GlobalBlock page = makePage(PageKind{8}, PW, PH, c.grey);
        RECT r{};
        GlobalBlock out(Crop(page.get(), &r, 2, 0));
        ASSERT_TRUE(out) << c.what;
        EXPECT_EQ(r, c.want) << c.what;
    }
}

TEST(Crop, SearchInsideARectangleFindsOnlyTheContentThere)
{
    // A second block low on the left lies outside the rectangle and is ignored.
    GlobalBlock page = makePage(PageKind{8}, PW, PH, [](int x, int y) {
        const bool a = x >= 150 && x < 250 && y >= 100 && y < 200;
        const bool b = x >= 20 && x < 60 && y >= 20 && y < 60;
        return a || b ? 0 : 255;
    });
    RECT r{100, PH - 290, 390, PH - 80};
    GlobalBlock out(Crop(page.get(), &r, 1, 0));
    ASSERT_TRUE(out);
    const RECT want{148, PH - 201, 251, PH - 98};
    EXPECT_EQ(r, want);
    EXPECT_TRUE(holdsArea(DibReader(page.get()), DibReader(out.get()), want));

    // A search rectangle reaching past the page is searched where it lies on the page.
    RECT wide{-50, -50, PW + 50, PH + 50};
    GlobalBlock whole(Crop(page.get(), &wide, 1, 0));
    ASSERT_TRUE(whole);
    EXPECT_EQ(wide, (RECT{18, PH - 201, 251, PH - 18}));
}

TEST(Crop, RectangleCropTakesTheRectangleClampedToThePage)
{
    struct Case {
        const char *what;
        RECT in;
        int margin;
        RECT want;
    } cases[] = {
        {"inside", {10, 20, 110, 70}, 0, {10, 20, 110, 70}},
        {"inside with margin", {10, 20, 110, 70}, 5, {5, 15, 115, 75}},
        {"reaching past every side", {-10, -5, PW + 20, PH + 1}, 0, {0, 0, PW, PH}},
        {"reaching past the bottom right", {300, 250, 500, 400}, 0, {300, 250, PW, PH}},
        {"margin past the page", {1, 2, PW - 1, PH - 2}, 9, {0, 0, PW, PH}},
        {"huge values", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, INT_MAX, {0, 0, PW, PH}},
    };
    for (const PageKind &kind : AllKinds) {
        GlobalBlock page = textBlockPage(kind);
        for (const Case &c : cases) {
            RECT r = c.in;
            GlobalBlock out(Crop(page.get(), &r, 0, c.margin));
            ASSERT_TRUE(out) << kind.name() << " " << c.what;
            EXPECT_EQ(r, c.want) << kind.name() << " " << c.what;
            EXPECT_TRUE(holdsArea(DibReader(page.get()), DibReader(out.get()), c.want))
                << kind.name() << " " << c.what;
        }
    }
}

TEST(Crop, EmptyOrOffPageRectangleGivesTheWholePage)
{
    GlobalBlock page = textBlockPage(PageKind{1, true});
    for (RECT r :
         {RECT{10, 10, 10, 50}, RECT{50, 10, 20, 40}, RECT{PW, 0, PW + 30, 20}, RECT{-40, -40, -1, -1}}) {
        for (int mode : {0, 1}) {
            RECT io = r;
            GlobalBlock out(Crop(page.get(), &io, mode, 0));
            ASSERT_TRUE(out) << r << " mode " << mode;
            EXPECT_EQ(io, (RECT{0, 0, PW, PH})) << r << " mode " << mode;
            EXPECT_TRUE(holdsArea(DibReader(page.get()), DibReader(out.get()), io));
        }
    }
}

TEST(Crop, BadArgumentsGiveNullAndLeaveTheRectangle)
{
    GlobalBlock page = makeUniformDib(20, 20, 8, 255);
    RECT r{1, 2, 3, 4};
    EXPECT_EQ(Crop(page.get(), nullptr, 0, 0), nullptr);
    EXPECT_EQ(Crop(nullptr, &r, 2, 0), nullptr);
    EXPECT_EQ(Crop(page.get(), &r, 3, 0), nullptr);
    EXPECT_EQ(Crop(page.get(), &r, -1, 0), nullptr);
    EXPECT_EQ(r, (RECT{1, 2, 3, 4}));
}

TEST(Fill, WhiteIsWhiteInEitherBitonalPolarity)
{
    // Light-zero pages store white as bit 0, dark-zero pages as bit 1.
    for (bool lightZero : {false, true}) {
        const PageKind kind{1, lightZero};
        GlobalBlock page = makePage(kind, 21, 9, [](int, int) { return 0; });
        for (int v : {255, 0}) {
            const RECT r{3, 2, 17, 5}; // library rows 4..6
            GlobalBlock out(Fill(page.get(), &r, v));
            ASSERT_TRUE(out);
            const DibReader res(out.get());
            const std::uint32_t bit = v == 255 ? (lightZero ? 0u : 1u) : (lightZero ? 1u : 0u);
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 21; ++x) {
                    const bool inside = x >= 3 && x < 17 && y >= 4 && y < 7;
                    EXPECT_EQ(res.pixel(x, y), inside ? bit : kind.black())
                        << kind.name() << " v=" << v << " (" << x << ", " << y << ")";
                }
        }
    }
}

TEST(Fill, OnlyThePartOfTheRectangleOnThePageIsFilled)
{
    struct Case {
        const char *what;
        RECT r;
        std::function<bool(int, int)> inside; // library coordinates on a 30 x 20 page
    } cases[] = {
        {"inside", {2, 3, 12, 8}, [](int x, int y) { return x >= 2 && x < 12 && y >= 12 && y < 17; }},
        {"past the top left", {-5, -5, 4, 3}, [](int x, int y) { return x < 4 && y >= 17; }},
        {"past the bottom right", {25, 15, 90, 90}, [](int x, int y) { return x >= 25 && y < 5; }},
        {"wholly outside", {40, 0, 60, 20}, [](int, int) { return false; }},
        {"empty", {5, 5, 5, 9}, [](int, int) { return false; }},
        {"reversed", {9, 9, 5, 5}, [](int, int) { return false; }},
        {"huge", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, [](int, int) { return true; }},
    };
    for (const PageKind &kind : AllKinds) {
        GlobalBlock page = makeNoiseDib(30, 20, kind.bitCount, kind.options());
        const DibReader in(page.get());
        for (const Case &c : cases) {
            GlobalBlock out(Fill(page.get(), &c.r, 255));
            ASSERT_TRUE(out) << kind.name() << " " << c.what;
            const DibReader res(out.get());
            EXPECT_EQ(res.blockSize(), in.blockSize());
            bool ok = true;
            for (int y = 0; y < 20 && ok; ++y)
                for (int x = 0; x < 30 && ok; ++x) {
                    const std::uint32_t want = c.inside(x, y) ? kind.white() : in.pixel(x, y);
                    ok = res.pixel(x, y) == want && res.pixel(x, y, true) >> 24 == in.pixel(x, y, true) >> 24;
                    EXPECT_TRUE(ok) << kind.name() << " " << c.what << " (" << x << ", " << y << ")";
                }
        }
    }
    GlobalBlock page = makeUniformDib(4, 4, 8, 0);
    EXPECT_EQ(Fill(page.get(), nullptr, 255), nullptr);
    const RECT r{0, 0, 1, 1};
    EXPECT_EQ(Fill(nullptr, &r, 255), nullptr);
}
