#include "TImageManager.h"

#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "FileHelpers.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "StoreFiles.h"
#include "WordSort.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStringBuilder>
#include <QTreeWidget>
#include <QUuid>

#include <algorithm>
#include <ctime>
#include <stdexcept>

#include <sys/stat.h>

namespace {

const QStringList kPageExts = {".tif", ".jpg", ".bmp"};
// Lists the pending second half of an interrupted renumbering (see RenumberPages).
const QString kJournalName = ".renumber";

// Written out by hand: every listed page gets its path, and arg() costs more than the rest.
QString sevenDigits(int n)
{
    if (n < 0 || n > 9999999)
        return QString("%1").arg(n, 7, 10, QChar('0'));
    QString digits(7, u'0');
    for (qsizetype i = 6; n > 0; --i, n /= 10)
        digits[i] = QChar(u'0' + n % 10);
    return digits;
}

QString fiveDigits(int n)
{
    return QString("%1").arg(n, 5, 10, QChar('0'));
}

// Extension with its dot, as the last dot of the name starts it; empty without one.
QString extensionOf(const QString &path)
{
    const int slash = path.lastIndexOf('/');
    const int dot = path.lastIndexOf('.');
    return dot > slash ? path.mid(dot) : QString();
}

QString withSlash(const QString &dir)
{
    return dir.endsWith('/') ? dir : dir + '/';
}

void startBar(QProgressBar *bar, int maximum)
{
    if (!bar)
        return;
    bar->setRange(0, std::max(0, maximum));
    bar->setValue(0);
}

void stepBar(QProgressBar *bar)
{
    if (bar)
        bar->setValue(std::min(bar->maximum(), bar->value() + 1));
}

// Scratch files older than this process belong to no running copy or import: they are
// what a crash left behind. The coarse clock is the one file times are stamped from.
const timespec kProcessStart = [] {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}();

void removeScratchLeftovers(const QString &dir)
{
    const QStringList names = QDir(dir).entryList({".part-*", ".import-*"}, QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        struct stat st {};
        if (::lstat(QFile::encodeName(dir + name).constData(), &st) != 0)
            continue;
        const timespec &t = st.st_mtim;
        if (t.tv_sec < kProcessStart.tv_sec ||
            (t.tv_sec == kProcessStart.tv_sec && t.tv_nsec < kProcessStart.tv_nsec))
            StoreFiles().Remove(dir + name);
    }
}

// Runs the given cleanup when the scope ends, however it ends.
template <class F> class ScopeExit {
public:
    explicit ScopeExit(F f) : m_f(std::move(f)) {}
    ~ScopeExit() { m_f(); }
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;

private:
    F m_f;
};

} // namespace

TCatalogNodeData *NodeData(QTreeWidgetItem *node)
{
    if (!node || node->type() != TCatalogNode::Type)
        return nullptr;
    return &static_cast<TCatalogNode *>(node)->Data;
}

TImageManager::TImageManager(QTreeWidget *treeView, TCatalogConnection *connection, TPageListView *listView,
                             QProgressBar *progressBar)
    : TreeView(treeView), ListView(listView), Query(std::make_unique<TCatalogQuery>(connection)),
      ExecQuery(std::make_unique<TCatalogQuery>(connection)), Connection(connection), ProgressBar(progressBar)
{
    ExecQuery->setExpectsNoRecords(true);
    ImagesPath = RootPath + "Images/";
    ThumbnailPath = RootPath + "Thumbnail/";
    QDir().mkpath(ImagesPath);
    QDir().mkpath(ThumbnailPath);
}

TImageManager::~TImageManager() = default;

// ---------------------------------------------------------------------------------------
// Tree

void TImageManager::LoadTree(const QString &statusList)
{
    TreeView->clear();
    auto *root = new QTreeWidgetItem;
    root->setText(0, "文件库");
    root->setData(0, TCatalogNode::ImageIndexRole, 0);
    TreeView->addTopLevelItem(root);

    const auto fail = [this] {
        Query->Close();
        Messages::Show("查询资料夹数据库错误", "提示", MsgIcon::Information, MsgButtons::Ok, TreeView);
    };
    if (!Query->Open("SELECT * FROM APP Order By APPORDER"))
        return fail();
    for (; !Query->Eof(); Query->Next())
        AddNode(root, Query->FieldText("APPNAME"), 1, Query->FieldByName("APPID").toInt(),
                Query->FieldByName("APPORDER").toInt());

    QString condition = "1=1";
    if (!statusList.isEmpty()) {
        condition = "1=0";
        for (const QString &e : statusList.split(','))
            condition += " Or STATUS = " + e;
    }

    // Children are added from the last node up, so the nodes still to visit keep their places.
    for (int i = root->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *type = root->child(i);
        if (!Query->Open("Select * from BATCH Where (" + condition +
                         ") and APPID=" + QString::number(NodeData(type)->Id) + " order by BATCHORDER"))
            return fail();
        for (; !Query->Eof(); Query->Next())
            AddNode(type, Query->FieldText("BATCHNAME"), 2, Query->FieldByName("BATCHID").toInt(),
                    Query->FieldByName("BATCHORDER").toInt());
    }
    for (int i = root->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *type = root->child(i);
        for (int j = type->childCount() - 1; j >= 0; --j) {
            QTreeWidgetItem *folder = type->child(j);
            if (!Query->Open("Select * from " +
                             CatalogSchema::ImgTableName(NodeData(type)->Id, NodeData(folder)->Id) +
                             " Order by IMAGEORDER")) {
                const QString error = Query->LastError();
                Query->Close();
                throw std::runtime_error(error.toStdString());
            }
            for (; !Query->Eof(); Query->Next())
                AddNode(folder, Query->FieldText("IMAGENAME"), 3, Query->FieldByName("IMAGEID").toInt(),
                        Query->FieldByName("IMAGEORDER").toInt());
        }
    }
    Query->Close();
}

QTreeWidgetItem *TImageManager::AddNode(QTreeWidgetItem *parent, const QString &caption, int imageIndex,
                                        int32_t id, int32_t order)
{
    auto *node = new TCatalogNode;
    node->setText(0, caption);
    node->setData(0, TCatalogNode::ImageIndexRole, imageIndex);
    node->Data = {id, order};
    if (parent)
        parent->addChild(node);
    else
        TreeView->addTopLevelItem(node);
    return node;
}

void TImageManager::DeleteNode(QTreeWidgetItem *node)
{
    QTreeWidget *tree = node ? node->treeWidget() : nullptr;
    if (!tree) {
        delete node; // the data record lives in the node
        return;
    }
    // The tree moves its current item while the node goes, with the node still among its
    // parent's children: whatever the window showed then would list the node's file and
    // make its folders again. The move is told once the node is gone.
    const QTreeWidgetItem *before = tree->currentItem();
    {
        const QSignalBlocker quiet(tree);
        delete node;
    }
    if (tree->currentItem() != before)
        emit tree->currentItemChanged(tree->currentItem(), nullptr);
    emit tree->itemSelectionChanged();
}

QTreeWidgetItem *TImageManager::FindChildById(QTreeWidgetItem *node, int id) const
{
    if (!node)
        return nullptr;
    for (int i = 0; i < node->childCount(); ++i) {
        const TCatalogNodeData *data = NodeData(node->child(i));
        if (data && data->Id == id)
            return node->child(i);
    }
    return nullptr;
}

QTreeWidgetItem *TImageManager::FindChildByName(QTreeWidgetItem *node, const QString &name) const
{
    if (!node)
        return nullptr;
    for (int i = 0; i < node->childCount(); ++i)
        if (node->child(i)->text(0) == name)
            return node->child(i);
    return nullptr;
}

int TImageManager::NodeKind(QTreeWidgetItem *node) const
{
    int level = 0;
    for (QTreeWidgetItem *p = node ? node->parent() : nullptr; p; p = p->parent())
        ++level;
    return level;
}

void TImageManager::GetNodePath(QTreeWidgetItem *node, bool absolute, QString &path) const
{
    path.clear();
    if (!node)
        node = TreeView->currentItem();
    if (!node)
        return;
    if (!node->parent()) {
        path = RootPath;
        return;
    }
    QStringList names;
    for (QTreeWidgetItem *n = node; n && n->parent(); n = n->parent())
        names.prepend(n->text(0));
    path = names.join('/');
    if (absolute)
        path = ImagesPath + path;
}

// ---------------------------------------------------------------------------------------
// Page list

void TImageManager::ShowNode(QTreeWidgetItem *node, QProgressBar *progressBar)
{
    Loading = true;
    bool listHidden = false;
    const ScopeExit done([&] {
        Loading = false;
        if (listHidden)
            ListView->setVisible(true);
        if (progressBar)
            progressBar->hide();
    });

    const int kind = NodeKind(node);
    if (kind <= 1) {
        ListView->ClearAll();
        ShownBatchId = ShownImageId = 0;
        ShownBatchName.clear();
        ShownFileName.clear();
        const TCatalogNodeData *data = kind == 1 ? NodeData(node) : nullptr;
        ShownAppId = data ? data->Id : 0;
        ShownAppName = kind == 1 ? node->text(0) : QString();
        return;
    }

    QTreeWidgetItem *folder = kind == 2 ? node : node->parent();
    QTreeWidgetItem *type = folder->parent();
    if (kind == 2 && ShownAppName == type->text(0) && ShownBatchName == folder->text(0) && ShownImageId == 0)
        return;
    if (kind == 3 && ShownAppName == type->text(0) && ShownBatchName == folder->text(0) &&
        ShownFileName == node->text(0))
        return;

    ListView->ClearAll();
    ShownAppId = NodeData(type) ? NodeData(type)->Id : 0;
    ShownAppName = type->text(0);
    ShownBatchId = NodeData(folder) ? NodeData(folder)->Id : 0;
    ShownBatchName = folder->text(0);
    ShownFileName = ":1";
    ShownImageId = -1;
    QList<QTreeWidgetItem *> files;
    if (kind == 2) {
        for (int i = 0; i < folder->childCount(); ++i)
            files << folder->child(i);
    } else {
        files << node;
    }

    ListView->hide();
    listHidden = true;
    if (progressBar) {
        startBar(progressBar, 0);
        if (files.size() > 1) {
            startBar(progressBar, files.size());
            progressBar->show();
        }
    }

    const bool namesValid = IsValidCatalogName(ShownAppName) && IsValidCatalogName(ShownBatchName);
    for (QTreeWidgetItem *file : files) {
        if (!Loading)
            return; // a nested ShowNode took over the list
        const QString fileName = file->text(0);
        if (namesValid && IsValidCatalogName(fileName)) {
            const QString fileDir = ShownAppName + "/" + ShownBatchName + "/" + fileName + "/";
            ForceRepositoryDir(ImagesPath + fileDir);
            QStringList exts;
            RenumberPages(fileDir, &exts, nullptr, false);
            if (progressBar && files.size() == 1 && exts.size() > 10) {
                startBar(progressBar, exts.size());
                progressBar->show();
            }
            const int order = NodeData(file) ? NodeData(file)->Order : 0;
            for (int n = 1; n <= exts.size(); ++n) {
                if (!Loading)
                    return;
                PageEntry entry{fileName, n, order, exts[n - 1], {}};
                entry.path = ShownPagePath(entry);
                ListView->AppendEntry(entry);
                if (files.size() == 1)
                    stepBar(progressBar);
                QCoreApplication::processEvents();
            }
        }
        if (files.size() > 1)
            stepBar(progressBar);
    }
    if (!Loading)
        return;

    ArrangeThumbnails();
    if (ListView->count() > 0)
        ListView->scrollToItem(ListView->item(0));
    if (kind == 2) {
        ShownImageId = 0;
        ShownFileName.clear();
    } else {
        ShownImageId = NodeData(node) ? NodeData(node)->Id : 0;
        ShownFileName = node->text(0);
    }
}

void TImageManager::ArrangeThumbnails()
{
    const int w = ListView->LargeImageSize().width();
    const int h = ListView->LargeImageSize().height();
    // A hidden list (as while ShowNode fills it) has not laid out its viewport yet.
    const int clientWidth =
        ListView->isVisible() ? ListView->viewport()->width() : ListView->maximumViewportSize().width();
    QPoint previous;
    for (int i = 0; i < ListView->count(); ++i) {
        QPoint pos;
        if (i == 0) {
            pos = {40, 0};
        } else if (ListView->Entry(i).page == 1) {
            pos = {40, previous.y() + h + 80}; // every file starts a new row
        } else {
            pos = {previous.x() + w + 40, previous.y()};
            if (clientWidth < pos.x() + w)
                pos = {40, previous.y() + h + 40};
        }
        ListView->SetItemPosition(i, pos);
        previous = pos;
    }
}

int TImageManager::FindPageItem(const QString &fileName, const QString &pageNo, int startIndex) const
{
    for (int i = std::max(0, startIndex); i < ListView->count(); ++i)
        if (ListView->SubItem(i, 0) == fileName && ListView->SubItem(i, 1) == pageNo)
            return i;
    return -1;
}

QString TImageManager::GetPagePath(int itemIndex) const
{
    const QListWidgetItem *item = ListView->item(itemIndex);
    if (!item)
        return {};
    const PageEntry entry = TPageListView::EntryOf(item);
    return entry.path.isEmpty() ? ShownPagePath(entry) : entry.path;
}

QString TImageManager::ShownPagePath(const PageEntry &entry) const
{
    return ImagesPath % ShownAppName % u'/' % ShownBatchName % u'/' % entry.file % u'/' % PagePrefix %
           sevenDigits(entry.page) % entry.ext;
}

QList<PageEntry> TImageManager::SelectedPages() const
{
    QList<PageEntry> pages = ListView->SelectedEntries();
    for (PageEntry &entry : pages)
        if (entry.path.isEmpty())
            entry.path = ShownPagePath(entry);
    return pages;
}

void TImageManager::GetSelectedPagePaths(QStringList &list) const
{
    list.clear();
    for (const PageEntry &entry : SelectedPages())
        list << entry.path;
}

void TImageManager::updateShownEntries(const std::function<void(PageEntry &)> &change)
{
    for (int i = 0; i < ListView->count(); ++i) {
        PageEntry entry = ListView->Entry(i);
        change(entry);
        entry.path = ShownPagePath(entry);
        ListView->SetEntry(i, entry);
    }
}

QString TImageManager::GetItemFileName(int itemIndex) const
{
    return ListView->SubItem(itemIndex, 0);
}

int TImageManager::GetItemFileIndex(int itemIndex) const
{
    QTreeWidgetItem *selected = TreeView->currentItem();
    const int kind = NodeKind(selected);
    if (kind == 2) {
        const QString name = GetItemFileName(itemIndex);
        for (int i = 0; i < selected->childCount(); ++i)
            if (selected->child(i)->text(0) == name)
                return i;
        return -1;
    }
    if (kind == 3)
        return selected->parent()->indexOfChild(selected);
    return -1;
}

int TImageManager::GetItemImageId(int itemIndex) const
{
    QTreeWidgetItem *selected = TreeView->currentItem();
    const int kind = NodeKind(selected);
    if (kind != 2 && kind != 3)
        return -1;
    const int index = GetItemFileIndex(itemIndex);
    QTreeWidgetItem *folder = kind == 2 ? selected : selected->parent();
    const TCatalogNodeData *data = index >= 0 ? NodeData(folder->child(index)) : nullptr;
    return data ? data->Id : -1;
}

// ---------------------------------------------------------------------------------------
// Paths and directories

QString TImageManager::ThumbnailPathOf(const QString &pagePath) const
{
    QString path = pagePath;
    const QString ext = extensionOf(path);
    if (ext.size() == 4)
        path = path.left(path.size() - 4) + ".bmp";
    const int at = path.indexOf(ImagesPath, 0, Qt::CaseInsensitive);
    if (at >= 0)
        path.replace(at, ImagesPath.size(), ThumbnailPath);
    return path;
}

static QString mirrorOf(const QString &path, const QString &from, const QString &to)
{
    QString mirror = path;
    const int at = mirror.indexOf(from, 0, Qt::CaseInsensitive);
    if (at >= 0)
        mirror.replace(at, from.size(), to);
    return mirror;
}

bool TImageManager::IsValidCatalogName(const QString &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\\') &&
           !name.contains(QChar(0));
}

bool TImageManager::IsRepositoryPath(const QString &path) const
{
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return false;
    const QString clean = QDir::cleanPath(path);
    for (const QString &base : {ImagesPath, ThumbnailPath}) {
        const QString b = QDir::cleanPath(base) + '/';
        if (clean.startsWith(b) && clean.size() > b.size())
            return true;
    }
    return false;
}

bool TImageManager::ForceRepositoryDir(const QString &path)
{
    if (!IsRepositoryPath(path))
        return false;
    if (QDir().mkpath(path))
        QDir().mkpath(mirrorOf(path, ImagesPath, ThumbnailPath));
    return QFileInfo(path).isDir();
}

bool TImageManager::RemoveRepositoryDir(const QString &path)
{
    if (!IsRepositoryPath(path))
        return false;
    pagesChanging(withSlash(path), true);
    EmptyDirectory(path);
    const bool removed = QDir().rmdir(path);
    const QString mirror = mirrorOf(path, ImagesPath, ThumbnailPath);
    if (mirror != path && IsRepositoryPath(mirror)) {
        EmptyDirectory(mirror);
        QDir().rmdir(mirror);
    }
    return removed;
}

bool TImageManager::IsShownDir(const QString &dir) const
{
    const QString d = withSlash(dir).toLower();
    const QString folder = (ImagesPath + ShownAppName + "/" + ShownBatchName + "/").toLower();
    if (!d.contains(folder))
        return false;
    return ShownFileName.isEmpty() || d == folder + ShownFileName.toLower() + "/";
}

// ---------------------------------------------------------------------------------------
// Page files

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
    const QString dir = withSlash(ImagesPath + fileDir);
    const ScopeExit hideBar([&] {
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
    const QString thumbDir = mirrorOf(dir, ImagesPath, ThumbnailPath);
    if (thumbDir != dir && IsRepositoryPath(thumbDir))
        removeScratchLeftovers(thumbDir);

    QStringList names;
    for (const QString &ext : kPageExts)
        ListFiles(dir + PagePrefix + "*" + ext, faArchive, names);

    QList<QPair<QString, QString>> pairs;
    QStringList extList;
    extList.reserve(names.size());
    bool firstPassDone = journalDone;
    for (int i = 0; i < names.size(); ++i) {
        const QString &s = names[i];
        const QString e = s.right(4).toLower();
        const QString expected = PagePrefix + sevenDigits(i + 1);
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
        startBar(progressBar, updateList ? pairs.size() + names.size() : names.size());
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
                stepBar(progressBar);
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
        stepBar(progressBar);
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
        const QString dir = withSlash(QFileInfo(path).path());
        if (renumber && dir != previousDir && !previousDir.isEmpty())
            renumberDir(previousDir);
        previousDir = dir;
    }
    if (renumber && !previousDir.isEmpty())
        renumberDir(previousDir);
}

namespace {

// Where AddPages and MovePages put the k-th new page: before page BeforePage, or at the end.
struct NewPageNames {
    QString dir;
    QString prefix;
    int k = 1;

    QString next(const QString &ext)
    {
        QString target = dir + prefix + fiveDigits(k) + ext;
        while (QFileInfo::exists(target))
            target = dir + prefix + fiveDigits(++k) + ext;
        ++k;
        return target;
    }
};

bool isPageExt(const QString &ext)
{
    return kPageExts.contains(ext);
}

} // namespace

void TImageManager::AddPages(QStringList *sources, const QString &appName, bool renumber, int beforePage,
                             const QString &fileName, const QString &batchName)
{
    QStringList list = selectionOrNull(sources);
    QStringList copied;
    if (IsValidCatalogName(appName) && IsValidCatalogName(batchName) && IsValidCatalogName(fileName)) {
        const QString fileDir = appName + "/" + batchName + "/" + fileName + "/";
        NewPageNames names{ImagesPath + fileDir, beforePage <= 0
                                                     ? PagePrefix + "Z"
                                                     : PagePrefix + sevenDigits(beforePage - 1) + "-"};
        if (ForceRepositoryDir(names.dir)) {
            for (const QString &source : list) {
                const QString ext = extensionOf(source).toLower();
                if (isPageExt(ext) && CopyPageFile(source, names.next(ext)))
                    copied << source;
            }
            if (renumber)
                RenumberPages(fileDir, nullptr, nullptr, true);
        }
    }
    if (sources)
        *sources = copied;
}

// Pages that stay in their directory are renamed into place; others are copied, and a
// source is deleted only once its copy is there with the source's size.
void TImageManager::MovePages(QStringList *sources, const QString &appName, bool renumber, int beforePage,
                              const QString &fileName, const QString &batchName)
{
    QStringList list = selectionOrNull(sources);
    QStringList moved;
    QStringList toDelete;
    if (IsValidCatalogName(appName) && IsValidCatalogName(batchName) && IsValidCatalogName(fileName)) {
        const QString fileDir = appName + "/" + batchName + "/" + fileName + "/";
        NewPageNames names{ImagesPath + fileDir, beforePage <= 0
                                                     ? PagePrefix + "Z"
                                                     : PagePrefix + sevenDigits(beforePage - 1) + "-"};
        if (ForceRepositoryDir(names.dir)) {
            for (const QString &source : list) {
                const QString ext = extensionOf(source).toLower();
                if (!isPageExt(ext))
                    continue;
                const QString target = names.next(ext);
                if (QDir::cleanPath(QFileInfo(source).path()) == QDir::cleanPath(names.dir)) {
                    pagesChanging(source, false);
                    if (RenamePageFile(source, target))
                        moved << source;
                } else if (CopyPageFile(source, target)) {
                    const QFileInfo copy(target);
                    if (copy.exists() && copy.size() == QFileInfo(source).size()) {
                        moved << source;
                        toDelete << source;
                    }
                }
            }
            DeletePages(&toDelete, renumber);
            if (renumber)
                RenumberPages(fileDir, nullptr, nullptr, true);
        }
    }
    if (sources)
        *sources = moved;
}

void TImageManager::MovePagesBefore(QListWidgetItem *targetItem, QStringList *sources)
{
    if (!targetItem)
        return;
    QStringList list = selectionOrNull(sources);
    const bool wasVisible = ListView->isVisible();
    ListView->setUpdatesEnabled(false);
    ListView->hide();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ScopeExit restore([&] {
        QApplication::restoreOverrideCursor();
        if (wasVisible)
            ListView->show();
        ListView->setUpdatesEnabled(true);
    });
    try {
        const int targetIndex = ListView->row(targetItem);
        int m = 0;
        for (int i = 0; i < targetIndex; ++i)
            if (list.contains(GetPagePath(i)))
                ++m;
        const int p = targetIndex - m;
        const PageEntry target = TPageListView::EntryOf(targetItem);
        MovePages(&list, ShownAppName, true, target.page, target.file, ShownBatchName);
        if (sources)
            *sources = list;
        ListView->clearSelection();
        for (int i = p; i < p + list.size() && i < ListView->count(); ++i)
            ListView->item(i)->setSelected(true);
        ArrangeThumbnails();
        const QList<QListWidgetItem *> selected = ListView->selectedItems();
        if (!selected.isEmpty())
            ListView->scrollToItem(ListView->item(p));
    } catch (...) {
    }
}

void TImageManager::MovePagesToFile(QTreeWidgetItem *node, QStringList *sources, int beforePage)
{
    // A folder target first gets a new file of its own, under the default name.
    if (NodeKind(node) == 2)
        node = NewFile(node, QString(), true);
    if (NodeKind(node) != 3)
        return;
    QStringList list = selectionOrNull(sources);
    ListView->setUpdatesEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ScopeExit restore([&] {
        QApplication::restoreOverrideCursor();
        ListView->setUpdatesEnabled(true);
    });
    const QString fileName = node->text(0);
    const QString batchName = node->parent()->text(0);
    const QString appName = node->parent()->parent()->text(0);
    MovePages(&list, appName, true, beforePage, fileName, batchName);
    if (sources)
        *sources = list;
    ListView->clearSelection();
    if (IsShownDir(ImagesPath + appName + "/" + batchName + "/" + fileName + "/")) {
        int last = FindPageItem(fileName, "1", 0);
        if (last >= 0) {
            while (last + 1 < ListView->count() && ListView->SubItem(last + 1, 0) == fileName)
                ++last;
            for (int i = std::max(0, last - int(list.size()) + 1); i <= last && !list.isEmpty(); ++i)
                ListView->item(i)->setSelected(true);
        }
    }
    ArrangeThumbnails();
    const QList<QListWidgetItem *> selected = ListView->selectedItems();
    if (!selected.isEmpty())
        ListView->scrollToItem(selected.first());
}

void TImageManager::ReplacePage(int itemIndex, const QString &sourceFile)
{
    QListWidgetItem *item = ListView->item(itemIndex);
    const QString page = GetPagePath(itemIndex);
    const QString ext = extensionOf(sourceFile).toLower();
    if (!item || page.isEmpty() || !isPageExt(ext) || !IsRepositoryPath(page))
        return;
    pagesChanging(page, false);
    if (ext != extensionOf(page)) {
        // The new page is in place before the old one goes, so a failure loses nothing.
        const QString replaced = page.left(page.size() - extensionOf(page).size()) + ext;
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
