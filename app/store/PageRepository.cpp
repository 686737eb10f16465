// The page files of the repository: renaming pages into order, deleting, copying, adding
// and moving pages between files, and replacing a page's image.
#include "TImageManager.h"

#include "FileHelpers.h"
#include "PageListView.h"
#include "StoreFiles.h"
#include "StoreInternal.h"
#include "WordSort.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QScopeGuard>
#include <QUuid>

#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>

#include <sys/stat.h>

using namespace storeinternal;

namespace {

// Lists the pending second half of an interrupted renumbering (see RenumberPages).
const QString kJournalName = ".renumber";

// Scratch files older than this process belong to no running copy or import: they are
// what a crash left behind. The coarse clock is the one file times are stamped from.
const timespec kProcessStart = [] {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}();

// Read straight from the directory: it holds every page of a file, and is read whenever
// the file is shown.
void removeScratchLeftovers(const QString &dir)
{
    const QByteArray path = QFile::encodeName(dir);
    DIR *d = ::opendir(path.constData());
    if (!d)
        return;
    const auto closeDir = qScopeGuard([d] { ::closedir(d); });
    const int fd = ::dirfd(d);
    while (const dirent *entry = ::readdir(d)) {
        const char *name = entry->d_name;
        if (name[0] != '.' || (std::strncmp(name, ".part-", 6) != 0 && std::strncmp(name, ".import-", 8) != 0))
            continue;
        struct stat st {};
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        const timespec &t = st.st_mtim;
        if (t.tv_sec < kProcessStart.tv_sec ||
            (t.tv_sec == kProcessStart.tv_sec && t.tv_nsec < kProcessStart.tv_nsec))
            StoreFiles().Remove(dir + QFile::decodeName(name));
    }
}

// Where new pages of a file go: the k-th before page BeforePage, or at the end.
struct NewPageNames {
    QString dir;
    QString prefix;
    int k = 1;

    QString next(const QString &ext)
    {
        QString target = dir + prefix + FiveDigits(k) + ext;
        while (QFileInfo::exists(target))
            target = dir + prefix + FiveDigits(++k) + ext;
        ++k;
        return target;
    }
};

} // namespace

void TImageManager::pagesChanging(const QString &path, bool removing) const
{
    if (PagesChanging)
        PagesChanging(path, removing);
}

bool TImageManager::RenamePageFile(const QString &oldName, const QString &newName)
{
    if (!IsRepositoryPath(oldName) || !IsRepositoryPath(newName))
        return false;
    if (!StoreFiles().Rename(oldName, newName))
        return false;
    // Thumbnails can always be made again: a stale one in the way is simply dropped.
    const QString oldThumb = ThumbnailPathOf(oldName);
    const QString newThumb = ThumbnailPathOf(newName);
    if (oldThumb != oldName && QFileInfo::exists(oldThumb)) {
        if (QFileInfo::exists(newThumb))
            StoreFiles().Remove(newThumb);
        StoreFiles().Rename(oldThumb, newThumb);
    }
    return true;
}

// Renaming happens in two passes. The first gives every page that is out of place a
// temporary name that starts with its present name, so it keeps its place in the listing
// order whenever the process stops. The second pass moves the pages to their final
// names, which can put them out of order while it runs; the list of its renames is
// therefore written to a journal first and finished by the next call before anything else.
bool TImageManager::RenumberPages(const QString &fileDir, QStringList *exts, QProgressBar *progressBar,
                                  bool updateList)
{
    const QString dir = WithSlash(ImagesPath + fileDir);
    const auto hideBar = qScopeGuard([&] {
        if (progressBar)
            progressBar->hide();
    });
    if (!IsRepositoryPath(dir) || !QFileInfo(dir).isDir())
        return false;
    pagesChanging(dir, false);
    // While an earlier renaming cannot be finished nothing is renamed, but the pages are
    // still listed so that they can be shown.
    const bool journalDone = finishRenumberJournal(dir);
    removeScratchLeftovers(dir);
    const QString thumbDir = MirrorOf(dir, ImagesPath, ThumbnailPath);
    if (thumbDir != dir && IsRepositoryPath(thumbDir))
        removeScratchLeftovers(thumbDir);

    QStringList names;
    for (const QString &ext : PageExts())
        ListFiles(dir + PagePrefix + "*" + ext, faArchive, names);

    QList<QPair<QString, QString>> pairs;
    QStringList extList;
    extList.reserve(names.size());
    bool firstPassDone = journalDone;
    for (int i = 0; i < names.size(); ++i) {
        const QString &s = names[i];
        const QString e = s.right(4).toLower();
        const QString expected = PagePrefix + SevenDigits(i + 1);
        // An upper-case extension would not match the path the list builds.
        if (firstPassDone && (s.left(s.size() - 4) != expected || s.right(4) != e)) {
            // A page left under its old name could be mistaken for the page that takes that
            // name in the second pass, so a failure here ends the renaming: the names as they
            // are still list the pages in order, and the next call starts again.
            const QString temporary = s + QUuid::createUuid().toString() + e;
            if (RenamePageFile(dir + s, dir + temporary))
                pairs << qMakePair(temporary, expected + e);
            else
                firstPassDone = false;
        }
        extList << e;
    }

    if (progressBar) {
        StartBar(progressBar, updateList ? pairs.size() + names.size() : names.size());
        progressBar->show();
    }

    bool result = firstPassDone;
    if (firstPassDone && !pairs.isEmpty()) {
        QByteArray journal;
        for (const auto &[from, to] : pairs)
            journal += (from + '\t' + to + '\n').toUtf8();
        if (!StoreFiles().WriteFile(dir + kJournalName, journal)) {
            result = false; // the temporary names keep the order until the next call
        } else {
            for (const auto &[from, to] : pairs) {
                if (!RenamePageFile(dir + from, dir + to))
                    result = false;
                StepBar(progressBar);
                QCoreApplication::processEvents();
            }
            if (result)
                StoreFiles().Remove(dir + kJournalName);
            else
                finishRenumberJournal(dir); // a rename may have waited for another's target
        }
    }

    if (exts)
        *exts = extList;
    if (updateList && IsShownDir(dir))
        refillShownFile(dir, extList, progressBar);
    return result;
}

// Completes the renames of an interrupted second pass. Renames whose target is still
// taken are retried after the others, since an earlier one may free it. False while any
// rename remains undone; the journal then stays for the next attempt.
bool TImageManager::finishRenumberJournal(const QString &dir)
{
    const QString journalPath = dir + kJournalName;
    if (!QFileInfo::exists(journalPath))
        return true;
    QFile file(journalPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QList<QPair<QString, QString>> pending;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() == 2)
            pending << qMakePair(QString::fromUtf8(parts[0]), QString::fromUtf8(parts[1]));
    }
    file.close();

    bool progress = true;
    while (progress && !pending.isEmpty()) {
        progress = false;
        for (auto it = pending.begin(); it != pending.end();) {
            const QString from = dir + it->first;
            const QString to = dir + it->second;
            const bool fromExists = QFileInfo::exists(from);
            if (from == to || !fromExists) {
                it = pending.erase(it); // done before, or nothing left to move
                progress = true;
            } else if (!QFileInfo::exists(to) && RenamePageFile(from, to)) {
                it = pending.erase(it);
                progress = true;
            } else {
                ++it;
            }
        }
    }
    if (!pending.isEmpty())
        return false;
    StoreFiles().Remove(journalPath);
    return true;
}

void TImageManager::refillShownFile(const QString &dir, const QStringList &exts, QProgressBar *progressBar)
{
    const QString name = QFileInfo(dir.left(dir.size() - 1)).fileName();
    QTreeWidgetItem *selected = TreeView->currentItem();
    QTreeWidgetItem *fileNode = nullptr;
    if (NodeKind(selected) == 3)
        fileNode = selected;
    else if (NodeKind(selected) == 2)
        fileNode = FindChildByName(selected, name);
    const TCatalogNodeData *data = NodeData(fileNode);
    if (!data)
        return;
    const int order = data->Order;

    int at = 0;
    while (at < ListView->count()) {
        const PageEntry entry = ListView->Entry(at);
        if (entry.file == name) {
            delete ListView->takeItem(at);
        } else if (entry.fileOrder > order) {
            break;
        } else {
            ++at;
        }
    }
    for (int n = 1; n <= exts.size(); ++n) {
        PageEntry entry{name, n, order, exts[n - 1], {}};
        entry.path = ShownPagePath(entry);
        ListView->InsertEntry(at++, entry);
        StepBar(progressBar);
        QCoreApplication::processEvents();
    }
}

bool TImageManager::DeletePageFile(const QString &path)
{
    if (!IsRepositoryPath(path) || !path.startsWith(ImagesPath))
        return false;
    pagesChanging(path, true);
    if (!StoreFiles().Remove(path))
        return false;
    const QString thumb = ThumbnailPathOf(path);
    if (thumb != path && QFileInfo::exists(thumb))
        StoreFiles().Remove(thumb);
    return true;
}

bool TImageManager::CopyPageFile(const QString &src, const QString &dst)
{
    if (!IsRepositoryPath(dst) || !dst.startsWith(ImagesPath))
        return false;
    // A copy of the shown page carries its pending change; the target is overwritten.
    pagesChanging(src, false);
    pagesChanging(dst, false);
    if (!StoreFiles().Copy(src, dst))
        return false;
    if (src.contains(ImagesPath)) {
        const QString srcThumb = ThumbnailPathOf(src);
        if (QFileInfo::exists(srcThumb))
            StoreFiles().Copy(srcThumb, ThumbnailPathOf(dst));
    }
    return true;
}

QStringList TImageManager::selectionOrNull(QStringList *list) const
{
    if (list)
        return *list;
    QStringList selected;
    GetSelectedPagePaths(selected);
    return selected;
}

void TImageManager::DeletePages(QStringList *paths, bool renumber)
{
    QStringList list = selectionOrNull(paths);
    list.sort();
    QString previousDir;
    const auto renumberDir = [this](const QString &dir) {
        const QString images = QDir::cleanPath(ImagesPath) + '/';
        const QString clean = QDir::cleanPath(dir) + '/';
        if (clean.startsWith(images))
            RenumberPages(clean.mid(images.size()), nullptr, nullptr, true);
    };
    for (const QString &path : list) {
        DeletePageFile(path);
        const QString dir = WithSlash(QFileInfo(path).path());
        if (renumber && dir != previousDir && !previousDir.isEmpty())
            renumberDir(previousDir);
        previousDir = dir;
    }
    if (renumber && !previousDir.isEmpty())
        renumberDir(previousDir);
}

void TImageManager::AddPages(QStringList *sources, const QString &appName, bool renumber, int beforePage,
                             const QString &fileName, const QString &batchName)
{
    placePages(sources, appName, renumber, beforePage, fileName, batchName, false);
}

void TImageManager::MovePages(QStringList *sources, const QString &appName, bool renumber, int beforePage,
                              const QString &fileName, const QString &batchName)
{
    placePages(sources, appName, renumber, beforePage, fileName, batchName, true);
}

// Copies are written under new names in the target file. A move renames pages that stay
// in their directory into place; others are copied, and a source is deleted only once its
// copy is there with the source's size. Sources is left holding the pages placed.
void TImageManager::placePages(QStringList *sources, const QString &appName, bool renumber, int beforePage,
                               const QString &fileName, const QString &batchName, bool move)
{
    const QStringList list = selectionOrNull(sources);
    QStringList placed;
    QStringList toDelete;
    if (IsValidCatalogName(appName) && IsValidCatalogName(batchName) && IsValidCatalogName(fileName)) {
        const QString fileDir = appName + "/" + batchName + "/" + fileName + "/";
        NewPageNames names{ImagesPath + fileDir, beforePage <= 0
                                                     ? PagePrefix + "Z"
                                                     : PagePrefix + SevenDigits(beforePage - 1) + "-"};
        if (ForceRepositoryDir(names.dir)) {
            for (const QString &source : list) {
                const QString ext = ExtensionOf(source).toLower();
                if (!IsPageExt(ext))
                    continue;
                const QString target = names.next(ext);
                if (!move) {
                    if (CopyPageFile(source, target))
                        placed << source;
                } else if (QDir::cleanPath(QFileInfo(source).path()) == QDir::cleanPath(names.dir)) {
                    pagesChanging(source, false);
                    if (RenamePageFile(source, target))
                        placed << source;
                } else if (CopyPageFile(source, target)) {
                    const QFileInfo copy(target);
                    if (copy.exists() && copy.size() == QFileInfo(source).size()) {
                        placed << source;
                        toDelete << source;
                    }
                }
            }
            if (move)
                DeletePages(&toDelete, renumber);
            if (renumber)
                RenumberPages(fileDir, nullptr, nullptr, true);
        }
    }
    if (sources)
        *sources = placed;
}

void TImageManager::ReplacePage(int itemIndex, const QString &sourceFile)
{
    QListWidgetItem *item = ListView->item(itemIndex);
    const QString page = GetPagePath(itemIndex);
    const QString ext = ExtensionOf(sourceFile).toLower();
    if (!item || page.isEmpty() || !IsPageExt(ext) || !IsRepositoryPath(page))
        return;
    pagesChanging(page, false);
    if (ext != ExtensionOf(page)) {
        // The new page is in place before the old one goes, so a failure loses nothing.
        const QString replaced = page.left(page.size() - ExtensionOf(page).size()) + ext;
        if (!StoreFiles().Copy(sourceFile, replaced))
            return;
        StoreFiles().Remove(page);
        PageEntry entry = TPageListView::EntryOf(item);
        entry.ext = ext;
        entry.path = replaced;
        TPageListView::SetEntryOf(item, entry);
    } else if (!StoreFiles().Copy(sourceFile, page)) {
        return;
    }
    TPageListView::SetImageIndex(item, -1);
}
