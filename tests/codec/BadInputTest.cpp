#include "Pages.h"
#include "FileSizeLimit.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>

using namespace arkavo;
using namespace arkavo::test;

namespace {

void put(std::vector<std::uint8_t> &f, std::size_t at, std::uint32_t v, int n)
{
    if (f.size() < at + n)
        f.resize(at + n);
    for (int i = 0; i < n; ++i)
        f[at + i] = std::uint8_t(v >> (8 * i));
}

// A little-endian, uncompressed 8-bit TIFF whose header says whatever it is told.
std::vector<std::uint8_t> tiffClaiming(std::uint32_t width, std::uint32_t height, std::uint32_t stripBytes)
{
    std::vector<std::uint8_t> f = {'I', 'I', 42, 0};
    put(f, 4, 8, 4);
    const std::uint16_t tags[][3] = {{256, 4, 0}, {257, 4, 1}, {258, 3, 2}, {259, 3, 3},
                                     {262, 3, 4}, {273, 4, 5}, {278, 4, 6}, {279, 4, 7}};
    const std::uint32_t values[] = {width, height, 8, 1, 1, 200, height, stripBytes};
    put(f, 8, 8, 2);
    for (int i = 0; i < 8; ++i) {
        const std::size_t at = 10 + 12 * i;
        put(f, at, tags[i][0], 2);
        put(f, at + 2, tags[i][1], 2);
        put(f, at + 4, 1, 4);
        put(f, at + 8, values[i], 4);
    }
    put(f, 10 + 12 * 8, 0, 4);
    f.resize(200 + 64, 0x80);
    return f;
}

std::vector<std::uint8_t> bmpClaiming(std::int32_t width, std::int32_t height, int bits, std::uint32_t offset,
                                      std::uint32_t clrUsed, std::size_t size)
{
    std::vector<std::uint8_t> f(size, 0x55);
    f[0] = 'B', f[1] = 'M';
    put(f, 10, offset, 4);
    put(f, 14, 40, 4);
    put(f, 18, std::uint32_t(width), 4);
    put(f, 22, std::uint32_t(height), 4);
    put(f, 26, 1, 2);
    put(f, 28, std::uint32_t(bits), 2);
    put(f, 30, 0, 4);
    put(f, 46, clrUsed, 4);
    f.resize(size);
    return f;
}

std::vector<std::uint8_t> half(std::vector<std::uint8_t> v)
{
    v.resize(v.size() / 2);
    return v;
}

TEST(CodecBadInput, UnreadableFilesFailQuietly)
{
    TempDir dir;
    // Good files to cut down.
    GlobalBlock bilevel = patternPage(400, 300, 1), grey = patternPage(300, 200, 8),
                colour = patternPage(300, 200, 24);
    TCodecImage b{300, 300, bilevel.get()}, g{300, 300, grey.get()}, c{300, 300, colour.get()};
    const std::string g4 = (dir / "g4.tif").string(), jpg = (dir / "c.jpg").string(),
                      bmp = (dir / "g.bmp").string(), packbits = (dir / "p.tif").string();
    ASSERT_EQ(SaveTIF(&b, g4.c_str(), 4, 0), 1);
    ASSERT_EQ(SaveTIF(&g, packbits.c_str(), 32773, 0), 1);
    ASSERT_EQ(SaveJPG(&c, jpg.c_str()), 1);
    ASSERT_EQ(SaveBMP(&g, bmp.c_str()), 1);
    const auto jpgBytes = readBytes(jpg);

    const struct {
        const char *name;
        std::vector<std::uint8_t> bytes;
    } files[] = {
        {"empty.tif", {}},
        {"text.tif", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}},
        {"magic-only.tif", {'I', 'I', 42, 0}},
        {"cut-g4.tif", half(readBytes(g4))},
        {"cut-packbits.tif", half(readBytes(packbits))},
        {"cut.jpg", half(readBytes(jpg))},
        {"cut.bmp", half(readBytes(bmp))},
        {"header-only.jpg", std::vector<std::uint8_t>(jpgBytes.begin(), jpgBytes.begin() + 300)},
        {"huge.tif", tiffClaiming(100000, 100000, 64)},
        {"short-strip.tif", tiffClaiming(64, 64, 64 * 64)},
        {"zero-width.tif", tiffClaiming(0, 64, 64)},
        {"huge.bmp", bmpClaiming(100000, 100000, 24, 54, 0, 4096)},
        {"offset-past-end.bmp", bmpClaiming(16, 16, 24, 1u << 30, 0, 4096)},
        {"too-many-colours.bmp", bmpClaiming(16, 16, 8, 1078, 100000, 4096)},
        {"sixteen-bit.bmp", bmpClaiming(16, 16, 16, 54, 0, 4096)},
        {"negative-width.bmp", bmpClaiming(-16, 16, 24, 54, 0, 4096)},
    };
    for (const auto &f : files)
        writeBytes((dir / f.name).string(), f.bytes);
    std::filesystem::create_directory(dir / "folder.tif");

    StderrCapture err;
    for (const auto &f : files) {
        GlobalBlock page;
        int xdpi = -1;
        EXPECT_LT(load((dir / f.name).string(), page, 0, &xdpi), 1) << f.name;
        EXPECT_FALSE(page) << f.name;
    }
    GlobalBlock page;
    EXPECT_LT(load((dir / "missing.tif").string(), page), 1);
    EXPECT_LT(load((dir / "folder.tif").string(), page), 1);
    EXPECT_LT(load(g4, page, 1), 1) << "page past the end";
    EXPECT_LT(load(g4, page, -1), 1);
    EXPECT_LT(load(jpg, page, 1), 1);
    EXPECT_LT(load(bmp, page, 1), 1);
    EXPECT_FALSE(page);
    TCodecImage image{};
    EXPECT_LT(LoadFile(nullptr, &image, 0), 1);
    EXPECT_EQ(image.Dib, nullptr);
    EXPECT_LT(LoadFile(g4.c_str(), nullptr, 0), 1);
    EXPECT_EQ(err.text(), "");
}

TEST(CodecBadInput, BrokenRecordsAndTargetsFailQuietly)
{
    TempDir dir;
    GlobalBlock good = patternPage(64, 64, 8);
    // A header that claims far more pixels than the block holds.
    GlobalBlock shortBlock = makeDib(1000, 1000, 24, {});
    shortBlock.reset(GlobalAlloc(GHND, 100));
    {
        GlobalBlock source = makeDib(1000, 1000, 24, {});
        GlobalLockGuard from(source.get()), to(shortBlock.get());
        std::memcpy(to.data(), from.data(), 40);
    }
    GlobalBlock tiny(GlobalAlloc(GHND, 12));
    GlobalBlock sixteenBit = makeDib(8, 8, 24, {});
    {
        GlobalLockGuard lock(sixteenBit.get());
        lock.data()[14] = 16;
    }

    using Saver = std::function<int(const TCodecImage *, const char *)>;
    const Saver savers[] = {
        [](const TCodecImage *i, const char *n) { return SaveTIF(i, n, 0, 0); },
        [](const TCodecImage *i, const char *n) { return SaveTIF(i, n, 4, 1); },
        [](const TCodecImage *i, const char *n) { return SaveJPG(i, n); },
        [](const TCodecImage *i, const char *n) { return SaveBMP(i, n); },
    };
    const std::string target = (dir / "page.out").string();
    const std::string noDir = (dir / "no" / "such" / "page.out").string();
    std::filesystem::create_directory(dir / "folder.out");
    const std::string folder = (dir / "folder.out").string();
    TCodecImage goodImage{300, 300, good.get()};
    TCodecImage nullDib{300, 300, nullptr}, shortImage{300, 300, shortBlock.get()},
        tinyImage{300, 300, tiny.get()}, sixteenImage{300, 300, sixteenBit.get()};

    StderrCapture err;
    for (const Saver &save : savers) {
        EXPECT_EQ(save(nullptr, target.c_str()), 0);
        EXPECT_EQ(save(&nullDib, target.c_str()), 0);
        EXPECT_EQ(save(&shortImage, target.c_str()), 0);
        EXPECT_EQ(save(&tinyImage, target.c_str()), 0);
        EXPECT_EQ(save(&sixteenImage, target.c_str()), 0);
        EXPECT_EQ(save(&goodImage, nullptr), 0);
        EXPECT_EQ(save(&goodImage, ""), 0);
        EXPECT_EQ(save(&goodImage, noDir.c_str()), 0);
        EXPECT_EQ(save(&goodImage, folder.c_str()), 0);
    }
    // Appending to a file that is not a TIFF leaves it alone.
    const std::string foreign = (dir / "foreign.tif").string();
    writeBytes(foreign, {'n', 'o', 't', ' ', 'a', ' ', 't', 'i', 'f', 'f'});
    EXPECT_EQ(SaveTIF(&goodImage, foreign.c_str(), 0, 1), 0);
    EXPECT_EQ(readBytes(foreign).size(), 10u);
    std::filesystem::remove(foreign);

    EXPECT_EQ(GetAngle(nullptr), 0.0);
    EXPECT_EQ(GetAngle(shortBlock.get()), 0.0);
    EXPECT_EQ(GetAngle(tiny.get()), 0.0);
    EXPECT_EQ(GetAngle(sixteenBit.get()), 0.0);
    EXPECT_EQ(err.text(), "");
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(CodecBadInput, FailedWriteLeavesTheOldFileInPlace)
{
    TempDir dir;
    GlobalBlock small = patternPage(16, 16, 8), big = patternPage(1200, 1000, 24);
    TCodecImage smallImage{300, 300, small.get()}, bigImage{300, 300, big.get()};
    const std::string tif = (dir / "page.tif").string(), jpg = (dir / "page.jpg").string(),
                      bmp = (dir / "page.bmp").string(), pdf = (dir / "page.pdf").string();
    ASSERT_EQ(SaveTIF(&smallImage, tif.c_str(), 1, 0), 1);
    ASSERT_EQ(SaveJPG(&smallImage, jpg.c_str()), 1);
    ASSERT_EQ(SaveBMP(&smallImage, bmp.c_str()), 1);
    ASSERT_EQ(SaveBMP(&bigImage, (dir / "big.bmp").string().c_str()), 1);
    const char *bigSource[] = {nullptr};
    const std::string bigBmp = (dir / "big.bmp").string();
    bigSource[0] = bigBmp.c_str();
    writeBytes(pdf, {'o', 'l', 'd'});
    const auto oldTif = readBytes(tif), oldJpg = readBytes(jpg), oldBmp = readBytes(bmp);

    StderrCapture err;
    {
        arkavo::test::FileSizeLimit limit(64 * 1024);
        EXPECT_EQ(SaveTIF(&bigImage, tif.c_str(), 1, 0), 0);
        EXPECT_EQ(SaveJPG(&bigImage, jpg.c_str()), 0);
        EXPECT_EQ(SaveBMP(&bigImage, bmp.c_str()), 0);
        EXPECT_EQ(SavePDF(pdf.c_str(), bigSource, 1), 0);
    }
    EXPECT_EQ(err.text(), "");
    EXPECT_EQ(readBytes(tif), oldTif);
    EXPECT_EQ(readBytes(jpg), oldJpg);
    EXPECT_EQ(readBytes(bmp), oldBmp);
    EXPECT_EQ(readBytes(pdf), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 5)
        << "temporary files left";
}

} // namespace

namespace {

// Inputs found by fuzzing, each of which once crashed or hung a decoder.
TEST(CodecBadInput, FuzzerFindingsFailQuietly)
{
    StderrCapture err;
    for (const auto &entry : std::filesystem::directory_iterator(CODEC_TEST_DATA)) {
        GlobalBlock page;
        EXPECT_LT(load(entry.path().string(), page), 1) << entry.path();
        EXPECT_FALSE(page);
    }
    EXPECT_EQ(err.text(), "");
}

} // namespace
