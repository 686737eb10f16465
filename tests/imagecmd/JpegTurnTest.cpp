// Lossless turns of JPEG page files, checked against decoding the page and turning it
// with Pixolve, which is what the program does when the lossless turn is not possible.
#include "JpegTurn.h"

#include "PatternPage.h"
#include "AsOrdinaryUser.h"
#include "FileSizeLimit.h"
#include "TempDir.h"

#include "codec.h"
#include "pixolve.h"

#include <arkavo/GlobalBlock.h>

#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

using arkavo::GlobalBlock;
using arkavo::GlobalLockGuard;
using arkavo::test::TempDir;

namespace {

using Bytes = std::vector<char>;

Bytes readBytes(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::filesystem::path &file, const Bytes &bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::vector<std::string> folderEntries(const std::filesystem::path &dir)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    return names;
}

// A page with detail in every block and along every edge, so that a block or an edge row
// out of place shows.
GlobalBlock makePage(int width, int height, bool colour)
{
    return arkavo::test::MakePatternPage(
        width, height, colour ? 24 : 8, [colour](uint8_t *row, int x, int y) {
            if (colour) {
                row[3 * x] = uint8_t(x * 4 + y);
                row[3 * x + 1] = uint8_t(y * 5);
                row[3 * x + 2] = uint8_t((x / 3 + y / 5) % 2 ? 230 : 25);
            } else {
                row[x] = uint8_t(((x / 4 + y / 3) % 2 ? 200 : 40) + x % 7 * 3);
            }
        });
}

void saveJpeg(const GlobalBlock &page, const std::filesystem::path &file, int xdpi = 300, int ydpi = 300)
{
    const TCodecImage image{xdpi, ydpi, page.get()};
    ASSERT_EQ(SaveJPG(&image, file.c_str()), 1);
}

struct Loaded {
    GlobalBlock dib;
    int xdpi = 0;
    int ydpi = 0;
};

Loaded load(const std::filesystem::path &file)
{
    TCodecImage image{0, 0, nullptr};
    LoadFile(file.c_str(), &image, 0);
    return {GlobalBlock(image.Dib), image.XResolution, image.YResolution};
}

struct DibPixels {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<uint8_t> pixels; // top row first, rows unpadded
};

DibPixels pixelsOf(const GlobalBlock &dib)
{
    DibPixels out;
    GlobalLockGuard lock(dib.get());
    const uint8_t *p = lock.data();
    if (!p)
        return out;
    int32_t header[3];
    uint16_t bits = 0;
    uint32_t colours = 0;
    std::memcpy(header, p, sizeof header);
    std::memcpy(&bits, p + 14, 2);
    std::memcpy(&colours, p + 32, 4);
    out.width = header[1];
    out.height = header[2];
    out.channels = bits / 8;
    const int stride = (out.width * bits + 31) / 32 * 4;
    const uint8_t *rows = p + 40 + 4 * colours;
    for (int y = out.height - 1; y >= 0; --y)
        out.pixels.insert(out.pixels.end(), rows + std::size_t(y) * stride,
                          rows + std::size_t(y) * stride + std::size_t(out.width) * out.channels);
    return out;
}

// How far two pages of the same shape are apart, channel by channel; largest -1 when the
// shapes differ.
struct Difference {
    int largest = -1;
    double shareAboveOne = 0; // of all channel values
};

Difference differenceOf(const DibPixels &a, const DibPixels &b)
{
    Difference d;
    if (a.width != b.width || a.height != b.height || a.channels != b.channels || a.pixels.empty())
        return d;
    d.largest = 0;
    std::size_t aboveOne = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        const int delta = std::abs(int(a.pixels[i]) - int(b.pixels[i]));
        d.largest = std::max(d.largest, delta);
        aboveOne += delta > 1;
    }
    d.shareAboveOne = double(aboveOne) / double(a.pixels.size());
    return d;
}

int largestDifference(const DibPixels &a, const DibPixels &b)
{
    return differenceOf(a, b).largest;
}

GlobalBlock pixolveTurn(HGLOBAL dib, JpegTurn turn)
{
    switch (turn) {
    case JpegTurn::Mirror:
        return GlobalBlock(Mirror(dib));
    case JpegTurn::Flip:
        return GlobalBlock(Flip(dib));
    case JpegTurn::Right90:
        return GlobalBlock(RotateExpand(dib, 90, 0, 0, 0));
    case JpegTurn::Left90:
        return GlobalBlock(RotateExpand(dib, -90, 0, 0, 0));
    case JpegTurn::Half:
        return GlobalBlock(RotateExpand(dib, 180, 0, 0, 0));
    }
    return {};
}

const char *nameOf(JpegTurn turn)
{
    switch (turn) {
    case JpegTurn::Mirror:
        return "Mirror";
    case JpegTurn::Flip:
        return "Flip";
    case JpegTurn::Right90:
        return "Right90";
    case JpegTurn::Left90:
        return "Left90";
    case JpegTurn::Half:
        return "Half";
    }
    return "?";
}

constexpr JpegTurn kAllTurns[] = {JpegTurn::Mirror, JpegTurn::Flip, JpegTurn::Right90, JpegTurn::Left90,
                                  JpegTurn::Half};

JpegTurnResult turnFile(const std::filesystem::path &file, JpegTurn turn)
{
    return TurnJpegFile(QString::fromStdString(file.string()), turn);
}

} // namespace

// Each turn gives the page Pixolve makes from the decoded original, up to the rounding of
// the decoder, for colour (two-by-two chroma blocks) and grey pages, and for a page whose
// size is whole blocks only in the direction the turn moves.
TEST(JpegTurnPixels, MatchPixolveOnTheDecodedPage)
{
    struct Case {
        int width, height;
        bool colour;
        JpegTurn turn;
    };
    std::vector<Case> cases;
    for (JpegTurn turn : kAllTurns) {
        cases.push_back({64, 48, true, turn});
        cases.push_back({64, 48, false, turn});
    }
    // Only the width is whole blocks: the turns that move whole columns still work.
    cases.push_back({64, 45, true, JpegTurn::Mirror});
    cases.push_back({64, 45, true, JpegTurn::Left90});
    cases.push_back({64, 45, false, JpegTurn::Mirror});
    cases.push_back({64, 45, false, JpegTurn::Left90});
    // Only the height: the turns that move whole rows.
    cases.push_back({61, 48, true, JpegTurn::Flip});
    cases.push_back({61, 48, true, JpegTurn::Right90});

    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(nameOf(c.turn)) + (c.colour ? " colour " : " grey ") +
                     std::to_string(c.width) + "x" + std::to_string(c.height));
        TempDir dir;
        const auto file = dir / "page.jpg";
        saveJpeg(makePage(c.width, c.height, c.colour), file);
        const Loaded before = load(file);
        ASSERT_TRUE(before.dib);
        const GlobalBlock expected = pixolveTurn(before.dib.get(), c.turn);
        ASSERT_TRUE(expected);

        ASSERT_EQ(turnFile(file, c.turn), JpegTurnResult::Turned);
        const Loaded after = load(file);
        ASSERT_TRUE(after.dib);
        const DibPixels got = pixelsOf(after.dib);
        const bool quarter = c.turn == JpegTurn::Right90 || c.turn == JpegTurn::Left90;
        EXPECT_EQ(got.width, quarter ? c.height : c.width);
        EXPECT_EQ(got.height, quarter ? c.width : c.height);
        EXPECT_EQ(got.channels, c.colour ? 3 : 1);
        const Difference difference = differenceOf(got, pixelsOf(expected));
        EXPECT_GE(difference.largest, 0);
        if (c.colour) {
            // The coefficients are turned exactly, but the decoder smooths the half-size
            // colour planes and rounds them in its own reading order, and the conversion to
            // RGB magnifies that: a few values end up to three apart.
            EXPECT_LE(difference.largest, 3);
            EXPECT_LT(difference.shareAboveOne, 0.05);
        } else {
            EXPECT_LE(difference.largest, 1);
        }
    }
}

// Turning back and forth costs nothing: the page decodes to exactly the same pixels.
TEST(JpegTurnPixels, TurnsThatCancelGiveBackTheSamePixels)
{
    const std::vector<std::vector<JpegTurn>> sequences = {
        {JpegTurn::Right90, JpegTurn::Right90, JpegTurn::Right90, JpegTurn::Right90},
        {JpegTurn::Left90, JpegTurn::Left90, JpegTurn::Left90, JpegTurn::Left90},
        {JpegTurn::Right90, JpegTurn::Left90},
        {JpegTurn::Half, JpegTurn::Half},
        {JpegTurn::Mirror, JpegTurn::Mirror},
        {JpegTurn::Flip, JpegTurn::Flip},
        {JpegTurn::Mirror, JpegTurn::Flip, JpegTurn::Half},
    };
    for (bool colour : {true, false}) {
        for (const auto &sequence : sequences) {
            SCOPED_TRACE(std::string(colour ? "colour, " : "grey, ") + std::to_string(sequence.size()) +
                         " turns from " + nameOf(sequence.front()));
            TempDir dir;
            const auto file = dir / "page.jpg";
            saveJpeg(makePage(64, 48, colour), file);
            const DibPixels original = pixelsOf(load(file).dib);
            for (JpegTurn turn : sequence)
                ASSERT_EQ(turnFile(file, turn), JpegTurnResult::Turned);
            EXPECT_EQ(largestDifference(pixelsOf(load(file).dib), original), 0);
        }
    }
}

// A turn that would have to drop or move the partial blocks at an edge is refused and the
// file is left exactly as it was, for the caller to turn the decoded page instead.
TEST(JpegTurnRefused, PartialEdgeBlocksLeaveTheFileAsItWas)
{
    struct Case {
        int width, height;
        bool colour;
        JpegTurn turn;
    };
    std::vector<Case> cases;
    for (JpegTurn turn : kAllTurns) {
        cases.push_back({61, 45, true, turn});
        cases.push_back({61, 45, false, turn});
    }
    cases.push_back({64, 45, true, JpegTurn::Flip});
    cases.push_back({64, 45, true, JpegTurn::Right90});
    cases.push_back({64, 45, true, JpegTurn::Half});
    cases.push_back({61, 48, true, JpegTurn::Mirror});
    cases.push_back({61, 48, true, JpegTurn::Left90});
    // Grey blocks are 8 pixels, colour ones 16 across the two-by-two chroma.
    cases.push_back({56, 40, true, JpegTurn::Mirror});

    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(nameOf(c.turn)) + (c.colour ? " colour " : " grey ") +
                     std::to_string(c.width) + "x" + std::to_string(c.height));
        TempDir dir;
        const auto file = dir / "page.jpg";
        saveJpeg(makePage(c.width, c.height, c.colour), file);
        const Bytes before = readBytes(file);
        EXPECT_EQ(turnFile(file, c.turn), JpegTurnResult::NotPossible);
        EXPECT_EQ(readBytes(file), before);
        EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"page.jpg"});
    }

    // The same grey size is whole blocks and turns.
    TempDir dir;
    saveJpeg(makePage(56, 40, false), dir / "grey.jpg");
    EXPECT_EQ(turnFile(dir / "grey.jpg", JpegTurn::Mirror), JpegTurnResult::Turned);
}

// Files that are not whole JPEGs are never written: other page formats by content whatever
// their name, and damaged JPEG data, which the turn would otherwise pass on as a sound file.
TEST(JpegTurnRefused, FilesThatAreNotWholeJpegsAreLeftAlone)
{
    TempDir dir;
    const GlobalBlock page = makePage(64, 48, false);
    const TCodecImage image{300, 300, page.get()};
    ASSERT_EQ(SaveTIF(&image, (dir / "tiff.jpg").c_str(), CODEC_TIFF_DEFAULT, 0), 1);
    ASSERT_EQ(SaveBMP(&image, (dir / "bmp.jpg").c_str()), 1);
    saveJpeg(makePage(64, 48, true), dir / "whole.jpg");
    const Bytes whole = readBytes(dir / "whole.jpg");
    writeBytes(dir / "half.jpg", Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(whole.size() / 2)));
    writeBytes(dir / "header.jpg", Bytes(whole.begin(), whole.begin() + 200));
    Bytes scrambled = whole;
    for (std::size_t i = scrambled.size() / 3; i < scrambled.size() * 2 / 3; ++i)
        scrambled[i] = char(0xFF);
    writeBytes(dir / "scrambled.jpg", scrambled);
    writeBytes(dir / "soi.jpg", Bytes{char(0xFF), char(0xD8), char(0xFF)});
    writeBytes(dir / "empty.jpg", Bytes{});

    const std::vector<std::string> names = {"tiff.jpg",      "bmp.jpg", "half.jpg", "header.jpg",
                                            "scrambled.jpg", "soi.jpg", "empty.jpg"};
    for (const std::string &name : names) {
        for (JpegTurn turn : kAllTurns) {
            SCOPED_TRACE(name + " " + nameOf(turn));
            const Bytes before = readBytes(dir / name);
            const JpegTurnResult result = turnFile(dir / name, turn);
            EXPECT_NE(result, JpegTurnResult::Turned);
            EXPECT_EQ(readBytes(dir / name), before);
        }
    }
    EXPECT_EQ(turnFile(dir / "missing.jpg", JpegTurn::Half), JpegTurnResult::NotPossible);
    EXPECT_EQ(turnFile(dir.path(), JpegTurn::Half), JpegTurnResult::NotPossible);
    EXPECT_EQ(folderEntries(dir.path()).size(), names.size() + 1);
}

// A turned page that cannot be written leaves the original in place and no scratch file.
TEST(JpegTurnWrite, FailedWriteLeavesTheOriginalAndNoScratchFile)
{
    TempDir dir;
    const auto file = dir / "page.jpg";
    saveJpeg(makePage(64, 48, true), file);
    const Bytes before = readBytes(file);

    namespace fs = std::filesystem;
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    {
        arkavo::test::FileAccessAsNobody nobody;
        ASSERT_FALSE(std::ofstream(dir / "probe").is_open()) << "the folder should refuse new files";
        EXPECT_EQ(turnFile(file, JpegTurn::Right90), JpegTurnResult::WriteFailed);
    }
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"page.jpg"});

    fs::permissions(dir.path(), fs::perms::owner_all, fs::perm_options::add);
    {
        // The scratch file is created but fills up part way, as on a full disk.
        arkavo::test::FileSizeLimit limit(before.size() / 2);
        EXPECT_EQ(turnFile(file, JpegTurn::Half), JpegTurnResult::WriteFailed);
    }
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"page.jpg"});
}

// The turned file keeps the original's permissions and its other segments.
TEST(JpegTurnWrite, KeepsPermissionsAndOtherSegments)
{
    TempDir dir;
    const auto file = dir / "page.jpg";
    saveJpeg(makePage(64, 48, false), file);
    Bytes bytes = readBytes(file);
    const std::string text = "scanned at the front desk";
    Bytes comment = {char(0xFF), char(0xFE), 0, char(text.size() + 2)};
    comment.insert(comment.end(), text.begin(), text.end());
    bytes.insert(bytes.begin() + 2, comment.begin(), comment.end());
    writeBytes(file, bytes);
    namespace fs = std::filesystem;
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(file, mode, fs::perm_options::replace);

    ASSERT_EQ(turnFile(file, JpegTurn::Left90), JpegTurnResult::Turned);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, mode);
    const Bytes after = readBytes(file);
    EXPECT_NE(std::search(after.begin(), after.end(), comment.begin(), comment.end()), after.end());
}

namespace {

// An EXIF segment whose first directory holds only the X and Y resolution, as rationals.
Bytes exifSegment(uint32_t xdpi, uint32_t ydpi)
{
    Bytes tiff = {'M', 'M', 0, 42, 0, 0, 0, 8};
    const auto put16 = [&tiff](uint16_t v) {
        tiff.push_back(char(v >> 8));
        tiff.push_back(char(v & 0xFF));
    };
    const auto put32 = [&](uint32_t v) {
        put16(uint16_t(v >> 16));
        put16(uint16_t(v & 0xFFFF));
    };
    put16(2);
    const uint32_t values = 8 + 2 + 2 * 12 + 4;
    put16(0x011A), put16(5), put32(1), put32(values);
    put16(0x011B), put16(5), put32(1), put32(values + 8);
    put32(0);
    put32(xdpi), put32(1), put32(ydpi), put32(1);
    Bytes segment = {char(0xFF), char(0xE1), 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    segment[2] = char((segment.size() - 2) >> 8);
    segment[3] = char((segment.size() - 2) & 0xFF);
    return segment;
}

// The X and Y resolution of an EXIF segment written by exifSegment, following the entries.
std::pair<uint32_t, uint32_t> exifResolution(const Bytes &file)
{
    const char header[] = {'E', 'x', 'i', 'f', 0, 0};
    const auto at = std::search(file.begin(), file.end(), header, header + 6);
    if (at == file.end())
        return {0, 0};
    const auto *tiff = reinterpret_cast<const uint8_t *>(&*at) + 6;
    const auto get32 = [](const uint8_t *p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; };
    uint32_t resolution[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const uint8_t *entry = tiff + 10 + 12 * i;
        const int tag = entry[0] << 8 | entry[1];
        resolution[tag - 0x011A] = get32(tiff + get32(entry + 8));
    }
    return {resolution[0], resolution[1]};
}

} // namespace

// Across the page after a quarter turn is what ran along it before: the resolutions swap,
// in the JFIF header the program writes and in an EXIF segment from elsewhere.
TEST(JpegTurnResolution, QuarterTurnsSwapItOthersKeepIt)
{
    for (JpegTurn turn : kAllTurns) {
        SCOPED_TRACE(nameOf(turn));
        TempDir dir;
        const auto file = dir / "page.jpg";
        saveJpeg(makePage(64, 48, true), file, 300, 150);
        Bytes bytes = readBytes(file);
        const Bytes exif = exifSegment(400, 200);
        const std::size_t jfifEnd = 4 + (uint8_t(bytes[4]) << 8 | uint8_t(bytes[5]));
        bytes.insert(bytes.begin() + std::ptrdiff_t(jfifEnd), exif.begin(), exif.end());
        writeBytes(file, bytes);

        ASSERT_EQ(turnFile(file, turn), JpegTurnResult::Turned);
        const bool quarter = turn == JpegTurn::Right90 || turn == JpegTurn::Left90;
        const Loaded after = load(file);
        EXPECT_EQ(after.xdpi, quarter ? 150 : 300);
        EXPECT_EQ(after.ydpi, quarter ? 300 : 150);
        EXPECT_EQ(exifResolution(readBytes(file)),
                  quarter ? std::make_pair(200u, 400u) : std::make_pair(400u, 200u));
    }
}
