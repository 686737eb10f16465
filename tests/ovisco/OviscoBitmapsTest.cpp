#include "OviscoBitmaps.h"
#include "OviscoTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using arkavo::GlobalBlock;
using arkavo::GlobalLockGuard;
using ovisco::DibView;
using ovisco::ScaleMode;
using ovtest::makeDib;

namespace {

// Value at (x, y from the top) of an 8- or 24-bit DIB in a block.
std::uint32_t pixelAt(HGLOBAL dib, int x, int y)
{
    GlobalLockGuard lock(dib);
    DibView v;
    if (!ovisco::describeDib(lock.data(), GlobalSize(dib), &v))
        return 0xdeadbeef;
    const std::uint8_t *row = v.row(v.height - 1 - y);
    if (v.bitCount == 8)
        return row[x];
    return std::uint32_t(row[3 * x]) | std::uint32_t(row[3 * x + 1]) << 8 |
           std::uint32_t(row[3 * x + 2]) << 16;
}

DibView viewOf(const GlobalLockGuard &lock, HGLOBAL h)
{
    DibView v;
    EXPECT_TRUE(ovisco::describeDib(lock.data(), GlobalSize(h), &v));
    return v;
}

void patch32(HGLOBAL h, std::size_t offset, std::uint32_t value)
{
    GlobalLockGuard lock(h);
    std::memcpy(lock.data() + offset, &value, 4);
}

} // namespace

TEST(OviscoBitmaps, MalformedBlocksAreNotImages)
{
    DibView v;
    EXPECT_FALSE(ovisco::describeDib(nullptr, 100, &v));
    {
        GlobalBlock good = ovtest::plainGrey(10, 10);
        GlobalLockGuard lock(good.get());
        EXPECT_TRUE(ovisco::describeDib(lock.data(), good.size(), &v));
        EXPECT_FALSE(ovisco::describeDib(lock.data(), 39, &v));              // shorter than a header
        EXPECT_FALSE(ovisco::describeDib(lock.data(), good.size() - 1, &v)); // last row cut off
    }
    struct Case {
        const char *what;
        std::size_t offset;
        std::uint32_t value;
    } cases[] = {
        {"no header size", 0, 0},
        {"12-byte header", 0, 12},
        {"124-byte header", 0, 124},
        {"zero width", 4, 0},
        {"top-down rows", 8, std::uint32_t(-10)},
        {"4 bits", 14, 4},
        {"32 bits", 14, 32},
        {"16 bits", 14, 16},
        {"compressed", 16, 1},
        {"palette over 256", 32, 300},
        {"width beyond the block", 4, 1u << 16},
        {"absurd width", 4, 0x7fffffff},
    };
    for (const Case &c : cases) {
        GlobalBlock dib = ovtest::plainGrey(10, 10);
        if (c.offset == 14) {
            GlobalLockGuard lock(dib.get());
            lock.data()[14] = std::uint8_t(c.value);
        } else {
            patch32(dib.get(), c.offset, c.value);
        }
        GlobalLockGuard lock(dib.get());
        EXPECT_FALSE(ovisco::describeDib(lock.data(), dib.size(), &v)) << c.what;
    }
    // A 1-bit image needs its two palette entries to say what its bits mean.
    GlobalBlock bilevel = makeDib(16, 4, 1, {}, [](int, int) { return 0u; });
    GlobalLockGuard lock(bilevel.get());
    EXPECT_FALSE(ovisco::describeDib(lock.data(), bilevel.size(), &v));
}

TEST(OviscoBitmaps, GreyCopyOfABilevelPageTakesThePaletteRedComponents)
{
    // Column x is bit (x % 3 == 0); 13 columns so the last byte is partial.
    auto bits = [](int x, int y) { return std::uint32_t((x + y) % 3 == 0); };
    struct Case {
        std::vector<std::uint32_t> palette;
        int zero, one;
    } cases[] = {
        {{0x000000, 0xffffff}, 0, 255},     // black, white
        {{0xffffff, 0x000000}, 255, 0},     // white, black: grey levels inverted against the bits
        {{0x40ff00, 0xa00000}, 0x40, 0xa0}, // only red counts
    };
    for (const Case &c : cases) {
        GlobalBlock src = makeDib(13, 5, 1, c.palette, bits);
        GlobalLockGuard lock(src.get());
        GlobalBlock grey = ovisco::makeGrayCopy(viewOf(lock, src.get()));
        ASSERT_TRUE(grey);
        GlobalLockGuard greyLock(grey.get());
        const DibView g = viewOf(greyLock, grey.get());
        EXPECT_EQ(g.bitCount, 8);
        EXPECT_EQ(g.paletteEntries, 256);
        EXPECT_EQ(g.width, 13);
        EXPECT_EQ(g.height, 5);
        EXPECT_EQ(grey.size(), 40u + 1024u + 16u * 5u);
        EXPECT_EQ(g.palette[4 * 77], 77);
        EXPECT_EQ(g.palette[4 * 77 + 2], 77);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(pixelAt(grey.get(), x, y), std::uint32_t(bits(x, y) ? c.one : c.zero))
                    << x << "," << y;
    }
}

TEST(OviscoBitmaps, ScaleModeFollowsZoomAndDepth)
{
    struct Case {
        double zoom;
        int bits;
        bool isSource;
        ScaleMode mode;
    } cases[] = {
        {40, 8, true, ScaleMode::Area},      {40, 8, false, ScaleMode::Area}, // grey and converted 1-bit
        {40, 24, true, ScaleMode::Linear},   {50, 8, true, ScaleMode::Area},
        {50, 24, true, ScaleMode::Linear},   {60, 8, true, ScaleMode::Linear},
        {60, 8, false, ScaleMode::Linear},   {60, 24, true, ScaleMode::Linear},
        {100, 8, true, ScaleMode::Linear},   {100.5, 8, true, ScaleMode::Nearest},
        {400, 24, true, ScaleMode::Nearest}, {400, 8, false, ScaleMode::Nearest},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ovisco::scaleModeFor(c.zoom, c.bits, c.isSource), c.mode) << c.zoom << " " << c.bits;
}

TEST(OviscoBitmaps, DisplayBitmapScalesTheRegionWithEachMode)
{
    // 8 x 8 grey checkerboard of 2 x 2 blocks, 0 and 200, top-left block 0.
    GlobalBlock src = makeDib(8, 8, 8, ovtest::greyRamp(),
                              [](int x, int y) { return std::uint32_t(((x / 2 + y / 2) % 2) ? 200 : 0); });
    GlobalLockGuard lock(src.get());
    const DibView v = viewOf(lock, src.get());
    const ovisco::SourceRegion all{0, 0, 8, 8};

    // Nearest neighbour at 200 %: each pixel doubled.
    GlobalBlock nn = ovisco::buildDisplayBitmap(v, all, 16, 16, ScaleMode::Nearest);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(pixelAt(nn.get(), x, y), pixelAt(src.get(), x / 2, y / 2)) << x << "," << y;

    // Area averaging at 25 %: each output covers four 2 x 2 blocks, two of each value.
    GlobalBlock area = ovisco::buildDisplayBitmap(v, all, 2, 2, ScaleMode::Area);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(pixelAt(area.get(), x, y), 100u);
    // ... and at 50 % each output is one block exactly.
    GlobalBlock half = ovisco::buildDisplayBitmap(v, all, 4, 4, ScaleMode::Area);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixelAt(half.get(), x, y), ((x + y) % 2) ? 200u : 0u);

    // Linear at 100 % is a plain copy; the palette comes along.
    GlobalBlock same = ovisco::buildDisplayBitmap(v, all, 8, 8, ScaleMode::Linear);
    GlobalLockGuard sameLock(same.get());
    ASSERT_EQ(same.size(), 40u + 1024u + 64u);
    EXPECT_EQ(0, std::memcmp(sameLock.data() + 40, lock.data() + 40, 1024 + 64));

    // Linear at 75 % stays between the two values and keeps a flat block flat.
    GlobalBlock lin = ovisco::buildDisplayBitmap(v, all, 6, 6, ScaleMode::Linear);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_LE(pixelAt(lin.get(), x, y), 200u);
    EXPECT_EQ(pixelAt(lin.get(), 0, 0), 0u);
}

TEST(OviscoBitmaps, DisplayBitmapTakesTheRegionCountedFromTheBottomAndKeepsColourOrder)
{
    // 24-bit, 6 x 4: the top row is red, the rest blue; a green pixel at (5, 3).
    GlobalBlock src = makeDib(6, 4, 24, {}, [](int x, int y) {
        if (x == 5 && y == 3)
            return 0x00ff00u;
        return y == 0 ? 0xff0000u : 0x0000ffu;
    });
    GlobalLockGuard lock(src.get());
    const DibView v = viewOf(lock, src.get());
    // The top row is row 3 from the bottom.
    GlobalBlock top = ovisco::buildDisplayBitmap(v, {0, 3, 6, 1}, 12, 2, ScaleMode::Nearest);
    for (int x = 0; x < 12; ++x)
        EXPECT_EQ(pixelAt(top.get(), x, 1), 0xff0000u);
    GlobalBlock corner = ovisco::buildDisplayBitmap(v, {5, 0, 1, 1}, 1, 1, ScaleMode::Linear);
    EXPECT_EQ(pixelAt(corner.get(), 0, 0), 0x00ff00u);
    // The painted form shows the same colours the same way up.
    const QImage img = ovisco::dibToImage(src.get());
    ASSERT_EQ(img.size(), QSize(6, 4));
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(5, 3), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(2, 2), qRgb(0, 0, 255));
    EXPECT_TRUE(ovisco::dibToImage(nullptr).isNull());
}
