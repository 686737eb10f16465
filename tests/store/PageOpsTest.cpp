#include "StoreFixture.h"

#include "PageImport.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <utility>

using namespace store_test;

namespace {

// A folder "Folder" of type "Type" with two files whose names need careful quoting.
class Pages : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        addType(1, "Type", 1);
        addFolder(1, 1, "Folder", 1);
        addFile(1, 1, 1, kA, 1);
        addFile(1, 1, 2, kB, 2);
        store->LoadTree("1");
        folder = rootNode()->child(0)->child(0);
    }
    QString fileDir(const QString &name) const { return imagesDir("Type/Folder/" + name + "/"); }
    // Writes pages P0000001.. of a file whose contents are the given texts.
    void pages(const QString &file, const QStringList &contents, const QString &ext = ".tif")
    {
        for (int i = 0; i < contents.size(); ++i)
            writeFile(fileDir(file) + QString("P%1").arg(i + 1, 7, 10, QChar('0')) + ext,
                      contents[i].toUtf8());
    }
    // Contents of the file's pages in page order.
    QStringList contents(const QString &file) const
    {
        QStringList out;
        for (const QString &entry : dirContent(fileDir(file)))
            out << entry.section('=', 1);
        return out;
    }
    QStringList names(const QString &file) const
    {
        QStringList out;
        for (const QString &entry : dirContent(fileDir(file)))
            out << entry.section('=', 0, 0);
        return out;
    }
    QString page(const QString &file, int n, const QString &ext = ".tif") const
    {
        return fileDir(file) + QString("P%1").arg(n, 7, 10, QChar('0')) + ext;
    }
    void showFolder()
    {
        tree->setCurrentItem(folder);
        store->ShowNode(folder, nullptr);
    }

    const QString kA = "O'Brien, 合同 A";
    const QString kB = "B 2";
    QTreeWidgetItem *folder = nullptr;
};

// Modification times to the nanosecond.
std::pair<long, long> modified(const QString &file)
{
    struct stat st {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0)
        return {-1, -1};
    return {st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

void setModified(const QString &file, std::pair<long, long> time)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {time.first, time.second}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Backends, Pages, arkavo::test::CatalogBackends(), arkavo::test::CatalogBackendName);

TEST_P(Pages, InsertingTwoPagesBeforePageOneOfThree)
{
    pages(kA, {"a1", "a2", "a3"});
    writeFile(RootPath + "in/new1.TIF", "n1");
    writeFile(RootPath + "in/new2.jpg", "n2");
    writeFile(RootPath + "in/skip.gif", "g");
    QStringList sources{RootPath + "in/new1.TIF", RootPath + "in/skip.gif", RootPath + "in/new2.jpg"};
    store->AddPages(&sources, "Type", true, 1, kA, "Folder");
    EXPECT_EQ(sources, (QStringList{RootPath + "in/new1.TIF", RootPath + "in/new2.jpg"}));
    EXPECT_EQ(names(kA),
              (QStringList{"P0000001.tif", "P0000002.jpg", "P0000003.tif", "P0000004.tif", "P0000005.tif"}));
    EXPECT_EQ(contents(kA), (QStringList{"n1", "n2", "a1", "a2", "a3"}));
}

TEST_P(Pages, AppendingToAnEmptyFileStartsAtPageOneAndSkipsTakenNames)
{
    writeFile(RootPath + "in/x.tif", "x");
    writeFile(RootPath + "in/y.bmp", "y");
    QStringList sources{RootPath + "in/x.tif", RootPath + "in/y.bmp"};
    store->AddPages(&sources, "Type", false, 0, kB, "Folder");
    EXPECT_EQ(names(kB), (QStringList{"PZ00001.tif", "PZ00002.bmp"}));
    store->AddPages(&sources, "Type", true, 0, kB, "Folder");
    EXPECT_EQ(names(kB), (QStringList{"P0000001.tif", "P0000002.bmp", "P0000003.tif", "P0000004.bmp"}));
    EXPECT_EQ(contents(kB), (QStringList{"x", "y", "x", "y"}));
}

TEST_P(Pages, DeletingPagesTwoAndFourOfFiveRenumbersAndUpdatesTheList)
{
    pages(kA, {"a1", "a2", "a3", "a4", "a5"});
    pages(kB, {"b1"});
    showFolder();
    ASSERT_EQ(list->count(), 6);
    list->item(1)->setSelected(true);
    list->item(3)->setSelected(true);
    store->DeletePages(nullptr, true);
    EXPECT_EQ(contents(kA), (QStringList{"a1", "a3", "a5"}));
    EXPECT_EQ(names(kA), (QStringList{"P0000001.tif", "P0000002.tif", "P0000003.tif"}));
    EXPECT_EQ(captions(), (QStringList{kA + "-1", kA + "-2", kA + "-3", kB + "-1"}));
    EXPECT_EQ(contents(kB), QStringList{"b1"});
}

TEST_P(Pages, MovingPagesBetweenFilesKeepsOrderOnBothSides)
{
    pages(kA, {"a1", "a2", "a3"});
    pages(kB, {"b1", "b2"}, ".jpg");
    showFolder();
    QStringList sources{page(kA, 1), page(kA, 3)};
    store->MovePages(&sources, "Type", true, 2, kB, "Folder");
    EXPECT_EQ(contents(kA), QStringList{"a2"});
    EXPECT_EQ(contents(kB), (QStringList{"b1", "a1", "a3", "b2"}));
    EXPECT_EQ(names(kB), (QStringList{"P0000001.jpg", "P0000002.tif", "P0000003.tif", "P0000004.jpg"}));
    EXPECT_EQ(captions(), (QStringList{kA + "-1", kB + "-1", kB + "-2", kB + "-3", kB + "-4"}));
}

TEST_P(Pages, DragInsideTheListMovesPagesInFrontOfTheTargetAndSelectsThem)
{
    pages(kA, {"a1", "a2", "a3", "a4", "a5"});
    showFolder();
    list->item(3)->setSelected(true);
    list->item(4)->setSelected(true);
    store->MovePagesBefore(list->item(1), nullptr);
    EXPECT_EQ(contents(kA), (QStringList{"a1", "a4", "a5", "a2", "a3"}));
    QList<int> selected;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected())
            selected << i;
    EXPECT_EQ(selected, (QList<int>{1, 2}));
    EXPECT_EQ(list->ItemPosition(1), QPoint(40 + 175, 0));

    // Moving a page behind others of its own file.
    list->clearSelection();
    list->item(0)->setSelected(true);
    QStringList none;
    store->MovePagesBefore(list->item(4), nullptr);
    EXPECT_EQ(contents(kA), (QStringList{"a4", "a5", "a2", "a1", "a3"}));
}

TEST_P(Pages, MovingToAFileNodeSelectsTheAppendedPages)
{
    pages(kA, {"a1", "a2", "a3"});
    pages(kB, {"b1"});
    showFolder();
    list->item(0)->setSelected(true);
    list->item(1)->setSelected(true);
    store->MovePagesToFile(folder->child(1), nullptr, 0);
    EXPECT_EQ(contents(kB), (QStringList{"b1", "a1", "a2"}));
    EXPECT_EQ(captions(), (QStringList{kA + "-1", kB + "-1", kB + "-2", kB + "-3"}));
    QStringList selected;
    for (QListWidgetItem *item : list->selectedItems())
        selected << item->text();
    selected.sort();
    EXPECT_EQ(selected, (QStringList{kB + "-2", kB + "-3"}));

    // Folder and root targets are not files: nothing moves.
    QStringList sources{page(kA, 1)};
    store->MovePagesToFile(rootNode(), &sources, 0);
    EXPECT_EQ(contents(kA), QStringList{"a3"});
}

TEST_P(Pages, ReplacingAJpegPageWithATiffChangesTheExtensionAndKeepsTheNumber)
{
    pages(kA, {"a1", "a2"}, ".jpg");
    showFolder();
    TPageListView::SetImageIndex(list->item(1), 3);
    writeFile(RootPath + "scan.tif", "scan");
    store->ReplacePage(1, RootPath + "scan.tif");
    EXPECT_EQ(dirContent(fileDir(kA)), (QStringList{"P0000001.jpg=a1", "P0000002.tif=scan"}));
    EXPECT_EQ(list->SubItem(1, 3), ".tif");
    EXPECT_EQ(TPageListView::ImageIndex(list->item(1)), -1);

    writeFile(RootPath + "scan2.tif", "scan2");
    store->ReplacePage(1, RootPath + "scan2.tif");
    EXPECT_EQ(dirContent(fileDir(kA)), (QStringList{"P0000001.jpg=a1", "P0000002.tif=scan2"}));

    // A missing source or one that is no page format leaves the page as it is.
    writeFile(RootPath + "x.gif", "gif");
    store->ReplacePage(1, RootPath + "x.gif");
    store->ReplacePage(1, RootPath + "missing.jpg");
    EXPECT_EQ(dirContent(fileDir(kA)), (QStringList{"P0000001.jpg=a1", "P0000002.tif=scan2"}));
}

TEST_P(Pages, ThumbnailsFollowTheirPages)
{
    pages(kA, {"a1", "a2", "a3"});
    const QString thumbs = store->ThumbnailPath + "Type/Folder/" + kA + "/";
    writeFile(thumbs + "P0000001.bmp", "t1");
    writeFile(thumbs + "P0000003.bmp", "t3");
    QStringList paths{page(kA, 2)};
    store->DeletePages(&paths, true);
    EXPECT_EQ(dirContent(thumbs), (QStringList{"P0000001.bmp=t1", "P0000002.bmp=t3"}));

    QStringList sources{page(kA, 2)};
    store->AddPages(&sources, "Type", true, 1, kB, "Folder");
    EXPECT_EQ(dirContent(store->ThumbnailPath + "Type/Folder/" + kB), QStringList{"P0000001.bmp=t3"});
}

// A thumbnail is current while it carries its page's time, so copies keep both times.
TEST_P(Pages, CopiedAndMovedPagesKeepTheirTimesAndThumbnailsStayCurrent)
{
    pages(kA, {"a1", "a2"});
    const QString thumbsA = store->ThumbnailPath + "Type/Folder/" + kA + "/";
    const QString thumbsB = store->ThumbnailPath + "Type/Folder/" + kB + "/";
    const std::pair<long, long> times[] = {{1'600'000'000, 123'456'789}, {1'500'000'000, 987'654'321}};
    for (int n = 1; n <= 2; ++n) {
        const QString thumb = thumbsA + QString("P%1.bmp").arg(n, 7, 10, QChar('0'));
        writeFile(thumb, "t" + QByteArray::number(n));
        setModified(page(kA, n), times[n - 1]);
        setModified(thumb, times[n - 1]);
    }

    QStringList copied{page(kA, 1)};
    store->AddPages(&copied, "Type", true, 0, kB, "Folder");
    QStringList moved{page(kA, 2)};
    store->MovePages(&moved, "Type", true, 0, kB, "Folder");

    ASSERT_EQ(contents(kB), (QStringList{"a1", "a2"}));
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE(n);
        const QString thumb = thumbsB + QString("P%1.bmp").arg(n, 7, 10, QChar('0'));
        EXPECT_EQ(modified(page(kB, n)), times[n - 1]);
        EXPECT_EQ(modified(thumb), times[n - 1]);
        EXPECT_TRUE(ThumbnailIsCurrent(page(kB, n), thumb));
    }
}

// Scratch files from before this process started are a crash's leftovers; newer ones may
// belong to an operation still running.
TEST_P(Pages, ListingOrRenumberingRemovesOnlyScratchFilesOlderThanTheProgram)
{
    const std::pair<long, long> past{1'500'000'000, 0};
    const QString thumbs = store->ThumbnailPath + "Type/Folder/" + kA + "/";
    for (const bool viaList : {false, true}) {
        SCOPED_TRACE(viaList ? "shown" : "renumbered");
        pages(kA, {"a1", "a2"});
        for (const QString &dir : {fileDir(kA), thumbs}) {
            for (const char *name : {".part-x", ".import-y.tif"}) {
                writeFile(dir + name, "old");
                setModified(dir + name, past);
            }
            writeFile(dir + ".part-fresh", "new");
        }
        writeFile(thumbs + "P0000001.bmp", "t1");
        if (viaList)
            showFolder();
        else
            ASSERT_TRUE(store->RenumberPages("Type/Folder/" + kA + "/", nullptr, nullptr, false));
        EXPECT_EQ(dirContent(fileDir(kA)),
                  (QStringList{".part-fresh=new", "P0000001.tif=a1", "P0000002.tif=a2"}));
        EXPECT_EQ(dirContent(thumbs), (QStringList{".part-fresh=new", "P0000001.bmp=t1"}));
        QFile::remove(fileDir(kA) + ".part-fresh");
        QFile::remove(thumbs + ".part-fresh");
    }
}

TEST_P(Pages, ARootWithADoubledSeparatorWorksTheSame)
{
    pages(kA, {"a1", "a2", "a3"});
    pages(kB, {"b1"});
    RootPath += "/";
    TImageManager doubled(tree.get(), CatalogConnection, list.get());
    ASSERT_TRUE(doubled.ImagesPath.endsWith("//Images/"));
    const QString dirA = doubled.ImagesPath + "Type/Folder/" + kA + "/";
    QStringList paths{dirA + "P0000002.tif"};
    doubled.DeletePages(&paths, true);
    EXPECT_EQ(contents(kA), (QStringList{"a1", "a3"}));
    EXPECT_EQ(names(kA), (QStringList{"P0000001.tif", "P0000002.tif"}));

    QStringList sources{dirA + "P0000002.tif"};
    doubled.MovePages(&sources, "Type", true, 1, kA, "Folder");
    EXPECT_EQ(contents(kA), (QStringList{"a3", "a1"}));
    sources = {dirA + "P0000001.tif"};
    doubled.MovePages(&sources, "Type", true, 0, kB, "Folder");
    EXPECT_EQ(contents(kA), QStringList{"a1"});
    EXPECT_EQ(contents(kB), (QStringList{"b1", "a3"}));
}
