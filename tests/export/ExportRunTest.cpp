// The export loop on page files made in code: output names, formats and compressions per
// page depth, data taken over unchanged, unreadable pages, failed writes and cancelling.
#include "ExportRun.h"

#include "ExportSupport.h"

#include "AsOrdinaryUser.h"
#include "FileSizeLimit.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <cstring>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace exporttest;

namespace {

class ExportRunTest : public ::testing::Test {
protected:
    arkavo::test::TempDir tmp;
    QString root = QString::fromStdString(tmp.str());
    QString pages = root + "pages/";
    QString out = root + "out";

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(out)); }

    ExportFile file(const QString &name, int sequence, const QList<int> &depths)
    {
        ExportFile f{name, sequence * 10, sequence, {}};
        for (int i = 0; i < depths.size(); ++i) {
            const int bits = depths[i];
            const QString ext = bits == 24 ? ".jpg" : ".tif";
            f.pages << WritePage(
                pages + QString("%1/P%2%3").arg(sequence).arg(i + 1, 7, 10, QChar('0')).arg(ext), bits, i);
        }
        return f;
    }
    ExportOptions options(ExportLayout layout, bool folderMode = true)
    {
        ExportOptions o;
        o.directory = out;
        o.folderMode = folderMode;
        o.layout = layout;
        return o;
    }
};

TEST_F(ExportRunTest, FolderOfTwoFilesAsSinglePageTiffsWithTextIndex)
{
    const QList<ExportFile> files{file("A", 1, {1, 8}), file("B", 2, {24})};
    ExportOptions o = options(ExportLayout::SinglePages);
    o.index = ExportIndex::Text;
    TExportRun run(o);
    QList<int> asked;
    run.ReadValues = [&](const ExportFile &f) {
        asked << f.imageId;
        return f.name == "A" ? QStringList{"001", "甲"} : QStringList{};
    };
    QList<int> progress;
    run.Progress = [&](int done) { progress << done; };
    const ExportReport report = run.Run(files, {"编号", "备注"});

    EXPECT_EQ(FilesBelow(out), (QStringList{"A/0000001.tif", "A/0000002.tif", "B/0000001.tif", "Index.txt"}));
    EXPECT_EQ(report.written, 4);
    EXPECT_EQ(report.failed, 0);
    EXPECT_EQ(asked, (QList<int>{10, 20}));
    EXPECT_EQ(progress, (QList<int>{1, 2, 3}));
    EXPECT_EQ(Bytes(out + "/Index.txt"),
              QString("文件名称,文件序号,编号,备注\r\nA,0000001,001,甲\r\nB,0000002,,\r\n").toUtf8());
    // Default compressions by depth: G4, PackBits, JPEG.
    EXPECT_EQ(TiffCompressions(out + "/A/0000001.tif"), std::vector<int>{4});
    EXPECT_EQ(TiffCompressions(out + "/A/0000002.tif"), std::vector<int>{32773});
    EXPECT_EQ(TiffCompressions(out + "/B/0000001.tif"), std::vector<int>{7});
    // The G4 page is what the catalogue stores, byte for byte.
    EXPECT_EQ(Bytes(out + "/A/0000001.tif"), Bytes(files[0].pages[0]));
}

TEST_F(ExportRunTest, OutputNamesByModeAndLayout)
{
    struct Case {
        bool folderMode;
        ExportLayout layout;
        QStringList files;
    } cases[] = {
        {true, ExportLayout::SinglePages, {"A/0000001.tif", "A/0000002.tif"}},
        {true, ExportLayout::MultiPageTiff, {"A/A.tif"}},
        {true, ExportLayout::MultiPagePdf, {"A/A.pdf"}},
        {false, ExportLayout::SinglePages, {"A_0000001.tif", "A_0000002.tif"}},
        {false, ExportLayout::MultiPageTiff, {"A.tif"}},
        {false, ExportLayout::MultiPagePdf, {"A.pdf"}},
    };
    const ExportFile a = file("A", 1, {1, 1});
    for (const Case &c : cases) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        const ExportReport report = TExportRun(options(c.layout, c.folderMode)).Run({a});
        EXPECT_EQ(FilesBelow(out), c.files) << c.folderMode << int(c.layout);
        EXPECT_EQ(report.written, c.files.size());
    }
}

TEST_F(ExportRunTest, ColourAndBilevelPagesInOneTiffKeepTheirOwnCompressions)
{
    const ExportFile a = file("A", 1, {24, 1, 8});
    const ExportReport report = TExportRun(options(ExportLayout::MultiPageTiff, false)).Run({a});
    ASSERT_EQ(report.written, 1);
    EXPECT_EQ(TiffCompressions(out + "/A.tif"), (std::vector<int>{7, 4, 32773}));
    if (HasTool("tiffinfo")) {
        const QString info = QString::fromUtf8(RunTool("tiffinfo", {out + "/A.tif"}));
        EXPECT_EQ(info.count("Compression Scheme: JPEG"), 1) << info.toStdString();
        EXPECT_EQ(info.count("Compression Scheme: CCITT Group 4"), 1);
        EXPECT_EQ(info.count("Compression Scheme: PackBits"), 1);
    }
    // Each page reads back as it was stored; the G4 page was taken over without decoding.
    for (int page = 1; page < 3; ++page) {
        TCodecImage stored{}, exported{};
        ASSERT_EQ(LoadFile(a.pages[page].toUtf8().constData(), &stored, 0), 1);
        ASSERT_EQ(LoadFile((out + "/A.tif").toUtf8().constData(), &exported, page), 3);
        ASSERT_EQ(GlobalSize(stored.Dib), GlobalSize(exported.Dib));
        EXPECT_EQ(std::memcmp(GlobalLock(stored.Dib), GlobalLock(exported.Dib), GlobalSize(stored.Dib)), 0);
        EXPECT_EQ(exported.XResolution, 300);
        GlobalUnlock(stored.Dib), GlobalUnlock(exported.Dib);
        GlobalFree(stored.Dib), GlobalFree(exported.Dib);
    }
}

TEST_F(ExportRunTest, GreyPagesAsPdfWhileTheOthersFollowTheirFormat)
{
    const ExportFile a = file("A", 1, {1, 8, 24, 8});
    ExportOptions o = options(ExportLayout::SinglePages);
    o.formats = {ExportFormat::Tiff, ExportFormat::Pdf, ExportFormat::Jpg};
    EXPECT_EQ(TExportRun(o).Run({a}).written, 4);
    EXPECT_EQ(FilesBelow(out),
              (QStringList{"A/0000001.tif", "A/0000002.pdf", "A/0000003.jpg", "A/0000004.pdf"}));
    // The JPEG page is copied as it is stored: no second generation of losses.
    EXPECT_EQ(Bytes(out + "/A/0000003.jpg"), Bytes(a.pages[2]));
    if (HasTool("qpdf")) {
        EXPECT_FALSE(RunTool("qpdf", {"--check", out + "/A/0000002.pdf"}).isNull());
        EXPECT_EQ(RunTool("qpdf", {"--show-npages", out + "/A/0000004.pdf"}).trimmed(), "1");
    }
}

TEST_F(ExportRunTest, PdfPerFileEmbedsJpegAndG4DataUnchanged)
{
    const ExportFile a = file("A", 1, {1, 24, 1});
    EXPECT_EQ(TExportRun(options(ExportLayout::MultiPagePdf)).Run({a}).written, 1);
    const QString pdf = out + "/A/A.pdf";
    if (!HasTool("qpdf") || !HasTool("pdfimages") || !HasTool("pdftoppm"))
        GTEST_SKIP() << "qpdf and poppler-utils are needed";
    EXPECT_FALSE(RunTool("qpdf", {"--check", pdf}).isNull());
    EXPECT_EQ(RunTool("qpdf", {"--show-npages", pdf}).trimmed(), "3");
    const QStringList lines =
        QString::fromUtf8(RunTool("pdfimages", {"-list", pdf})).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5); // two heading lines, one line per image
    QStringList encodings;
    for (int i = 2; i < lines.size(); ++i)
        encodings << lines[i].simplified().split(' ').value(8);
    EXPECT_EQ(encodings, (QStringList{"ccitt", "jpeg", "ccitt"}));
    // A viewer renders the page: pdftoppm draws the JPEG page in its colours.
    ASSERT_FALSE(
        RunTool("pdftoppm", {"-f", "2", "-l", "2", "-r", "72", "-png", pdf, root + "page"}).isNull());
    QImage rendered(root + "page-2.png");
    ASSERT_FALSE(rendered.isNull());
    EXPECT_GT(rendered.width(), 30);
    int darkest = 255;
    for (int y = 0; y < rendered.height(); ++y)
        for (int x = 0; x < rendered.width(); ++x)
            darkest = std::min(darkest, qGray(rendered.pixel(x, y)));
    EXPECT_LT(darkest, 150);
}

TEST_F(ExportRunTest, UnreadablePagesArePassedOverInEveryLayout)
{
    ExportFile a = file("A", 1, {1, 1, 8});
    QFile bad(a.pages[1]);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("II*\0garbage", 11);
    bad.close();
    struct Case {
        ExportLayout layout;
        QStringList files;
    } cases[] = {
        {ExportLayout::SinglePages, {"A/0000001.tif", "A/0000003.tif"}},
        {ExportLayout::MultiPageTiff, {"A/A.tif"}},
        {ExportLayout::MultiPagePdf, {"A/A.pdf"}},
    };
    for (const Case &c : cases) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        const ExportReport report = TExportRun(options(c.layout)).Run({a});
        EXPECT_EQ(report.skippedPages, 1) << int(c.layout);
        EXPECT_EQ(report.failed, 0);
        EXPECT_EQ(FilesBelow(out), c.files);
    }
    if (HasTool("qpdf")) {
        EXPECT_EQ(RunTool("qpdf", {"--show-npages", out + "/A/A.pdf"}).trimmed(), "2");
    }
}

TEST_F(ExportRunTest, FailedWritesAreReportedAndLeaveNoPartialFile)
{
    const QList<ExportFile> files{file("A", 1, {1, 8, 24}), file("B", 2, {1})};
    for (ExportLayout layout :
         {ExportLayout::SinglePages, ExportLayout::MultiPageTiff, ExportLayout::MultiPagePdf}) {
        QDir(out).removeRecursively();
        QDir().mkpath(out + "/A");
        QDir().mkpath(out + "/B");
        ExportOptions o = options(layout);
        o.index = ExportIndex::Xml;
        ExportReport report;
        {
            // The export directory and A's directory are read-only, B's is open to all.
            const auto lockDown = [&] {
                const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
                QFile::setPermissions(out + "/A", readOnly);
                QFile::setPermissions(out, readOnly);
                QFile::setPermissions(out + "/B",
                                      readOnly | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther);
            };
            const bool root = ::geteuid() == 0;
            lockDown();
            arkavo::test::AsOrdinaryUser nobody(tmp.path());
            if (!root)
                lockDown();
            report = TExportRun(o).Run(files, {"备注"});
        }
        QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(out + "/A", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // A's outputs and the index cannot be written; B's can.
        const int aOutputs = layout == ExportLayout::SinglePages ? 3 : 1;
        EXPECT_EQ(report.failed, aOutputs + 1) << int(layout);
        EXPECT_TRUE(report.firstFailure.startsWith(out + "/A/")) << report.firstFailure.toStdString();
        EXPECT_EQ(report.written, 1);
        const QStringList written = FilesBelow(out);
        ASSERT_EQ(written.size(), 1) << written.join(' ').toStdString();
        EXPECT_TRUE(written[0].startsWith("B/"));
    }
}

TEST_F(ExportRunTest, FullDiskLeavesTheEarlierOutputInPlace)
{
    const ExportFile a = file("A", 1, {8, 8, 8, 8});
    QFile earlier(out + "/A.tif");
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier export");
    earlier.close();
    ExportReport report;
    {
        arkavo::test::FileSizeLimit limit(60 * 1024); // about one and a half pages
        ExportOptions o = options(ExportLayout::MultiPageTiff, false);
        o.compressions[GreyPages] = 1;
        report = TExportRun(o).Run({a});
    }
    EXPECT_EQ(report.failed, 1);
    EXPECT_EQ(report.firstFailure, out + "/A.tif");
    EXPECT_EQ(FilesBelow(out), QStringList{"A.tif"});
    EXPECT_EQ(Bytes(out + "/A.tif"), "earlier export");
    // Without the limit the new file replaces the earlier one, as a repeated export does.
    EXPECT_EQ(TExportRun(options(ExportLayout::MultiPageTiff, false)).Run({a}).written, 1);
    EXPECT_EQ(TiffCompressions(out + "/A.tif").size(), 4u);
}

TEST_F(ExportRunTest, NamesCannotLeaveTheExportDirectory)
{
    const QStringList names{"..", ".", "../up", "a/b", "引号\"'名", ""};
    QList<ExportFile> files;
    for (int i = 0; i < names.size(); ++i) {
        files << file(QString::number(i), i + 1, {1});
        files.last().name = names[i];
    }
    for (bool folderMode : {true, false}) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        ExportOptions o = options(ExportLayout::SinglePages, folderMode);
        o.index = ExportIndex::Text;
        const ExportReport report = TExportRun(o).Run(files, {});
        EXPECT_EQ(report.failed, 0);
        EXPECT_EQ(report.written, names.size() + 1);
        // Nothing beside the export directory, everything inside it.
        EXPECT_EQ(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  (QStringList{"out", "pages"}));
        EXPECT_EQ(FilesBelow(out).size(), names.size() + 1);
    }
    EXPECT_TRUE(QFile::exists(out + "/_.._0000001.tif"));
    EXPECT_TRUE(QFile::exists(out + "/.._up_0000001.tif"));
    EXPECT_TRUE(QFile::exists(out + "/a_b_0000001.tif"));
    EXPECT_TRUE(QFile::exists(out + "/引号\"'名_0000001.tif"));
}

TEST_F(ExportRunTest, CancelKeepsOnlyCompleteFiles)
{
    const QList<ExportFile> files{file("A", 1, {1, 8}), file("B", 2, {1, 8, 1})};
    for (ExportLayout layout :
         {ExportLayout::SinglePages, ExportLayout::MultiPageTiff, ExportLayout::MultiPagePdf}) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        TExportRun run(options(layout));
        int done = 0;
        run.Progress = [&](int n) { done = n; };
        run.Cancelled = [&] { return done == 3; }; // the first page of B
        const ExportReport report = run.Run(files);
        EXPECT_TRUE(report.cancelled);
        const QStringList expected = layout == ExportLayout::SinglePages
                                         ? QStringList{"A/0000001.tif", "A/0000002.tif", "B/0000001.tif"}
                                     : layout == ExportLayout::MultiPageTiff ? QStringList{"A/A.tif"}
                                                                             : QStringList{"A/A.pdf"};
        EXPECT_EQ(FilesBelow(out), expected) << int(layout);
    }
}

} // namespace
