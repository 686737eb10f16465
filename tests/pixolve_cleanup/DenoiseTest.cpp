#include "CleanupTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace arkavo;
using namespace arkavo::test;

namespace {

struct Blob {
    int x, y, w, h; // library coordinates, y = 0 the bottom row
};

bool inBlobs(const std::vector<Blob> &blobs, int x, int y)
{
    for (const Blob &b : blobs)
        if (x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h)
            return true;
    return false;
}

constexpr int W = 60, H = 50;

GlobalBlock blobPage(const PageKind &kind, const std::vector<Blob> &blobs)
{
    return makePage(kind, W, H, [&](int x, int y) { return inBlobs(blobs, x, y) ? 0 : 255; });
}

// Ink exactly where `kept` blobs are.
::testing::AssertionResult inkExactly(const DibReader &res, const PageKind &kind,
                                      const std::vector<Blob> &kept)
{
    if (res.width() != W || res.height() != H || res.bitCount() != kind.bitCount)
        return ::testing::AssertionFailure() << "size or depth changed";
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const std::uint32_t want = inBlobs(kept, x, y) ? kind.black() : kind.white();
            if (res.pixel(x, y) != want)
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is " << res.pixel(x, y);
        }
    return ::testing::AssertionSuccess();
}

const PageKind SpeckKinds[] = {{1, false}, {1, true}, {8}};

} // namespace

TEST(Denoise, RemovesIsolatedSpecksAndKeepsLargerShapes)
{
    struct Case {
        const char *what;
        std::vector<Blob> blobs;
        std::vector<Blob> kept;
    } cases[] = {
        {"2 x 2 speck", {{30, 30, 2, 2}}, {}},
        {"single pixel", {{20, 20, 1, 1}}, {}},
        {"3 x 3 speck", {{20, 20, 3, 3}}, {}},
        {"5 x 5 block", {{30, 30, 5, 5}}, {{30, 30, 5, 5}}},
        {"4 rows high", {{30, 30, 2, 4}}, {{30, 30, 2, 4}}},
        {"thin line longer than s", {{10, 25, 12, 1}}, {{10, 25, 12, 1}}},
        {"thin line of s pixels", {{10, 25, 3, 1}}, {}},
        // The row under the speck must be paper over its first row and one column beyond.
        {"speck sitting on a line", {{30, 30, 2, 2}, {20, 29, 20, 1}}, {{30, 30, 2, 2}, {20, 29, 20, 1}}},
        {"line starting one column past the speck",
         {{30, 30, 2, 2}, {32, 29, 10, 1}},
         {{30, 30, 2, 2}, {32, 29, 10, 1}}},
        {"line starting two columns past the speck", {{30, 30, 2, 2}, {33, 29, 10, 1}}, {{33, 29, 10, 1}}},
        // Seeds are looked for from s to W - s - 1 and H - s - 1.
        {"speck low on the page", {{30, 2, 2, 2}}, {{30, 2, 2, 2}}},
        {"speck lowest allowed", {{30, 3, 2, 2}}, {}},
        {"speck near the top", {{30, H - 3, 2, 2}}, {{30, H - 3, 2, 2}}},
        {"speck starting left of s", {{2, 20, 2, 2}}, {{2, 20, 2, 2}}},
        {"speck starting at s", {{3, 20, 2, 2}}, {}},
        {"speck starting right of W - s - 1", {{W - 3, 20, 2, 2}}, {{W - 3, 20, 2, 2}}},
        {"speck starting at W - s - 1", {{W - 4, 20, 2, 2}}, {}},
        // Widening up to the page edge: what lies beyond is unknown, so the speck stays.
        {"speck widening to the left edge", {{3, 20, 1, 1}, {0, 21, 4, 1}}, {{3, 20, 1, 1}, {0, 21, 4, 1}}},
        {"speck widening to the right edge",
         {{W - 4, 20, 1, 1}, {W - 4, 21, 4, 1}},
         {{W - 4, 20, 1, 1}, {W - 4, 21, 4, 1}}},
    };
    for (const PageKind &kind : SpeckKinds)
        for (const Case &c : cases) {
            GlobalBlock page = blobPage(kind, c.blobs);
            GlobalBlock out(Denoise(page.get(), 3));
            ASSERT_TRUE(out) << kind.name() << " " << c.what;
            EXPECT_TRUE(inkExactly(DibReader(out.get()), kind, c.kept)) << kind.name() << " " << c.what;
        }
}

TEST(Denoise, SpeckIsPaintedWithThePaperToItsLeft)
{
    // On grey paper the removed speck takes the grey of the pixel left of its seed; only
    // ink at least 101 levels darker than the paper counts.
    GlobalBlock page = makePage(PageKind{8}, W, H, [](int x, int y) {
        if (x >= 30 && x < 32 && y >= 30 && y < 32)
            return 40;
        if (x >= 10 && x < 12 && y >= 10 && y < 12)
            return 100; // only 100 darker than the paper
        return x < 30 ? 200 : 210;
    });
    GlobalBlock out(Denoise(page.get(), 3));
    ASSERT_TRUE(out);
    const DibReader in(page.get()), res(out.get());
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const bool speck = x >= 30 && x < 32 && y >= 30 && y < 32;
            EXPECT_EQ(res.pixel(x, y), speck ? 200u : in.pixel(x, y)) << x << ", " << y;
        }
}

TEST(Denoise, ColourPagesAreSmoothedWithAKernelChosenBySpeckSize)
{
    // One black pixel on white: the 3 x 3 kernel reaches one pixel around it, the 5 x 5 two.
    for (const PageKind &kind : {PageKind{24}, PageKind{32}}) {
        GlobalBlock page = makePage(kind, 21, 21, [](int x, int y) { return x == 10 && y == 10 ? 0 : 255; });
        struct Case {
            int s;
            std::uint32_t centre, next, twoAway;
        } cases[] = {{3, 191, 223, 255}, {1, 191, 223, 255}, {4, 219, 231, 249}, {9, 219, 231, 249}};
        for (const Case &c : cases) {
            GlobalBlock out(Denoise(page.get(), c.s));
            ASSERT_TRUE(out);
            const DibReader res(out.get());
            ASSERT_EQ(res.width(), 21);
            ASSERT_EQ(res.bitCount(), kind.bitCount);
            EXPECT_EQ(res.blockSize(), DibReader(page.get()).blockSize());
            EXPECT_EQ(res.pixel(10, 10), c.centre * 0x010101u) << kind.name() << " s=" << c.s;
            EXPECT_EQ(res.pixel(11, 10), c.next * 0x010101u) << kind.name() << " s=" << c.s;
            EXPECT_EQ(res.pixel(10, 12), c.twoAway * 0x010101u) << kind.name() << " s=" << c.s;
            EXPECT_EQ(res.pixel(0, 0), 0xFFFFFFu);
            if (kind.bitCount == 32) {
                EXPECT_EQ(res.pixel(10, 10, true) >> 24, 0x5Au);
            }
        }
        // A uniform page stays as it is, edges included.
        GlobalBlock flat = makePage(kind, 9, 7, [](int, int) { return 77; });
        GlobalBlock out(Denoise(flat.get(), 5));
        ASSERT_TRUE(out);
        EXPECT_TRUE(samePixels(DibReader(flat.get()), DibReader(out.get()), true));
    }
}

TEST(Denoise, LargeColourPageIsSmoothedAlikeInEveryRow)
{
    // Large enough to be worked in several bands; rows at the ends and around the middle
    // are checked against the 5 x 5 kernel applied directly.
    const int w = 1200, h = 700;
    GlobalBlock page = makeNoiseDib(w, h, 24);
    GlobalBlock out(Denoise(page.get(), 5));
    ASSERT_TRUE(out);
    const DibReader in(page.get()), res(out.get());
    const int taps[] = {1, 4, 6, 4, 1};
    for (int y : {0, 1, 2, h / 2 - 2, h / 2 - 1, h / 2, h / 2 + 1, h / 2 + 2, h - 2, h - 1})
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx) {
                        const std::uint32_t v =
                            in.pixel(std::clamp(x + dx, 0, w - 1), std::clamp(y + dy, 0, h - 1));
                        sum += taps[dy + 2] * taps[dx + 2] * int((v >> (8 * c)) & 0xFF);
                    }
                const std::uint32_t got = (res.pixel(x, y) >> (8 * c)) & 0xFF;
                ASSERT_EQ(got, std::uint32_t((sum + 128) >> 8)) << "(" << x << ", " << y << ") channel " << c;
            }
}

TEST(Denoise, SmallPagesAndOddSizesAreSafe)
{
    for (const PageKind &kind : AllKinds)
        for (int s : {-1, 0, 1, 3, 9, 100}) {
            GlobalBlock page = makeNoiseDib(7, 5, kind.bitCount, kind.options());
            GlobalBlock out(Denoise(page.get(), s));
            ASSERT_TRUE(out) << kind.name() << " s=" << s;
            if (kind.bitCount < 24 && (s < 1 || s >= 3)) {
                EXPECT_TRUE(samePixels(DibReader(page.get()), DibReader(out.get())))
                    << kind.name() << " s=" << s;
            }
        }
    EXPECT_EQ(Denoise(nullptr, 3), nullptr);
}
