// How a page file is stored, read from its headers, and G4 pages copied into a TIFF
// without decoding: what the export relies on to take stored data as it is.
#include "Pages.h"
#include "TempDir.h"
#include "TiffTags.h"

#include <gtest/gtest.h>

#include <string>

using namespace arkavo;
using namespace arkavo::test;

namespace {

TEST(StoredPage, InspectFileTellsFormatDepthAndCompression)
{
    TempDir dir;
    const struct Case {
        const char *name;
        int bits;
        int compression; // for TIFFs; -1 JPEG, -2 BMP, -3 not an image
        TCodecStoredPage expected;
    } cases[] = {
        {"g4.tif", 1, CODEC_TIFF_G4, {CODEC_FILE_TIFF, 1, 1, CODEC_TIFF_G4}},
        {"packbits1.tif", 1, CODEC_TIFF_PACKBITS, {CODEC_FILE_TIFF, 1, 0, 0}},
        {"grey.tif", 8, CODEC_TIFF_NONE, {CODEC_FILE_TIFF, 1, 0, 0}},
        {"grey.jpg", 8, -1, {CODEC_FILE_JPEG, 1, 8, CODEC_TIFF_JPEG}},
        {"colour.jpg", 24, -1, {CODEC_FILE_JPEG, 1, 24, CODEC_TIFF_JPEG}},
        {"colour.bmp", 24, -2, {CODEC_FILE_BMP, 1, 0, 0}},
        {"text.tif", 0, -3, {0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        const std::string path = (dir / c.name).string();
        if (c.compression == -3) {
            writeBytes(path, {'I', 'I', '*', 0, 'n', 'o'});
        } else {
            GlobalBlock page = patternPage(64, 40, c.bits);
            TCodecImage image{300, 300, page.get()};
            const int ok = c.compression == -1   ? SaveJPG(&image, path.c_str())
                           : c.compression == -2 ? SaveBMP(&image, path.c_str())
                                                 : SaveTIF(&image, path.c_str(), c.compression, 0);
            ASSERT_EQ(ok, 1) << c.name;
        }
        TCodecStoredPage info{9, 9, 9, 9};
        EXPECT_EQ(InspectFile(path.c_str(), &info), c.expected.Format != 0 ? 1 : 0) << c.name;
        EXPECT_EQ(info.Format, c.expected.Format) << c.name;
        EXPECT_EQ(info.Pages, c.expected.Pages) << c.name;
        EXPECT_EQ(info.BitCount, c.expected.BitCount) << c.name;
        EXPECT_EQ(info.Compression, c.expected.Compression) << c.name;
    }
    TCodecStoredPage info{};
    EXPECT_EQ(InspectFile((dir / "missing.tif").string().c_str(), &info), 0);
    EXPECT_EQ(InspectFile(nullptr, &info), 0);
    EXPECT_EQ(InspectFile((dir / "g4.tif").string().c_str(), nullptr), 0);
}

TEST(StoredPage, G4PagesAreCopiedUnchangedAndOtherSourcesRefused)
{
    TempDir dir;
    const std::string g4 = (dir / "g4.tif").string(), grey = (dir / "grey.tif").string();
    const std::string out = (dir / "out.tif").string();
    GlobalBlock bilevel = patternPage(203, 61, 1, 150), greyPage = patternPage(50, 30, 8);
    TCodecImage b{150, 150, bilevel.get()}, g{300, 300, greyPage.get()};
    ASSERT_EQ(SaveTIF(&b, g4.c_str(), CODEC_TIFF_G4, 0), 1);
    ASSERT_EQ(SaveTIF(&g, grey.c_str(), CODEC_TIFF_NONE, 0), 1);

    EXPECT_EQ(CopyTIFPage(out.c_str(), grey.c_str(), 0), 0);
    EXPECT_TRUE(readBytes(out).empty());
    ASSERT_EQ(CopyTIFPage(out.c_str(), g4.c_str(), 0), 1);
    ASSERT_EQ(SaveTIF(&g, out.c_str(), CODEC_TIFF_NONE, 1), 1);
    ASSERT_EQ(CopyTIFPage(out.c_str(), g4.c_str(), 1), 1);

    const std::vector<TiffPageTags> tags = tiffTags(out);
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_EQ(tags[0].compression, CODEC_TIFF_G4);
    EXPECT_EQ(tags[1].compression, CODEC_TIFF_NONE);
    EXPECT_EQ(tags[2].compression, CODEC_TIFF_G4);
    EXPECT_EQ(tags[2].strips, 1);
    for (int page : {0, 2}) {
        GlobalBlock original, copied;
        int xdpi = 0, ydpi = 0;
        ASSERT_EQ(load(g4, original), 1);
        ASSERT_EQ(load(out, copied, page, &xdpi, &ydpi), 3);
        EXPECT_EQ(maxDifference(original.get(), copied.get()), 0);
        EXPECT_EQ(xdpi, 150);
        EXPECT_EQ(ydpi, 150);
    }
}

} // namespace
