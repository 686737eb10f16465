// What happens to a scanned page before it is filed: the cleaning steps and their order,
// which page opens a new file, and the temporary file the page waits in.
#include "PageCleaning.h"

#include "AsOrdinaryUser.h"
#include "GrayPage.h"
#include "PatternPage.h"
#include "TempDir.h"

#include "codec.h"
#include "pixolve.h"

#include <QByteArray>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <numbers>
#include <vector>

using arkavo::GlobalBlock;

namespace {

QByteArray bytesOf(HGLOBAL h)
{
    arkavo::GlobalLockGuard lock(h);
    return lock ? QByteArray(reinterpret_cast<const char *>(lock.data()), qsizetype(GlobalSize(h)))
                : QByteArray();
}

std::pair<int, int> sizeOf(HGLOBAL h)
{
    arkavo::GlobalLockGuard lock(h);
    int32_t wh[2]{};
    if (lock)
        std::memcpy(wh, lock.data() + 4, sizeof wh);
    return {wh[0], wh[1]};
}

// A page of text lines turned clockwise by Degrees as displayed, with a dark band of
// Border pixels along its left edge, as the scanner lid leaves it. 8-bit grey or 1-bit.
GlobalBlock textPage(int width, int height, int bits, double degrees, int border = 0)
{
    const double a = degrees * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
    const double cx = width / 2.0, cy = height / 2.0;
    return arkavo::test::MakePatternPage(width, height, bits, [=](uint8_t *row, int x, int y) {
        const int top = height - 1 - y; // rows are stored bottom-up
        const double dx = x - cx, dy = top - cy;
        const double u = cx + dx * c + dy * s, v = cy - dx * s + dy * c;
        const int line = int(std::floor((v - 100) / 40));
        const bool text = line >= 0 && v < height - 100 && v - 100 - line * 40 < 16 && u > 80 &&
                          u < width - 80 && int(std::floor(u)) % 53 < 44 && int(std::floor(u)) % 6 < 4;
        const bool frame = x < border;
        const bool black = text || frame;
        if (bits == 1) {
            if (!black)
                row[x / 8] |= uint8_t(0x80 >> (x % 8));
        } else {
            row[x] = black ? 20 : 235;
        }
    });
}

// Runs CleanPage and checks that the incoming page came through untouched and alive.
GlobalBlock cleaned(const GlobalBlock &incoming, const CleaningOptions &options,
                    const ImageProcSettings &settings = {})
{
    const QByteArray before = bytesOf(incoming.get());
    GlobalBlock result = CleanPage(incoming.get(), options, settings);
    EXPECT_EQ(GlobalSize(incoming.get()), std::size_t(before.size()));
    EXPECT_TRUE(bytesOf(incoming.get()) == before) << "the incoming page was changed";
    EXPECT_NE(result.get(), incoming.get());
    return result;
}

} // namespace

TEST(CleanPage, NoStepGivesNoResultAndLeavesTheIncomingPage)
{
    const GlobalBlock page = textPage(400, 300, 8, 2.0, 20);
    for (int rotate : {0, 4, -1}) { // "不旋转", and items the list does not have
        CleaningOptions none;
        none.rotate = rotate;
        EXPECT_FALSE(cleaned(page, none)) << rotate;
    }
    EXPECT_FALSE(CleanPage(nullptr, CleaningOptions{.invert = true, .rotate = 3}, {}));
}

TEST(CleanPage, EachStepRunsItsOperationWithTheSettings)
{
    ImageProcSettings settings;
    settings.SetValue(ImageProcSettings::RemoveBlackBorderThreshold, 120);
    settings.SetValue(ImageProcSettings::AutoCropEdgeWidth, 12);
    using Op = std::function<HGLOBAL(HGLOBAL)>;
    const std::pair<CleaningOptions, Op> cases[] = {
        {{.invert = true}, [](HGLOBAL h) { return Invert(h); }},
        {{.removeBorder = true}, [](HGLOBAL h) { return RemoveBorder(h, 120); }},
        {{.autoCrop = true},
         [](HGLOBAL h) {
             RECT r{};
             return Crop(h, &r, 2, 12);
         }},
        {{.deskew = true}, [](HGLOBAL h) { return Rotate(h, -GetAngle(h), 300, 200, 1); }},
        {{.rotate = 1}, [](HGLOBAL h) { return RotateExpand(h, 90, 0, 0, 0); }},
        {{.rotate = 2}, [](HGLOBAL h) { return RotateExpand(h, -90, 0, 0, 0); }},
        {{.rotate = 3}, [](HGLOBAL h) { return RotateExpand(h, 180, 0, 0, 0); }},
    };
    for (int bits : {1, 8}) {
        // Odd sizes: the deskew turns about the truncated halves.
        const GlobalBlock page = textPage(601, 401, bits, 2.0, 15);
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            const GlobalBlock expected(cases[i].second(page.get()));
            ASSERT_TRUE(expected);
            ASSERT_TRUE(bytesOf(expected.get()) != bytesOf(page.get())) << "case " << i << " changes nothing";
            const GlobalBlock result = cleaned(page, cases[i].first, settings);
            EXPECT_TRUE(bytesOf(result.get()) == bytesOf(expected.get())) << bits << "-bit page, case " << i;
        }
    }
}

TEST(CleanPage, StepsRunInTheirFixedOrder)
{
    const GlobalBlock page = textPage(700, 500, 8, 2.0, 25);
    const ImageProcSettings settings;
    auto chain = [&](const std::vector<std::function<HGLOBAL(HGLOBAL)>> &steps) {
        GlobalBlock work(Invert(page.get()));
        for (const auto &step : steps)
            work = GlobalBlock(step(work.get()));
        return bytesOf(work.get());
    };
    auto border = [&](HGLOBAL h) { return RemoveBorder(h, settings.RemoveBlackBorder_Threshold()); };
    auto crop = [&](HGLOBAL h) {
        RECT r{};
        return Crop(h, &r, 2, settings.AutoCrop_EdgeWidth());
    };
    auto deskew = [](HGLOBAL h) {
        const auto [w, ht] = sizeOf(h);
        return Rotate(h, -GetAngle(h), w / 2, ht / 2, 1);
    };
    auto turn = [](HGLOBAL h) { return RotateExpand(h, 90, 0, 0, 0); };

    const QByteArray inOrder = chain({border, crop, deskew, turn});
    ASSERT_TRUE(inOrder != chain({turn, deskew, crop, border})) << "the page does not tell the order";
    const GlobalBlock result =
        cleaned(page, {.invert = true, .removeBorder = true, .autoCrop = true, .deskew = true, .rotate = 1},
                settings);
    EXPECT_TRUE(bytesOf(result.get()) == inOrder);
}

TEST(CleanPage, DeskewStraightensOnlyASkewedPage)
{
    const GlobalBlock skewed = textPage(1000, 800, 8, 2.0);
    const double angle = GetAngle(skewed.get());
    ASSERT_NEAR(angle, 2.0, 0.2);
    const GlobalBlock straightened = cleaned(skewed, {.deskew = true});
    ASSERT_TRUE(straightened);
    EXPECT_EQ(sizeOf(straightened.get()), sizeOf(skewed.get()));
    EXPECT_NEAR(GetAngle(straightened.get()), 0.0, 0.2);

    const GlobalBlock straight = textPage(1000, 800, 8, 0.0);
    ASSERT_LE(std::fabs(GetAngle(straight.get())), 0.05);
    EXPECT_FALSE(cleaned(straight, {.deskew = true}));
}

// Each item turns the way stored profiles have always had it.
TEST(CleanPage, TurnsKeepTheDirectionsStoredProfilesHaveAlwaysMeant)
{
    // A portrait 1000 × 1400 page, white, with a black square in its top-left corner.
    const GlobalBlock page = arkavo::test::MakePatternPage(
        1000, 1400, 8, [](uint8_t *row, int x, int y) { row[x] = x < 100 && y >= 1300 ? 0 : 255; });
    struct Case {
        int item;
        std::pair<int, int> size;
        int x, yFromTop; // where the square's corner pixel lands
    };
    const Case cases[] = {
        {1, {1400, 1000}, 1399, 0},   // "左转90度": a quarter turn clockwise, to the top-right
        {2, {1400, 1000}, 0, 999},    // "右转90度": counter-clockwise, to the bottom-left
        {3, {1000, 1400}, 999, 1399}, // "旋转180度": to the bottom-right
    };
    for (const Case &c : cases) {
        const GlobalBlock turned = cleaned(page, {.rotate = c.item});
        ASSERT_TRUE(turned) << c.item;
        ASSERT_EQ(sizeOf(turned.get()), c.size) << c.item;
        arkavo::GlobalLockGuard lock(turned.get());
        const int w = c.size.first, h = c.size.second, stride = (w + 3) & ~3;
        const uint8_t *bits = lock.data() + 40 + 1024;
        auto at = [&](int x, int yFromTop) { return bits[std::size_t(h - 1 - yFromTop) * stride + x]; };
        EXPECT_EQ(at(c.x, c.yFromTop), 0) << c.item;
        EXPECT_EQ(at(w - 1 - c.x, h - 1 - c.yFromTop), 255) << c.item;
    }
}

TEST(CleanPage, ARejectedPageGoesOnAsItCame)
{
    // A 1-bit page without its palette, and a block cut short: Pixolve takes neither.
    GlobalBlock noPalette = arkavo::test::MakePatternPage(64, 48, 1, [](uint8_t *, int, int) {});
    {
        arkavo::GlobalLockGuard lock(noPalette.get());
        std::memset(lock.data() + 32, 0, 4);
    }
    GlobalBlock cut = GlobalBlock::allocate(60);
    {
        const GlobalBlock whole = arkavo::test::MakeGrayPage(64, 48, [](int) { return uint8_t(0); });
        arkavo::GlobalLockGuard from(whole.get()), to(cut.get());
        std::memcpy(to.data(), from.data(), 60);
    }
    const CleaningOptions all{
        .invert = true, .removeBorder = true, .autoCrop = true, .deskew = true, .rotate = 1};
    EXPECT_FALSE(cleaned(noPalette, all));
    EXPECT_FALSE(cleaned(cut, all));
}

TEST(NeedsNewFile, CountBlankSheetsAndByHand)
{
    const GlobalBlock white = arkavo::test::MakeGrayPage(400, 400, [](int) { return uint8_t(250); });
    // 10 ink pixels in the centre: below one per mille of the central 300 × 300.
    const GlobalBlock speck = arkavo::test::MakeGrayPage(
        400, 400, [](int i) { return uint8_t(i >= 80200 && i < 80210 ? 0 : 250); });
    const GlobalBlock text = textPage(400, 400, 8, 0.0);
    GlobalBlock unreadable = GlobalBlock::allocate(16);
    ImageProcSettings settings;
    struct Case {
        int pageNo, perFile;
        CutMode mode;
        HGLOBAL page;
        bool expected;
    };
    const Case cases[] = {
        {3, 2, CutMode::FixedCount, text.get(), true},
        {2, 2, CutMode::FixedCount, text.get(), false},
        {2, 2, CutMode::FixedCount, white.get(), false}, // counting ignores blank sheets
        {1, 999999, CutMode::ByHand, white.get(), false},
        {1, 999999, CutMode::BlankPage, white.get(), true},
        {1, 999999, CutMode::BlankPage, speck.get(), true},
        {1, 999999, CutMode::BlankPage, text.get(), false},
        {5, 4, CutMode::BlankPage, text.get(), true},
        // A page Pixolve cannot read is no separator sheet.
        {1, 999999, CutMode::BlankPage, unreadable.get(), false},
        {1, 999999, CutMode::BlankPage, nullptr, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(NeedsNewFile(c.pageNo, c.perFile, c.mode, c.page, settings), c.expected)
            << "page " << c.pageNo << " of " << c.perFile << ", mode " << int(c.mode) << ", case "
            << &c - cases;
}

TEST(TempPagePath, DepthChoosesTheFormatAndLeftoversAreKept)
{
    const arkavo::test::TempDir dir;
    const QString temp = QString::fromStdString(dir.str());
    auto touch = [&](const char *name) { QFile(temp + name).open(QIODevice::WriteOnly); };
    touch("12.tif");
    touch("13.tif");
    touch("13-1.tif");
    touch("14.jpg");
    std::filesystem::create_symlink(dir / "nowhere", dir / "15.tif");
    struct Case {
        int pageNo, bits;
        const char *name;
    };
    const Case cases[] = {
        {1, 1, "1.tif"},      {1, 8, "1.tif"},     {1, 24, "1.jpg"},    {1, 32, "1.jpg"},
        {12, 1, "12-1.tif"},  {12, 24, "12.jpg"},  {13, 8, "13-2.tif"}, {14, 8, "14.tif"},
        {14, 24, "14-1.jpg"}, {15, 1, "15-1.tif"}, {120, 1, "120.tif"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TempPagePath(temp, c.pageNo, c.bits), temp + c.name)
            << c.pageNo << ", " << c.bits << " bits";
}

TEST(SaveTempPage, WritesTheFormatOfItsNameOrReportsFailure)
{
    const arkavo::test::TempDir dir;
    const QString temp = QString::fromStdString(dir.str());
    const GlobalBlock bilevel = textPage(300, 200, 1, 0.0);
    const GlobalBlock colour = arkavo::test::MakePatternPage(320, 200, 24, [](uint8_t *row, int x, int y) {
        row[3 * x] = uint8_t(x), row[3 * x + 1] = uint8_t(y), row[3 * x + 2] = 90;
    });
    const TCodecImage bilevelPage{300, 300, bilevel.get()}, colourPage{200, 200, colour.get()};

    ASSERT_TRUE(SaveTempPage(bilevelPage, temp + "1.tif"));
    ASSERT_TRUE(SaveTempPage(colourPage, temp + "2.jpg"));
    EXPECT_FALSE(SaveTempPage(bilevelPage, temp + "3.png"));
    EXPECT_FALSE(QFile::exists(temp + "3.png"));
    EXPECT_FALSE(SaveTempPage(TCodecImage{300, 300, nullptr}, temp + "4.tif"));

    TCodecImage back{0, 0, nullptr};
    ASSERT_EQ(LoadFile(QFile::encodeName(temp + "1.tif").constData(), &back, 0), 1);
    GlobalBlock backDib(back.Dib);
    EXPECT_EQ(back.XResolution, 300);
    EXPECT_EQ(bytesOf(backDib.get()).mid(40), bytesOf(bilevel.get()).mid(40))
        << "a bilevel page is kept exactly";
    ASSERT_EQ(LoadFile(QFile::encodeName(temp + "2.jpg").constData(), &back, 0), 1);
    backDib = GlobalBlock(back.Dib);
    EXPECT_EQ(sizeOf(backDib.get()), sizeOf(colour.get()));
    EXPECT_EQ(back.XResolution, 200);

    namespace fs = std::filesystem;
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const arkavo::test::AsOrdinaryUser nobody(dir.path());
    EXPECT_FALSE(SaveTempPage(bilevelPage, temp + "locked/1.tif"));
    EXPECT_FALSE(SaveTempPage(colourPage, temp + "locked/1.jpg"));
    EXPECT_FALSE(QFile::exists(temp + "locked/1.tif"));
}
