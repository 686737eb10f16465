#include "TForm5.h"

#include "BusyCursor.h"
#include "ControlBar.h"
#include "Controls.h"
#include "FileHelpers.h"
#include "Messages.h"
#include "PageImport.h"
#include "PageListView.h"
#include "Quietly.h"
#include "CommandIcons.h"
#include "TFormBrightContrast.h"
#include "TImageManager.h"

#include "ovisco/OviscoInterface.h"
#include "pixolve.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr int kBrightNeutral = 255;
constexpr int kContrastNeutral = 100;

QToolButton *addButton(QToolBar *bar, const char *name, const QString &hint, const QIcon &icon = {})
{
    auto *button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    if (icon.isNull()) {
        button->setText(hint);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    } else {
        button->setIcon(icon);
    }
    bar->addWidget(button);
    return button;
}

QToolBar *addBar(QWidget *band, const char *name)
{
    auto *bar = new QToolBar(band);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setIconSize(QSize(24, 24));
    band->layout()->addWidget(bar);
    return bar;
}

QSlider *makeTrack(QWidget *parent, const char *name, const QString &hint, int max, int pos)
{
    auto *track = new QSlider(Qt::Horizontal, parent);
    track->setObjectName(QString::fromLatin1(name));
    track->setToolTip(hint);
    track->setRange(0, max);
    track->setValue(pos);
    track->setTickPosition(QSlider::NoTicks);
    track->setMinimumWidth(200);
    return track;
}

// Pictures of the two mouse tools: a dashed frame for selecting, crossed arrows for moving.
QIcon ToolIcon(bool selection)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (selection) {
        p.setPen(QPen(Qt::black, 1.5, Qt::DashLine));
        p.drawRect(QRectF(4.5, 5.5, 15, 13));
    } else {
        p.setPen(QPen(Qt::black, 1.8));
        p.drawLine(QPointF(12, 3), QPointF(12, 21));
        p.drawLine(QPointF(3, 12), QPointF(21, 12));
        const QPointF heads[4][3] = {{{9, 6}, {12, 3}, {15, 6}},
                                     {{9, 18}, {12, 21}, {15, 18}},
                                     {{6, 9}, {3, 12}, {6, 15}},
                                     {{18, 9}, {21, 12}, {18, 15}}};
        for (const auto &h : heads)
            p.drawPolyline(h, 3);
    }
    return QIcon(pixmap);
}

} // namespace

TForm5::TForm5(TCatalogContext *context, QWidget *parent) : QWidget(parent), Context(context)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ControlBar1 = new QWidget(this);
    ControlBar1->setObjectName(QStringLiteral("ControlBar1"));
    // The viewer lies over the page list: nothing of the list may show through.
    setAutoFillBackground(true);
    ControlBar1->setAutoFillBackground(true);
    new TBandLayout(ControlBar1);
    auto icon = [](const char *command) { return CommandIcon(QString::fromLatin1(command)); };

    QToolBar *files = addBar(ControlBar1, "ToolBar1");
    btn_FirstFile =
        addButton(files, "btn_FirstFile", QStringLiteral("首文件"), icon("MN_NAVIGATION_FIRSTFILE"));
    btn_PreviousFile =
        addButton(files, "btn_PreviousFile", QStringLiteral("前一文件"), icon("MN_NAVIGATION_PREVIOUSFILE"));
    btn_NextFile =
        addButton(files, "btn_NextFile", QStringLiteral("下一文件"), icon("MN_NAVIGATION_NEXTFILE"));
    btn_LastFile = addButton(files, "btn_LastFile", QStringLiteral("尾文件"), icon("MN_NAVIGATION_LASTFILE"));
    QToolBar *pages = addBar(ControlBar1, "ToolBar2");
    btn_FirstPage =
        addButton(pages, "btn_FirstPage", QStringLiteral("第一页"), icon("MN_NAVIGATION_FIRSTPAGE"));
    btn_PreviousPage =
        addButton(pages, "btn_PreviousPage", QStringLiteral("上一页"), icon("MN_NAVIGATION_PREVIOUSPAGE"));
    btn_NextPage = addButton(pages, "btn_NextPage", QStringLiteral("下一页"), icon("MN_NAVIGATION_NEXTPAGE"));
    btn_LastPage =
        addButton(pages, "btn_LastPage", QStringLiteral("最后一页"), icon("MN_NAVIGATION_LASTPAGE"));
    for (QToolButton *b : {btn_FirstFile, btn_PreviousFile, btn_NextFile, btn_LastFile, btn_FirstPage,
                           btn_PreviousPage, btn_NextPage, btn_LastPage})
        b->setEnabled(false);

    QToolBar *tools = addBar(ControlBar1, "ToolBar3");
    btn_selectrect = addButton(tools, "btn_selectrect", QString(), ToolIcon(true));
    btn_move = addButton(tools, "btn_move", QString(), ToolIcon(false));
    btn_selectrect->setCheckable(true);
    btn_move->setCheckable(true);
    btn_selectrect->setChecked(true);

    QToolBar *zoom = addBar(ControlBar1, "ToolBar4");
    btn_ZOOM_BESTFIT = addButton(zoom, "btn_ZOOM_BESTFIT", QString(), icon("MN_ZOOM_BESTFIT"));
    btn_ZOOM_BESTFIT->setText(QStringLiteral("自定义(&C)..."));
    btn_ZOOM_FITWIDTH =
        addButton(zoom, "btn_ZOOM_FITWIDTH", QStringLiteral("适合宽度"), icon("MN_ZOOM_FITWIDTH"));
    btn_ZOOM_FITHEIGHT =
        addButton(zoom, "btn_ZOOM_FITHEIGHT", QStringLiteral("适合高度"), icon("MN_ZOOM_FITHEIGHT"));
    btn_ZOOM_ACTUALSIZE =
        addButton(zoom, "btn_ZOOM_ACTUALSIZE", QStringLiteral("实际大小"), icon("MN_ZOOM_ACTUALSIZE"));
    ComboBox2 = new QComboBox(zoom);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setEditable(true);
    ComboBox2->setInsertPolicy(QComboBox::NoInsert);
    ComboBox2->addItems({"25%", "50%", "75%", "100%", "200%", "400%"});
    ComboBox2->setEditText(QStringLiteral("100%"));
    ComboBox2->setMinimumWidth(80);
    zoom->addWidget(ComboBox2);
    btn_ZoomIn = addButton(zoom, "btn_ZoomIn", QStringLiteral("放大"), icon("MN_ZOOM_IN"));
    btn_ZoomOut = addButton(zoom, "btn_ZoomOut", QStringLiteral("缩小"), icon("MN_ZOOM_OUT"));

    QToolBar *adjust = addBar(ControlBar1, "ToolBar5");
    btnBrightContrast = addButton(adjust, "btnBrightContrast", QStringLiteral("调节亮度与对比度"),
                                  icon("MN_IMAGE_BRIGHTCONTRAST"));
    btnUndo =
        addButton(adjust, "btnUndo", QStringLiteral("撤销"), QIcon::fromTheme(QStringLiteral("edit-undo")));
    btnBrightContrast->setEnabled(false);
    btnUndo->setEnabled(false);
    layout->addWidget(ControlBar1);

    if (auto *factory = qobject_cast<OviscoFactory *>(ControlRegistry::Ovisco()))
        OviscoPicture = factory->createControl(this);
    if (OviscoPicture) {
        QWidget *picture = OviscoPicture->widget();
        picture->setObjectName(QStringLiteral("OviscoPicture"));
        picture->setCursor(Qt::CrossCursor);
        OviscoPicture->setSelectionRect(true);
        arkavo::Quietly("viewer colour", [&] { OviscoPicture->setColor(QColor(192, 192, 192)); });
        OviscoPicture->onSelectionDrawn(
            this, [this](int l, int t, int r, int b) { OviscoPictureSelectionDrawn(l, t, r, b); });
        OviscoPicture->onDisplayDIBChanged(this,
                                           [this](HGLOBAL *dib) { OviscoPictureDisplayDIBChanged(dib); });
        layout->addWidget(picture, 1);
    } else {
        MissingNotice = new QLabel(QStringLiteral("图像显示控件未能加载，无法显示页面。"), this);
        MissingNotice->setObjectName(QStringLiteral("MissingNotice"));
        MissingNotice->setAlignment(Qt::AlignCenter);
        MissingNotice->setAutoFillBackground(true);
        layout->addWidget(MissingNotice, 1);
    }

    ToolBar_BrightContrast = new QWidget(this);
    ToolBar_BrightContrast->setObjectName(QStringLiteral("ToolBar_BrightContrast"));
    auto *tracks = new QVBoxLayout(ToolBar_BrightContrast);
    track_bright =
        makeTrack(ToolBar_BrightContrast, "track_bright", QStringLiteral("亮度"), 510, kBrightNeutral);
    track_Contrast =
        makeTrack(ToolBar_BrightContrast, "track_Contrast", QStringLiteral("对比度"), 200, kContrastNeutral);
    tracks->addWidget(track_bright);
    tracks->addWidget(track_Contrast);
    FormBrightContrast = new TFormBrightContrast(this, nullptr);
    // The track bars live on the brightness and contrast dialog.
    ToolBar_BrightContrast->setParent(FormBrightContrast->Panel1);
    FormBrightContrast->Panel1->layout()->addWidget(ToolBar_BrightContrast);

    connect(btn_FirstPage, &QToolButton::clicked, this, &TForm5::btn_FirstPageClick);
    connect(btn_LastPage, &QToolButton::clicked, this, &TForm5::btn_LastPageClick);
    connect(btn_NextPage, &QToolButton::clicked, this, &TForm5::btn_NextPageClick);
    connect(btn_PreviousPage, &QToolButton::clicked, this, &TForm5::btn_PreviousPageClick);
    connect(btn_FirstFile, &QToolButton::clicked, this, &TForm5::btn_FirstFileClick);
    connect(btn_LastFile, &QToolButton::clicked, this, &TForm5::btn_LastFileClick);
    connect(btn_NextFile, &QToolButton::clicked, this, &TForm5::btn_NextFileClick);
    connect(btn_PreviousFile, &QToolButton::clicked, this, &TForm5::btn_PreviousFileClick);
    connect(btn_ZoomIn, &QToolButton::clicked, this, &TForm5::btn_ZoomInClick);
    connect(btn_ZoomOut, &QToolButton::clicked, this, &TForm5::btn_ZoomOutClick);
    connect(btn_ZOOM_BESTFIT, &QToolButton::clicked, this, &TForm5::btn_ZOOM_BESTFITClick);
    connect(btn_ZOOM_FITWIDTH, &QToolButton::clicked, this, &TForm5::btn_ZOOM_FITWIDTHClick);
    connect(btn_ZOOM_FITHEIGHT, &QToolButton::clicked, this, &TForm5::btn_ZOOM_FITHEIGHTClick);
    connect(btn_ZOOM_ACTUALSIZE, &QToolButton::clicked, this, &TForm5::btn_ZOOM_ACTUALSIZEClick);
    connect(btn_selectrect, &QToolButton::clicked, this, &TForm5::btn_selectrectClick);
    connect(btn_move, &QToolButton::clicked, this, &TForm5::btn_moveClick);
    connect(btnUndo, &QToolButton::clicked, this, &TForm5::btnUndoClick);
    connect(btnBrightContrast, &QToolButton::clicked, this, &TForm5::btnBrightContrastClick);
    connect(ComboBox2, &QComboBox::activated, this, [this] { ComboBox2Apply(); });
    connect(ComboBox2->lineEdit(), &QLineEdit::returnPressed, this, &TForm5::ComboBox2Apply);
    ComboBox2->lineEdit()->installEventFilter(this);
    // Every track-bar move rebuilds the display bitmap, which previews the setting.
    connect(track_bright, &QSlider::valueChanged, this, &TForm5::refreshDisplay);
    connect(track_Contrast, &QSlider::valueChanged, this, &TForm5::refreshDisplay);
}

TForm5::~TForm5()
{
    // The control lets go of the image before the session frees it.
    setShownDib(nullptr);
    m_edit.Close();
    delete FormBrightContrast;
}

bool TForm5::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ComboBox2->lineEdit() && event->type() == QEvent::FocusOut)
        ComboBox2Apply();
    return QWidget::eventFilter(watched, event);
}

HGLOBAL TForm5::ShownDib() const
{
    return OviscoPicture ? OviscoPicture->hDIB() : m_shownWithoutControl;
}

void TForm5::setShownDib(HGLOBAL dib)
{
    if (OviscoPicture)
        OviscoPicture->sethDIB(dib);
    else
        m_shownWithoutControl = dib;
}

double TForm5::Zoom() const
{
    return OviscoPicture ? OviscoPicture->Zoom() : 0;
}

void TForm5::showZoomText()
{
    // Nearest whole number, halves to even.
    ComboBox2->setEditText(QString::number(std::nearbyint(Zoom()), 'f', 0) + u'%');
}

void TForm5::publishState()
{
    if (!Context)
        return;
    TViewerState state;
    state.open = !isHidden();
    state.page = PageIndex;
    state.hasImage = HasImage();
    state.depth = m_lastDepth;
    state.nextPage = m_nextPage;
    state.previousPage = m_previousPage;
    state.file = FileIndex;
    state.nextFile = FileIndex != -1 && m_nextFile;
    state.previousFile = FileIndex != -1 && m_previousFile;
    state.selection = !(ViewerSelection == TViewerRect{});
    Context->SetViewer(state);
}

void TForm5::refreshDisplay()
{
    if (OviscoPicture)
        OviscoPicture->sethDIB(OviscoPicture->hDIB());
}

bool TForm5::tracksAway() const
{
    return track_bright->value() != kBrightNeutral || track_Contrast->value() != kContrastNeutral;
}

QString TForm5::itemFileName(int index) const
{
    return Context ? Context->PageFileName(index) : QString();
}

QTreeWidgetItem *TForm5::selectedTreeNode() const
{
    return Context ? Context->SelectedNode() : nullptr;
}

bool TForm5::writeBack()
{
    return arkavo::QuietlyOr("write-back", false, [&] {
        if (tracksAway()) {
            const MsgAnswer answer =
                Messages::Show(QStringLiteral("是否保存亮度对比度的调整？"), QStringLiteral("询问"),
                               MsgIcon::Question, MsgButtons::YesNo, this);
            SettleBrightContrast(answer == MsgAnswer::Yes);
        }
        if (FormBrightContrast->isVisible())
            FormBrightContrast->hide();
        std::optional<BusyCursor> busy(std::in_place);
        const PageEditSession::WriteResult result = m_edit.WriteBack();
        syncImages();
        if (result != PageEditSession::WriteResult::Written) {
            busy.reset();
            // A page renamed, replaced or deleted meanwhile is never written over; a failed
            // write leaves the old file intact. Either way the operator is told.
            const QString text = result == PageEditSession::WriteResult::FileChanged
                                     ? QStringLiteral("页面 %1 已被移动、替换或删除，对它的修改未保存！")
                                     : QStringLiteral("无法保存对页面 %1 的修改！");
            Messages::Show(text.arg(m_edit.Path()), QStringLiteral("错误"), MsgIcon::Error, MsgButtons::Ok,
                           this);
            return false;
        }
        btnUndo->setEnabled(false);
        if (Context && Context->Store()) {
            MakeThumbnail(PagePath, Context->Store()->ThumbnailPathOf(PagePath), m_edit.Current(),
                          TPageListView::kThumbWidth, TPageListView::kThumbHeight);
            Context->MarkThumbnailStale(PageIndex, PagePath);
        }
        return true;
    });
}

bool TForm5::pageChanged() const
{
    return m_edit.IsOpen() && (m_edit.Modified() || tracksAway());
}

void TForm5::syncImages()
{
    PageImage = {m_edit.XResolution(), m_edit.YResolution(), m_edit.Current()};
    UndoImage = m_edit.UndoImage();
    Modified = m_edit.Modified();
    PagePath = m_edit.Path();
}

// Puts Image on the screen with the zoom and scroll position the screen had.
void TForm5::showAgain(HGLOBAL image)
{
    const double zoom = Zoom();
    const int x = OviscoPicture ? OviscoPicture->ScrollPositionX() : 0;
    const int y = OviscoPicture ? OviscoPicture->ScrollPositionY() : 0;
    setShownDib(image);
    if (OviscoPicture) {
        OviscoPicture->setZoom(zoom);
        OviscoPicture->setScrollPositionX(x);
        OviscoPicture->setScrollPositionY(y);
    }
    showZoomText();
}

void TForm5::ShowPage(int index)
{
    if (pageChanged())
        writeBack();
    if (HasImage() && OviscoPicture) {
        SavedZoom = OviscoPicture->Zoom();
        SavedScrollX = OviscoPicture->ScrollPositionX();
        SavedScrollY = OviscoPicture->ScrollPositionY();
    }

    setShownDib(nullptr);
    m_edit.Close();
    syncImages();
    btnUndo->setEnabled(false);

    PageIndex = index;
    {
        const QSignalBlocker blockBright(track_bright), blockContrast(track_Contrast);
        track_bright->setValue(kBrightNeutral);
        track_Contrast->setValue(kContrastNeutral);
    }
    ViewerSelection = {};

    if (index != -1 && Context) {
        const QString path = Context->PagePath(index);
        if (!path.isEmpty()) {
            std::optional<BusyCursor> busy(std::in_place);
            const FileIdentity identity = FileIdentity::Of(path);
            TCodecImage loaded{0, 0, nullptr};
            LoadFile(path.toUtf8().constData(), &loaded, 0);
            m_edit.Open(path, identity, loaded);
            setShownDib(m_edit.Current());
            if (HasImage()) {
                if (OviscoPicture) {
                    if (Context->ZoomLocked() && SavedZoom != 0) {
                        OviscoPicture->setZoom(SavedZoom);
                        OviscoPicture->setScrollPositionX(SavedScrollX);
                        OviscoPicture->setScrollPositionY(SavedScrollY);
                    } else {
                        OviscoPicture->FitTo(0);
                    }
                }
                showZoomText();
            } else {
                // Unreadable, or read but not showable: either way there is no page to work on.
                busy.reset();
                setShownDib(nullptr);
                m_edit.Close();
                Messages::Show(QStringLiteral("无法识别的图像格式 %1！").arg(path), QStringLiteral("错误"),
                               MsgIcon::Error, MsgButtons::Ok, this);
            }
            syncImages();
        }
    }

    if (QTreeWidgetItem *node = selectedTreeNode()) {
        int level = 0;
        for (const QTreeWidgetItem *p = node->parent(); p; p = p->parent())
            ++level;
        if (level == 3) {
            SetCurrentFile(AbsoluteIndex(node));
        } else if (level == 2) {
            if (index != -1) {
                QTreeWidgetItem *file =
                    Context->Store() ? Context->Store()->FindChildByName(node, itemFileName(index)) : nullptr;
                SetCurrentFile(file ? AbsoluteIndex(file) : -1);
            }
        } else {
            SetCurrentFile(-1);
        }
    }
    updatePageCommands(index);
}

void TForm5::updatePageCommands(int index)
{
    if (HGLOBAL dib = ShownDib()) {
        m_lastDepth = DibBitCount(dib);
        btnBrightContrast->setEnabled(m_lastDepth >= 8);
    }
    m_nextPage = m_previousPage = false;
    if (index != -1 && Context) {
        const QString name = itemFileName(index);
        m_nextPage = index + 1 < Context->PageCount() && itemFileName(index + 1) == name;
        m_previousPage = index >= 1 && itemFileName(index - 1) == name;
    }
    btn_NextPage->setEnabled(m_nextPage);
    btn_PreviousPage->setEnabled(m_previousPage);
    btn_FirstPage->setEnabled(m_previousPage);
    btn_LastPage->setEnabled(m_nextPage);
    if (index != -1)
        showZoomText();
    publishState();
}

void TForm5::SetCurrentFile(int n)
{
    if (n == FileIndex)
        return;
    FileIndex = n;
    QTreeWidgetItem *node = n == -1 || !Context ? nullptr : Context->NodeAt(n);
    if (node) {
        QTreeWidgetItem *parent = node->parent();
        QTreeWidget *tree = node->treeWidget();
        const int row = parent ? parent->indexOfChild(node) : tree->indexOfTopLevelItem(node);
        const int siblings = parent ? parent->childCount() : tree->topLevelItemCount();
        m_nextFile = row + 1 < siblings;
        m_previousFile = row > 0;
        // Without a current file the buttons keep their states; the menu entries go off.
        btn_FirstFile->setEnabled(m_previousFile);
        btn_LastFile->setEnabled(m_nextFile);
        btn_PreviousFile->setEnabled(m_previousFile);
        btn_NextFile->setEnabled(m_nextFile);
    }
    publishState();
}

TCodecImage TForm5::GetViewerImage() const
{
    return {PageImage.XResolution, PageImage.YResolution, ShownDib()};
}

void TForm5::SetViewerImage(const TCodecImage &image)
{
    ViewerSelection = {};
    publishState();
    if (OviscoPicture && OviscoPicture->SelectionRect()) {
        OviscoPicture->setSelectionRect(false);
        OviscoPicture->setSelectionRect(true);
    }
    if (!image.Dib)
        return;
    if (!HasImage()) {
        // Nothing to show it in; the image is the viewer's all the same.
        if (!m_edit.Holds(image.Dib))
            GlobalFree(image.Dib);
        return;
    }
    if (OviscoPicture) {
        SavedZoom = OviscoPicture->Zoom();
        SavedScrollX = OviscoPicture->ScrollPositionX();
        SavedScrollY = OviscoPicture->ScrollPositionY();
    }
    const HGLOBAL shown = ShownDib();
    setShownDib(image.Dib);
    if (!HasImage()) {
        // The control cannot show the result: the page stays as it was, and the operator
        // is told rather than left with a change that shows nothing.
        setShownDib(shown);
        if (!m_edit.Holds(image.Dib))
            GlobalFree(image.Dib);
        Messages::Show(QStringLiteral("处理结果无法显示，页面保持不变。"), QStringLiteral("错误"),
                       MsgIcon::Error, MsgButtons::Ok, this);
    } else {
        m_edit.Change(image.Dib);
        syncImages();
        btnUndo->setEnabled(m_edit.CanUndo());
    }
    if (OviscoPicture) {
        OviscoPicture->setZoom(SavedZoom);
        OviscoPicture->setScrollPositionX(SavedScrollX);
        OviscoPicture->setScrollPositionY(SavedScrollY);
    }
    showZoomText();
}

void TForm5::SettleBrightContrast(bool apply)
{
    HGLOBAL adjusted = nullptr;
    if (apply && tracksAway() && m_edit.Current())
        adjusted = AdjustBrightnessAndContrast(m_edit.Current(), track_bright->value() - kBrightNeutral,
                                               track_Contrast->value() - kContrastNeutral);
    {
        const QSignalBlocker blockBright(track_bright), blockContrast(track_Contrast);
        track_bright->setValue(kBrightNeutral);
        track_Contrast->setValue(kContrastNeutral);
    }
    if (adjusted)
        SetViewerImage({PageImage.XResolution, PageImage.YResolution, adjusted});
    else
        refreshDisplay();
}

void TForm5::ForgetChanges()
{
    const QSignalBlocker blockBright(track_bright), blockContrast(track_Contrast);
    track_bright->setValue(kBrightNeutral);
    track_Contrast->setValue(kContrastNeutral);
    m_edit.Forget();
    syncImages();
    btnUndo->setEnabled(false);
}

void TForm5::PagesChanging(const QString &path, bool removing)
{
    if (PagePath.isEmpty())
        return;
    const QString shown = QDir::cleanPath(PagePath);
    const bool affected =
        path.endsWith(u'/') ? shown.startsWith(QDir::cleanPath(path) + u'/') : shown == QDir::cleanPath(path);
    if (!affected)
        return;
    if (removing)
        ForgetChanges();
    else if (pageChanged())
        writeBack();
}

void TForm5::OpenViewer()
{
    Busy = false;
    show();
    raise();
    publishState();
}

void TForm5::CloseViewer()
{
    ShowPage(-1);
    SetCurrentFile(-1);
    hide();
    publishState();
    if (Context)
        Context->FocusFirstSelectedPage();
}

// ---- Page and file navigation ----

void TForm5::btn_FirstPageClick()
{
    if (PageIndex < 0)
        return;
    const QString name = itemFileName(PageIndex);
    int i = PageIndex;
    while (i > 0 && itemFileName(i - 1) == name)
        --i;
    if (i != PageIndex)
        ShowPage(i);
}

void TForm5::btn_LastPageClick()
{
    if (PageIndex < 0 || !Context)
        return;
    const QString name = itemFileName(PageIndex);
    int i = PageIndex;
    while (i + 1 < Context->PageCount() && itemFileName(i + 1) == name)
        ++i;
    if (i != PageIndex)
        ShowPage(i);
}

void TForm5::btn_NextPageClick()
{
    if (PageIndex < 0 || !Context)
        return;
    if (PageIndex + 1 < Context->PageCount() && itemFileName(PageIndex + 1) == itemFileName(PageIndex))
        Context->SelectPage(PageIndex + 1);
}

void TForm5::btn_PreviousPageClick()
{
    if (PageIndex < 1 || !Context)
        return;
    if (itemFileName(PageIndex - 1) == itemFileName(PageIndex))
        Context->SelectPage(PageIndex - 1);
}

// First, last (delta 0) or neighbouring file (delta -1 / +1).
void TForm5::fileStep(bool first, bool last, int delta)
{
    if (FileIndex == -1 || !Context)
        return;
    QTreeWidgetItem *node = selectedTreeNode();
    if (!node)
        return;
    int level = 0;
    for (const QTreeWidgetItem *p = node->parent(); p; p = p->parent())
        ++level;
    if (level == 3) {
        QTreeWidgetItem *folder = node->parent();
        QTreeWidgetItem *target = nullptr;
        if (first)
            target = folder->child(0);
        else if (last)
            target = folder->child(folder->childCount() - 1);
        else
            target = folder->child(folder->indexOfChild(node) + delta);
        if (target && target != node)
            Context->SelectNode(target);
        return;
    }
    if (level != 2)
        return;
    QTreeWidgetItem *target = nullptr;
    if (first) {
        target = node->child(0);
    } else if (last) {
        target = node->child(node->childCount() - 1);
    } else {
        QTreeWidgetItem *current = Context->NodeAt(FileIndex);
        QTreeWidgetItem *parent = current ? current->parent() : nullptr;
        if (parent)
            target = parent->child(parent->indexOfChild(current) + delta);
    }
    if (!target)
        return;
    const int item =
        Context->Store() ? Context->Store()->FindPageItem(target->text(0), QStringLiteral("1"), 0) : -1;
    if (item >= 0) {
        Context->SelectPage(item);
    } else {
        Context->ClearPageSelection();
        SetCurrentFile(AbsoluteIndex(target));
    }
}

void TForm5::btn_FirstFileClick()
{
    fileStep(true, false, 0);
}

void TForm5::btn_LastFileClick()
{
    fileStep(false, true, 0);
}

void TForm5::btn_NextFileClick()
{
    fileStep(false, false, 1);
}

void TForm5::btn_PreviousFileClick()
{
    fileStep(false, false, -1);
}

// ---- Zoom ----

void TForm5::zoomStep(bool in)
{
    if (!OviscoPicture || !HasImage() || Busy)
        return;
    Busy = true;
    arkavo::Quietly("zoom", [&] {
        const double zoom = OviscoPicture->Zoom();
        OviscoPicture->setZoom(in ? std::min(zoom * 2, 10000.0) : std::max(zoom / 2, 2.0));
    });
    Busy = false;
    showZoomText();
}

void TForm5::fitTo(int mode)
{
    if (!OviscoPicture || !HasImage() || Busy)
        return;
    Busy = true;
    arkavo::Quietly("fit", [&] { OviscoPicture->FitTo(mode); });
    Busy = false;
    showZoomText();
}

void TForm5::btn_ZOOM_ACTUALSIZEClick()
{
    // Without a page or a page resolution there is no actual size to show.
    if (!OviscoPicture || !HasImage() || PageImage.XResolution <= 0)
        return;
    double dpi = ScreenDpi;
    if (dpi <= 0) {
        const QScreen *s = screen();
        dpi = s ? s->logicalDotsPerInchX() : 96;
    }
    OviscoPicture->setZoom(std::nearbyint(dpi * 100 / PageImage.XResolution));
    showZoomText();
}

void TForm5::ComboBox2Apply()
{
    QString text = ComboBox2->currentText();
    const qsizetype percent = text.indexOf(u'%');
    if (percent >= 0)
        text.truncate(percent);
    bool ok = false;
    const double zoom = text.trimmed().toDouble(&ok);
    if (ok && OviscoPicture)
        OviscoPicture->setZoom(zoom);
}

// ---- Tools ----

void TForm5::btn_selectrectClick()
{
    if (OviscoPicture) {
        OviscoPicture->setSelectionRect(true);
        OviscoPicture->widget()->setCursor(Qt::CrossCursor);
    }
    btn_selectrect->setChecked(true);
    btn_move->setChecked(false);
}

void TForm5::btn_moveClick()
{
    if (OviscoPicture) {
        OviscoPicture->setSelectionRect(false);
        OviscoPicture->widget()->setCursor(Qt::OpenHandCursor);
    }
    btn_move->setChecked(true);
    btn_selectrect->setChecked(false);
    ViewerSelection = {};
    publishState();
}

void TForm5::OviscoPictureSelectionDrawn(int left, int top, int right, int bottom)
{
    if (left == right || top == bottom)
        ViewerSelection = {};
    else
        ViewerSelection = {std::min(left, right), std::min(top, bottom), std::max(left, right),
                           std::max(top, bottom)};
    publishState();
}

void TForm5::btnUndoClick()
{
    if (btnUndo->isEnabled() && m_edit.StepBack()) {
        showAgain(m_edit.Current());
        syncImages();
    }
    btnUndo->setEnabled(false);
}

// ---- Brightness and contrast ----

void TForm5::btnBrightContrastClick()
{
    FormBrightContrast->show();
    FormBrightContrast->raise();
}

void TForm5::OviscoPictureDisplayDIBChanged(HGLOBAL *displayDib)
{
    if (!displayDib || !*displayDib || !tracksAway())
        return;
    arkavo::Quietly("brightness preview", [&] {
        HGLOBAL adjusted = AdjustBrightnessAndContrast(*displayDib, track_bright->value() - kBrightNeutral,
                                                       track_Contrast->value() - kContrastNeutral);
        if (adjusted) {
            GlobalFree(*displayDib);
            *displayDib = adjusted; // the control owns it from now on
        }
    });
}
