#include "PixolveImage.h"
#include "TestDib.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

using namespace arkavo;
using namespace arkavo::pixolve;
using arkavo::test::DibReader;

namespace {

// A well-formed 8-bit 5 x 3 page whose header is then edited by the case.
GlobalBlock damagedPage(const std::function<void(std::uint8_t *)> &damage, std::size_t blockSize = 0)
{
    GlobalBlock good = test::makeUniformDib(5, 3, 8, 7);
    const std::size_t size = blockSize ? blockSize : good.size();
    GlobalBlock block = GlobalBlock::allocate(size);
    GlobalLockGuard from(good.get()), to(block.get());
    std::memcpy(to.data(), from.data(), std::min(size, good.size()));
    if (size >= 40)
        damage(to.data());
    return block;
}

} // namespace

TEST(PageFrame, MalformedBlocksAreRejectedBeforeAnyPixelIsRead)
{
    const std::size_t exact = 40 + 1024 + 8 * 3;
    struct Case {
        const char *what;
        std::function<void(std::uint8_t *)> damage;
        std::size_t blockSize;
    } cases[] = {
        {"header cut short", [](std::uint8_t *) {}, 39},
        {"last row missing a byte", [](std::uint8_t *) {}, exact - 1},
        {"depth 16", [](std::uint8_t *p) { p[14] = 16; }, 0},
        {"depth 4", [](std::uint8_t *p) { p[14] = 4; }, 0},
        {"zero width", [](std::uint8_t *p) { test::putU32(p + 4, 0); }, 0},
        {"top-down rows", [](std::uint8_t *p) { test::putU32(p + 8, std::uint32_t(-3)); }, 0},
        {"run-length compressed", [](std::uint8_t *p) { test::putU32(p + 16, 1); }, 0},
        {"palette longer than 256", [](std::uint8_t *p) { test::putU32(p + 32, 0x40000001u); }, 0},
        {"1-bit without palette",
         [](std::uint8_t *p) {
             p[14] = 1;
             test::putU32(p + 32, 0);
         },
         0},
        {"size overflowing",
         [](std::uint8_t *p) {
             test::putU32(p + 4, 0x7FFFFFFF);
             test::putU32(p + 8, 0x7FFFFFFF);
         },
         0},
    };
    EXPECT_FALSE(SourcePage(nullptr).valid());
    for (const Case &c : cases) {
        GlobalBlock block = damagedPage(c.damage, c.blockSize);
        EXPECT_FALSE(SourcePage(block.get()).valid()) << c.what;
    }
    GlobalBlock fits = damagedPage([](std::uint8_t *) {}, exact);
    EXPECT_TRUE(SourcePage(fits.get()).valid());
}

TEST(PageFrame, StrideAndPolarityFollowTheHeader)
{
    struct Case {
        int width, bitCount;
        std::size_t stride;
    } cases[] = {{1, 1, 4}, {33, 1, 8}, {5, 8, 8}, {5, 24, 16}, {3, 32, 12}};
    for (const Case &c : cases) {
        GlobalBlock block = test::makeUniformDib(c.width, 2, c.bitCount, 0);
        SourcePage page(block.get());
        ASSERT_TRUE(page.valid());
        EXPECT_EQ(WrapDib(page).stride, c.stride) << c.width << "x" << c.bitCount;
        EXPECT_EQ(WrapDib(page).bits, page.block() + 40 + 4 * test::paletteSizeOf(c.bitCount));
    }
    GlobalBlock dark = test::makeUniformDib(8, 1, 1, 0, {.lightZero = false});
    GlobalBlock light = test::makeUniformDib(8, 1, 1, 0, {.lightZero = true});
    EXPECT_FALSE(SourcePage(dark.get()).lightZero());
    EXPECT_TRUE(SourcePage(light.get()).lightZero());
}

TEST(PageFrame, CallerRectanglesCountRowsFromTheTop)
{
    const RECT r{10, 20, 30, 50};
    const RECT lib = flipRows(r, 100);
    EXPECT_EQ(lib.left, 10);
    EXPECT_EQ(lib.top, 50);
    EXPECT_EQ(lib.right, 30);
    EXPECT_EQ(lib.bottom, 80);
    const RECT back = flipRows(lib, 100);
    EXPECT_EQ(std::memcmp(&back, &r, sizeof r), 0);
}

TEST(PageFrame, GrayCopyTurnsEveryDepthIntoGreyLevels)
{
    // Left half black, right half white (as the page's own palette or values say).
    auto half = [](std::uint32_t dark, std::uint32_t lightValue) {
        return [=](int x, int) { return x < 6 ? dark : lightValue; };
    };
    struct Case {
        const char *what;
        GlobalBlock page;
    };
    Case cases[] = {
        {"1-bit dark-zero", test::makeDib(11, 3, 1, half(0, 1), {.lightZero = false})},
        {"1-bit light-zero", test::makeDib(11, 3, 1, half(1, 0), {.lightZero = true})},
        {"8-bit", test::makeDib(11, 3, 8, half(0, 255))},
        {"24-bit", test::makeDib(11, 3, 24, half(0, 0xFFFFFF))},
        {"32-bit", test::makeDib(11, 3, 32, half(0xFF000000u, 0x00FFFFFF))},
    };
    for (Case &c : cases) {
        SourcePage page(c.page.get());
        ASSERT_TRUE(page.valid()) << c.what;
        WorkImage gray = GrayCopy(page, {4, 1, 5, 2});
        ConstImageView v = gray.view();
        ASSERT_EQ(v.width, 5) << c.what;
        ASSERT_EQ(v.height, 2) << c.what;
        EXPECT_EQ(v.bitCount, 8);
        EXPECT_EQ(v.stride, 8u);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(v.row(y)[x], x + 4 < 6 ? 0 : 255) << c.what << " at " << x << "," << y;
    }
    // Colour: luminance, pure green is the brightest primary.
    GlobalBlock colour = test::makeDib(3, 1, 24, [](int x, int) { return 0xFFu << (8 * x); });
    WorkImage gray = GrayCopy(SourcePage(colour.get()));
    const std::uint8_t *g = gray.view().row(0);
    EXPECT_GT(g[1], g[2]);
    EXPECT_GT(g[2], g[0]);
    EXPECT_EQ(g[0] + g[1] + g[2], 255);
    // Regions reaching outside are clipped; nothing left gives an empty image.
    EXPECT_EQ(GrayCopy(SourcePage(colour.get()), {-5, -5, 7, 100}).view().width, 2);
    EXPECT_TRUE(GrayCopy(SourcePage(colour.get()), {3, 0, 4, 1}).empty());
}

TEST(PageFrame, ResultBlocksKeepTheHeaderAndSizeByForm)
{
    GlobalBlock input =
        test::makeNoiseDib(13, 7, 8, {.extraBytes = 29, .xPelsPerMeter = 3937, .clrImportant = 9});
    SourcePage page(input.get());
    ASSERT_TRUE(page.valid());

    ResultBlock same = ResultBlock::sameSize(page);
    ASSERT_TRUE(same);
    EXPECT_EQ(same.image().bits, same.block() + 40 + 1024);
    std::memset(same.image().bits, 0xAB, same.image().bytes());
    GlobalBlock sameBlock(same.release());
    DibReader s(sameBlock.get());
    EXPECT_EQ(s.blockSize(), input.size());
    EXPECT_EQ(std::memcmp(s.header(), page.block(), 40 + 1024), 0);
    EXPECT_TRUE(s.excessIsZero());

    ResultBlock turned = ResultBlock::resized(page, 7, 13);
    ASSERT_TRUE(turned);
    GlobalBlock turnedBlock(turned.release());
    DibReader t(turnedBlock.get());
    EXPECT_EQ(t.blockSize(), 40u + 1024 + 8 * 13);
    EXPECT_EQ(t.width(), 7);
    EXPECT_EQ(t.height(), 13);
    EXPECT_EQ(t.sizeImage(), 8u * 13);
    EXPECT_EQ(t.xPelsPerMeter(), 3937);
    EXPECT_EQ(t.clrImportant(), 9u);
    EXPECT_EQ(std::memcmp(t.header() + 40, page.block() + 40, 1024), 0);

    ResultBlock grey = ResultBlock::withFormat(page, 3, 2, 1, 2);
    ASSERT_TRUE(grey);
    GlobalBlock greyBlock(grey.release());
    DibReader g(greyBlock.get());
    EXPECT_EQ(g.blockSize(), 40u + 8 + 4 * 2);
    EXPECT_EQ(g.bitCount(), 1);
    EXPECT_EQ(g.clrUsed(), 2u);
}

TEST(PageFrame, RowBandsCoverEveryRowOnce)
{
    for (int rows : {0, 1, 7, 3508}) {
        std::vector<std::atomic<int>> seen(static_cast<std::size_t>(rows));
        forRowBands(rows, 1 << 20, [&](int first, int end) {
            for (int y = first; y < end; ++y)
                seen[std::size_t(y)]++;
        });
        for (int y = 0; y < rows; ++y)
            EXPECT_EQ(seen[std::size_t(y)], 1) << rows << " rows, row " << y;
    }
}

TEST(PageFrame, RowBandFailuresReachTheCaller)
{
    // The first band runs on a worker thread; its failure must not end the process.
    auto failFirstBand = [](int first, int) {
        if (first == 0)
            throw std::bad_alloc();
    };
    EXPECT_THROW(forRowBands(3508, 1 << 20, failFirstBand), std::bad_alloc);
}
