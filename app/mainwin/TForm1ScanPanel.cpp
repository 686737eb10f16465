// The scan panel in the main window: docked at the bottom of the left column under the
// tree, shown and hidden by the view menu, and its scan commands on the scanner menu and
// the page list's pop-up. Its tabs hold the index values and the search.
#include "TForm1.h"

#include "TForm3.h"
#include "TFormSearch.h"
#include "TformFieldInput.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QEvent>
#include <QLayout>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The docked panel gets the lower part of the left column.
constexpr int kDockedHeight = 370;

// The panel's tab bar is its handle: dragging it out of the dock floats the panel under
// the mouse, a double-click floats it or docks it again.
class PanelHandle : public QObject {
public:
    PanelHandle(QObject *parent, std::function<bool()> docked, std::function<void(QPoint)> floatAt,
                std::function<void()> toggle)
        : QObject(parent), m_docked(std::move(docked)), m_floatAt(std::move(floatAt)),
          m_toggle(std::move(toggle))
    {
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *bar = static_cast<QWidget *>(watched);
        switch (event->type()) {
        case QEvent::MouseButtonDblClick:
            m_pressed = false;
            m_toggle();
            return true;
        case QEvent::MouseButtonPress:
            m_pressed = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
            m_pressAt = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
            break;
        case QEvent::MouseButtonRelease:
            m_pressed = false;
            break;
        case QEvent::MouseMove: {
            if (!m_pressed || !m_docked())
                break;
            const QPoint at = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
            // Out of the dock by more than a drag's distance: the panel comes loose.
            QWidget *panel = bar->parentWidget() ? bar->parentWidget()->parentWidget() : nullptr;
            const QRect panelRect = panel ? QRect(panel->mapToGlobal(QPoint(0, 0)), panel->size()) : QRect();
            if ((at - m_pressAt).manhattanLength() > QApplication::startDragDistance() &&
                !panelRect.contains(at)) {
                m_pressed = false;
                m_floatAt(at);
                return true;
            }
            break;
        }
        default:
            break;
        }
        return false;
    }

private:
    std::function<bool()> m_docked;
    std::function<void(QPoint)> m_floatAt;
    std::function<void()> m_toggle;
    bool m_pressed = false;
    QPoint m_pressAt;
};

// A floating panel moved over the left column docks there again; nowhere else takes it.
class DockDrop : public QObject {
public:
    DockDrop(QObject *parent, std::function<void()> onMoved) : QObject(parent), m_onMoved(std::move(onMoved))
    {
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Move)
            m_onMoved();
        return false;
    }

private:
    std::function<void()> m_onMoved;
};

} // namespace

void TForm1::ConnectScanPanel(TForm3 *panel)
{
    ScanPanel = panel;
    panel->hide();
    RegisterCommandControl(QStringLiteral("btn_scan_append"), panel->btn_scan_append);
    RegisterCommandControl(QStringLiteral("btn_scan_insert"), panel->btn_scan_insert);
    RegisterCommandControl(QStringLiteral("btn_scan_replace"), panel->btn_scan_replace);

    const std::pair<const char *, void (TForm3::*)()> routes[] = {
        {"MN_SCANNER_APPENDSCAN", &TForm3::btn_scan_appendClick},
        {"PMN_SCANNER_APPENDSCAN", &TForm3::btn_scan_appendClick},
        {"MN_SCANNER_INSERTSCAN", &TForm3::btn_scan_insertClick},
        {"PMN_SCANNER_INSERTSCAN", &TForm3::btn_scan_insertClick},
        {"MN_SCANNER_REPLACESCAN", &TForm3::btn_scan_replaceClick},
        {"PMN_SCANNER_REPLACESCAN", &TForm3::btn_scan_replaceClick},
        {"MN_SCANNER_SELECTSCANNER", &TForm3::btn_selectscanerClick},
    };
    for (const auto &[name, handler] : routes)
        if (QAction *a = Action(QString::fromLatin1(name)))
            connect(a, &QAction::triggered, panel, handler);

    QAction *view = Action(QStringLiteral("MN_VIEW_SCANNER"));
    connect(view, &QAction::triggered, this, [this, view] {
        // The check mark has already flipped: it tells what the operator asked for.
        if (view->isChecked())
            DockScanPanel();
        else
            ScanPanel->hide();
    });
    connect(panel, &TForm3::VisibilityChanged, this, [this, view](bool shown) {
        view->setChecked(shown);
        if (!shown)
            RestoreTreeLayout();
    });
    panel->PageControl1->tabBar()->installEventFilter(new PanelHandle(
        panel, [this] { return ScanPanel->parentWidget() == Panel2; },
        [this](QPoint at) {
            FloatScanPanel();
            ScanPanel->move(at - QPoint(20, 10)); // under the mouse that pulled it out
        },
        [this] {
            if (ScanPanel->parentWidget() == Panel2)
                FloatScanPanel();
            else
                DockScanPanel();
        }));
    panel->installEventFilter(new DockDrop(panel, [this] {
        if (!ScanPanel || m_placingScanPanel || ScanPanel->parentWidget() == Panel2 ||
            !ScanPanel->isWindow() || !ScanPanel->isVisible())
            return;
        // Dropped on the left column (the tree): back into its dock. The tool bars and the
        // page area never take it.
        const QRect column(Panel4->mapToGlobal(QPoint(0, 0)), Panel4->size());
        const QPoint grip = ScanPanel->frameGeometry().topLeft() + QPoint(20, 10);
        if (column.contains(grip))
            QMetaObject::invokeMethod(this, &TForm1::DockScanPanel, Qt::QueuedConnection);
    }));
}

void TForm1::DockScanPanel()
{
    if (!ScanPanel)
        return;
    if (ScanPanel->parentWidget() != Panel2) {
        ScanPanel->setParent(Panel2, Qt::Widget);
        Panel2->layout()->addWidget(ScanPanel);
    }
    Panel2->show();
    ScanPanel->show();
    const int total = Splitter2->height();
    Splitter2->setSizes({std::max(0, total - Splitter2->handleWidth() - kDockedHeight), kDockedHeight});
}

void TForm1::FloatScanPanel()
{
    if (!ScanPanel)
        return;
    // Beside the left column, so that it does not land on its dock again at once.
    const QPoint at = Panel4->mapToGlobal(QPoint(Panel4->width() + 10, 40));
    m_placingScanPanel = true;
    Panel2->layout()->removeWidget(ScanPanel);
    ScanPanel->setParent(this, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                                   Qt::WindowCloseButtonHint);
    ScanPanel->move(at);
    ScanPanel->show();
    m_placingScanPanel = false;
    // With the panel gone from the dock the tree fills the left column.
    Panel2->hide();
}

void TForm1::RestoreTreeLayout()
{
    if (ScanPanel && ScanPanel->parentWidget() == Panel2 && !ScanPanel->isVisible())
        Panel2->hide();
}

void TForm1::firstShowScanPanel()
{
    if (!ScanPanel)
        return;
    DockScanPanel();
    // The index tab holds the value panel, which loads the shown file's values while it is
    // visible and saves them before the selection moves on, when the tab is left and when
    // the window closes. The search tab holds the search window's panel.
    FieldInput = new TformFieldInput(ImageManager, ScanPanel->PageControl1);
    FieldInput->Follow(m_context);
    ScanPanel->PageControl1->addTab(FieldInput, QStringLiteral("索引"));
    auto *search = new QWidget(ScanPanel->PageControl1);
    search->setObjectName(QStringLiteral("TabSheetSearch"));
    auto *searchLayout = new QVBoxLayout(search);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    if (FormSearch) {
        searchLayout->addWidget(FormSearch->PanelSearch);
        FormSearch->PanelSearch->show();
    }
    ScanPanel->PageControl1->addTab(search, QStringLiteral("查询"));
}

void TForm1::ConnectSearch(TFormSearch *search)
{
    FormSearch = search;
    search->PlaceResultStrip(Splitter3);
    search->Follow(m_context);
}
