#include "Pages.h"
#include "TempDir.h"

#include "pixolve.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace arkavo;
using namespace arkavo::test;

namespace {

// A letter: white paper, lines of dark words, a coloured letterhead and a grey ramp
// down the margin, so that both fine detail and smooth areas reach the thumbnail.
GlobalBlock letterPage(int width, int height, int bits)
{
    std::vector<std::uint32_t> palette;
    for (std::uint32_t i = 0; bits == 8 && i < 256; ++i)
        palette.push_back(i * 0x010101u);
    GlobalBlock page = makeDib(width, height, bits, palette);
    GlobalLockGuard lock(page.get());
    const std::size_t stride = (std::size_t(width) * std::size_t(bits) + 31) / 32 * 4;
    std::uint8_t *rows = lock.data() + 40 + 4 * palette.size();
    for (int y = 0; y < height; ++y) {
        std::uint8_t *row = rows + std::size_t(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            int b = 245, g = 245, r = 245;
            const bool word = (y % 60) < 26 && (x / 7) % 13 != 0 && (x * 31 / 17 + y / 60) % 9 != 0;
            if (y < height / 10) {
                b = 40 + 200 * x / width, g = 90, r = 200 - 150 * y / (height / 10);
            } else if (x < width / 12) {
                b = g = r = 255 * y / height;
            } else if (word && y < height * 9 / 10 && ((x + y) % 5) != 0) {
                b = g = r = 25;
            }
            if (bits == 8) {
                row[x] = std::uint8_t((b + g + r) / 3);
            } else {
                row[3 * x] = std::uint8_t(b), row[3 * x + 1] = std::uint8_t(g),
                        row[3 * x + 2] = std::uint8_t(r);
            }
        }
    }
    return page;
}

struct ThumbnailCase {
    const char *name;
    int width;
    int height;
    int bits;
    bool jpeg;
    int loadedWidth; // of the page LoadFileForThumbnail hands out
};

constexpr int BoxWidth = 135, BoxHeight = 160;

// The thumbnail of a page loaded reduced is today's within two grey levels on average, and
// of the same size; pages that cannot be halved evenly, or not without going under twice
// the box, load whole.
TEST(CodecThumbnailLoad, ReducedPageGivesTheWholePagesThumbnail)
{
    const ThumbnailCase cases[] = {
        {"A4 colour at 300 dpi", 2480, 3508, 24, true, 620}, {"A4 landscape", 3508, 2480, 24, true, 877},
        {"divisible by eight", 2480, 3504, 24, true, 620},   {"grey", 1240, 1754, 8, true, 620},
        {"not divisible", 1001, 1403, 24, true, 1001},       {"under twice the box", 264, 400, 24, true, 264},
        {"not a JPEG", 1240, 1754, 24, false, 1240},
    };
    TempDir dir;
    for (const ThumbnailCase &c : cases) {
        const std::string path = (dir / (c.jpeg ? "page.jpg" : "page.tif")).string();
        GlobalBlock page = letterPage(c.width, c.height, c.bits);
        TCodecImage record{300, 300, page.get()};
        ASSERT_EQ(c.jpeg ? SaveJPG(&record, path.c_str()) : SaveTIF(&record, path.c_str(), 0, 0), 1)
            << c.name;

        TCodecImage whole{}, reduced{};
        ASSERT_EQ(LoadFile(path.c_str(), &whole, 0), 1) << c.name;
        GlobalBlock wholeDib(whole.Dib);
        ASSERT_EQ(LoadFileForThumbnail(path.c_str(), &reduced, BoxWidth, BoxHeight), 1) << c.name;
        GlobalBlock reducedDib(reduced.Dib);
        EXPECT_EQ(dibInfo(reducedDib.get()).width, c.loadedWidth) << c.name;
        EXPECT_EQ(reduced.XResolution, whole.XResolution) << c.name;
        EXPECT_EQ(reduced.YResolution, whole.YResolution) << c.name;

        GlobalBlock today(Thumbnail(wholeDib.get(), BoxWidth, BoxHeight));
        GlobalBlock now(Thumbnail(reducedDib.get(), BoxWidth, BoxHeight));
        ASSERT_TRUE(today && now) << c.name;
        EXPECT_EQ(dibInfo(now.get()).width, dibInfo(today.get()).width) << c.name;
        EXPECT_EQ(dibInfo(now.get()).height, dibInfo(today.get()).height) << c.name;
        const double difference = meanDifference(today.get(), now.get());
        EXPECT_GE(difference, 0.0) << c.name;
        EXPECT_LE(difference, 2.0) << c.name;
    }
}

} // namespace
