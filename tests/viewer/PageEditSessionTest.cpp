// The viewer's page-edit rules without a screen: which image is current, which one a step
// back brings back, that every block is freed exactly once, and that a change is written
// only to the file the page was loaded from.
#include "PageEditSession.h"

#include "BlockLedger.h"
#include "GrayPage.h"
#include "ImageFiles.h"
#include "TempDir.h"

#include "codec.h"

#include <QFile>
#include <QString>

#include <gtest/gtest.h>

namespace {

HGLOBAL grey(uint8_t value)
{
    return arkavo::test::MakeGrayPage(16, 8, [value](int) { return value; }).release();
}

int firstPixel(HGLOBAL dib)
{
    arkavo::GlobalLockGuard lock(dib);
    return lock ? lock.data()[40 + 1024] : -1;
}

int filePixel(const QString &path)
{
    TCodecImage image{0, 0, nullptr};
    if (LoadFile(QFile::encodeName(path).constData(), &image, 0) < 1 || !image.Dib)
        return -1;
    const int v = firstPixel(image.Dib);
    GlobalFree(image.Dib);
    return v;
}

TEST(PageEditSession, EveryImageIsFreedOnceAcrossChangesAndSteps)
{
    BlockLedger &ledger = BlockLedger::instance();
    const size_t baseline = ledger.liveCount();
    {
        PageEditSession edit;
        HGLOBAL loaded = grey(10);
        edit.Open("/nowhere/P0000001.tif", {}, {200, 200, loaded});
        EXPECT_EQ(edit.Current(), loaded);
        EXPECT_EQ(edit.UndoImage(), loaded); // right after loading: the loaded image itself
        EXPECT_FALSE(edit.Modified());
        EXPECT_FALSE(edit.StepBack());

        HGLOBAL a = grey(20), b = grey(30);
        edit.Change(a);
        EXPECT_EQ(edit.Current(), a);
        EXPECT_EQ(edit.UndoImage(), loaded);
        EXPECT_TRUE(edit.Modified());
        edit.Change(b); // the loaded image is no longer anything's
        EXPECT_FALSE(ledger.alive(loaded));
        EXPECT_EQ(edit.UndoImage(), a);

        ASSERT_TRUE(edit.StepBack());
        EXPECT_EQ(edit.Current(), a);
        EXPECT_EQ(edit.UndoImage(), b);
        EXPECT_FALSE(edit.StepBack()); // one step only
        EXPECT_TRUE(edit.Modified());  // what was brought back is still a change

        // Blocks the session holds come back without being taken twice.
        edit.Change(b);
        EXPECT_EQ(edit.Current(), b);
        EXPECT_EQ(edit.UndoImage(), a);
        edit.Change(b);
        EXPECT_EQ(edit.UndoImage(), b);
        EXPECT_FALSE(ledger.alive(a));
        EXPECT_FALSE(edit.CanUndo());
        edit.Change(nullptr);
        EXPECT_EQ(edit.Current(), b);
    }
    EXPECT_EQ(ledger.liveCount(), baseline);
    EXPECT_EQ(ledger.badFrees(), 0);

    PageEditSession closed;
    closed.Change(grey(40)); // no page to take it: freed
    EXPECT_EQ(ledger.liveCount(), baseline);
}

// What happens to the page's file between loading it and writing the change back.
struct FileCase {
    const char *name;
    void (*meanwhile)(PageEditSession &edit, const QString &page, const QString &other);
    PageEditSession::WriteResult result;
    int pixelAfter; // first pixel of the page file afterwards; -1 none
};

void PrintTo(const FileCase &c, std::ostream *os)
{
    *os << c.name;
}

class PageEditWriteBack : public ::testing::TestWithParam<FileCase> {
protected:
    QString write(const char *name, uint8_t value)
    {
        const QString path = QString::fromStdString(dir.str()) + QString::fromLatin1(name);
        arkavo::GlobalBlock page(grey(value));
        EXPECT_EQ(SaveImageFile({200, 200, page.get()}, path), 1);
        return path;
    }
    arkavo::test::TempDir dir;
};

TEST_P(PageEditWriteBack, AChangeGoesOnlyToTheFileItWasLoadedFrom)
{
    const QString page = write("P0000001.tif", 10), other = write("P0000002.tif", 77);
    PageEditSession edit;
    TCodecImage loaded{0, 0, nullptr};
    const FileIdentity identity = FileIdentity::Of(page);
    ASSERT_GT(LoadFile(QFile::encodeName(page).constData(), &loaded, 0), 0);
    edit.Open(page, identity, loaded);
    edit.Change(grey(245));
    GetParam().meanwhile(edit, page, other);

    EXPECT_EQ(edit.WriteBack(), GetParam().result);
    EXPECT_EQ(filePixel(page), GetParam().pixelAfter);
    if (GetParam().result == PageEditSession::WriteResult::Written) {
        EXPECT_FALSE(edit.Modified());
        EXPECT_FALSE(edit.CanUndo());
        // Written once, the file is the page's again: a later change goes there too.
        edit.Change(grey(128));
        EXPECT_EQ(edit.WriteBack(), PageEditSession::WriteResult::Written);
        EXPECT_EQ(filePixel(page), 128);
    }
}

using WR = PageEditSession::WriteResult;
INSTANTIATE_TEST_SUITE_P(
    Cases, PageEditWriteBack,
    ::testing::Values(
        FileCase{"Unchanged", [](PageEditSession &, const QString &, const QString &) {}, WR::Written, 245},
        FileCase{"AnotherPageRenamedOverIt",
                 [](PageEditSession &, const QString &page, const QString &other) {
                     QFile::remove(page);
                     QFile::rename(other, page);
                 },
                 WR::FileChanged, 77},
        FileCase{"RewrittenInPlace",
                 [](PageEditSession &, const QString &page, const QString &other) {
                     QFile source(other), target(page);
                     if (source.open(QIODevice::ReadOnly) &&
                         target.open(QIODevice::WriteOnly | QIODevice::Truncate))
                         target.write(source.readAll());
                 },
                 WR::FileChanged, 77},
        FileCase{"Deleted",
                 [](PageEditSession &, const QString &page, const QString &) { QFile::remove(page); },
                 WR::FileChanged, -1},
        FileCase{"Forgotten", [](PageEditSession &edit, const QString &, const QString &) { edit.Forget(); },
                 WR::FileChanged, 10}),
    [](const ::testing::TestParamInfo<FileCase> &info) { return std::string(info.param.name); });

TEST(PageEditSession, AFailedSaveKeepsTheChangeAndTheFile)
{
    arkavo::test::TempDir dir;
    // A page file under a name no writer takes: the save fails and says so.
    const QString page = QString::fromStdString(dir.str()) + "P0000001.png";
    {
        QFile f(page);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old page");
    }
    PageEditSession edit;
    edit.Open(page, FileIdentity::Of(page), {200, 200, grey(10)});
    edit.Change(grey(245));
    EXPECT_EQ(edit.WriteBack(), PageEditSession::WriteResult::SaveFailed);
    EXPECT_TRUE(edit.Modified());
    QFile f(page);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "old page");
}

} // namespace
