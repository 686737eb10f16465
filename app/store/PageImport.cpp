#include "PageImport.h"

#include "ImageFiles.h"

#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "StoreFiles.h"
#include "TImageManager.h"
#include "WordSort.h"

#include "codec.h"
#include "pixolve.h"
#include <arkavo/GlobalBlock.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QStatusBar>
#include <QUuid>
#include <QWidget>

#include <atomic>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

std::atomic<void (*)(const QString &, TThumbnailStep)> thumbnailHook{nullptr};

bool modificationTime(const QString &name, timespec &time)
{
    struct stat st {};
    if (::stat(QFile::encodeName(name).constData(), &st) != 0)
        return false;
    time = st.st_mtim;
    return true;
}

// Gives Target exactly Source's modification time, nanoseconds included.
bool copyModificationTime(const QString &source, const QString &target)
{
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    if (!modificationTime(source, times[1]))
        return false;
    return ::utimensat(AT_FDCWD, QFile::encodeName(target).constData(), times, 0) == 0;
}

QString sevenDigits(int n)
{
    return QString("%1").arg(n, 7, 10, QChar('0'));
}

bool placeholderThumbnail(const QString &pageFile, const QString &thumbFile)
{
    if (!StoreFiles().Copy(AppPath + "unknown-file.bmp", thumbFile))
        return false;
    return copyModificationTime(pageFile, thumbFile) && ThumbnailIsCurrent(pageFile, thumbFile);
}

} // namespace

void SetThumbnailHook(void (*hook)(const QString &pageFile, TThumbnailStep step))
{
    thumbnailHook = hook;
}

bool ThumbnailIsCurrent(const QString &pageFile, const QString &thumbFile)
{
    timespec page{}, thumb{};
    return modificationTime(pageFile, page) && modificationTime(thumbFile, thumb) &&
           page.tv_sec == thumb.tv_sec && page.tv_nsec == thumb.tv_nsec;
}

bool MakeThumbnail(const QString &pageFile, const QString &thumbFile, HGLOBAL dib, int width, int height)
{
    if (auto *hook = thumbnailHook.load())
        hook(pageFile, TThumbnailStep::Begun);
    try {
        QDir().mkpath(QFileInfo(thumbFile).path());
        TCodecImage loaded{};
        arkavo::GlobalBlock owned; // the page loaded here; a passed-in bitmap stays the caller's
        if (!dib) {
            if (LoadFile(QFile::encodeName(pageFile).constData(), &loaded, 0) > 0)
                owned.reset(loaded.Dib);
            dib = owned.get();
        }
        arkavo::GlobalBlock reduced(dib ? Thumbnail(dib, width, height) : nullptr);
        owned.reset();
        if (auto *hook = thumbnailHook.load())
            hook(pageFile, TThumbnailStep::Reduced);
        if (reduced) {
            const TCodecImage thumb{loaded.XResolution, loaded.YResolution, reduced.get()};
            if (SaveBMP(&thumb, QFile::encodeName(thumbFile).constData()) == 1 &&
                copyModificationTime(pageFile, thumbFile) && ThumbnailIsCurrent(pageFile, thumbFile))
                return true;
        }
        return placeholderThumbnail(pageFile, thumbFile);
    } catch (...) {
        return false;
    }
}

int ImportPages(TImageManager &store, const QStringList &sources, const QString &appName, int fileOrder,
                const QString &fileName, const QString &batchName, const TImportContext &context)
{
    struct Restore {
        const TImportContext &c;
        QProgressBar *bar;
        ~Restore()
        {
            if (c.MainWindow)
                c.MainWindow->setEnabled(true);
            if (bar)
                bar->hide();
        }
    } restore{context, context.ProgressBar ? context.ProgressBar : store.ProgressBar};
    if (context.MainWindow)
        context.MainWindow->setEnabled(false);

    if (!TImageManager::IsValidCatalogName(appName) || !TImageManager::IsValidCatalogName(batchName) ||
        !TImageManager::IsValidCatalogName(fileName))
        return -1;
    const QString dir = appName + "/" + batchName + "/" + fileName + "/";
    const QString pageDir = store.ImagesPath + dir;
    if (!store.ForceRepositoryDir(pageDir))
        return -1;
    // New pages are numbered after the last one, so the numbering must have no gaps.
    store.RenumberPages(dir, nullptr, nullptr, false);
    QStringList existing;
    ListFiles(pageDir + store.PagePrefix + "*.*", faArchive, existing);
    const int c = existing.size();
    int j = c + 1;

    TPageListView *list = store.ListView;
    int insertAt = -1;
    if (store.ShownAppName == appName && store.ShownBatchName == batchName &&
        (store.ShownFileName == fileName || store.ShownFileName.isEmpty())) {
        if (c > 0) {
            const int last = store.FindPageItem(fileName, QString::number(c), 0);
            if (last >= 0)
                insertAt = last + 1;
        }
        if (insertAt < 0) {
            insertAt = 0;
            for (int i = list->count() - 1; i >= 0; --i) {
                if (list->SubItem(i, 2).toInt() < fileOrder ||
                    (list->SubItem(i, 0) == fileName && list->SubItem(i, 1).toInt() < j)) {
                    insertAt = i + 1;
                    break;
                }
            }
        }
        list->clearSelection();
    }
    const int result = insertAt;

    QProgressBar *bar = context.ProgressBar ? context.ProgressBar : store.ProgressBar;
    if (bar && sources.size() > 1) {
        if (context.StatusBar && bar->parentWidget())
            bar->move(bar->parentWidget()->width() - bar->width() - 4, context.StatusBar->y() + 2);
        bar->setRange(0, sources.size());
        bar->setValue(0);
        bar->show();
    }
    const auto keepGoing = [&](const QString &source) {
        return Messages::Show(QString("无法识别的图像格式: %1,是否继续?").arg(source), "询问",
                              MsgIcon::Question, MsgButtons::YesNo, context.MainWindow) == MsgAnswer::Yes;
    };

    for (const QString &source : sources) {
        const QString ext = "." + QFileInfo(source).suffix().toLower();
        if (ext != ".tif" && ext != ".jpg" && ext != ".bmp")
            continue;
        const QByteArray sourceName = QFile::encodeName(source);
        TCodecImage image{};
        const int n = LoadFile(sourceName.constData(), &image, 0);
        arkavo::GlobalBlock page(image.Dib);
        if (n < 1) {
            if (!keepGoing(source))
                return result;
            continue;
        }
        for (int p = 1; p <= n; ++p) {
            // Never write over a page that is already there.
            while (QFileInfo::exists(pageDir + store.PagePrefix + sevenDigits(j) + ".tif") ||
                   QFileInfo::exists(pageDir + store.PagePrefix + sevenDigits(j) + ".jpg") ||
                   QFileInfo::exists(pageDir + store.PagePrefix + sevenDigits(j) + ".bmp"))
                ++j;
            const QString target = pageDir + store.PagePrefix + sevenDigits(j) + ext;
            const QString thumb = store.ThumbnailPath + dir + store.PagePrefix + sevenDigits(j) + ".bmp";
            // Written under a name no listing picks up, then renamed: a page is whole or absent.
            const QString scratch =
                pageDir + ".import-" + QUuid::createUuid().toString(QUuid::WithoutBraces) + ext;
            bool saved = false;
            if (page) {
                image.Dib = page.get();
                saved = SaveImageFile(image, scratch) == 1 && StoreFiles().Rename(scratch, target);
                QFile::remove(scratch);
            }
            page.reset();
            if (!saved) {
                if (!keepGoing(source))
                    return result;
                break;
            }
            QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::ReadOther);
            MakeThumbnail(target, thumb, nullptr, TPageListView::kThumbWidth, TPageListView::kThumbHeight);
            if (insertAt >= 0) {
                QListWidgetItem *item = TPageListView::MakePageItem(fileName, j, fileOrder, ext);
                list->insertItem(insertAt++, item);
                item->setSelected(true);
            }
            ++j;
            if (p < n) {
                image = TCodecImage{};
                LoadFile(sourceName.constData(), &image, p);
                page.reset(image.Dib);
            }
            if (bar)
                bar->setValue(std::min(bar->maximum(), bar->value() + 1));
            QCoreApplication::processEvents();
        }
    }
    return result;
}
