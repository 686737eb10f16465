// The main window's side of single-page mode: switching between the page list and the
// embedded viewer, and the menu commands that the viewer carries out.
#include "TForm1.h"

#include "BusyCursor.h"
#include "CatalogContext.h"
#include "Messages.h"
#include "Quietly.h"
#include "PageListView.h"
#include "TForm5.h"
#include "TFormBrightContrast.h"
#include "TImageManager.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QPointer>
#include <QTreeWidget>

#include <algorithm>

#include "ovisco/OviscoInterface.h"

namespace {

// Calls Handler for the events of one kind that reach the watched objects.
class EventHook : public QObject {
public:
    EventHook(QObject *parent, std::function<bool(QObject *, QEvent *)> handler)
        : QObject(parent), m_handler(std::move(handler))
    {
    }
    bool eventFilter(QObject *watched, QEvent *event) override { return m_handler(watched, event); }

private:
    std::function<bool(QObject *, QEvent *)> m_handler;
};

// The viewer's commands and the viewer's handler each one runs.
struct ViewerRoute {
    const char *name;
    void (TForm5::*handler)();
};

const ViewerRoute kViewerRoutes[] = {
    {"MN_ZOOM_IN", &TForm5::btn_ZoomInClick},
    {"MN_ZOOM_OUT", &TForm5::btn_ZoomOutClick},
    {"MN_ZOOM_FITWIDTH", &TForm5::btn_ZOOM_FITWIDTHClick},
    {"MN_ZOOM_FITHEIGHT", &TForm5::btn_ZOOM_FITHEIGHTClick},
    {"MN_ZOOM_BESTFIT", &TForm5::btn_ZOOM_BESTFITClick},
    {"MN_ZOOM_ACTUALSIZE", &TForm5::btn_ZOOM_ACTUALSIZEClick},
    {"MN_NAVIGATION_FIRSTPAGE", &TForm5::btn_FirstPageClick},
    {"MN_NAVIGATION_PREVIOUSPAGE", &TForm5::btn_PreviousPageClick},
    {"MN_NAVIGATION_NEXTPAGE", &TForm5::btn_NextPageClick},
    {"MN_NAVIGATION_LASTPAGE", &TForm5::btn_LastPageClick},
    {"MN_IMAGE_BRIGHTCONTRAST", &TForm5::btnBrightContrastClick},
};

} // namespace

void TForm1::FileDeleteCommand()
{
    // With neither the tree nor the page list in use, single-page mode deletes in the
    // viewer; everything else is the main handler's.
    const bool tree = WorkingFocus() == TreeView1 && TreeView1->currentItem();
    const bool list = WorkingFocus() == ListView1 && !ListView1->selectedItems().isEmpty();
    if (!tree && !list && m_context->Viewer().open)
        ViewerDeleteClick();
    else
        MN_FILE_DELETEClick();
}

void TForm1::ConnectViewer(TForm5 *viewer)
{
    Viewer = viewer;
    // The viewer lies over the page list and fills the right-hand area.
    viewer->setParent(Panel3);
    viewer->setGeometry(Panel3->rect());
    viewer->hide();
    // The hook may outlive either side while the windows are torn down: it holds guarded pointers only.
    QPointer<QWidget> panel = Panel3;
    QPointer<TForm5> guardedViewer = viewer;
    Panel3->installEventFilter(new EventHook(viewer, [panel, guardedViewer](QObject *watched, QEvent *event) {
        if (event->type() == QEvent::Resize && panel && guardedViewer && watched == panel.data())
            guardedViewer->setGeometry(panel->rect());
        return false;
    }));

    // Every store operation that deletes, renames or overwrites page files first lets the
    // viewer drop or write back its pending change of the shown page.
    if (ImageManager)
        ImageManager->PagesChanging = [guardedViewer](const QString &path, bool removing) {
            if (guardedViewer)
                guardedViewer->PagesChanging(path, removing);
        };
    // The view commands' check marks follow single-page mode, whoever opens or closes it.
    connect(m_context, &TCatalogContext::ViewerChanged, this, &TForm1::syncViewChecks);
    if (QAction *lock = Action(QStringLiteral("MN_ZOOM_LOCK"))) {
        m_context->SetZoomLocked(lock->isChecked());
        connect(lock, &QAction::toggled, m_context, &TCatalogContext::SetZoomLocked);
    }

    connect(ListView1, &QListWidget::itemDoubleClicked, this, [this] { ListView1DblClick(); });

    for (const ViewerRoute &route : kViewerRoutes)
        if (QAction *a = Action(QString::fromLatin1(route.name)))
            connect(a, &QAction::triggered, viewer, route.handler);
    for (const char *percent : {"25", "50", "75", "100", "200", "400"}) {
        const QString text = QString::fromLatin1(percent);
        if (QAction *a = Action(QStringLiteral("MN_ZOOM_") + text))
            connect(a, &QAction::triggered, viewer, [viewer, text] {
                viewer->ComboBox2->setEditText(text);
                viewer->ComboBox2Apply();
            });
    }

    // Closing the main window closes the viewer first, which writes back a changed page.
    installEventFilter(new EventHook(viewer, [this](QObject *watched, QEvent *event) {
        if (watched == this && event->type() == QEvent::Close && Viewer && !Viewer->isHidden())
            Viewer->CloseViewer();
        return false;
    }));

    // A left double-click on the picture itself returns to the page list; the click still
    // reaches the picture. One on a scroll bar or the corner between them is the scroll
    // bars' own.
    if (viewer->OviscoPicture) {
        auto *hook = new EventHook(viewer, [this](QObject *, QEvent *event) {
            if (event->type() == QEvent::MouseButtonDblClick &&
                static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && Viewer &&
                !Viewer->isHidden())
                Viewer->CloseViewer();
            return false;
        });
        QWidget *picture = viewer->OviscoPicture->widget();
        QWidget *image = picture->findChild<QWidget *>(QStringLiteral("OviscoView"));
        (image ? image : picture)->installEventFilter(hook);
    }
}

void TForm1::syncViewChecks()
{
    const bool single = m_context->Viewer().open;
    const bool icons = ListView1->viewMode() == QListView::IconMode;
    const struct {
        const char *name;
        bool checked;
    } checks[] = {{"MN_VIEW_SINGLE", single},
                  {"MN_VIEW_THUMBNAIL", !single && icons},
                  {"MN_VIEW_LIST", !single && !icons}};
    for (const auto &c : checks)
        if (QAction *a = Action(QString::fromLatin1(c.name)))
            a->setChecked(c.checked);
}

void TForm1::MN_VIEW_SINGLEClick()
{
    if (!Viewer)
        return;
    ListView1->clearSelection();
    Viewer->OpenViewer();
    syncViewChecks();
    QCoreApplication::processEvents();
    QListWidgetItem *item = ListView1->currentItem();
    if (!item && ListView1->count() > 0)
        item = ListView1->item(0);
    if (item)
        item->setSelected(true);
}

void TForm1::ListView1DblClick()
{
    if (!ListView1->selectedItems().isEmpty())
        MN_VIEW_SINGLEClick();
}

void TForm1::MN_VIEW_THUMBNAILClick()
{
    if (Viewer && !Viewer->isHidden())
        Viewer->CloseViewer();
    // Already in thumbnail mode: the command keeps its check mark.
    syncViewChecks();
}

void TForm1::ViewerDeleteClick()
{
    UpdateCommandStates();
    if (!Viewer || !Viewer->HasImage() || !Action(QStringLiteral("MN_FILE_DELETE"))->isEnabled())
        return;
    if (!(Viewer->ViewerSelection == TViewerRect{})) {
        ImageProc(Action(QStringLiteral("MN_FILE_DELETE")));
        return;
    }
    arkavo::Quietly("viewer delete", [&] {
        if (Messages::Show(QStringLiteral("确定要删除选中图像吗?"), QStringLiteral("提示"), MsgIcon::Question,
                           MsgButtons::YesNo, this) != MsgAnswer::Yes)
            return;
        int k = ListView1->count();
        for (QListWidgetItem *item : ListView1->selectedItems())
            k = std::min(k, ListView1->row(item));
        if (k == ListView1->count())
            k = Viewer->PageIndex;
        QStringList paths = PathsOf(ImageManager->SelectedPages());
        if (paths.isEmpty() && !Viewer->PagePath.isEmpty())
            paths << Viewer->PagePath;
        // The store tells the viewer before the page goes, which drops its pending change.
        {
            const BusyCursor busy;
            arkavo::Quietly("viewer delete", [&] { ImageManager->DeletePages(&paths, true); });
        }
        markAfterPageDelete(k);
    });
    UpdateCommandStates();
}

void TForm1::markAfterPageDelete(int k)
{
    if (k >= 0 && k < ListView1->count())
        ListView1->setCurrentRow(k, QItemSelectionModel::NoUpdate);
    else if (ListView1->count() > 0)
        ListView1->setCurrentRow(std::clamp(k - 1, 0, ListView1->count() - 1), QItemSelectionModel::NoUpdate);
    if (!Action(QStringLiteral("MN_VIEW_SINGLE"))->isChecked()) {
        ImageManager->ArrangeThumbnails();
        return;
    }
    // Single-page mode shows the marked page when it belongs to the viewer's file, or else
    // the one before it when that one does.
    QListWidgetItem *focused = ListView1->currentItem();
    if (!focused || !Viewer)
        return;
    const QTreeWidgetItem *file = NodeAtAbsoluteIndex(TreeView1, Viewer->FileIndex);
    const QString caption = file ? file->text(0) : QString();
    const int row = ListView1->row(focused);
    if (TPageListView::SubItem(focused, 0) == caption) {
        ListView1->setCurrentRow(row);
    } else if (row > 0 && TPageListView::SubItem(ListView1->item(row - 1), 0) == caption) {
        ListView1->setCurrentRow(row - 1);
    }
}
