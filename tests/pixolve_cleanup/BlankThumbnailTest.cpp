#include "CleanupTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace arkavo;
using namespace arkavo::test;

TEST(IsBlankPage, MeasuresTheBlackShareOfTheCentralRegion)
{
    // 80 x 80 page: the central region is columns and rows 10..69.
    struct Case {
        const char *what;
        std::function<int(int, int)> grey;
        int want;
    } cases[] = {
        {"white", [](int, int) { return 255; }, 0},
        {"black", [](int, int) { return 0; }, 10000},
        {"black only in the outer eighth",
         [](int x, int y) { return x < 10 || y < 10 || x >= 70 || y >= 70 ? 0 : 255; }, 0},
        {"one black column inside", [](int x, int) { return x == 10 || x < 5 ? 0 : 255; }, 166},
        {"one black pixel", [](int x, int y) { return x == 69 && y == 69 ? 0 : 255; }, 2},
        {"left half", [](int x, int) { return x < 40 ? 0 : 255; }, 5000},
    };
    for (const PageKind &kind : AllKinds)
        for (const Case &c : cases) {
            GlobalBlock page = makePage(kind, 80, 80, c.grey);
            EXPECT_EQ(IsBlankPage(page.get(), 200), c.want) << kind.name() << " " << c.what;
        }
}

TEST(IsBlankPage, GreyBelowTheThresholdIsBlack)
{
    struct Case {
        int bitCount, grey, threshold, want;
    } cases[] = {
        {8, 199, 200, 10000},  {8, 200, 200, 0}, {24, 199, 200, 10000}, {24, 200, 200, 0},
        {32, 199, 200, 10000}, {8, 0, 0, 0},     {8, 255, 256, 10000},  {8, 0, -5, 0},
    };
    for (const Case &c : cases) {
        GlobalBlock page = makePage(PageKind{c.bitCount}, 16, 16, [&](int, int) { return c.grey; });
        EXPECT_EQ(IsBlankPage(page.get(), c.threshold), c.want)
            << c.bitCount << "-bit grey " << c.grey << " threshold " << c.threshold;
    }
    // Colour pixels are judged by their luminance, not by any one channel: blue-green-red
    // (250, 100, 250) has luminance 162, (10, 255, 255) 227.
    for (int bitCount : {24, 32}) {
        GlobalBlock page =
            makeDib(16, 16, bitCount, [](int x, int) { return x < 8 ? 0xFA64FAu : 0xFFFF0Au; });
        EXPECT_EQ(IsBlankPage(page.get(), 200), 5000) << bitCount;
        EXPECT_EQ(IsBlankPage(page.get(), 163), 5000) << bitCount;
        EXPECT_EQ(IsBlankPage(page.get(), 162), 0) << bitCount;
        EXPECT_EQ(IsBlankPage(page.get(), 228), 10000) << bitCount;
    }
    // Bitonal pages hold grey 0 and 255 only: ink is black from threshold 1 on.
    for (bool lightZero : {false, true}) {
        GlobalBlock page =
            makePage(PageKind{1, lightZero}, 16, 16, [](int x, int) { return x < 8 ? 0 : 255; });
        EXPECT_EQ(IsBlankPage(page.get(), 0), 0);
        EXPECT_EQ(IsBlankPage(page.get(), 1), 5000);
        EXPECT_EQ(IsBlankPage(page.get(), 255), 5000);
    }
}

TEST(IsBlankPage, EmptyRegionOrBadBlockGivesMinusOne)
{
    GlobalBlock narrow = makeUniformDib(1, 50, 8, 0);
    GlobalBlock flat = makeUniformDib(50, 1, 8, 0);
    GlobalBlock small = makeUniformDib(2, 2, 8, 0);
    EXPECT_EQ(IsBlankPage(narrow.get(), 200), -1);
    EXPECT_EQ(IsBlankPage(flat.get(), 200), -1);
    EXPECT_EQ(IsBlankPage(small.get(), 200), 10000); // one central pixel
    EXPECT_EQ(IsBlankPage(nullptr, 200), -1);
    GlobalBlock junk = GlobalBlock::allocate(30);
    EXPECT_EQ(IsBlankPage(junk.get(), 200), -1);
}

TEST(Thumbnail, FitsTheBoxByTheSmallerRatioTruncating)
{
    struct Case {
        int w, h, bw, bh, wantW, wantH;
    } cases[] = {
        {2480, 3508, 135, 160, 113, 160}, {3508, 2480, 135, 160, 135, 95}, {100, 100, 50, 50, 50, 50},
        {300, 200, 90, 60, 90, 60},       {1000, 10, 135, 160, 135, 1},    {7, 5000, 135, 160, 1, 160},
        {20, 10, 135, 160, 135, 67}, // smaller than the box: enlarged to fit
    };
    for (const Case &c : cases) {
        GlobalBlock page = makeUniformDib(c.w, c.h, 1, 1);
        GlobalBlock out(Thumbnail(page.get(), c.bw, c.bh));
        ASSERT_TRUE(out) << c.w << " x " << c.h;
        const DibReader res(out.get());
        EXPECT_EQ(res.width(), c.wantW) << c.w << " x " << c.h;
        EXPECT_EQ(res.height(), c.wantH) << c.w << " x " << c.h;
    }
}

TEST(Thumbnail, BitonalPagesGiveGreyThumbnails)
{
    for (bool lightZero : {false, true}) {
        // Left half ink, right half paper, a 2 x 2 checkerboard band at the top.
        const PageKind kind{1, lightZero};
        DibOptions opt = kind.options();
        opt.xPelsPerMeter = 7874;
        opt.clrImportant = 2;
        GlobalBlock page = makeDib(
            64, 64, 1,
            [&](int x, int y) {
                const int grey = y >= 48 ? (((x / 2) + (y / 2)) % 2 ? 0 : 255) : (x < 32 ? 0 : 255);
                return kind.value(grey);
            },
            opt);
        GlobalBlock out(Thumbnail(page.get(), 16, 16));
        ASSERT_TRUE(out);
        const DibReader res(out.get());
        ASSERT_EQ(res.bitCount(), 8);
        ASSERT_EQ(res.clrUsed(), 256u);
        ASSERT_EQ(res.width(), 16);
        ASSERT_EQ(res.height(), 16);
        EXPECT_EQ(res.sizeImage(), 16u * 16u);
        EXPECT_EQ(res.blockSize(), 40u + 1024u + 256u);
        EXPECT_EQ(res.xPelsPerMeter(), 7874);
        EXPECT_EQ(res.clrImportant(), 2u);
        for (int i = 0; i < 256; ++i) {
            const std::uint8_t *e = res.header() + 40 + 4 * i;
            EXPECT_TRUE(e[0] == i && e[1] == i && e[2] == i && e[3] == 0) << "palette entry " << i;
        }
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const std::uint32_t want = y >= 12 ? 128 : (x < 8 ? 0 : 255);
                EXPECT_EQ(res.pixel(x, y), want) << kind.name() << " (" << x << ", " << y << ")";
            }
    }
}

TEST(Thumbnail, EachPixelIsTheMeanOfTheAreaItCovers)
{
    // Three columns 0, 90, 180 into two: [0, 1.5) and [1.5, 3) of the page.
    GlobalBlock row = makeDib(3, 1, 8, [](int x, int) { return std::uint32_t(90 * x); });
    GlobalBlock out(Thumbnail(row.get(), 2, 1));
    ASSERT_TRUE(out);
    DibReader res(out.get());
    ASSERT_EQ(res.width(), 2);
    EXPECT_EQ(res.pixel(0, 0), 30u);
    EXPECT_EQ(res.pixel(1, 0), 150u);

    // Colour: per channel, over 2 x 2 blocks; the palette-free header keeps its depth.
    for (int bitCount : {24, 32}) {
        GlobalBlock page = makeDib(4, 4, bitCount, [](int x, int y) {
            return std::uint32_t((x * 20 + y) | (x * 10) << 8 | (200 - y * 40) << 16 | 0x80u << 24);
        });
        GlobalBlock small(Thumbnail(page.get(), 2, 2));
        ASSERT_TRUE(small);
        const DibReader r(small.get());
        ASSERT_EQ(r.bitCount(), bitCount);
        EXPECT_EQ(r.clrUsed(), 0u);
        EXPECT_EQ(r.sizeImage(), r.stride() * 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) {
                // Means of x*20+y, x*10 and 200-y*40 over x in {2X, 2X+1}, y in {2Y, 2Y+1}, rounded.
                const int blueSum = 160 * x + 8 * y + 42; // of the four pixels
                const std::uint32_t want = std::uint32_t((blueSum + 2) / 4) | std::uint32_t(20 * x + 5) << 8 |
                                           std::uint32_t(200 - 80 * y - 20) << 16;
                EXPECT_EQ(r.pixel(x, y), want) << bitCount << " (" << x << ", " << y << ")";
            }
    }

    // Enlarging repeats each page pixel over the result pixels it covers.
    GlobalBlock tiny = makeDib(2, 2, 8, [](int x, int y) { return std::uint32_t(10 + x + 2 * y); });
    GlobalBlock big(Thumbnail(tiny.get(), 8, 8));
    ASSERT_TRUE(big);
    const DibReader b(big.get());
    ASSERT_EQ(b.width(), 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(b.pixel(x, y), std::uint32_t(10 + x / 4 + 2 * (y / 4)));
}

TEST(Thumbnail, MatchesAreaMeansWorkedOutDirectly)
{
    // Uneven factors, and one result row covering 300 page rows (more than narrow running
    // sums can hold before they are emptied).
    struct Case {
        int w, h, bw, bh;
    } cases[] = {{97, 61, 13, 40}, {300, 3000, 1, 10}, {45, 700, 90, 7}};
    for (const PageKind &kind : AllKinds)
        for (const Case &c : cases) {
            // Mostly light values, so that overflowing sums would show.
            GlobalBlock page = makeDib(
                c.w, c.h, kind.bitCount,
                [&](int x, int y) {
                    return kind.bitCount == 1 ? noisePixel(x, y, 1)
                                              : noisePixel(x, y, kind.bitCount) | 0xE0E0E0E0u;
                },
                kind.options());
            GlobalBlock out(Thumbnail(page.get(), c.bw, c.bh));
            ASSERT_TRUE(out);
            const DibReader in(page.get()), res(out.get());
            const int channels = kind.bitCount <= 8 ? 1 : kind.bitCount / 8;
            // Grey level (or channel byte) of a page pixel, bitonal pixels by polarity.
            auto value = [&](int x, int y, int ch) -> double {
                const std::uint32_t v = in.pixel(x, y, true);
                if (kind.bitCount == 1)
                    return (v == 1) != kind.lightZero ? 255.0 : 0.0;
                return double((v >> (8 * ch)) & 0xFF);
            };
            const double sx = double(c.w) / res.width(), sy = double(c.h) / res.height();
            for (int ty = 0; ty < res.height(); ++ty)
                for (int tx = 0; tx < res.width(); ++tx)
                    for (int ch = 0; ch < channels; ++ch) {
                        double sum = 0;
                        for (int y = int(ty * sy); y < c.h && y < (ty + 1) * sy; ++y)
                            for (int x = int(tx * sx); x < c.w && x < (tx + 1) * sx; ++x) {
                                const double ox =
                                    std::min<double>(x + 1, (tx + 1) * sx) - std::max<double>(x, tx * sx);
                                const double oy =
                                    std::min<double>(y + 1, (ty + 1) * sy) - std::max<double>(y, ty * sy);
                                sum += value(x, y, ch) * ox * oy;
                            }
                        const double mean = sum / (sx * sy);
                        const std::uint8_t *px =
                            res.row(ty) +
                            std::size_t(tx) * std::size_t(channels == 1 ? 1 : kind.bitCount / 8);
                        EXPECT_NEAR(px[ch], mean, 0.51) << kind.name() << " " << c.w << " x " << c.h
                                                        << " at (" << tx << ", " << ty << ") channel " << ch;
                    }
        }
}

TEST(Thumbnail, BadArgumentsGiveNull)
{
    GlobalBlock page = makeUniformDib(10, 10, 8, 0);
    EXPECT_EQ(Thumbnail(page.get(), 0, 10), nullptr);
    EXPECT_EQ(Thumbnail(page.get(), 10, -1), nullptr);
    EXPECT_EQ(Thumbnail(nullptr, 10, 10), nullptr);
}
