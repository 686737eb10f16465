// Drag and drop: file types, folders, files and pages dragged onto the tree, pages
// dragged within the page list, image files dragged in from other programs, and page
// files dragged out to them.
#include "TForm1.h"

#include "CatalogContext.h"
#include "Clipboard.h"
#include "MainWindowViews.h"
#include "PageListView.h"
#include "Quietly.h"
#include "TImageManager.h"
#include "TForm1Internal.h"
#include "TformFieldInput.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

using namespace mainwin;

namespace {

// Marks a drag as coming from one of this window's views: an item view of another
// window or program carries none, or another one.
const QString kOriginFormat = QStringLiteral("application/x-arkavo-drag-origin");

QByteArray originToken(const TForm1 *form, TForm1::DragOrigin origin)
{
    return QByteArray::number(QCoreApplication::applicationPid()) + ' ' + QByteArray::number(quintptr(form)) +
           ' ' + QByteArray::number(int(origin));
}

} // namespace

void TForm1::setupDragAndDrop()
{
    auto *tree = static_cast<TCatalogTreeView *>(TreeView1);
    tree->StartDrag = [this] { startViewDrag(DragOrigin::Tree); };
    ListView1->StartDrag = [this] { startViewDrag(DragOrigin::List); };
    TreeView1->viewport()->installEventFilter(this);
    TreeView1->viewport()->setAcceptDrops(true);
}

TForm1::DragOrigin TForm1::dragOrigin(const QMimeData *mime) const
{
    if (!mime || !mime->hasFormat(kOriginFormat))
        return DragOrigin::Outside;
    const QByteArray token = mime->data(kOriginFormat);
    for (DragOrigin origin : {DragOrigin::Tree, DragOrigin::List})
        if (token == originToken(this, origin))
            return origin;
    return DragOrigin::Outside;
}

void TForm1::startViewDrag(DragOrigin origin)
{
    auto mime = std::make_unique<QMimeData>();
    QWidget *source = nullptr;
    QPixmap picture;
    if (origin == DragOrigin::Tree) {
        // The root is never dragged.
        QTreeWidgetItem *node = m_context->SelectedNode();
        if (TCatalogContext::NodeLevel(node) < 1)
            return;
        source = TreeView1;
    } else {
        // Page files go out as files, so a file manager or the desktop gets copies of them.
        const QStringList pages = m_context->SelectedPagePaths();
        if (pages.isEmpty())
            return;
        QList<QUrl> urls;
        for (const QString &page : pages)
            urls << QUrl::fromLocalFile(page);
        mime->setUrls(urls);
        const QList<QListWidgetItem *> selected = ListView1->selectedItems();
        if (!selected.isEmpty())
            picture = selected.first()->icon().pixmap(64, 64);
        source = ListView1;
    }
    mime->setData(kOriginFormat, originToken(this, origin));
    auto *drag = new QDrag(source);
    drag->setMimeData(mime.release());
    if (!picture.isNull())
        drag->setPixmap(picture);
    // Only ever a copy: the views' moves are made by the drop handlers, and a page leaves the
    // repository only through this program.
    if (RunDrag) {
        RunDrag(drag);
        delete drag;
    } else {
        drag->exec(Qt::CopyAction, Qt::CopyAction);
    }
}

bool TForm1::TreeView1DragOver(QTreeWidgetItem *target, const QMimeData *mime) const
{
    const int d = TCatalogContext::NodeLevel(target);
    if (d < 0)
        return false;
    switch (dragOrigin(mime)) {
    case DragOrigin::Tree: {
        QTreeWidgetItem *node = m_context->SelectedNode();
        switch (TCatalogContext::NodeLevel(node)) {
        case 1:
            return d == 1;
        case 2:
            return (d == 1 && target != node->parent()) || d == 2;
        case 3:
            return (d == 2 && target != node->parent()) || d == 3;
        default:
            return false;
        }
    }
    case DragOrigin::List:
        return d == 2 || (d == 3 && target->text(0) != ImageManager->ShownFileName);
    case DragOrigin::Outside:
        return (d == 2 || d == 3) && mimeHasFiles(mime);
    }
    return false;
}

void TForm1::TreeView1DragDrop(QTreeWidgetItem *target, const QMimeData *mime)
{
    if (!TreeView1DragOver(target, mime))
        return;
    const DragOrigin origin = dragOrigin(mime);
    arkavo::Quietly("tree drop", [&] {
        if (origin == DragOrigin::List) {
            QStringList pages = m_context->SelectedPagePaths();
            ImageManager->MovePagesToFile(target, &pages, 0);
        } else if (origin == DragOrigin::Outside) {
            const QStringList files = LocalFilesIn(mime);
            importWithListFrozen([&] { importPagesInto(target, files); });
        } else {
            QTreeWidgetItem *node = m_context->SelectedNode();
            switch (TCatalogContext::NodeLevel(node)) {
            case 1:
                ImageManager->MoveFileTypeNode(node, target);
                break;
            case 2:
            case 3:
                // The value panel's edits are written under the identifiers they were made for.
                if (FieldInput)
                    FieldInput->SaveIfChanged();
                if (TCatalogContext::NodeLevel(node) == 2)
                    ImageManager->MoveFolderNode(node, target);
                else
                    ImageManager->MoveFileNode(node, target);
                if (FieldInput)
                    FieldInput->LoadNode(TreeView1->currentItem());
                break;
            default:
                break;
            }
        }
    });
    UpdateCommandStates();
}

void TForm1::ListView1DragDrop(QListWidgetItem *target, const QMimeData *mime)
{
    const DragOrigin origin = dragOrigin(mime);
    arkavo::Quietly("list drop", [&] {
        if (origin == DragOrigin::List) {
            // Dropped on one of the dragged pages: they stay where they are.
            if (target && !target->isSelected())
                ImageManager->MovePagesBefore(target, nullptr);
        } else if (origin == DragOrigin::Outside) {
            const QStringList files = LocalFilesIn(mime);
            QTreeWidgetItem *node = m_context->SelectedNode();
            importWithListFrozen([&] { importPagesInto(node, files); });
        }
    });
    UpdateCommandStates();
}

bool TForm1::dragDropEvent(QObject *watched, QEvent *event)
{
    const bool tree = watched == TreeView1->viewport();
    const bool list = watched == ListView1->viewport();
    if (!tree && !list)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        const QPoint at = drag->position().toPoint();
        bool accept = false;
        if (tree) {
            // Entering is accepted for anything that may be dropped somewhere on the tree.
            accept =
                event->type() == QEvent::DragEnter
                    ? dragOrigin(drag->mimeData()) != DragOrigin::Outside || mimeHasFiles(drag->mimeData())
                    : TreeView1DragOver(TreeView1->itemAt(at), drag->mimeData());
        } else {
            const DragOrigin origin = dragOrigin(drag->mimeData());
            const int shown = m_context->SelectedLevel();
            accept =
                origin == DragOrigin::List || (origin == DragOrigin::Outside && (shown == 2 || shown == 3) &&
                                               mimeHasFiles(drag->mimeData()));
        }
        if (accept) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QPoint at = drop->position().toPoint();
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (tree)
            TreeView1DragDrop(TreeView1->itemAt(at), drop->mimeData());
        else
            ListView1DragDrop(ListView1->itemAt(at), drop->mimeData());
        return true;
    }
    default:
        return false;
    }
}
