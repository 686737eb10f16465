#include "Pages.h"
#include "TempDir.h"
#include "TiffTags.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace arkavo;
using namespace arkavo::test;

namespace {

enum class Format { Tif, Bmp, Jpg };

int save(Format f, HGLOBAL dib, const std::string &path, int compression = 0, int append = 0, int xdpi = 300,
         int ydpi = 150)
{
    TCodecImage image{xdpi, ydpi, dib};
    switch (f) {
    case Format::Tif:
        return SaveTIF(&image, path.c_str(), compression, append);
    case Format::Bmp:
        return SaveBMP(&image, path.c_str());
    case Format::Jpg:
        return SaveJPG(&image, path.c_str());
    }
    return 0;
}

struct LosslessCase {
    const char *name;
    Format format;
    int bits;
    int compression;
    int expectedBits;
};

class LosslessRoundTrip : public testing::TestWithParam<LosslessCase> {};

TEST_P(LosslessRoundTrip, PixelsPaletteAndResolutionSurvive)
{
    const LosslessCase &c = GetParam();
    TempDir dir;
    const std::string path =
        (dir / (std::string("page.") + (c.format == Format::Bmp ? "bmp" : "tif"))).string();
    GlobalBlock page = patternPage(203, 61, c.bits);
    ASSERT_EQ(save(c.format, page.get(), path, c.compression), 1);

    GlobalBlock loaded;
    int xdpi = 0, ydpi = 0;
    ASSERT_EQ(load(path, loaded, 0, &xdpi, &ydpi), 1);
    const DibInfo info = dibInfo(loaded.get());
    EXPECT_EQ(info.width, 203);
    EXPECT_EQ(info.height, 61);
    EXPECT_EQ(info.bits, c.expectedBits);
    EXPECT_EQ(info.clrUsed, c.expectedBits == 1 ? 2u : c.expectedBits == 8 ? 256u : 0u);
    if (c.expectedBits == 1) {
        EXPECT_EQ(paletteEntry(loaded.get(), 0), 0x000000u);
        EXPECT_EQ(paletteEntry(loaded.get(), 1), 0xFFFFFFu);
    }
    EXPECT_EQ(maxDifference(page.get(), loaded.get()), 0);
    EXPECT_EQ(xdpi, 300);
    EXPECT_EQ(ydpi, 150);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, LosslessRoundTrip,
    testing::Values(
        LosslessCase{"Tif1Default", Format::Tif, 1, 0, 1}, LosslessCase{"Tif1None", Format::Tif, 1, 1, 1},
        LosslessCase{"Tif1G4", Format::Tif, 1, 4, 1}, LosslessCase{"Tif1PackBits", Format::Tif, 1, 32773, 1},
        LosslessCase{"Tif1Lzw", Format::Tif, 1, 5, 1}, LosslessCase{"Tif8Default", Format::Tif, 8, 0, 8},
        LosslessCase{"Tif8None", Format::Tif, 8, 1, 8},
        LosslessCase{"Tif8PackBits", Format::Tif, 8, 32773, 8},
        LosslessCase{"Tif24Default", Format::Tif, 24, 0, 24},
        LosslessCase{"Tif24PackBits", Format::Tif, 24, 32773, 24},
        LosslessCase{"Tif32AsColour", Format::Tif, 32, 0, 24}, LosslessCase{"Bmp1", Format::Bmp, 1, 0, 1},
        LosslessCase{"Bmp8", Format::Bmp, 8, 0, 8}, LosslessCase{"Bmp24", Format::Bmp, 24, 0, 24},
        LosslessCase{"Bmp32AsColour", Format::Bmp, 32, 0, 24}),
    [](const testing::TestParamInfo<LosslessCase> &info) { return std::string(info.param.name); });

struct LossyCase {
    const char *name;
    Format format;
    int bits;
    int expectedBits;
};

class LossyRoundTrip : public testing::TestWithParam<LossyCase> {};

TEST_P(LossyRoundTrip, GreyStaysGreyAndColourStaysColour)
{
    const LossyCase &c = GetParam();
    TempDir dir;
    const std::string path = (dir / (c.format == Format::Jpg ? "page.jpg" : "page.tif")).string();
    GlobalBlock page = patternPage(160, 96, c.bits);
    ASSERT_EQ(save(c.format, page.get(), path, 7), 1);
    GlobalBlock loaded;
    int xdpi = 0, ydpi = 0;
    ASSERT_EQ(load(path, loaded, 0, &xdpi, &ydpi), 1);
    EXPECT_EQ(dibInfo(loaded.get()).bits, c.expectedBits);
    EXPECT_EQ(dibInfo(loaded.get()).clrUsed, c.expectedBits == 8 ? 256u : 0u);
    EXPECT_LT(meanDifference(page.get(), loaded.get()), 6.0);
    EXPECT_EQ(xdpi, 300);
    EXPECT_EQ(ydpi, 150);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, LossyRoundTrip,
    testing::Values(LossyCase{"Jpg8", Format::Jpg, 8, 8}, LossyCase{"Jpg24", Format::Jpg, 24, 24},
                    LossyCase{"Jpg32", Format::Jpg, 32, 24}, LossyCase{"Jpg1AsGrey", Format::Jpg, 1, 8},
                    LossyCase{"TifJpeg8", Format::Tif, 8, 8}, LossyCase{"TifJpeg24", Format::Tif, 24, 24}),
    [](const testing::TestParamInfo<LossyCase> &info) { return std::string(info.param.name); });

TEST(CodecSave, GreyJpegHasOneChannel)
{
    TempDir dir;
    const std::string path = (dir / "grey.jpg").string();
    GlobalBlock page = patternPage(64, 64, 8);
    ASSERT_EQ(save(Format::Jpg, page.get(), path), 1);
    const auto bytes = readBytes(path);
    // The baseline frame header gives the component count after precision, height and width.
    for (std::size_t i = 0; i + 9 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            EXPECT_EQ(bytes[i + 9], 1);
            return;
        }
    FAIL() << "no frame header";
}

TEST(CodecSave, LightZeroBilevelPageKeepsItsLookAndIsStoredMinIsWhite)
{
    // Palette white, black: bit 0 is white. The file and the loaded page must still
    // show the same picture, and the loaded page uses the black, white convention.
    TempDir dir;
    GlobalBlock page = patternPage(100, 40, 1);
    {
        GlobalLockGuard lock(page.get());
        std::uint8_t *p = lock.data();
        std::memset(p + 40, 0xFF, 3);
        std::memset(p + 44, 0x00, 3);
    }
    for (const char *name : {"page.tif", "page.bmp"}) {
        const std::string path = (dir / name).string();
        TCodecImage image{200, 200, page.get()};
        ASSERT_EQ(name[5] == 't' ? SaveTIF(&image, path.c_str(), 4, 0) : SaveBMP(&image, path.c_str()), 1);
        GlobalBlock loaded;
        ASSERT_EQ(load(path, loaded), 1);
        EXPECT_EQ(paletteEntry(loaded.get(), 0), 0x000000u) << name;
        EXPECT_EQ(maxDifference(page.get(), loaded.get()), 0) << name;
    }
    const auto tags = tiffTags((dir / "page.tif").string());
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(tags[0].photometric, PHOTOMETRIC_MINISWHITE);
    EXPECT_EQ(tags[0].strips, 1);
}

struct CompressionCase {
    int bits;
    int requested;
    int written;
};

TEST(CodecSave, CompressionThatDoesNotFitTheDepthFallsBackToTheDefault)
{
    const CompressionCase cases[] = {
        {1, 0, COMPRESSION_CCITTFAX4},
        {8, 0, COMPRESSION_NONE},
        {24, 0, COMPRESSION_NONE},
        {8, 4, COMPRESSION_NONE},
        {24, 4, COMPRESSION_NONE},
        {1, 7, COMPRESSION_CCITTFAX4},
        {8, 7, COMPRESSION_JPEG},
        {24, 7, COMPRESSION_JPEG},
        {1, 999, COMPRESSION_CCITTFAX4},
        {8, 32773, COMPRESSION_PACKBITS},
        {1, 1, COMPRESSION_NONE},
        {24, -3, COMPRESSION_NONE},
        // Compressions asked for by name are kept.
        {8, 8, COMPRESSION_ADOBE_DEFLATE},
        {24, 32946, COMPRESSION_ADOBE_DEFLATE},
        {8, 5, COMPRESSION_LZW},
    };
    TempDir dir;
    for (const CompressionCase &c : cases) {
        const std::string path = (dir / "page.tif").string();
        GlobalBlock page = patternPage(80, 48, c.bits);
        ASSERT_EQ(save(Format::Tif, page.get(), path, c.requested), 1);
        const auto tags = tiffTags(path);
        ASSERT_EQ(tags.size(), 1u);
        EXPECT_EQ(tags[0].compression, c.written) << c.bits << "-bit, asked " << c.requested;
        GlobalBlock loaded;
        EXPECT_EQ(load(path, loaded), 1);
        if (c.written != COMPRESSION_JPEG) {
            EXPECT_EQ(maxDifference(page.get(), loaded.get()), 0);
        }
    }
}

TEST(CodecSave, AppendedPagesOfMixedKindsReadBackPageByPage)
{
    struct Step {
        int bits;
        int compression;
        int written;
    };
    const Step steps[] = {{1, 4, COMPRESSION_CCITTFAX4},
                          {8, 32773, COMPRESSION_PACKBITS},
                          {24, 7, COMPRESSION_JPEG},
                          {1, 32773, COMPRESSION_PACKBITS},
                          {8, 0, COMPRESSION_NONE}};
    TempDir dir;
    const std::string path = (dir / "multi.tif").string();
    std::vector<GlobalBlock> pages;
    for (const Step &s : steps) {
        pages.push_back(patternPage(120 + int(pages.size()), 50, s.bits));
        // The first append creates the missing file.
        ASSERT_EQ(save(Format::Tif, pages.back().get(), path, s.compression, 1), 1);
    }
    const auto tags = tiffTags(path);
    ASSERT_EQ(tags.size(), std::size(steps));
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        EXPECT_EQ(tags[i].compression, steps[i].written);
        GlobalBlock loaded;
        ASSERT_EQ(load(path, loaded, int(i)), int(std::size(steps))) << "page " << i;
        EXPECT_EQ(dibInfo(loaded.get()).bits, steps[i].bits);
        EXPECT_EQ(dibInfo(loaded.get()).width, 120 + int(i));
        if (steps[i].written == COMPRESSION_JPEG)
            EXPECT_LT(meanDifference(pages[i].get(), loaded.get()), 6.0);
        else
            EXPECT_EQ(maxDifference(pages[i].get(), loaded.get()), 0) << "page " << i;
    }
    GlobalBlock past;
    EXPECT_LT(load(path, past, int(std::size(steps))), 1);
    EXPECT_FALSE(past);

    // Append 0 replaces the whole file with one page.
    ASSERT_EQ(save(Format::Tif, pages[0].get(), path, 0, 0), 1);
    EXPECT_EQ(tiffTags(path).size(), 1u);
}

TEST(CodecSave, ResolutionFallsBackToTheHeaderThenToTheDefault)
{
    TempDir dir;
    const std::string path = (dir / "page.tif").string();
    GlobalBlock page = patternPage(40, 40, 8, 600);
    int xdpi = 0, ydpi = 0;
    GlobalBlock loaded;
    ASSERT_EQ(save(Format::Tif, page.get(), path, 0, 0, 0, 0), 1);
    ASSERT_EQ(load(path, loaded, 0, &xdpi, &ydpi), 1);
    EXPECT_EQ(xdpi, 600);
    {
        GlobalLockGuard lock(page.get());
        std::memset(lock.data() + 24, 0, 8);
    }
    ASSERT_EQ(save(Format::Tif, page.get(), path, 0, 0, 0, 0), 1);
    ASSERT_EQ(load(path, loaded, 0, &xdpi, &ydpi), 1);
    EXPECT_EQ(xdpi, CODEC_DEFAULT_DPI);
    EXPECT_EQ(ydpi, CODEC_DEFAULT_DPI);
}

} // namespace

namespace {

TEST(CodecSave, TopDownPagesAndLongUtf8NamesAreWritten)
{
    // The same picture stored top-down (negative height) must come back identical.
    GlobalBlock page = patternPage(45, 20, 24);
    GlobalBlock topDown = patternPage(45, 20, 24);
    {
        GlobalLockGuard from(page.get()), to(topDown.get());
        const std::size_t stride = 136;
        for (int y = 0; y < 20; ++y)
            std::memcpy(to.data() + 40 + stride * y, from.data() + 40 + stride * (19 - y), stride);
        const std::int32_t negative = -20;
        std::memcpy(to.data() + 8, &negative, 4);
    }
    TempDir dir;
    const std::string name = "页面 " + std::string(240, 'x');
    for (const char *ext : {".tif", ".bmp"}) {
        const std::string path = (dir / (name + ext)).string();
        TCodecImage image{300, 300, topDown.get()};
        ASSERT_EQ(ext[1] == 't' ? SaveTIF(&image, path.c_str(), 0, 0) : SaveBMP(&image, path.c_str()), 1)
            << ext;
        GlobalBlock loaded;
        ASSERT_EQ(load(path, loaded), 1);
        EXPECT_EQ(dibInfo(loaded.get()).height, 20);
        EXPECT_EQ(maxDifference(page.get(), loaded.get()), 0) << ext;
    }
}

} // namespace
