#include "PageImport.h"
#include "PatternPage.h"
#include "StoreFixture.h"

#include "codec.h"
#include <arkavo/GlobalBlock.h>

#include <QCoreApplication>
#include <QProgressBar>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

using namespace store_test;
using arkavo::GlobalBlock;

namespace {

// A page with a diagonal pattern: 1-bit, 8-bit grey or 24-bit colour.
GlobalBlock makeDib(int width, int height, int bits)
{
    return arkavo::test::MakePatternPage(width, height, bits, [bits](uint8_t *row, int x, int y) {
        const bool dark = (x + y) % 16 < 4;
        if (bits == 1 && !dark)
            row[x / 8] |= uint8_t(0x80 >> (x % 8));
        else if (bits == 8)
            row[x] = dark ? 20 : 230;
        else if (bits == 24)
            row[3 * x] = uint8_t(x), row[3 * x + 1] = uint8_t(y), row[3 * x + 2] = dark ? 0 : 200;
    });
}

void saveTiff(const QString &name, const QList<int> &bitsPerPage, int width = 300, int height = 400)
{
    QDir().mkpath(QFileInfo(name).path());
    for (int i = 0; i < bitsPerPage.size(); ++i) {
        GlobalBlock dib = makeDib(width, height, bitsPerPage[i]);
        const TCodecImage image{300, 300, dib.get()};
        ASSERT_EQ(SaveTIF(&image, QFile::encodeName(name).constData(), CODEC_TIFF_DEFAULT, i > 0 ? 1 : 0), 1);
    }
}

void saveJpeg(const QString &name, int width = 300, int height = 400)
{
    QDir().mkpath(QFileInfo(name).path());
    GlobalBlock dib = makeDib(width, height, 24);
    const TCodecImage image{300, 300, dib.get()};
    ASSERT_EQ(SaveJPG(&image, QFile::encodeName(name).constData()), 1);
}

// Page count, width and height of an image file; 0 pages when it cannot be read.
struct Info {
    int pages = 0, width = 0, height = 0;
    bool operator==(const Info &) const = default;
};
Info infoOf(const QString &name)
{
    TCodecImage image{};
    Info info;
    info.pages = LoadFile(QFile::encodeName(name).constData(), &image, 0);
    if (image.Dib) {
        GlobalBlock dib(image.Dib);
        arkavo::GlobalLockGuard lock(dib.get());
        std::memcpy(&info.width, lock.data() + 4, 4);
        std::memcpy(&info.height, lock.data() + 8, 4);
    }
    return info;
}

void shiftTime(const QString &name, long long nanoseconds)
{
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(name).constData(), &st), 0);
    long long total = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec + nanoseconds;
    timespec times[2] = {{0, UTIME_OMIT}, {time_t(total / 1000000000LL), long(total % 1000000000LL)}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(name).constData(), times, 0), 0);
}

class Thumbs : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/unknown-file.bmp",
                                AppPath + "unknown-file.bmp"));
        addType(1, "Type", 1);
        addFolder(1, 1, "Folder", 1);
        addFile(1, 1, 1, "A", 1);
        addFile(1, 1, 2, "B", 2);
        store->LoadTree("1");
        folder = rootNode()->child(0)->child(0);
    }
    QString page(const QString &file, int n, const QString &ext) const
    {
        return imagesDir("Type/Folder/" + file + "/") + QString("P%1").arg(n, 7, 10, QChar('0')) + ext;
    }
    QString asked() const
    {
        QStringList texts;
        for (const MessageRecord &m : Messages::Shown())
            texts << m.text + "|" + m.caption;
        return texts.join('\n');
    }
    QTreeWidgetItem *folder = nullptr;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Backends, Thumbs, arkavo::test::CatalogBackends(), arkavo::test::CatalogBackendName);

TEST_P(Thumbs, ThePlaceholderPictureIsABoxSizedBitmap)
{
    EXPECT_EQ(infoOf(AppPath + "unknown-file.bmp"), (Info{1, 135, 160}));
}

TEST_P(Thumbs, AThumbnailFitsTheBoxAndCarriesThePagesTimeForEveryDepth)
{
    for (int bits : {1, 8, 24}) {
        const QString p = page("A", bits, ".tif");
        saveTiff(p, {bits}, 600, 400);
        const QString t = store->ThumbnailPathOf(p);
        ASSERT_TRUE(MakeThumbnail(p, t, nullptr, 135, 160)) << bits;
        EXPECT_EQ(infoOf(t), (Info{1, 135, 90})) << bits;
        EXPECT_TRUE(ThumbnailIsCurrent(p, t)) << bits;
    }
    // A bitmap handed in is used instead of the file and stays with the caller.
    const QString p = page("A", 1, ".tif");
    GlobalBlock dib = makeDib(100, 400, 8);
    ASSERT_TRUE(MakeThumbnail(p, store->ThumbnailPathOf(p), dib.get(), 135, 160));
    EXPECT_EQ(infoOf(store->ThumbnailPathOf(p)), (Info{1, 40, 160}));
    EXPECT_GT(dib.size(), 0u);
}

TEST_P(Thumbs, AThumbnailIsCurrentOnlyWithExactlyThePagesTime)
{
    const QString p = page("A", 1, ".jpg");
    saveJpeg(p);
    const QString t = store->ThumbnailPathOf(p);
    EXPECT_FALSE(ThumbnailIsCurrent(p, t));
    for (long long shift : {1LL, -1LL, 999999999LL, 1000000000LL, -3600LL * 1000000000LL}) {
        ASSERT_TRUE(MakeThumbnail(p, t, nullptr, 135, 160));
        ASSERT_TRUE(ThumbnailIsCurrent(p, t));
        shiftTime(t, shift);
        EXPECT_FALSE(ThumbnailIsCurrent(p, t)) << shift;
    }
}

TEST_P(Thumbs, AnUndecodablePageGetsThePlaceholderWithThePagesTime)
{
    const QString p = page("A", 1, ".tif");
    writeFile(p, "not an image at all");
    const QString t = store->ThumbnailPathOf(p);
    ASSERT_TRUE(MakeThumbnail(p, t, nullptr, 135, 160));
    EXPECT_EQ(readFile(t), readFile(AppPath + "unknown-file.bmp"));
    EXPECT_TRUE(ThumbnailIsCurrent(p, t));

    // Without the placeholder there is nothing to show: failure.
    QFile::remove(AppPath + "unknown-file.bmp");
    QFile::remove(t);
    EXPECT_FALSE(MakeThumbnail(p, t, nullptr, 135, 160));
}

// Installed for every user, the program writes into the user's folder and reads its
// placeholder from beside the program file.
TEST_P(Thumbs, ThePlaceholderComesFromTheResourceFolderNotTheProgramFolder)
{
    arkavo::test::TempDir resources;
    ResourcePath = QString::fromStdString(resources.str());
    ASSERT_TRUE(QFile::rename(AppPath + "unknown-file.bmp", ResourcePath + "unknown-file.bmp"));
    const QString p = page("A", 1, ".tif");
    writeFile(p, "not an image at all");
    const QString t = store->ThumbnailPathOf(p);
    EXPECT_TRUE(MakeThumbnail(p, t, nullptr, 135, 160));
    EXPECT_EQ(readFile(t), readFile(ResourcePath + "unknown-file.bmp"));
    ResourcePath = AppPath;
}

TEST_P(Thumbs, ReplacingAJpegPageWithATiffRemakesItsThumbnail)
{
    saveJpeg(page("A", 1, ".jpg"));
    saveJpeg(page("A", 2, ".jpg"), 400, 300);
    tree->setCurrentItem(folder->child(0));
    store->ShowNode(folder->child(0), nullptr);
    const QString t = store->ThumbnailPathOf(page("A", 2, ".jpg"));
    ASSERT_TRUE(MakeThumbnail(page("A", 2, ".jpg"), t, nullptr, 135, 160));
    const QByteArray before = readFile(t);

    saveTiff(RootPath + "scan.tif", {1}, 300, 400);
    store->ReplacePage(1, RootPath + "scan.tif");
    const QString replaced = store->GetPagePath(1);
    EXPECT_EQ(replaced, page("A", 2, ".tif"));
    EXPECT_FALSE(QFileInfo::exists(page("A", 2, ".jpg")));
    EXPECT_EQ(store->ThumbnailPathOf(replaced), t);
    EXPECT_FALSE(ThumbnailIsCurrent(replaced, t));
    ASSERT_TRUE(MakeThumbnail(replaced, t, nullptr, 135, 160));
    EXPECT_EQ(infoOf(t), (Info{1, 120, 160}));
    EXPECT_NE(readFile(t), before);
}

TEST_P(Thumbs, AThreePageTiffImportedIntoAFourPageFileBecomesPagesFiveToSeven)
{
    for (int n = 1; n <= 4; ++n)
        saveJpeg(page("A", n, ".jpg"));
    saveJpeg(page("B", 1, ".jpg"));
    saveTiff(RootPath + "in/three.tif", {1, 8, 24});
    tree->setCurrentItem(folder);
    store->ShowNode(folder, nullptr);
    list->item(0)->setSelected(true);

    QProgressBar bar;
    const int at =
        ImportPages(*store, {RootPath + "in/three.tif"}, "Type", 1, "A", "Folder", {nullptr, &bar, nullptr});
    EXPECT_EQ(at, 4);
    EXPECT_EQ(captions(), (QStringList{"A-1", "A-2", "A-3", "A-4", "A-5", "A-6", "A-7", "B-1"}));
    QStringList selected;
    for (QListWidgetItem *item : list->selectedItems())
        selected << item->text();
    selected.sort();
    EXPECT_EQ(selected, (QStringList{"A-5", "A-6", "A-7"}));
    for (int n = 5; n <= 7; ++n) {
        EXPECT_EQ(infoOf(page("A", n, ".tif")), (Info{1, 300, 400})) << n;
        EXPECT_TRUE(ThumbnailIsCurrent(page("A", n, ".tif"), store->ThumbnailPathOf(page("A", n, ".tif"))))
            << n;
        EXPECT_EQ(store->GetPagePath(n - 1), page("A", n, ".tif"));
    }
    EXPECT_TRUE(Messages::Shown().isEmpty());
    EXPECT_TRUE(bar.isHidden());
}

TEST_P(Thumbs, ImportIntoAFileThatIsNotShownChangesNoListAndFillsGaps)
{
    saveJpeg(page("B", 1, ".jpg"));
    saveJpeg(page("B", 3, ".jpg"));
    saveJpeg(RootPath + "in/one.jpg");
    EXPECT_EQ(ImportPages(*store, {RootPath + "in/one.jpg"}, "Type", 2, "B", "Folder"), -1);
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(infoOf(page("B", 3, ".jpg")).pages, 1);
    EXPECT_EQ(infoOf(page("B", 2, ".jpg")).pages, 1); // the old page 3 after the gap was closed
}

TEST_P(Thumbs, ImportSkipsOtherFormatsSilentlyAndAsksAboutUnreadableFiles)
{
    writeFile(RootPath + "in/x.gif", "GIF89a");
    writeFile(RootPath + "in/bad.tif", "garbage");
    saveJpeg(RootPath + "in/good.jpg");

    EXPECT_EQ(ImportPages(*store, {RootPath + "in/x.gif"}, "Type", 1, "A", "Folder"), -1);
    EXPECT_TRUE(Messages::Shown().isEmpty());
    EXPECT_EQ(dirContent(imagesDir("Type/Folder/A")), QStringList{});

    const struct {
        MsgAnswer answer;
        int pages;
    } cases[] = {{MsgAnswer::No, 0}, {MsgAnswer::Yes, 1}};
    for (const auto &c : cases) {
        Messages::ClearShown();
        Messages::SetResponder([&](const MessageRecord &) { return c.answer; });
        QDir(imagesDir("Type/Folder/A")).removeRecursively();
        ImportPages(*store, {RootPath + "in/bad.tif", RootPath + "in/good.jpg"}, "Type", 1, "A", "Folder");
        EXPECT_EQ(asked(), "无法识别的图像格式: " + RootPath + "in/bad.tif,是否继续?|询问");
        ASSERT_EQ(Messages::Shown().size(), 1);
        EXPECT_EQ(Messages::Shown()[0].buttons, MsgButtons::YesNo);
        EXPECT_EQ(dirContent(imagesDir("Type/Folder/A")).size(), c.pages);
    }
}
