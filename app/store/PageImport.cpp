#include "PageImport.h"

#include "Quietly.h"

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
#include <QScopeGuard>
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

QString sevenDigits(int n)
{
    return QString("%1").arg(n, 7, 10, QChar('0'));
}

bool stampTime(const QString &file, const FileIdentity &page)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(page.ModifiedSec), long(page.ModifiedNsec)}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0) == 0;
}

bool isStill(const QString &pageFile, const FileIdentity &page)
{
    const FileIdentity now = FileIdentity::Of(pageFile);
    return now.Exists && now == page;
}

// The folders of Path that do not exist yet, deepest first.
QStringList missingFolders(const QString &path)
{
    QStringList missing;
    for (QString d = path; !QFileInfo::exists(d);) {
        missing << d;
        const QString up = QFileInfo(d).path();
        if (up == d)
            break;
        d = up;
    }
    return missing;
}

// Puts the picture written as Scratch in place as ThumbFile, dated like Page, provided the
// page file is still the one it was made from: the GUI thread renumbers and deletes pages
// at any moment, and a picture it overtook would count as current for the page that took
// the name.
bool placeThumbnail(const QString &pageFile, const FileIdentity &page, const QString &scratch,
                    const QString &thumbFile)
{
    struct stat own {};
    if (!stampTime(scratch, page) || ::stat(QFile::encodeName(scratch).constData(), &own) != 0 ||
        !isStill(pageFile, page))
        return false;
    if (::rename(QFile::encodeName(scratch).constData(), QFile::encodeName(thumbFile).constData()) != 0)
        return false;
    if (isStill(pageFile, page))
        return true;
    // Overtaken between the check and the rename. A rename of the page may already have
    // carried the picture along to the page's new name; only a picture still here goes.
    struct stat there {};
    if (::stat(QFile::encodeName(thumbFile).constData(), &there) == 0 && there.st_dev == own.st_dev &&
        there.st_ino == own.st_ino)
        QFile::remove(thumbFile);
    return false;
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

bool MakeThumbnail(const QString &pageFile, const QString &thumbFile, HGLOBAL dib, int width, int height,
                   FileIdentity *made)
{
    if (auto *hook = thumbnailHook.load())
        hook(pageFile, TThumbnailStep::Begun);
    const FileIdentity page = FileIdentity::Of(pageFile);
    if (made)
        *made = page;
    if (!page.Exists)
        return false;
    const QString folder = QFileInfo(thumbFile).path();
    // Hidden, and not named like a page, so nothing that lists thumbnails picks it up.
    const QString scratch = folder + "/.thumb-" + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".bmp";
    QStringList created;
    // Any failure counts as no thumbnail made; the placeholder does not come either.
    const bool placed = arkavo::QuietlyOr("making a thumbnail", false, [&]() -> bool {
        TCodecImage loaded{};
        arkavo::GlobalBlock owned; // the page loaded here; a passed-in bitmap stays the caller's
        if (!dib) {
            // A JPEG page may come reduced; only its thumbnail is made from it.
            if (LoadFileForThumbnail(QFile::encodeName(pageFile).constData(), &loaded, width, height) > 0)
                owned.reset(loaded.Dib);
            dib = owned.get();
        }
        arkavo::GlobalBlock reduced(dib ? Thumbnail(dib, width, height) : nullptr);
        owned.reset();
        if (auto *hook = thumbnailHook.load())
            hook(pageFile, TThumbnailStep::Reduced);
        // Made only now, and only for a page still there: a page deleted or renamed
        // meanwhile must not bring its thumbnail folder back.
        created = missingFolders(folder);
        if (!created.isEmpty() && (!isStill(pageFile, page) || !QDir().mkpath(folder)))
            return false;
        bool written = false;
        if (reduced) {
            const TCodecImage thumb{loaded.XResolution, loaded.YResolution, reduced.get()};
            written = SaveBMP(&thumb, QFile::encodeName(scratch).constData()) == 1;
        }
        if (!written) {
            QFile::remove(scratch);
            written = StoreFiles().Copy(ResourcePath + "unknown-file.bmp", scratch);
        }
        return written && placeThumbnail(pageFile, page, scratch, thumbFile);
    });
    if (placed)
        return true;
    QFile::remove(scratch);
    if (!QFileInfo::exists(pageFile)) {
        for (const QString &d : created)
            QDir().rmdir(d);
        if (!QFileInfo::exists(QFileInfo(pageFile).path()))
            QDir().rmdir(folder); // its removal may have failed on the scratch file
    }
    return false;
}

int ImportPages(TImageManager &store, const QStringList &sources, const QString &appName, int fileOrder,
                const QString &fileName, const QString &batchName, const TImportContext &context)
{
    QProgressBar *const bar = context.ProgressBar ? context.ProgressBar : store.ProgressBar;
    const auto restore = qScopeGuard([&] {
        if (context.MainWindow)
            context.MainWindow->setEnabled(true);
        if (bar)
            bar->hide();
    });
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
                const PageEntry entry = list->Entry(i);
                if (entry.fileOrder < fileOrder || (entry.file == fileName && entry.page < j)) {
                    insertAt = i + 1;
                    break;
                }
            }
        }
        list->clearSelection();
    }
    const int result = insertAt;

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
                list->InsertEntry(insertAt, PageEntry{fileName, j, fileOrder, ext, target});
                list->item(insertAt++)->setSelected(true);
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
