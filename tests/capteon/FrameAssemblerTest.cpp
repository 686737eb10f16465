// Frame assembly with made-up parameters and bytes: layouts, padding, depths,
// separate colour frames, pages of unknown length, and bad parameters.
#include "FrameAssembler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace arkavo;
using namespace arkavo::capteon;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Frame {
    FrameParameters params;
    Bytes data;
};

struct Case {
    const char *name;
    std::vector<Frame> frames;
    int bitCount;
    int width;
    int height;
    std::vector<Bytes> rows; // expected rows top-down, without padding
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

FrameParameters params(FrameFormat format, int depth, int width, int lines, int bpl, bool last = true)
{
    FrameParameters p;
    p.format = format;
    p.depth = depth;
    p.pixelsPerLine = width;
    p.lines = lines;
    p.bytesPerLine = bpl;
    p.lastFrame = last;
    return p;
}

std::int32_t read32(const std::uint8_t *p)
{
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

std::uint16_t read16(const std::uint8_t *p)
{
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// A colour line long enough for the wide copy loop, with a tail it leaves over.
Case wideColourCase()
{
    Case c{"rgb8_wide_line_with_odd_tail", {}, 24, 13, 2, {}};
    Bytes data;
    for (int line = 0; line < 2; ++line) {
        Bytes row;
        for (int x = 0; x < 13; ++x) {
            const std::uint8_t r = std::uint8_t(line * 100 + 3 * x), g = std::uint8_t(r + 1),
                               b = std::uint8_t(r + 2);
            data.insert(data.end(), {r, g, b});
            row.insert(row.end(), {b, g, r});
        }
        c.rows.push_back(row);
    }
    c.frames.push_back({params(FrameFormat::Rgb, 8, 13, 2, 39), data});
    return c;
}

std::vector<Case> cases()
{
    const auto G = FrameFormat::Gray;
    const auto C = FrameFormat::Rgb;
    return {
        wideColourCase(),
        {"grey8_odd_width_padded_to_four",
         {{params(G, 8, 3, 2, 3), {10, 20, 30, 40, 50, 60}}},
         8,
         3,
         2,
         {{10, 20, 30}, {40, 50, 60}}},
        {"grey8_device_line_padding_dropped",
         {{params(G, 8, 3, 2, 5), {10, 20, 30, 99, 99, 40, 50, 60, 99, 99}}},
         8,
         3,
         2,
         {{10, 20, 30}, {40, 50, 60}}},
        {"grey16_keeps_high_byte",
         {{params(G, 16, 2, 1, 4), {0x34, 0x12, 0xFF, 0xAB}}},
         8,
         2,
         1,
         {{0x12, 0xAB}}},
        {"lineart_inverted_and_tail_bits_cleared",
         {{params(G, 1, 10, 2, 2), {0b10100000, 0b11000000, 0xFF, 0xFF}}},
         1,
         10,
         2,
         {{0b01011111, 0b00000000}, {0x00, 0x00}}},
        {"lineart_white_line_is_all_ones_within_width",
         {{params(G, 1, 12, 1, 2), {0x00, 0x00}}},
         1,
         12,
         1,
         {{0xFF, 0xF0}}},
        {"rgb8_becomes_bgr", {{params(C, 8, 2, 1, 6), {1, 2, 3, 4, 5, 6}}}, 24, 2, 1, {{3, 2, 1, 6, 5, 4}}},
        {"rgb16_high_bytes_bgr",
         {{params(C, 16, 1, 1, 6), {0x00, 0x11, 0x00, 0x22, 0x00, 0x33}}},
         24,
         1,
         1,
         {{0x33, 0x22, 0x11}}},
        {"three_pass_red_green_blue",
         {{params(FrameFormat::Red, 8, 2, 1, 2, false), {10, 11}},
          {params(FrameFormat::Green, 8, 2, 1, 2, false), {20, 21}},
          {params(FrameFormat::Blue, 8, 2, 1, 2, true), {30, 31}}},
         24,
         2,
         1,
         {{30, 20, 10, 31, 21, 11}}},
        {"three_pass_other_order_and_16_bit",
         {{params(FrameFormat::Blue, 16, 1, 1, 2, false), {0, 30}},
          {params(FrameFormat::Green, 16, 1, 1, 2, false), {0, 20}},
          {params(FrameFormat::Red, 16, 1, 1, 2, true), {0, 10}}},
         24,
         1,
         1,
         {{30, 20, 10}}},
        {"unknown_length_grows_line_by_line",
         {{params(G, 8, 2, -1, 2), {1, 2, 3, 4, 5, 6}}},
         8,
         2,
         3,
         {{1, 2}, {3, 4}, {5, 6}}},
        {"three_pass_of_unknown_length",
         {{params(FrameFormat::Red, 8, 1, -1, 1, false), {10, 11}},
          {params(FrameFormat::Green, 8, 1, -1, 1, false), {20, 21}},
          {params(FrameFormat::Blue, 8, 1, -1, 1, true), {30, 31}}},
         24,
         1,
         2,
         {{30, 20, 10}, {31, 21, 11}}},
        {"page_ending_early_keeps_lines_received",
         {{params(G, 8, 2, 4, 2), {1, 2, 3, 4}}},
         8,
         2,
         2,
         {{1, 2}, {3, 4}}},
        {"extra_lines_beyond_announced_are_dropped", {{params(G, 8, 1, 1, 1), {7, 8, 9}}}, 8, 1, 1, {{7}}},
        {"partial_last_line_dropped", {{params(G, 8, 2, -1, 2), {1, 2, 3}}}, 8, 2, 1, {{1, 2}}},
    };
}

// Feeds every frame in pieces of the given size; 0 means all at once.
GlobalBlock assemble(const Case &c, std::size_t chunk)
{
    FrameAssembler a;
    a.setResolution(300, 200);
    for (const Frame &f : c.frames) {
        a.beginFrame(f.params);
        const std::size_t step = chunk == 0 ? f.data.size() : chunk;
        for (std::size_t i = 0; i < f.data.size(); i += step)
            a.addData(f.data.data() + i, std::min(step, f.data.size() - i));
        a.endFrame();
    }
    EXPECT_TRUE(a.pageComplete());
    return a.takePage();
}

void expectPage(const Case &c, const GlobalBlock &page)
{
    ASSERT_TRUE(page);
    GlobalLockGuard lock(page.get());
    const std::uint8_t *h = lock.data();
    const int colours = c.bitCount == 1 ? 2 : c.bitCount == 8 ? 256 : 0;
    const std::size_t stride = (std::size_t(c.width) * c.bitCount + 31) / 32 * 4;
    EXPECT_EQ(read32(h), 40);
    EXPECT_EQ(read32(h + 4), c.width);
    EXPECT_EQ(read32(h + 8), c.height);
    EXPECT_EQ(read16(h + 12), 1);
    EXPECT_EQ(read16(h + 14), c.bitCount);
    EXPECT_EQ(read32(h + 16), 0);
    EXPECT_EQ(read32(h + 20), std::int32_t(stride * c.height));
    EXPECT_EQ(read32(h + 24), 11811); // 300 dpi
    EXPECT_EQ(read32(h + 28), 7874);  // 200 dpi
    EXPECT_EQ(read32(h + 32), colours);
    ASSERT_EQ(page.size(), 40 + 4 * std::size_t(colours) + stride * std::size_t(c.height));
    if (colours == 2) {
        EXPECT_EQ(Bytes(h + 40, h + 48), (Bytes{0, 0, 0, 0, 255, 255, 255, 0}));
    } else if (colours == 256) {
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(Bytes(h + 40 + 4 * i, h + 44 + 4 * i),
                      (Bytes{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0}));
    }
    const std::uint8_t *pixels = h + 40 + 4 * colours;
    for (int y = 0; y < c.height; ++y) {
        // Bottom-up: the first line is the last row in memory.
        const std::uint8_t *row = pixels + std::size_t(c.height - 1 - y) * stride;
        const Bytes &want = c.rows[std::size_t(y)];
        EXPECT_EQ(Bytes(row, row + want.size()), want) << "line " << y;
        for (std::size_t k = want.size(); k < stride; ++k)
            EXPECT_EQ(row[k], 0) << "padding of line " << y;
    }
}

class FrameAssemblerTable : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(FrameAssemblerTable, PageMatchesFramesWhateverTheChunking)
{
    const Case &c = GetParam();
    for (std::size_t chunk : {std::size_t(0), std::size_t(1), std::size_t(3), std::size_t(7)}) {
        SCOPED_TRACE(chunk);
        expectPage(c, assemble(c, chunk));
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, FrameAssemblerTable, ::testing::ValuesIn(cases()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(FrameAssembler, RejectsParametersItCannotAssemble)
{
    const auto G = FrameFormat::Gray;
    const std::vector<FrameParameters> bad = {
        params(G, 4, 10, 10, 5),                 // depth 4
        params(G, 8, 10, 10, 9),                 // line shorter than its pixels
        params(FrameFormat::Rgb, 8, 10, 10, 20), // colour line too short
        params(G, 8, 0, 10, 10),                 // no pixels
        params(G, 8, 10, 2000000, 10),           // absurd length
    };
    for (const FrameParameters &p : bad) {
        FrameAssembler a;
        EXPECT_THROW(a.beginFrame(p), std::runtime_error) << p.depth << " " << p.bytesPerLine;
    }
}

TEST(FrameAssembler, SecondFrameMustBeAColourChannelOfTheSamePage)
{
    FrameAssembler a;
    a.beginFrame(params(FrameFormat::Red, 8, 4, 2, 4, false));
    EXPECT_THROW(a.beginFrame(params(FrameFormat::Gray, 8, 4, 2, 4)), std::runtime_error);
    EXPECT_THROW(a.beginFrame(params(FrameFormat::Green, 8, 5, 2, 5, false)), std::runtime_error);
}

TEST(FrameAssembler, NoLinesGivesNoPageAndTheAssemblerStartsOver)
{
    FrameAssembler a;
    a.beginFrame(params(FrameFormat::Gray, 8, 4, 10, 4));
    a.endFrame();
    EXPECT_FALSE(a.takePage());
    const Bytes line = {1, 2, 3, 4};
    a.beginFrame(params(FrameFormat::Gray, 8, 4, 1, 4));
    a.addData(line.data(), line.size());
    a.endFrame();
    EXPECT_TRUE(a.takePage());
}
