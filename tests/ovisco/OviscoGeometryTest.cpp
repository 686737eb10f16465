#include "OviscoGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using ovisco::OviscoGeometry;
using ovisco::Rect;
using ovisco::SourceRegion;

namespace {

OviscoGeometry geometry(int w, int h, double zoom, int sx = 0, int sy = 0)
{
    OviscoGeometry g;
    g.hasImage = true;
    g.imageWidth = w;
    g.imageHeight = h;
    g.zoom = zoom;
    g.scaleWidth = int(w * zoom * 0.01);
    g.scaleHeight = int(h * zoom * 0.01);
    g.scrollX = sx;
    g.scrollY = sy;
    return g;
}

} // namespace

TEST(OviscoGeometry, FitModesUseTheWindowSizeAndOtherModesDoNothing)
{
    const OviscoGeometry g = geometry(2000, 3000, 100);
    struct Case {
        int mode;
        bool taken;
        double zoom;
    } cases[] = {
        {0, true, 800.0 / 3000 * 100},
        {1, true, 50.0},
        {2, true, 800.0 / 3000 * 100},
        {4, true, 100.0},
        {3, false, 0},
        {7, false, 0},
        {-1, false, 0},
    };
    for (const Case &c : cases) {
        double z = -1;
        EXPECT_EQ(g.fitZoom(c.mode, 1000, 800, &z), c.taken) << c.mode;
        if (c.taken) {
            EXPECT_DOUBLE_EQ(z, c.zoom) << c.mode;
        }
    }
}

TEST(OviscoGeometry, ZoomOutsideTwoToTenThousandIsRefused)
{
    struct Case {
        double z;
        bool taken;
    } cases[] = {{1.5, false},          {10000.5, false},
                 {2.0, true},           {10000.0, true},
                 {0.0, false},          {-50.0, false},
                 {std::nan(""), false}, {std::numeric_limits<double>::infinity(), false}};
    for (const Case &c : cases) {
        OviscoGeometry g = geometry(2000, 3000, 100, 7, 9);
        EXPECT_EQ(g.applyZoom(c.z, 1000, 800), c.taken) << c.z;
        if (!c.taken) {
            EXPECT_EQ(g.zoom, 100.0);
            EXPECT_EQ(g.scaleWidth, 2000);
            EXPECT_EQ(g.scrollX, 7);
        }
    }
}

TEST(OviscoGeometry, ZoomKeepsThePointAtTheCentreOfTheView)
{
    struct Case {
        int sx, sy, cw, ch;
        double from, to;
        int scaleW, scaleH, wantX, wantY;
    } cases[] = {
        // Centre at zoomed x = 500 moves to 1000 when the zoom doubles.
        {0, 0, 1000, 800, 100, 200, 4000, 6000, 500, 400},
        {500, 700, 1000, 800, 200, 100, 2000, 3000, 0, 150},
        {120, 80, 640, 480, 100, 150, 3000, 4500, 340, 240},
        // Truncation toward zero for negative intermediate values.
        {0, 0, 1001, 801, 100, 50, 1000, 1500, -250, -200},
    };
    for (const Case &c : cases) {
        OviscoGeometry g = geometry(2000, 3000, c.from, c.sx, c.sy);
        ASSERT_TRUE(g.applyZoom(c.to, c.cw, c.ch));
        EXPECT_EQ(g.scaleWidth, c.scaleW);
        EXPECT_EQ(g.scaleHeight, c.scaleH);
        EXPECT_EQ(g.scrollX, c.wantX) << c.sx << " " << c.from << "->" << c.to;
        EXPECT_EQ(g.scrollY, c.wantY) << c.sy << " " << c.from << "->" << c.to;
        EXPECT_EQ(g.zoom, c.to);
    }
}

TEST(OviscoGeometry, ZoomWithoutAnImageOnlyStoresTheValue)
{
    OviscoGeometry g;
    g.scaleWidth = 33;
    ASSERT_TRUE(g.applyZoom(250, 1000, 800));
    EXPECT_EQ(g.zoom, 250);
    EXPECT_EQ(g.scaleWidth, 33);
    EXPECT_EQ(g.scrollX, 0);
}

TEST(OviscoGeometry, ScrollWritesAreTakenOnlyStrictlyInsideTheRange)
{
    struct Case {
        int v, scaled, client;
        bool taken;
    } cases[] = {
        {499, 1500, 1000, true}, {500, 1500, 1000, false}, // the last position itself is refused
        {0, 1500, 1000, true},   {-1, 1500, 1000, false},  {10, 1000, 1000, false}, // nothing to scroll
        {0, 900, 1000, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(OviscoGeometry::scrollWriteAccepted(c.v, c.scaled, c.client), c.taken)
            << c.v << " " << c.scaled;
}

TEST(OviscoGeometry, ScrollBarLayoutClampsPositionsAndDecidesTheBars)
{
    const int bar = 16;
    struct Case {
        int scaleW, scaleH, sx, sy, ww, wh;
        bool needH, needV;
        int cw, ch, maxX, maxY, wantX, wantY;
    } cases[] = {
        // Everything fits: no bars, positions back to 0.
        {800, 600, 30, 40, 1000, 800, false, false, 1000, 800, 0, 0, 0, 0},
        // Only taller: a vertical bar; horizontal position 0.
        {900, 1500, 25, 100, 1000, 800, false, true, 984, 800, 0, 700, 0, 100},
        // Exactly the window width, but the vertical bar takes room: both bars.
        {1000, 1500, 0, 0, 1000, 800, true, true, 984, 784, 16, 716, 0, 0},
        // Only wider, yet the horizontal bar makes it taller than the view: both bars.
        {1500, 790, 0, 0, 1000, 800, true, true, 984, 784, 516, 6, 0, 0},
        // Positions past the end are pulled back to size - window.
        {1500, 3000, 900, 2900, 1000, 800, true, true, 984, 784, 516, 2216, 500, 2200},
        // Negative positions become 0.
        {1500, 3000, -5, -7, 1000, 800, true, true, 984, 784, 516, 2216, 0, 0},
    };
    for (const Case &c : cases) {
        OviscoGeometry g;
        g.hasImage = true;
        g.scaleWidth = c.scaleW;
        g.scaleHeight = c.scaleH;
        g.scrollX = c.sx;
        g.scrollY = c.sy;
        const ovisco::ScrollLayout l = g.layout(c.ww, c.wh, bar);
        SCOPED_TRACE(testing::Message() << c.scaleW << "x" << c.scaleH);
        EXPECT_EQ(l.needH, c.needH);
        EXPECT_EQ(l.needV, c.needV);
        EXPECT_EQ(l.clientWidth, c.cw);
        EXPECT_EQ(l.clientHeight, c.ch);
        EXPECT_EQ(l.maxX, c.maxX);
        EXPECT_EQ(l.maxY, c.maxY);
        EXPECT_EQ(g.scrollX, c.wantX);
        EXPECT_EQ(g.scrollY, c.wantY);
    }
}

TEST(OviscoGeometry, ClientAndSourcePixelsMapThroughMarginsScrollAndZoom)
{
    struct Case {
        int w, h;
        double zoom;
        int sx, sy, cw, ch;
        int x, y;         // client point
        int srcX, srcY;   // its image pixel
        int backX, backY; // that image pixel back in the client
    } cases[] = {
        // 1000 x 1000 at 100 % in 1100 x 1100: margins of 50.
        {1000, 1000, 100, 0, 0, 1100, 1100, 350, 450, 300, 400, 350, 450},
        // Beyond the edges: clamped to the image.
        {1000, 1000, 100, 0, 0, 1100, 1100, -20, 1090, 0, 999, 50, 1049},
        // Scrolled at 50 %: no margins, two image pixels per client pixel.
        {4000, 3000, 50, 300, 200, 1000, 800, 100, 51, 800, 502, 100, 51},
        // Odd margin: 0.5 is kept until the truncation.
        {100, 100, 100, 0, 0, 201, 201, 51, 51, 0, 0, 50, 50},
        // 400 %: four client pixels per image pixel.
        {100, 100, 400, 40, 0, 200, 200, 3, 7, 10, 1, 0, 4},
    };
    for (const Case &c : cases) {
        const OviscoGeometry g = geometry(c.w, c.h, c.zoom, c.sx, c.sy);
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " @" << c.zoom);
        EXPECT_EQ(g.clientToSourceX(c.x, c.cw), c.srcX);
        EXPECT_EQ(g.clientToSourceY(c.y, c.ch), c.srcY);
        EXPECT_EQ(g.sourceToClientX(c.srcX, c.cw), c.backX);
        EXPECT_EQ(g.sourceToClientY(c.srcY, c.ch), c.backY);
    }
}

TEST(OviscoGeometry, CacheIsTheViewGrownByAQuarterAndClippedToTheZoomedImage)
{
    struct Case {
        int w, h;
        double zoom;
        int sx, sy, bw, bh;
        Rect visible, cache;
    } cases[] = {
        // Middle of a large image: a quarter of the view on each side.
        {2480, 3508, 100, 600, 1000, 1280, 1024, {600, 1000, 1880, 2024}, {280, 744, 2200, 2280}},
        // Top-left corner: clipped at 0.
        {2480, 3508, 100, 0, 0, 1280, 1024, {0, 0, 1280, 1024}, {0, 0, 1600, 1280}},
        // Image smaller than the view: all of it.
        {2480, 3508, 25, 0, 0, 1280, 1024, {0, 0, 620, 877}, {0, 0, 620, 877}},
        // Near the far end.
        {2480, 3508, 100, 1200, 2484, 1280, 1024, {1200, 2484, 2480, 3508}, {880, 2228, 2480, 3508}},
    };
    for (const Case &c : cases) {
        const OviscoGeometry g = geometry(c.w, c.h, c.zoom, c.sx, c.sy);
        const Rect visible = g.visibleRect(c.bw, c.bh);
        EXPECT_EQ(visible, c.visible);
        EXPECT_EQ(g.cacheRect(visible, c.bw, c.bh), c.cache);
    }
}

TEST(OviscoGeometry, RegionOfTheWorkingImageCountsRowsFromTheBottomAndStaysInside)
{
    struct Case {
        int w, h;
        double zoom;
        Rect cache;
        SourceRegion want;
    } cases[] = {
        {2480, 3508, 100, {280, 744, 2200, 2280}, {280, 1228, 1920, 1536}},
        {2480, 3508, 50, {0, 0, 1240, 1754}, {0, 0, 2480, 3508}},
        {2480, 3508, 400, {4000, 8000, 5920, 9536}, {1000, 1124, 480, 384}},
        {3, 3, 75, {0, 0, 2, 2}, {0, 0, 3, 3}},
        // A strip thinner than one image pixel still covers one.
        {100, 100, 400, {0, 0, 1, 400}, {0, 0, 1, 100}},
    };
    for (const Case &c : cases) {
        const OviscoGeometry g = geometry(c.w, c.h, c.zoom);
        EXPECT_EQ(g.regionOf(c.cache, c.w, c.h), c.want)
            << c.zoom << " " << c.cache.left << "," << c.cache.top;
    }
    // A host that wrote a larger ImageWidth / ImageHeight cannot push the region out
    // of the real pixels.
    const OviscoGeometry g = geometry(200, 200, 100);
    EXPECT_EQ(g.regionOf(Rect{150, 0, 200, 200}, 160, 160), (SourceRegion{150, 0, 10, 160}));
    EXPECT_EQ(g.regionOf(Rect{0, 0, 200, 200}, 0, 0), SourceRegion{});
}

TEST(OviscoGeometry, TruncationSaturatesInsteadOfOverflowing)
{
    EXPECT_EQ(ovisco::truncToInt(-2.7), -2);
    EXPECT_EQ(ovisco::truncToInt(2.7), 2);
    EXPECT_EQ(ovisco::truncToInt(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(ovisco::truncToInt(-1e300), std::numeric_limits<int>::min());
    EXPECT_EQ(ovisco::truncToInt(std::nan("")), 0);
}
