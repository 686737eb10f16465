// The image commands on page images and page files, without a window: which operation a
// command runs, the deskew and blank-page rules, and the batch over several pages.
#include "ImageBatch.h"
#include "ImageOperation.h"

#include "AsOrdinaryUser.h"
#include "GrayPage.h"
#include "PatternPage.h"
#include "TempDir.h"

#include "codec.h"
#include "pixolve.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

using arkavo::GlobalBlock;

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A grey page of white paper with Dark pixels of ink packed in its middle.
GlobalBlock paperWithInk(int width, int height, int dark)
{
    const int stride = (width + 3) & ~3;
    const int cx = width / 2, cy = height / 2;
    return arkavo::test::MakeGrayPage(width, height, [=](int i) {
        const int x = i % stride, y = i / stride;
        const int k = (y - cy) * 20 + (x - cx + 10); // a 20-pixel-wide block from the centre
        return uint8_t(x >= cx - 10 && x < cx + 10 && y >= cy && k >= 0 && k < dark ? 0 : 255);
    });
}

void save(HGLOBAL dib, const QString &path)
{
    const TCodecImage image{300, 300, dib};
    const QByteArray name = QFile::encodeName(path);
    int ok = 0;
    if (path.endsWith(".tif"))
        ok = SaveTIF(&image, name.constData(), CODEC_TIFF_DEFAULT, 0);
    else if (path.endsWith(".jpg"))
        ok = SaveJPG(&image, name.constData());
    else
        ok = SaveBMP(&image, name.constData());
    ASSERT_EQ(ok, 1) << path.toStdString();
}

std::pair<int, int> sizeOfFile(const QString &path)
{
    TCodecImage image{0, 0, nullptr};
    LoadFile(QFile::encodeName(path).constData(), &image, 0);
    const GlobalBlock dib(image.Dib);
    if (!dib)
        return {0, 0};
    arkavo::GlobalLockGuard lock(dib.get());
    int32_t wh[2];
    std::memcpy(wh, lock.data() + 4, sizeof wh);
    return {wh[0], wh[1]};
}

} // namespace

TEST(ImageOperation, MenuNamesRunTheirOperations)
{
    const std::pair<const char *, ImageOp> cases[] = {
        {"MN_IMAGE_INVERSE", ImageOp::Invert},
        {"MN_IMAGE_ROTATE_L90", ImageOp::RotateLeft90},
        {"MN_IMAGE_ROTATE_R90", ImageOp::RotateRight90},
        {"MN_IMAGE_DESPECLE_LARGE", ImageOp::DespeckleLarge},
        {"MN_IMAGE_SEARCHBLANKPAGE", ImageOp::SearchBlankPage},
        {"MN_IMAGE_CONTRAST_LESS", ImageOp::ContrastLess},
        {"MN_FILE_DELETE", ImageOp::Erase},
        // Commands with handlers of their own, and the pop-up's names, run none.
        {"MN_IMAGE_SETTING", ImageOp::None},
        {"MN_IMAGE_BRIGHTCONTRAST", ImageOp::None},
        {"MN_IMAGE_DESPECLE_CUSTOM", ImageOp::None},
        {"I2", ImageOp::None},
    };
    for (const auto &[name, op] : cases)
        EXPECT_EQ(ImageOpOf(QString::fromLatin1(name)), op) << name;
}

TEST(ImageOperation, DeskewTurnsOnlyBeyondTheThreshold)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<double, std::optional<double>> cases[] = {
        {0.0, std::nullopt}, {0.05, std::nullopt}, {-0.05, std::nullopt}, {0.06, -0.06},
        {-0.06, 0.06},       {2.5, -2.5},          {nan, std::nullopt},
    };
    for (const auto &[skew, turn] : cases)
        EXPECT_EQ(DeskewCorrection(skew), turn) << skew;
}

TEST(ImageOperation, RejectedPagesGiveNoResult)
{
    const GlobalBlock bilevel = arkavo::test::MakePatternPage(64, 48, 1, [](uint8_t *, int, int) {});
    const GlobalBlock colour = arkavo::test::MakePatternPage(64, 48, 24, [](uint8_t *, int, int) {});
    const ImageOpParams params;
    EXPECT_FALSE(RunImageOp(ImageOp::BrightnessMore, bilevel.get(), params));
    EXPECT_FALSE(RunImageOp(ImageOp::TextDarker, colour.get(), params));
    EXPECT_FALSE(RunImageOp(ImageOp::Invert, nullptr, params));
    EXPECT_TRUE(RunImageOp(ImageOp::Invert, bilevel.get(), params));
}

TEST(ImageOperation, EraseFillsTheSelectionWhite)
{
    const GlobalBlock page = arkavo::test::MakeGrayPage(40, 30, [](int) { return uint8_t(0); });
    ImageOpParams params;
    params.selection = {10, 5, 20, 15}; // from the top-left, right and bottom outside
    const GlobalBlock erased = RunImageOp(ImageOp::Erase, page.get(), params);
    ASSERT_TRUE(erased);
    arkavo::GlobalLockGuard lock(erased.get());
    const uint8_t *bits = lock.data() + 40 + 1024;
    auto at = [&](int x, int yFromTop) { return bits[(29 - yFromTop) * 40 + x]; };
    EXPECT_EQ(at(10, 5), 255);
    EXPECT_EQ(at(19, 14), 255);
    EXPECT_EQ(at(9, 5), 0);
    EXPECT_EQ(at(20, 5), 0);
    EXPECT_EQ(at(10, 15), 0);
}

TEST(ImageOperation, BlankPagesAreThoseWithLessInkThanTheShareAllowed)
{
    // 1000 × 1000 pixels: one per mille of the central area is a few hundred pixels.
    ImageProcSettings strict; // largest share 1 per mille
    ImageProcSettings lenient;
    lenient.SetValue(ImageProcSettings::BlankPageMaxBlack, 20);
    const GlobalBlock white = paperWithInk(1000, 1000, 0);
    const GlobalBlock speck = paperWithInk(1000, 1000, 20);
    const GlobalBlock text = paperWithInk(1000, 1000, 4000);
    EXPECT_TRUE(IsBlankForSearch(white.get(), strict));
    EXPECT_TRUE(IsBlankForSearch(speck.get(), strict));
    EXPECT_FALSE(IsBlankForSearch(text.get(), strict));
    EXPECT_TRUE(IsBlankForSearch(text.get(), lenient));
    // A block Pixolve cannot read is no blank page.
    EXPECT_FALSE(IsBlankForSearch(nullptr, strict));
}

class Batch : public ::testing::Test {
protected:
    // The same pages of every depth and format in folders "serial" and "workers".
    void SetUp() override
    {
        for (const char *folder : {"serial", "workers"}) {
            const QString dir = QString::fromStdString((root / folder).string()) + '/';
            QDir().mkpath(dir + "thumbs");
            int n = 0;
            for (int bits : {1, 8, 24})
                for (const char *ext : {".tif", ".bmp", ".jpg"}) {
                    const GlobalBlock page =
                        arkavo::test::MakePatternPage(320, 200, bits, [bits](uint8_t *row, int x, int y) {
                            if (bits == 1)
                                row[x / 8] |= uint8_t(((x + y) / 16) % 2 ? 0x80 >> (x % 8) : 0);
                            else if (bits == 8)
                                row[x] = uint8_t(x + 3 * y);
                            else
                                row[3 * x] = uint8_t(x), row[3 * x + 1] = uint8_t(y), row[3 * x + 2] = 90;
                        });
                    const QString path = dir + QString("P%1%2").arg(++n, 7, 10, QChar('0')).arg(ext);
                    save(page.get(), path);
                    pages[folder] << ImageBatchPage{path, dir + "thumbs/" +
                                                              QFileInfo(path).completeBaseName() + ".bmp"};
                }
            pages[folder] << ImageBatchPage{dir + "missing.tif", dir + "thumbs/missing.bmp"};
        }
    }

    QList<PageOutcome> run(const char *folder, ImageOp op, int threads)
    {
        ImageBatch batch(op, ImageOpParams{}, pages[folder], threads);
        QList<PageOutcome> outcomes;
        for (int k = 0; k < batch.Count(); ++k)
            outcomes << batch.WaitFor(k);
        return outcomes;
    }

    arkavo::test::TempDir root;
    std::map<std::string, QList<ImageBatchPage>> pages;
};

TEST_F(Batch, WorkersWriteTheSameBytesAsTheSerialOrder)
{
    for (ImageOp op : {ImageOp::RotateRight90, ImageOp::Invert}) {
        const QList<PageOutcome> serial = run("serial", op, 0);
        const QList<PageOutcome> workers = run("workers", op, 2);
        EXPECT_EQ(serial, workers);
        ASSERT_EQ(serial.size(), 10);
        EXPECT_EQ(serial.back(), PageOutcome::NotLoaded);
        for (int k = 0; k < 9; ++k) {
            EXPECT_EQ(serial[k], PageOutcome::Written) << k;
            const QByteArray page = bytesOf(pages["serial"][k].pagePath);
            EXPECT_FALSE(page.isEmpty());
            EXPECT_EQ(page, bytesOf(pages["workers"][k].pagePath)) << k;
            EXPECT_EQ(bytesOf(pages["serial"][k].thumbnailPath), bytesOf(pages["workers"][k].thumbnailPath))
                << k;
        }
    }
    // A quarter turn and an inversion later every page stands upright on its short side.
    for (const ImageBatchPage &p : pages["workers"].mid(0, 9))
        EXPECT_EQ(sizeOfFile(p.pagePath), std::make_pair(200, 320)) << p.pagePath.toStdString();
}

TEST_F(Batch, APageThatCannotBeWrittenStaysAsItWas)
{
    const QList<ImageBatchPage> &list = pages["serial"];
    QList<QByteArray> before;
    for (const ImageBatchPage &p : list)
        before << bytesOf(p.pagePath);
    const std::filesystem::path folder = root / "serial";
    QList<PageOutcome> outcomes;
    {
        // The folders are the administrator's: an ordinary user may read but not write there.
        arkavo::test::AsOrdinaryUser user(root.path());
        outcomes = run("serial", ImageOp::RotateLeft90, 2);
    }
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(outcomes[k], PageOutcome::SaveFailed) << k;
        EXPECT_EQ(bytesOf(list[k].pagePath), before[k]) << k;
    }
    // Nothing half-written is left beside the pages.
    EXPECT_EQ(QDir(QString::fromStdString(folder.string())).entryList(QDir::Files).size(), 9);
}
