// The one DIB header reader and writer: which blocks a reader may touch, and where.
#include <arkavo/Dib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <vector>

using namespace arkavo;

namespace {

// A bottom-up page block of the given shape, palette and rows zero.
std::vector<std::uint8_t> block(int width, int height, int bits, std::uint32_t clrUsed)
{
    const DibHeader h{.width = width, .height = height, .bitCount = bits, .clrUsed = clrUsed};
    std::vector<std::uint8_t> b(std::size_t(h.blockSize()));
    writeDibHeader(b.data(), h);
    return b;
}

} // namespace

TEST(Dib, WrittenHeaderIsLittleEndianWhateverTheHost)
{
    std::uint8_t p[DibHeaderSize];
    std::fill(std::begin(p), std::end(p), 0xAA);
    writeDibHeader(p, {.width = 0x0201,
                       .height = 0x0403,
                       .bitCount = 8,
                       .clrUsed = 256,
                       .xPelsPerMeter = 11811,
                       .yPelsPerMeter = -1,
                       .clrImportant = 7});
    // Stride 516, so biSizeImage is 516 x 1027 = 0x8160C.
    const std::vector<std::uint8_t> expected = {
        40,   0,    0,    0,    0x01, 0x02, 0, 0, 0x03, 0x04, 0,    0,    1, 0, 8, 0, 0, 0, 0, 0,
        0x0C, 0x16, 0x08, 0x00, 0x23, 0x2E, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0, 7, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(p, p + DibHeaderSize), expected);
    EXPECT_EQ(readLe32(p + dib::Width), 0x0201u);
    EXPECT_EQ(readLe16(p + dib::BitCount), 8u);
    EXPECT_EQ(std::int32_t(readLe32(p + dib::YPelsPerMeter)), -1);
}

TEST(Dib, ValidBlocksGiveTheirLayout)
{
    struct Case {
        int width, height, bits;
        std::uint32_t clrUsed;
        std::size_t stride, offset;
    };
    const Case cases[] = {
        {1, 1, 1, 2, 4, 48},        {33, 5, 1, 2, 8, 48},  {2480, 3508, 1, 2, 312, 48},
        {3, 2, 8, 256, 4, 1064},    {5, 2, 8, 0, 8, 40},   {1, 3, 24, 0, 4, 40},
        {2480, 7, 24, 0, 7440, 40}, {3, 1, 32, 0, 12, 40}, {2, 2, 24, 256, 8, 1064},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << "x" << c.bits << " clrUsed " << c.clrUsed);
        const auto b = block(c.width, c.height, c.bits, c.clrUsed);
        const auto info = describeDib(b.data(), b.size());
        ASSERT_TRUE(info);
        EXPECT_EQ(info->width, c.width);
        EXPECT_EQ(info->height, c.height);
        EXPECT_FALSE(info->topDown);
        EXPECT_EQ(info->bitCount, c.bits);
        EXPECT_EQ(info->clrUsed, c.clrUsed);
        EXPECT_EQ(info->stride, c.stride);
        EXPECT_EQ(info->bitsOffset, c.offset);
        EXPECT_EQ(info->size, b.size());
        EXPECT_EQ(info->palette(b.data()), b.data() + 40);
        EXPECT_EQ(info->row(b.data(), c.height - 1), b.data() + c.offset + (c.height - 1) * c.stride);
        EXPECT_EQ(readLe32(b.data() + dib::SizeImage), c.stride * c.height);
    }
}

TEST(Dib, RefusesWhatAReaderMustNotTouch)
{
    using Edit = std::function<void(std::vector<std::uint8_t> &)>;
    auto set32 = [](std::size_t at, std::uint32_t v) {
        return Edit([=](std::vector<std::uint8_t> &b) { writeLe32(b.data() + at, v); });
    };
    auto set16 = [](std::size_t at, std::uint16_t v) {
        return Edit([=](std::vector<std::uint8_t> &b) { writeLe16(b.data() + at, v); });
    };
    struct Case {
        const char *what;
        Edit edit;
    };
    const Case cases[] = {
        {"one byte short of the last row", [](auto &b) { b.pop_back(); }},
        {"shorter than the header", [](auto &b) { b.resize(39); }},
        {"header of another size", set32(dib::Size, 124)},
        {"header size zero", set32(dib::Size, 0)},
        {"no width", set32(dib::Width, 0)},
        {"negative width", set32(dib::Width, std::uint32_t(-5))},
        {"no height", set32(dib::Height, 0)},
        {"top-down rows", set32(dib::Height, std::uint32_t(-4))},
        {"most negative height", set32(dib::Height, 0x80000000u)},
        {"huge width: rows past any block", set32(dib::Width, 0x7FFFFFFF)},
        {"huge width and height: stride x height past 32 bits",
         [](auto &b) {
             writeLe32(b.data() + dib::Width, 0x7FFFFFFF);
             writeLe32(b.data() + dib::Height, 0x7FFFFFFF);
             writeLe16(b.data() + dib::BitCount, 32);
         }},
        {"4 bits", set16(dib::BitCount, 4)},
        {"16 bits", set16(dib::BitCount, 16)},
        {"0 bits", set16(dib::BitCount, 0)},
        {"more bits than any depth", set16(dib::BitCount, 65535)},
        {"run-length compressed", set32(dib::Compression, 1)},
        {"bit fields", set32(dib::Compression, dib::BiBitfields)},
        {"three palette entries on 1 bit", set32(dib::ClrUsed, 3)},
        {"palette count in the billions", set32(dib::ClrUsed, 0x40000000)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto b = block(16, 4, 1, 2);
        ASSERT_TRUE(describeDib(b.data(), b.size()));
        c.edit(b);
        EXPECT_FALSE(describeDib(b.data(), b.size()));
    }
    EXPECT_FALSE(describeDib(nullptr, 1000));

    struct Palette {
        int bits;
        std::uint32_t clrUsed;
    };
    for (const Palette p : {Palette{8, 257}, Palette{24, 257}, Palette{32, 1000}}) {
        SCOPED_TRACE(testing::Message() << p.bits << " bits, clrUsed " << p.clrUsed);
        auto b = block(4, 2, p.bits, p.clrUsed);
        EXPECT_FALSE(describeDib(b.data(), b.size()));
    }
}

TEST(Dib, RulesWidenOnlyWhatTheyName)
{
    auto b = block(6, 3, 8, 256);
    writeLe32(b.data() + dib::Height, std::uint32_t(-3));
    EXPECT_FALSE(describeDib(b.data(), b.size()));
    const auto topDown = describeDib(b.data(), b.size(), {.topDown = true});
    ASSERT_TRUE(topDown);
    EXPECT_TRUE(topDown->topDown);
    EXPECT_EQ(topDown->height, 3);
    writeLe32(b.data() + dib::Height, 0x80000000u);
    EXPECT_FALSE(describeDib(b.data(), b.size(), {.topDown = true}));

    b = block(6, 3, 8, 256);
    writeLe32(b.data() + dib::Size, 108);
    EXPECT_FALSE(describeDib(b.data(), b.size()));
    const auto anySize = describeDib(b.data(), b.size(), {.anyHeaderSize = true});
    ASSERT_TRUE(anySize);
    EXPECT_EQ(anySize->bitsOffset, 40u + 1024u); // rows still follow a 40-byte header

    b = block(6, 3, 32, 0);
    writeLe32(b.data() + dib::Compression, dib::BiBitfields);
    EXPECT_TRUE(describeDib(b.data(), b.size(), {.bitfields = true}));
    writeLe32(b.data() + dib::Compression, 1);
    EXPECT_FALSE(describeDib(b.data(), b.size(), {.bitfields = true}));

    // A reader that also takes 4 bits; one that does not take 32.
    b = block(5, 2, 4, 16);
    EXPECT_FALSE(describeDib(b.data(), b.size()));
    const auto four = describeDib(b.data(), b.size(), {.depths = dibDepth(4)});
    ASSERT_TRUE(four);
    EXPECT_EQ(four->stride, 4u);
    b = block(5, 2, 32, 0);
    EXPECT_FALSE(describeDib(b.data(), b.size(), {.depths = dibDepth(1) | dibDepth(8) | dibDepth(24)}));
}

TEST(Dib, BitmapFilePaletteOfZeroMeansAllColours)
{
    EXPECT_EQ(dibColours(1, 0), 2u);
    EXPECT_EQ(dibColours(4, 0), 16u);
    EXPECT_EQ(dibColours(8, 0), 256u);
    EXPECT_EQ(dibColours(8, 12), 12u);
    EXPECT_EQ(dibColours(24, 0), 0u);
}
