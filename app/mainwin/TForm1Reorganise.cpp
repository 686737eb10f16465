// The main window's clipboard, page move and merge commands.
#include "TForm1.h"

#include "BusyCursor.h"
#include "CatalogContext.h"
#include "Clipboard.h"
#include "CutMark.h"
#include "Messages.h"
#include "PageImport.h"
#include "PageListView.h"
#include "Quietly.h"
#include "TImageManager.h"
#include "TargetChooser.h"
#include "TForm1Internal.h"
#include "TformFieldInput.h"
#include "WordSort.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QTreeWidget>

using namespace mainwin;

namespace {

QString fileDirOf(const QTreeWidgetItem *file)
{
    return file->parent()->parent()->text(0) + u'/' + file->parent()->text(0) + u'/' + file->text(0) + u'/';
}

} // namespace

// ---- Clipboard ----

bool TForm1::ownsFileClipboard() const
{
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    return mime && m_clipboardData && mime == m_clipboardData.data() && mimeHasFiles(mime);
}

void TForm1::putSelectionOnClipboard()
{
    m_clipboardData = nullptr;
    if (CopyFilesToClipboard(m_context->SelectedPagePaths()))
        m_clipboardData = QGuiApplication::clipboard()->mimeData();
}

void TForm1::clearCutMarks()
{
    for (int i = 0; i < ListView1->count(); ++i)
        SetCutFlag(ListView1->item(i), false);
    ListView1->viewport()->update();
}

void TForm1::cancelPendingCut()
{
    if (!CutPending || !ownsFileClipboard())
        return;
    CutPending = false;
    QGuiApplication::clipboard()->clear();
    m_clipboardData = nullptr;
    clearCutMarks();
}

void TForm1::MN_EDIT_CUTClick()
{
    arkavo::Quietly("cut", [&] {
        CutPending = true;
        putSelectionOnClipboard();
        clearCutMarks();
        for (QListWidgetItem *item : ListView1->selectedItems())
            SetCutFlag(item, true);
    });
    ListView1->viewport()->update();
}

void TForm1::MN_EDIT_COPYClick()
{
    arkavo::Quietly("copy", [&] {
        CutPending = false;
        putSelectionOnClipboard();
        clearCutMarks();
    });
}

void TForm1::importPagesInto(QTreeWidgetItem *node, const QStringList &files)
{
    // A folder receives a new file; the root and file types take no pages.
    if (TCatalogContext::NodeLevel(node) == 2)
        node = ImageManager->NewFile(node, QString(), true);
    if (TCatalogContext::NodeLevel(node) != 3 || !NodeData(node))
        return;
    QTreeWidgetItem *folder = node->parent();
    TImportContext context{this, ProgressBar1, StatusBar1};
    ImportPages(*ImageManager, files, folder->parent()->text(0), NodeData(node)->Order, node->text(0),
                folder->text(0), context);
}

void TForm1::MN_EDIT_PASTEClick()
{
    QStringList files;
    {
        BusyCursor busy;
        PasteFilesFromClipboard(files);
        // Nothing is pasted when any entry is missing, even when the others are there.
        for (qsizetype i = files.size() - 1; i >= 0; --i) {
            const QFileInfo entry(files[i]);
            if (!entry.isFile() && !entry.isDir()) {
                Messages::Error(QStringLiteral("无法读源文件或磁盘！"), this);
                return;
            }
        }
    }
    if (files.isEmpty())
        return;
    BusyCursor busy;
    importWithListFrozen([&] {
        QTreeWidgetItem *target = m_context->SelectedNode();
        const int level = TCatalogContext::NodeLevel(target);
        if (level != 2 && level != 3)
            return;
        if (CutPending && ownsFileClipboard()) {
            // Cut pages move once: the clipboard is emptied before they go.
            QGuiApplication::clipboard()->clear();
            m_clipboardData = nullptr;
            CutPending = false;
            ImageManager->MovePagesToFile(target, &files, 0);
        } else {
            importPagesInto(target, files);
        }
    });
}

// ---- Copy and move pages to a chosen file ----

int TForm1::ChooseTarget(const QString &prompt)
{
    return arkavo::QuietlyOr("choose target", -1, [&] {
        TForm2 dialog(this);
        dialog.SetMainTree(TreeView1, ImageList4->Images);
        dialog.Label1->setText(prompt);
        return dialog.exec() == QDialog::Accepted ? dialog.SelectedIndex() : -1;
    });
}

void TForm1::MN_EDIT_COPYPAGETOClick()
{
    const int i = ChooseTarget(QStringLiteral("将选定的页面复制到文件"));
    QTreeWidgetItem *node = NodeAtAbsoluteIndex(TreeView1, i);
    if (!node)
        return;
    const QStringList pages = m_context->SelectedPagePaths();
    arkavo::Quietly("copy pages to", [&] {
        importPagesInto(node, pages);
        ImageManager->ArrangeThumbnails();
        if (!ListView1->selectedItems().isEmpty())
            ListView1->scrollToItem(ListView1->selectedItems().first());
    });
    UpdateCommandStates();
}

void TForm1::MN_EDIT_MOVEPAGETOClick()
{
    const int i = ChooseTarget(QStringLiteral("将选定的页面移动到文件"));
    QTreeWidgetItem *node = NodeAtAbsoluteIndex(TreeView1, i);
    if (!node)
        return;
    QStringList pages = m_context->SelectedPagePaths();
    arkavo::Quietly("move pages to", [&] { ImageManager->MovePagesToFile(node, &pages, 0); });
    UpdateCommandStates();
}

// ---- Merge ----

void TForm1::MN_EDIT_MERGEFILETOClick()
{
    QTreeWidgetItem *merged = m_context->SelectedNode();
    if (TCatalogContext::NodeLevel(merged) != 3 || !NodeData(merged))
        return;
    int targetIndex = -1;
    int mode = 0;
    {
        TForm6 dialog(this);
        dialog.SetMainTree(TreeView1, ImageList4->Images);
        if (dialog.exec() != QDialog::Accepted)
            return;
        targetIndex = dialog.SelectedIndex();
        mode = dialog.MergeMode();
    }
    QTreeWidgetItem *target = NodeAtAbsoluteIndex(TreeView1, targetIndex);
    if (TCatalogContext::NodeLevel(target) != 3 || target == merged || mode < 0 || mode > 3)
        return;

    bool refused = false;
    arkavo::Quietly("merge", [&] {
        // Every page of the merged file, by path: single-page mode never selects more than one.
        QStringList pages;
        for (int i = 0; i < ListView1->count(); ++i)
            pages << ImageManager->GetPagePath(i);
        if (mode <= 1) {
            ImageManager->MovePagesToFile(target, &pages, mode == 0 ? 1 : 0);
            return;
        }
        const QString targetDir = fileDirOf(target);
        QStringList exts;
        if (!ImageManager->RenumberPages(targetDir, &exts, nullptr, false) &&
            QFileInfo(ImageManager->ImagesPath + targetDir).exists()) {
            refused = true; // the target's numbering is not to be relied on
            return;
        }
        const int n = int(exts.size());
        const int m = ListView1->count();
        const bool fits = mode == 2 ? (m == n || m == n + 1) : (n == m || n == m + 1);
        if (!fits) {
            refused = true;
            Messages::Error(QStringLiteral("两文件页数不符，无法合并！"), this);
            return;
        }
        // The target is not renumbered in between, so its pages keep the numbers 1 … n and
        // page i goes in just before the target's page b.
        const QString appName = target->parent()->parent()->text(0);
        const QString batchName = target->parent()->text(0);
        for (int i = 0; i < m; ++i) {
            QStringList one{pages[i]};
            ImageManager->MovePages(&one, appName, false, mode == 2 ? i + 1 : i + 2, target->text(0),
                                    batchName);
        }
    });
    if (refused)
        return;

    m_context->SelectNode(target);
    // The merged file goes only once it is empty: a page that did not arrive stays with it.
    QStringList left;
    ListFiles(ImageManager->ImagesPath + fileDirOf(merged) + ImageManager->PagePrefix + "*.*", faArchive,
              left);
    if (left.isEmpty()) {
        QTreeWidgetItem *folder = merged->parent();
        ImageManager->DeleteFile(NodeData(folder->parent())->Id, NodeData(folder)->Id, true, merged,
                                 NodeData(merged)->Id);
    } else {
        const QString name = merged->text(0);
        m_context->SelectNode(merged);
        Messages::Error(
            QStringLiteral("文件”%1“有 %2 个页面未能合并，文件已保留。").arg(name).arg(left.size()), this);
    }
    UpdateCommandStates();
}
