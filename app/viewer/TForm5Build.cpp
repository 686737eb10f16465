// Building the viewer: its tool bars, the image-view control and the brightness and
// contrast track bars on their dialog.
#include "TForm5.h"

#include "CommandIcons.h"
#include "ControlBar.h"
#include "Controls.h"
#include "Quietly.h"
#include "TFormBrightContrast.h"

#include "ovisco/OviscoInterface.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

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
