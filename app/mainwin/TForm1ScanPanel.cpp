// The scan panel in the main window: docked at the bottom of the left column under the
// tree, shown and hidden by the view menu, and its scan commands on the scanner menu and
// the page list's pop-up.
#include "TForm1.h"

#include "TForm3.h"
#include "TformFieldInput.h"

#include <QAction>
#include <QEvent>
#include <QLayout>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

// The docked panel gets the lower part of the left column.
constexpr int kDockedHeight = 370;

// A double-click on the panel's tabs floats it or docks it again.
class TabDoubleClick : public QObject {
public:
    TabDoubleClick(QObject *parent, std::function<void()> onDoubleClick)
        : QObject(parent), m_onDoubleClick(std::move(onDoubleClick))
    {
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonDblClick)
            m_onDoubleClick();
        return false;
    }

private:
    std::function<void()> m_onDoubleClick;
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
    panel->PageControl1->tabBar()->installEventFilter(new TabDoubleClick(panel, [this] {
        if (ScanPanel->parentWidget() == Panel2)
            FloatScanPanel();
        else
            DockScanPanel();
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
    const QPoint at = ScanPanel->mapToGlobal(QPoint(0, 0));
    Panel2->layout()->removeWidget(ScanPanel);
    ScanPanel->setParent(this, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                                   Qt::WindowCloseButtonHint);
    ScanPanel->move(at);
    ScanPanel->show();
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
    // the window closes. The search tab's panel comes with the search window.
    FieldInput = new TformFieldInput(ImageManager, ScanPanel->PageControl1);
    FieldInput->Follow(m_context);
    ScanPanel->PageControl1->addTab(FieldInput, QStringLiteral("索引"));
    auto *search = new QWidget(ScanPanel->PageControl1);
    search->setObjectName(QStringLiteral("TabSheetSearch"));
    ScanPanel->PageControl1->addTab(search, QStringLiteral("查询"));
}
