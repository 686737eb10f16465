#include "Pages.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <functional>
#include <string>

using namespace arkavo;
using namespace arkavo::test;

namespace {

constexpr int W = 37; // odd widths exercise row padding
constexpr int H = 21;

struct TiffFixture {
    const char *name;
    std::function<void(TIFF *)> tags;
    std::function<void(int y, std::uint8_t *row)> row;
    int expectedBits;
    std::function<void(HGLOBAL)> check;
    int expectedDpi = 300;
};

void writeFixture(const std::string &path, const TiffFixture &f)
{
    TIFF *tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, W);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, H);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 300.0f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 300.0f);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    f.tags(tif);
    if (!TIFFIsTiled(tif))
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
    std::vector<std::uint8_t> row(std::size_t(TIFFScanlineSize(tif)) + 64);
    if (TIFFIsTiled(tif)) {
        // One 16 x 16 tile per call; rows of the whole image assembled first.
        const std::size_t line = std::size_t(TIFFScanlineSize(tif));
        std::vector<std::uint8_t> image(line * H);
        for (int y = 0; y < H; ++y)
            f.row(y, image.data() + line * y);
        std::vector<std::uint8_t> tile(std::size_t(TIFFTileSize(tif)));
        for (int ty = 0; ty < H; ty += 16)
            for (int tx = 0; tx < W; tx += 16) {
                std::fill(tile.begin(), tile.end(), 0);
                for (int y = ty; y < std::min(H, ty + 16); ++y)
                    for (int x = tx; x < std::min(W, tx + 16); ++x)
                        tile[std::size_t((y - ty) * 16 + (x - tx))] = image[line * y + x];
                TIFFWriteTile(tif, tile.data(), std::uint32_t(tx), std::uint32_t(ty), 0, 0);
            }
    } else {
        for (int y = 0; y < H; ++y) {
            std::fill(row.begin(), row.end(), 0);
            f.row(y, row.data());
            ASSERT_EQ(TIFFWriteScanline(tif, row.data(), std::uint32_t(y), 0), 1);
        }
    }
    TIFFClose(tif);
}

void grey(TIFF *t, int bits, int photometric = PHOTOMETRIC_MINISBLACK)
{
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
}

void rgb(TIFF *t, int samples)
{
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
}

void setBit(std::uint8_t *row, int x)
{
    row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
}

// Bilevel test picture: the left third is black.
void expectLeftThirdBlack(HGLOBAL dib)
{
    EXPECT_EQ(paletteEntry(dib, 0), 0x000000u);
    EXPECT_EQ(paletteEntry(dib, 1), 0xFFFFFFu);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            ASSERT_EQ(greyAt(dib, x, y), x < W / 3 ? 0 : 255) << x << "," << y;
}

std::vector<std::uint16_t> ramp(bool reversed, bool colour)
{
    std::vector<std::uint16_t> map(3 * 256);
    for (int i = 0; i < 256; ++i) {
        const std::uint16_t v = std::uint16_t((reversed ? 255 - i : i) * 257);
        map[i] = v;
        map[256 + i] = colour ? std::uint16_t((i % 3) * 0x7FFF) : v;
        map[512 + i] = v;
    }
    return map;
}

const TiffFixture kTiffFixtures[] = {
    {"Grey16BitComesOutAs8Bit", [](TIFF *t) { grey(t, 16); },
     [](int, std::uint8_t *row) {
         for (int x = 0; x < W; ++x) {
             const std::uint16_t v = std::uint16_t(x * 1700);
             std::memcpy(row + 2 * x, &v, 2);
         }
     },
     8,
     [](HGLOBAL d) {
         for (int x = 0; x < W; ++x)
             EXPECT_NEAR(greyAt(d, x, 5), x * 1700 / 257, 1);
     }},
    {"CmykComesOutAsColour",
     [](TIFF *t) {
         TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
         TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 4);
         TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
         TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
     },
     [](int, std::uint8_t *row) {
         for (int x = 0; x < W; ++x) {
             const std::uint8_t cmyk[3][4] = {{0, 0, 0, 0}, {0, 0, 0, 255}, {255, 0, 0, 0}};
             std::memcpy(row + 4 * x, cmyk[x % 3], 4);
         }
     },
     24,
     [](HGLOBAL d) {
         EXPECT_EQ(colourAt(d, 0, 3), 0xFFFFFFu);
         EXPECT_EQ(colourAt(d, 1, 3), 0x000000u);
         EXPECT_EQ(colourAt(d, 2, 3), 0x00FFFFu);
     }},
    {"RgbWithAlphaComesOutAsColour",
     [](TIFF *t) {
         rgb(t, 4);
         const std::uint16_t extra = EXTRASAMPLE_UNASSALPHA;
         TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
     },
     [](int, std::uint8_t *row) {
         for (int x = 0; x < W; ++x) {
             const std::uint8_t px[4] = {200, 100, std::uint8_t(x), 255};
             std::memcpy(row + 4 * x, px, 4);
         }
     },
     24, [](HGLOBAL d) { EXPECT_EQ(colourAt(d, 7, 2), 0xC86407u); }},
    {"ColourPaletteComesOutAsColour",
     [](TIFF *t) {
         grey(t, 8, PHOTOMETRIC_PALETTE);
         static const auto map = ramp(false, true);
         TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), map.data() + 256, map.data() + 512);
     },
     [](int, std::uint8_t *row) {
         for (int x = 0; x < W; ++x)
             row[x] = std::uint8_t(x);
     },
     24, [](HGLOBAL d) { EXPECT_EQ(colourAt(d, 4, 0), 0x047F04u); }},
    {"GreyPaletteComesOutAsGreyRamp",
     [](TIFF *t) {
         grey(t, 8, PHOTOMETRIC_PALETTE);
         static const auto map = ramp(true, false);
         TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), map.data() + 256, map.data() + 512);
     },
     [](int, std::uint8_t *row) {
         for (int x = 0; x < W; ++x)
             row[x] = std::uint8_t(x * 5);
     },
     8,
     [](HGLOBAL d) {
         EXPECT_EQ(paletteEntry(d, 10), 0x0A0A0Au);
         EXPECT_EQ(greyAt(d, 3, 1), 255 - 15);
     }},
    {"MinIsBlackBilevelIsNormalised", [](TIFF *t) { grey(t, 1, PHOTOMETRIC_MINISBLACK); },
     [](int, std::uint8_t *row) {
         for (int x = W / 3; x < W; ++x)
             setBit(row, x);
     },
     1, expectLeftThirdBlack},
    {"MinIsWhiteBilevelIsNormalised",
     [](TIFF *t) {
         grey(t, 1, PHOTOMETRIC_MINISWHITE);
         TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
     },
     [](int, std::uint8_t *row) {
         for (int x = 0; x < W / 3; ++x)
             setBit(row, x);
     },
     1, expectLeftThirdBlack},
    {"G3BilevelIsRead",
     [](TIFF *t) {
         grey(t, 1, PHOTOMETRIC_MINISWHITE);
         TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
     },
     [](int, std::uint8_t *row) {
         for (int x = 0; x < W / 3; ++x)
             setBit(row, x);
     },
     1, expectLeftThirdBlack},
    {"MinIsWhiteGreyIsInverted", [](TIFF *t) { grey(t, 8, PHOTOMETRIC_MINISWHITE); },
     [](int, std::uint8_t *row) {
         for (int x = 0; x < W; ++x)
             row[x] = std::uint8_t(x);
     },
     8, [](HGLOBAL d) { EXPECT_EQ(greyAt(d, 9, 9), 255 - 9); }},
    {"Grey4BitComesOutAs8Bit", [](TIFF *t) { grey(t, 4); },
     [](int, std::uint8_t *row) {
         for (int x = 0; x < W; ++x)
             row[x / 2] |= std::uint8_t((x % 16) << (x % 2 ? 0 : 4));
     },
     8, [](HGLOBAL d) { EXPECT_EQ(greyAt(d, 5, 4), 5 * 17); }},
    {"TiledGreyIsRead",
     [](TIFF *t) {
         grey(t, 8);
         TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
         TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
     },
     [](int y, std::uint8_t *row) {
         for (int x = 0; x < W; ++x)
             row[x] = std::uint8_t(x + 10 * y);
     },
     8, [](HGLOBAL d) { EXPECT_EQ(greyAt(d, 30, 20), 230); }},
    {"DeflateColourIsRead",
     [](TIFF *t) {
         rgb(t, 3);
         TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
         TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
     },
     [](int y, std::uint8_t *row) {
         for (int x = 0; x < W; ++x) {
             row[3 * x] = std::uint8_t(x);
             row[3 * x + 1] = std::uint8_t(y);
             row[3 * x + 2] = 9;
         }
     },
     24, [](HGLOBAL d) { EXPECT_EQ(colourAt(d, 12, 17), 0x0C1109u); }},
    {"MissingResolutionGetsTheDefault",
     [](TIFF *t) {
         grey(t, 8);
         TIFFUnsetField(t, TIFFTAG_XRESOLUTION);
         TIFFUnsetField(t, TIFFTAG_YRESOLUTION);
     },
     [](int, std::uint8_t *) {}, 8, [](HGLOBAL) {}, CODEC_DEFAULT_DPI},
    {"CentimetreResolutionIsConverted",
     [](TIFF *t) {
         grey(t, 8);
         TIFFSetField(t, TIFFTAG_XRESOLUTION, 118.11f);
         TIFFSetField(t, TIFFTAG_YRESOLUTION, 118.11f);
         TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
     },
     [](int, std::uint8_t *) {}, 8, [](HGLOBAL) {}, 300},
};

class TiffFixtures : public testing::TestWithParam<TiffFixture> {};

TEST_P(TiffFixtures, LoadsInNormalisedForm)
{
    const TiffFixture &f = GetParam();
    TempDir dir;
    const std::string path = (dir / "fixture.tif").string();
    writeFixture(path, f);
    GlobalBlock page;
    int xdpi = 0, ydpi = 0;
    ASSERT_EQ(load(path, page, 0, &xdpi, &ydpi), 1);
    const DibInfo info = dibInfo(page.get());
    EXPECT_EQ(info.width, W);
    EXPECT_EQ(info.height, H);
    EXPECT_EQ(info.bits, f.expectedBits);
    EXPECT_EQ(info.clrUsed, f.expectedBits == 1 ? 2u : f.expectedBits == 8 ? 256u : 0u);
    EXPECT_EQ(xdpi, f.expectedDpi);
    EXPECT_EQ(ydpi, f.expectedDpi);
    f.check(page.get());
}

INSTANTIATE_TEST_SUITE_P(Codec, TiffFixtures, testing::ValuesIn(kTiffFixtures),
                         [](const testing::TestParamInfo<TiffFixture> &info) {
                             return std::string(info.param.name);
                         });

// A BMP file built byte by byte.
std::vector<std::uint8_t> bmpFile(int width, int height, int bits, const std::vector<std::uint32_t> &palette,
                                  std::uint32_t clrUsedField,
                                  const std::function<void(int y, std::uint8_t *)> &row, int ppm = 11811)
{
    const bool topDown = height < 0;
    const int rows = topDown ? -height : height;
    const std::size_t stride = std::size_t((width * bits + 31) / 32 * 4);
    const std::size_t offset = 54 + 4 * palette.size();
    std::vector<std::uint8_t> f(offset + stride * rows, 0);
    auto put = [&](std::size_t at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            f[at + i] = std::uint8_t(v >> (8 * i));
    };
    f[0] = 'B', f[1] = 'M';
    put(2, std::uint32_t(f.size()), 4);
    put(10, std::uint32_t(offset), 4);
    put(14, 40, 4);
    put(18, std::uint32_t(width), 4);
    put(22, std::uint32_t(height), 4);
    put(26, 1, 2);
    put(28, std::uint32_t(bits), 2);
    put(38, std::uint32_t(ppm), 4);
    put(42, std::uint32_t(ppm), 4);
    put(46, clrUsedField, 4);
    for (std::size_t i = 0; i < palette.size(); ++i)
        put(54 + 4 * i, palette[i], 4);
    for (int y = 0; y < rows; ++y) {
        // y counts from the top of the picture.
        const int stored = topDown ? y : rows - 1 - y;
        row(y, f.data() + offset + stride * stored);
    }
    return f;
}

std::vector<std::uint32_t> greyPalette(int n)
{
    std::vector<std::uint32_t> p;
    for (int i = 0; i < n; ++i)
        p.push_back(std::uint32_t(i * 255 / (n - 1)) * 0x010101u);
    return p;
}

TEST(CodecRead, BmpTopDownAndBottomUpGiveTheSamePage)
{
    TempDir dir;
    auto row = [](int y, std::uint8_t *r) {
        for (int x = 0; x < W; ++x) {
            r[3 * x] = std::uint8_t(x);
            r[3 * x + 1] = std::uint8_t(y);
            r[3 * x + 2] = 77;
        }
    };
    writeBytes((dir / "up.bmp").string(), bmpFile(W, H, 24, {}, 0, row));
    writeBytes((dir / "down.bmp").string(), bmpFile(W, -H, 24, {}, 0, row));
    GlobalBlock up, down;
    ASSERT_EQ(load((dir / "up.bmp").string(), up), 1);
    ASSERT_EQ(load((dir / "down.bmp").string(), down), 1);
    EXPECT_EQ(dibInfo(down.get()).height, H);
    EXPECT_EQ(maxDifference(up.get(), down.get()), 0);
    EXPECT_EQ(colourAt(down.get(), 5, 3), 0x4D0305u);
}

struct BmpCase {
    const char *name;
    int bits;
    std::vector<std::uint32_t> palette;
    std::uint32_t clrUsedField;
    int expectedBits;
    std::function<void(int, std::uint8_t *)> row;
    std::function<void(HGLOBAL)> check;
};

TEST(CodecRead, BmpDepthsAndPalettesAreNormalised)
{
    const BmpCase cases[] = {
        {"8-bit, biClrUsed 0 means 256", 8, greyPalette(256), 0, 8,
         [](int, std::uint8_t *r) {
             for (int x = 0; x < W; ++x)
                 r[x] = std::uint8_t(x * 6);
         },
         [](HGLOBAL d) { EXPECT_EQ(greyAt(d, 10, 0), 60); }},
        {"1-bit, biClrUsed 0, white then black",
         1,
         {0xFFFFFF, 0x000000},
         0,
         1,
         [](int, std::uint8_t *r) {
             for (int x = 0; x < W / 3; ++x)
                 setBit(r, x);
         },
         expectLeftThirdBlack},
        {"1-bit, black then white",
         1,
         {0x000000, 0xFFFFFF},
         2,
         1,
         [](int, std::uint8_t *r) {
             for (int x = W / 3; x < W; ++x)
                 setBit(r, x);
         },
         expectLeftThirdBlack},
        {"4-bit grey becomes 8-bit", 4, greyPalette(16), 16, 8,
         [](int, std::uint8_t *r) {
             for (int x = 0; x < W; ++x)
                 r[x / 2] |= std::uint8_t((x % 16) << (x % 2 ? 0 : 4));
         },
         [](HGLOBAL d) { EXPECT_EQ(greyAt(d, 3, 2), 51); }},
        {"8-bit colour palette becomes colour",
         8,
         {0x0000FF, 0x00FF00, 0xFF0000},
         3,
         24,
         [](int, std::uint8_t *r) {
             for (int x = 0; x < W; ++x)
                 r[x] = std::uint8_t(x % 3);
         },
         [](HGLOBAL d) { EXPECT_EQ(colourAt(d, 2, 2), 0xFF0000u); }},
        {"32-bit becomes 24-bit",
         32,
         {},
         0,
         24,
         [](int y, std::uint8_t *r) {
             for (int x = 0; x < W; ++x) {
                 const std::uint8_t px[4] = {std::uint8_t(x), std::uint8_t(y), 1, 0xEE};
                 std::memcpy(r + 4 * x, px, 4);
             }
         },
         [](HGLOBAL d) { EXPECT_EQ(colourAt(d, 6, 4), 0x010406u); }},
    };
    TempDir dir;
    for (const BmpCase &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (dir / "page.bmp").string();
        writeBytes(path, bmpFile(W, H, c.bits, c.palette, c.clrUsedField, c.row));
        GlobalBlock page;
        int xdpi = 0;
        ASSERT_EQ(load(path, page, 0, &xdpi), 1);
        EXPECT_EQ(dibInfo(page.get()).bits, c.expectedBits);
        EXPECT_EQ(dibInfo(page.get()).clrUsed, c.expectedBits == 1 ? 2u : c.expectedBits == 8 ? 256u : 0u);
        EXPECT_EQ(xdpi, 300);
        c.check(page.get());
    }
}

TEST(CodecRead, JpegWithoutDensityGetsTheDefaultResolution)
{
    TempDir dir;
    const std::string path = (dir / "page.jpg").string();
    GlobalBlock page = patternPage(50, 30, 24);
    TCodecImage image{300, 300, page.get()};
    ASSERT_EQ(SaveJPG(&image, path.c_str()), 1);
    auto bytes = readBytes(path);
    ASSERT_EQ(std::memcmp(bytes.data() + 6, "JFIF", 4), 0);
    bytes[13] = 0; // units: aspect ratio only
    writeBytes(path, bytes);
    GlobalBlock loaded;
    int xdpi = 0, ydpi = 0;
    ASSERT_EQ(load(path, loaded, 0, &xdpi, &ydpi), 1);
    EXPECT_EQ(xdpi, CODEC_DEFAULT_DPI);
    EXPECT_EQ(ydpi, CODEC_DEFAULT_DPI);
}

} // namespace
