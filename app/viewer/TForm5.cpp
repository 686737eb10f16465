// The viewer's page: showing it, the changes made to it and writing them back, and the
// brightness and contrast preview and its settling.
#include "TForm5.h"

#include "BusyCursor.h"
#include "FileHelpers.h"
#include "Messages.h"
#include "PageImport.h"
#include "PageListView.h"
#include "Quietly.h"
#include "TFormBrightContrast.h"
#include "TImageManager.h"

#include "ovisco/OviscoInterface.h"
#include "pixolve.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <optional>

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

void TForm5::saveView()
{
    if (!OviscoPicture)
        return;
    SavedZoom = OviscoPicture->Zoom();
    SavedScrollX = OviscoPicture->ScrollPositionX();
    SavedScrollY = OviscoPicture->ScrollPositionY();
}

void TForm5::restoreSavedView()
{
    if (!OviscoPicture)
        return;
    OviscoPicture->setZoom(SavedZoom);
    OviscoPicture->setScrollPositionX(SavedScrollX);
    OviscoPicture->setScrollPositionY(SavedScrollY);
}

// Puts Image on the screen with the zoom and scroll position the screen had.
void TForm5::showAgain(HGLOBAL image)
{
    saveView();
    setShownDib(image);
    restoreSavedView();
    showZoomText();
}

void TForm5::ShowPage(int index)
{
    if (pageChanged())
        writeBack();
    if (HasImage())
        saveView();

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
                if (Context->ZoomLocked() && SavedZoom != 0)
                    restoreSavedView();
                else if (OviscoPicture)
                    OviscoPicture->FitTo(0);
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
    saveView();
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
    restoreSavedView();
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
