// Pages renumbered, inserted and deleted on the GUI thread while the workers make their
// thumbnails: a thumbnail that counts as current, and a picture the list shows, must
// picture the page it belongs to. Every page is one grey level, so a picture's centre
// tells which page it shows.
#include "PageImport.h"
#include "PageListView.h"
#include "TForm1.h"
#include "TImageManager.h"

#include "MainWindowFixture.h"

#include "GrayPage.h"

#include <arkavo/GlobalBlock.h>
#include <codec.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QMutex>
#include <QSemaphore>
#include <QTreeWidget>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

const QString kType = QStringLiteral("新建文件类型(1)");
const QString kFolder = QStringLiteral("新建文件夹(1)");
const QString kFile = QStringLiteral("新建文件(1)");

// The one page whose thumbnail is held at one step, until the test lets it go.
QMutex holdLock;
QString holdName;
TThumbnailStep holdStep = TThumbnailStep::Reduced;
QSemaphore holdEntered, holdRelease;

void holdOnce(const QString &pageFile, TThumbnailStep step)
{
    {
        QMutexLocker lock(&holdLock);
        if (holdName.isEmpty() || step != holdStep || !pageFile.endsWith(holdName))
            return;
        holdName.clear();
    }
    holdEntered.release();
    holdRelease.acquire();
}

int levelOf(int content)
{
    return 10 + 3 * content;
}

// The content a picture shows, from its centre's grey level; -1 for none.
int contentOf(const QImage &picture)
{
    if (picture.isNull())
        return -1;
    const int grey = qGray(picture.pixel(picture.width() / 2, picture.height() / 2));
    return (grey - 10) % 3 == 0 ? (grey - 10) / 3 : -1;
}

class ThumbnailRace : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        if (HasFatalFailure())
            return;
        QTreeWidgetItem *type = create(form->TreeView1->topLevelItem(0), "MN_FILE_NewFileType");
        folder = create(type, "MN_FILE_NewFolder");
        ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/unknown-file.bmp",
                                AppPath + "unknown-file.bmp"));
        dir = RootPath + "Images/" + kType + "/" + kFolder + "/" + kFile + "/";
        thumbDir = RootPath + "Thumbnail/" + kType + "/" + kFolder + "/" + kFile + "/";
        makeFile(64);
        SetThumbnailHook(holdOnce);
    }
    void TearDown() override
    {
        {
            QMutexLocker lock(&holdLock);
            holdName.clear();
        }
        holdRelease.release(8); // a failed test must not leave a worker waiting
        MainWindowFixture::TearDown();
        SetThumbnailHook(nullptr);
        holdEntered.tryAcquire(holdEntered.available());
        holdRelease.tryAcquire(holdRelease.available());
    }

    void makeFile(int count)
    {
        file = create(folder, "MN_FILE_NewFile");
        ASSERT_EQ(file->text(0), kFile);
        writePages(count);
    }

    void writePages(int count)
    {
        QDir().mkpath(dir);
        pages.clear();
        for (int n = 1; n <= count; ++n) {
            writePage(pagePath(n), next);
            pages << next++;
        }
    }

    // A page of one grey level with a time of its own: pages written in one clock tick
    // would otherwise share a time, and the time is what makes a thumbnail current.
    void writePage(const QString &path, int content)
    {
        arkavo::GlobalBlock block =
            arkavo::test::MakeGrayPage(32, 40, [&](int) { return uint8_t(levelOf(content)); });
        const TCodecImage image{300, 300, block.get()};
        ASSERT_EQ(SaveTIF(&image, QFile::encodeName(path).constData(), 0, 0), 1);
        const timespec times[2] = {{0, UTIME_OMIT}, {1600000000 + content, 1000 * content}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }

    // Holds page N's thumbnail at Step, shows the file and waits until the hold is reached.
    void showHolding(int n, TThumbnailStep step)
    {
        {
            QMutexLocker lock(&holdLock);
            holdName = QFileInfo(pagePath(n)).fileName();
            holdStep = step;
        }
        form->TreeView1->setCurrentItem(file->parent());
        form->TreeView1->setCurrentItem(file);
        form->ListView1->viewport()->repaint();
        ASSERT_TRUE(QTest::qWaitFor([] { return holdEntered.tryAcquire(); }, 20000));
    }

    QString pagePath(int n) const { return dir + QString("P%1.tif").arg(n, 7, 10, QChar('0')); }

    bool settle()
    {
        for (int round = 0; round < 4; ++round) { // each landing picture asks for the next ones
            form->ListView1->viewport()->repaint();
            QCoreApplication::processEvents();
            if (!QTest::qWaitFor([&] { return !form->ThumbnailsPending(); }, 20000))
                return false;
        }
        return true;
    }

    void expectEveryPictureShowsItsPage(const std::string &what)
    {
        ASSERT_EQ(form->ListView1->count(), pages.size()) << what;
        int current = 0, shown = 0;
        for (int i = 0; i < pages.size(); ++i) {
            const QString page = pagePath(i + 1);
            const QString thumb = form->ImageManager->ThumbnailPathOf(page);
            if (ThumbnailIsCurrent(page, thumb)) {
                ++current;
                EXPECT_EQ(contentOf(QImage(thumb)), pages[i]) << what << ": thumbnail of page " << i + 1;
            }
            // Every page can be read: neither the placeholder nor a failure mark belongs here.
            QListWidgetItem *item = form->ListView1->item(i);
            EXPECT_NE(TPageListView::ImageIndex(item), -2) << what << ": item " << i + 1;
            if (TPageListView::ImageIndex(item) >= 0) {
                ++shown;
                const QImage icon =
                    item->icon().pixmap(TPageListView::kThumbWidth, TPageListView::kThumbHeight).toImage();
                EXPECT_EQ(contentOf(icon), pages[i]) << what << ": picture of item " << i + 1;
            }
        }
        EXPECT_GT(current, 2) << what;
        EXPECT_GT(shown, 2) << what;
    }

    QTreeWidgetItem *folder = nullptr, *file = nullptr;
    QString dir, thumbDir;
    QList<int> pages; // content of each page, in page order
    int next = 1;     // content of the next page written
};

} // namespace

TEST_F(ThumbnailRace, PagesRenumberedWhileTheirThumbnailsAreMadeNeverGetAnotherPagesPicture)
{
    struct Round {
        const char *what;
        int held; // the page whose picture is made but not yet written when the change comes
        std::function<void()> change;
    };
    const QString source = RootPath + "insert.tif";
    const Round rounds[] = {
        {"delete page 2", 3,
         [&] {
             QStringList paths{pagePath(2)};
             form->ImageManager->DeletePages(&paths, true);
             pages.removeAt(1);
         }},
        {"insert before page 2", 3,
         [&] {
             writePage(source, next);
             QStringList sources{source};
             form->ImageManager->AddPages(&sources, kType, true, 2, kFile, kFolder);
             pages.insert(1, next++);
         }},
        {"delete pages 1 and 2", 6,
         [&] {
             QStringList paths{pagePath(1), pagePath(2)};
             form->ImageManager->DeletePages(&paths, true);
             pages.remove(0, 2);
         }},
        {"move page 4 to the end", 5,
         [&] {
             ASSERT_TRUE(form->ImageManager->RenamePageFile(pagePath(4), pagePath(99)));
             form->ImageManager->RenumberPages(kType + "/" + kFolder + "/" + kFile, nullptr, nullptr, true);
             pages.append(pages.takeAt(3));
         }},
        {"delete page 2 again", 4,
         [&] {
             QStringList paths{pagePath(2)};
             form->ImageManager->DeletePages(&paths, true);
             pages.removeAt(1);
         }},
    };
    for (const Round &round : rounds) {
        QDir(thumbDir).removeRecursively(); // every page shown is made again
        showHolding(round.held, TThumbnailStep::Reduced);
        ASSERT_FALSE(HasFatalFailure()) << round.what;
        round.change();
        holdRelease.release();
        ASSERT_TRUE(settle()) << round.what;
        expectEveryPictureShowsItsPage(round.what);
    }
}

TEST_F(ThumbnailRace, AFileDeletedOrRenamedWhileAThumbnailIsMadeGetsNoThumbnailFolderBack)
{
    struct Case {
        const char *what;
        TThumbnailStep step;
        bool rename;
    };
    const Case cases[] = {
        {"renamed before its page is read", TThumbnailStep::Begun, true},
        {"renamed once its page is read", TThumbnailStep::Reduced, true},
        {"deleted before its page is read", TThumbnailStep::Begun, false},
        {"deleted once its page is read", TThumbnailStep::Reduced, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(thumbDir).removeRecursively();
        showHolding(3, c.step);
        ASSERT_FALSE(HasFatalFailure());
        QString name = QStringLiteral("renamed");
        if (c.rename) {
            form->ImageManager->RenameNode(file, name);
        } else {
            ASSERT_TRUE(form->ImageManager->RemoveRepositoryDir(dir)); // what deleting the file does
        }
        ASSERT_FALSE(QFileInfo::exists(dir));
        holdRelease.release();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->ThumbnailsPending(); }, 20000));
        EXPECT_FALSE(QFileInfo::exists(thumbDir));
        if (c.rename) {
            name = kFile;
            form->ImageManager->RenameNode(file, name);
        } else {
            writePages(8);
        }
        ASSERT_TRUE(QFileInfo::exists(pagePath(3)));
    }
}
