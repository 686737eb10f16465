#pragma once
#include "CatalogContext.h"
#include "ImageFiles.h"
#include "PageEditSession.h"
// The page viewer: shows one page of the page list in single-page mode, lets the image
// commands work on it, previews brightness and contrast on the screen only and writes a
// changed page back to its file when the operator moves on.
#include "codec.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QSlider;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class OviscoControl;
class TFormBrightContrast;

// A selection in page pixels from the top-left, ordered (Left <= Right, Top <= Bottom).
struct TViewerRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TViewerRect &) const = default;
};

class TForm5 : public QWidget {
    Q_OBJECT
public:
    // Context is the catalogue the viewer works on; without one it shows nothing.
    explicit TForm5(TCatalogContext *context, QWidget *parent = nullptr);
    ~TForm5() override;

    // Shows page-list item Index, or nothing for -1; a changed page is written back first.
    void ShowPage(int index);
    // Makes tree node N (absolute index) the current file, or none for -1.
    void SetCurrentFile(int n);
    // The shown image with the page file's resolutions; the viewer keeps owning it.
    TCodecImage GetViewerImage() const;
    // Shows Image.Dib in place of the current image; the viewer owns it from now on.
    void SetViewerImage(const TCodecImage &image);
    // Applies (true) or drops the brightness and contrast track-bar settings.
    void SettleBrightContrast(bool apply);
    // Drops the page's unsaved changes, so that leaving it writes nothing (the page is
    // about to be deleted).
    void ForgetChanges();
    // Page files under Path (a page file, or a directory ending in "/") are about to be
    // deleted (Removing) or renamed, moved or overwritten: a pending change of the shown
    // page among them is dropped or written back now, while its file is still its own.
    void PagesChanging(const QString &path, bool removing);

    // Single-page mode on and off, with their effects on the main window.
    void OpenViewer();
    void CloseViewer();

    // The shown image handle (the control's hDIB), null for none.
    HGLOBAL ShownDib() const;
    bool HasImage() const { return ShownDib() != nullptr; }
    // Zoom of the picture in percent; 0 without the image-view control.
    double Zoom() const;

    // Tool buttons and the zoom box.
    void btn_FirstPageClick();
    void btn_LastPageClick();
    void btn_NextPageClick();
    void btn_PreviousPageClick();
    void btn_FirstFileClick();
    void btn_LastFileClick();
    void btn_NextFileClick();
    void btn_PreviousFileClick();
    void btn_ZoomInClick() { zoomStep(true); }
    void btn_ZoomOutClick() { zoomStep(false); }
    void btn_ZOOM_BESTFITClick() { fitTo(0); }
    void btn_ZOOM_FITWIDTHClick() { fitTo(1); }
    void btn_ZOOM_FITHEIGHTClick() { fitTo(2); }
    void btn_ZOOM_ACTUALSIZEClick();
    void ComboBox2Apply();
    void btn_selectrectClick();
    void btn_moveClick();
    void btnUndoClick();
    void btnBrightContrastClick();
    void OviscoPictureSelectionDrawn(int left, int top, int right, int bottom);
    void OviscoPictureDisplayDIBChanged(HGLOBAL *displayDib);

    // Track-bar positions that leave the page as it is.
    static constexpr int kBrightNeutral = 255;
    static constexpr int kContrastNeutral = 100;

    // Screen pixels per inch used by actual size (the screen's logical resolution unless set).
    double ScreenDpi = 0;

    int PageIndex = -1;
    int FileIndex = -1;
    bool Busy = false;
    // The page's images, change state and path as the edit session holds them; the
    // session owns the images.
    TCodecImage PageImage{0, 0, nullptr};
    HGLOBAL UndoImage = nullptr;
    bool Modified = false;
    QString PagePath;
    double SavedZoom = 0;
    int SavedScrollX = 0, SavedScrollY = 0;
    TViewerRect ViewerSelection;

    TCatalogContext *Context;
    // The image-view control; null when the control could not be loaded.
    OviscoControl *OviscoPicture = nullptr;
    QLabel *MissingNotice = nullptr;
    QWidget *ControlBar1;
    QToolButton *btn_FirstFile, *btn_PreviousFile, *btn_NextFile, *btn_LastFile;
    QToolButton *btn_FirstPage, *btn_PreviousPage, *btn_NextPage, *btn_LastPage;
    QToolButton *btn_selectrect, *btn_move;
    QToolButton *btn_ZOOM_BESTFIT, *btn_ZOOM_FITWIDTH, *btn_ZOOM_FITHEIGHT, *btn_ZOOM_ACTUALSIZE;
    QToolButton *btn_ZoomIn, *btn_ZoomOut;
    QToolButton *btnBrightContrast, *btnUndo;
    QComboBox *ComboBox2;
    QWidget *ToolBar_BrightContrast;
    QSlider *track_bright, *track_Contrast;
    TFormBrightContrast *FormBrightContrast;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setShownDib(HGLOBAL dib);
    void showZoomText();
    void zoomStep(bool in);
    void fitTo(int mode);
    // Tells the context what the viewer now knows; the command rules follow from it.
    void publishState();
    void refreshDisplay();
    bool tracksAway() const;
    // Writes the shown image to the page's file; true once it is there.
    bool writeBack();
    void updatePageCommands(int index);
    QString itemFileName(int index) const;
    QTreeWidgetItem *selectedTreeNode() const;
    void fileStep(bool first, bool last, int delta);

    bool pageChanged() const;
    void syncImages();
    void showAgain(HGLOBAL image);
    // The control's zoom and scroll position into SavedZoom and SavedScrollX/Y, and back.
    void saveView();
    void restoreSavedView();

    HGLOBAL m_shownWithoutControl = nullptr; // the shown image when the control is missing
    PageEditSession m_edit;
    int m_lastDepth = 0; // bits per pixel of the last page shown
    bool m_nextPage = false, m_previousPage = false;
    bool m_nextFile = false, m_previousFile = false;
};
