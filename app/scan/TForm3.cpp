#include "TForm3.h"

#include "BusyCursor.h"
#include "Controls.h"
#include "Globals.h"
#include "PageListView.h"
#include "Quietly.h"
#include "ScanProfiles.h"
#include "Startup.h"
#include "TImageManager.h"

#include "capteon/CapteonInterface.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

TForm3::TForm3(const TScanTargets &targets, CapteonControl *scanner, QWidget *parent)
    : QWidget(parent), m_targets(targets)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("功能面板"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    buildControls();

    Capteon1 = scanner;
    if (!Capteon1)
        if (auto *factory = qobject_cast<CapteonFactory *>(ControlRegistry::Capteon()))
            Capteon1 = factory->createControl(this);
    if (Capteon1)
        Capteon1->onPageDone(this, [this](HGLOBAL dib) { Capteon1PageDone(dib); });

    loadProfiles();
    QDir().mkpath(TempDir());
    if (Capteon1 && m_targets.mainWindow)
        Capteon1->setParentWindow(m_targets.mainWindow);
}

TForm3::~TForm3() = default;

void TForm3::buildControls()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(2, 2, 2, 2);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setTabPosition(QTabWidget::South);
    outer->addWidget(PageControl1);
    TabSheet1 = new QWidget(PageControl1);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet1, QStringLiteral("扫描设置"));

    auto *page = new QVBoxLayout(TabSheet1);
    auto *scannerRow = new QHBoxLayout;
    edtScanerName = new QLineEdit(TabSheet1);
    edtScanerName->setObjectName(QStringLiteral("edtScanerName"));
    edtScanerName->setReadOnly(true);
    btn_selectscaner = new QPushButton(QStringLiteral("选择"), TabSheet1);
    btn_selectscaner->setObjectName(QStringLiteral("btn_selectscaner"));
    scannerRow->addWidget(new QLabel(QStringLiteral("扫描仪"), TabSheet1));
    scannerRow->addWidget(edtScanerName, 1);
    scannerRow->addWidget(btn_selectscaner);
    page->addLayout(scannerRow);

    GroupBox1 = new QGroupBox(QStringLiteral("图像处理操作"), TabSheet1);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *grid = new QGridLayout(GroupBox1);
    ComboBox_TYPENAME = new QComboBox(GroupBox1);
    ComboBox_TYPENAME->setObjectName(QStringLiteral("ComboBox_TYPENAME"));
    ComboBox_TYPENAME->setEditable(true);
    ComboBox_TYPENAME->setInsertPolicy(QComboBox::NoInsert);
    SpeedButton2 = new QToolButton(GroupBox1);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setText(QStringLiteral("保存"));
    SpeedButton3 = new QToolButton(GroupBox1);
    SpeedButton3->setObjectName(QStringLiteral("SpeedButton3"));
    SpeedButton3->setText(QStringLiteral("删除"));
    auto *profileRow = new QHBoxLayout;
    profileRow->addWidget(ComboBox_TYPENAME, 1);
    profileRow->addWidget(SpeedButton2);
    profileRow->addWidget(SpeedButton3);
    grid->addLayout(profileRow, 0, 0, 1, 2);

    auto check = [this](const char *name, const char *caption) {
        auto *box = new QCheckBox(QString::fromUtf8(caption), GroupBox1);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    chkbox_CROPBLACKBOX = check("chkbox_CROPBLACKBOX", "去黑边");
    chkbox_DESKEW = check("chkbox_DESKEW", "自动纠偏");
    chkbox_AUTOCROP = check("chkbox_AUTOCROP", "智能裁剪");
    chkbox_INVERSE = check("chkbox_INVERSE", "反色");
    chkbox_INVERSE->hide(); // only a stored profile turns it on
    grid->addWidget(chkbox_CROPBLACKBOX, 1, 0);
    grid->addWidget(chkbox_DESKEW, 1, 1);
    grid->addWidget(chkbox_AUTOCROP, 2, 0);
    grid->addWidget(chkbox_INVERSE, 2, 1);

    ComboBox_ROTATE = new QComboBox(GroupBox1);
    ComboBox_ROTATE->setObjectName(QStringLiteral("ComboBox_ROTATE"));
    ComboBox_ROTATE->addItems({QStringLiteral("不旋转"), QStringLiteral("左转90度"),
                               QStringLiteral("右转90度"), QStringLiteral("旋转180度")});
    grid->addWidget(new QLabel(QStringLiteral("旋转"), GroupBox1), 3, 0);
    grid->addWidget(ComboBox_ROTATE, 3, 1);

    ComboBox_CUTMODE = new QComboBox(GroupBox1);
    ComboBox_CUTMODE->setObjectName(QStringLiteral("ComboBox_CUTMODE"));
    ComboBox_CUTMODE->addItems(
        {QStringLiteral("手工分隔"), QStringLiteral("空白页分隔"), QStringLiteral("固定页数")});
    grid->addWidget(new QLabel(QStringLiteral("分隔方式"), GroupBox1), 4, 0);
    grid->addWidget(ComboBox_CUTMODE, 4, 1);
    SpinEdit1 = new QSpinBox(GroupBox1);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setRange(1, 999999);
    SpinEdit1->setValue(1);
    Label1 = new QLabel(QStringLiteral("页"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    auto *countRow = new QHBoxLayout;
    countRow->addWidget(SpinEdit1, 1);
    countRow->addWidget(Label1);
    grid->addLayout(countRow, 5, 1);
    SpinEdit1->hide();
    Label1->hide();
    page->addWidget(GroupBox1);

    chkbox_ShowScanSetup = new QCheckBox(QStringLiteral("显示扫描仪驱动"), TabSheet1);
    chkbox_ShowScanSetup->setObjectName(QStringLiteral("chkbox_ShowScanSetup"));
    chkbox_ShowScanSetup->setChecked(true);
    page->addWidget(chkbox_ShowScanSetup);

    auto *buttons = new QHBoxLayout;
    auto button = [this](const char *name, const char *caption) {
        auto *b = new QPushButton(QString::fromUtf8(caption), TabSheet1);
        b->setObjectName(QString::fromLatin1(name));
        b->setEnabled(false);
        return b;
    };
    btn_scan_replace = button("btn_scan_replace", "重扫");
    btn_scan_insert = button("btn_scan_insert", "插入扫描");
    btn_scan_append = button("btn_scan_append", "添加扫描");
    buttons->addWidget(btn_scan_replace);
    buttons->addWidget(btn_scan_insert);
    buttons->addWidget(btn_scan_append);
    page->addLayout(buttons);
    page->addStretch(1);

    connect(btn_scan_append, &QPushButton::clicked, this, &TForm3::btn_scan_appendClick);
    connect(btn_scan_insert, &QPushButton::clicked, this, &TForm3::btn_scan_insertClick);
    connect(btn_scan_replace, &QPushButton::clicked, this, &TForm3::btn_scan_replaceClick);
    connect(btn_selectscaner, &QPushButton::clicked, this, &TForm3::btn_selectscanerClick);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm3::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm3::SpeedButton3Click);
    connect(ComboBox_TYPENAME, &QComboBox::currentTextChanged, this, &TForm3::ComboBox_TYPENAMEChange);
    connect(ComboBox_CUTMODE, &QComboBox::currentIndexChanged, this, &TForm3::ComboBox_CUTMODEChange);
    connect(chkbox_ShowScanSetup, &QCheckBox::clicked, this, &TForm3::chkbox_ShowScanSetupClick);
}

QString TForm3::TempDir() const
{
    return AppPath + QStringLiteral("temp/");
}

CleaningOptions TForm3::Cleaning() const
{
    CleaningOptions o;
    o.invert = chkbox_INVERSE->isChecked();
    o.removeBorder = chkbox_CROPBLACKBOX->isChecked();
    o.autoCrop = chkbox_AUTOCROP->isChecked();
    o.deskew = chkbox_DESKEW->isChecked();
    o.rotate = ComboBox_ROTATE->currentIndex();
    return o;
}

CutMode TForm3::Cut() const
{
    return CutMode(std::clamp(ComboBox_CUTMODE->currentIndex(), 0, 2));
}

// ---- Profiles ----

void TForm3::loadProfiles()
{
    const QStringList names = ScanProfiles(CatalogConnection).Names();
    const QSignalBlocker quiet(ComboBox_TYPENAME);
    ComboBox_TYPENAME->clear();
    ComboBox_TYPENAME->addItems(names);
    ComboBox_TYPENAME->setEditText(names.isEmpty() ? QStringLiteral("默认模板") : names.first());
    ComboBox_TYPENAMEChange();
}

void TForm3::ComboBox_TYPENAMEChange()
{
    const QString name = ComboBox_TYPENAME->currentText().trimmed();
    // A name the list does not hold (in any letter case) loads nothing until it is saved.
    const int listed = ComboBox_TYPENAME->findText(name, Qt::MatchFixedString);
    if (listed < 0)
        return;
    const std::optional<ScanProfile> p =
        ScanProfiles(CatalogConnection).Find(ComboBox_TYPENAME->itemText(listed));
    if (!p)
        return;
    chkbox_DESKEW->setChecked(p->deskew);
    chkbox_AUTOCROP->setChecked(p->autoCrop);
    chkbox_CROPBLACKBOX->setChecked(p->cropBlackBox);
    chkbox_INVERSE->setChecked(p->inverse);
    ComboBox_ROTATE->setCurrentIndex(std::clamp(p->rotate, 0, 3));
    if (p->cutMode > 0) {
        ComboBox_CUTMODE->setCurrentIndex(2);
        SpinEdit1->setValue(p->cutMode);
    } else {
        ComboBox_CUTMODE->setCurrentIndex(p->cutMode == 0 ? 1 : 0);
    }
    ComboBox_CUTMODEChange();
}

void TForm3::ComboBox_CUTMODEChange()
{
    const bool count = ComboBox_CUTMODE->currentIndex() == 2;
    SpinEdit1->setVisible(count);
    Label1->setVisible(count);
}

void TForm3::SpeedButton2Click()
{
    const QString name = ComboBox_TYPENAME->currentText().trimmed();
    ComboBox_TYPENAME->setEditText(name);
    if (name.isEmpty())
        return;
    ScanProfile p;
    p.deskew = chkbox_DESKEW->isChecked();
    p.autoCrop = chkbox_AUTOCROP->isChecked();
    p.cropBlackBox = chkbox_CROPBLACKBOX->isChecked();
    p.inverse = chkbox_INVERSE->isChecked();
    p.rotate = ComboBox_ROTATE->currentIndex();
    const int cut = ComboBox_CUTMODE->currentIndex();
    p.cutMode = cut == 2 ? SpinEdit1->value() : cut == 1 ? 0 : -1;
    ScanProfiles(CatalogConnection).Save(name, p);
    if (ComboBox_TYPENAME->findText(name) < 0) {
        const QSignalBlocker quiet(ComboBox_TYPENAME);
        ComboBox_TYPENAME->insertItem(0, name);
        ComboBox_TYPENAME->setEditText(name);
    }
}

void TForm3::SpeedButton3Click()
{
    const QString name = ComboBox_TYPENAME->currentText().trimmed();
    ComboBox_TYPENAME->setEditText(name);
    if (name.isEmpty())
        return;
    ScanProfiles(CatalogConnection).Delete(name);
    const int listed = ComboBox_TYPENAME->findText(name);
    if (listed >= 0) {
        const QSignalBlocker quiet(ComboBox_TYPENAME);
        ComboBox_TYPENAME->removeItem(listed);
        ComboBox_TYPENAME->setEditText(name);
    }
}

// ---- Scanner ----

void TForm3::btn_selectscanerClick()
{
    if (!Capteon1)
        return;
    arkavo::Quietly("select scanner", [&] { Capteon1->SelectScanner(); });
    showScannerName();
}

void TForm3::showScannerName()
{
    if (!Capteon1)
        return;
    edtScanerName->setText(Capteon1->Scanner());
    edtScanerName->setCursorPosition(0); // the name's start, which says what it is
}

void TForm3::chkbox_ShowScanSetupClick()
{
    if (Capteon1)
        Capteon1->setShowUI(chkbox_ShowScanSetup->isChecked());
}

void TForm3::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    showScannerName();
    emit VisibilityChanged(true);
}

void TForm3::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit VisibilityChanged(false);
}

void TForm3::showPace()
{
    if (!m_targets.status)
        return;
    const double minutes = m_scanClock.elapsed() / 60000.0;
    const int perMinute = minutes > 0 ? int(m_filedThisScan / minutes + 0.5) : 0;
    m_targets.status->setText(
        QStringLiteral("已归档 %1 页，每分钟 %2 页").arg(m_filedThisScan).arg(perMinute));
}

// ---- Scan commands ----

void TForm3::btn_scan_appendClick()
{
    TImageManager *store = m_targets.store;
    QTreeWidgetItem *node = m_targets.tree->currentItem();
    if (!store || !node)
        return;
    const int level = store->NodeKind(node);
    if (level != 2 && level != 3)
        return;
    ScanMode = 1;
    ScanAppName = store->ShownAppName;
    ScanBatchName = store->ShownBatchName;
    PagesPerFile = ComboBox_CUTMODE->currentIndex() == 2 ? SpinEdit1->value() : 999999;
    if (level == 3) {
        ScanFileName = node->text(0);
        ScanPageNo = m_targets.list->count() + 1;
    } else {
        QTreeWidgetItem *made = nullptr;
        arkavo::Quietly("new file for scan", [&] { made = store->NewFile(node, QString(), true); });
        if (!made)
            return;
        ScanFileName = made->text(0);
        ScanPageNo = 1;
    }
    runScan();
}

void TForm3::btn_scan_insertClick()
{
    QListWidgetItem *focused = m_targets.list->currentItem();
    if (!m_targets.store || !focused)
        return;
    ScanMode = 0;
    ScanAppName = m_targets.store->ShownAppName;
    ScanBatchName = m_targets.store->ShownBatchName;
    ScanFileName = TPageListView::SubItem(focused, 0);
    ScanPageNo = TPageListView::SubItem(focused, 1).toInt();
    runScan();
}

void TForm3::btn_scan_replaceClick()
{
    QListWidgetItem *focused = m_targets.list->currentItem();
    if (!m_targets.store || !focused)
        return;
    ScanMode = 2;
    ScanAppName = m_targets.store->ShownAppName;
    ScanBatchName = m_targets.store->ShownBatchName;
    ScanPageNo = m_targets.list->row(focused);
    runScan();
}

void TForm3::runScan()
{
    if (!Capteon1)
        return;
    TPageListView *list = m_targets.list;
    if (list->isVisible())
        list->setFocus();
    list->clearSelection();
    QWidget *window = m_targets.mainWindow;
    if (window)
        window->setEnabled(false);
    std::optional<BusyCursor> busy(std::in_place);
    const auto restore = [&] {
        busy.reset();
        if (window)
            window->setEnabled(true);
        if (list->selectedItems().isEmpty() && list->currentItem())
            list->currentItem()->setSelected(true);
    };
    m_filedThisScan = 0;
    m_scanClock.start();
    try {
        Capteon1->Scan();
    } catch (const std::exception &e) {
        restore();
        ShowException(&e);
        return;
    }
    restore();
}
