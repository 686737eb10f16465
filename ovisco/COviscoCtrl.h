#pragma once
// The image-view control: shows one page image with zoom, fit modes, scroll bars,
// panning and rubber-band selection. The arithmetic lives in OviscoGeometry, the
// pixel work in OviscoBitmaps; this class paints and forwards input.
#include "OviscoBitmaps.h"
#include "OviscoGeometry.h"
#include "ovisco/OviscoInterface.h"

#include <arkavo/GlobalBlock.h>

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QWidget>

class QScrollBar;

namespace ovisco {
class OviscoView;
}

class COviscoCtrl : public QWidget, public OviscoControl {
    Q_OBJECT
    Q_INTERFACES(OviscoControl)
    Q_PROPERTY(bool SelectionRect READ SelectionRect WRITE setSelectionRect)
    Q_PROPERTY(HGLOBAL hDIB READ hDIB WRITE sethDIB)
    Q_PROPERTY(double Zoom READ Zoom WRITE setZoom)
    Q_PROPERTY(int ImageHeight READ ImageHeight WRITE setImageHeight)
    Q_PROPERTY(int ImageWidth READ ImageWidth WRITE setImageWidth)
    Q_PROPERTY(int ImageScaleWidth READ ImageScaleWidth WRITE setImageScaleWidth)
    Q_PROPERTY(int ImageScaleHeight READ ImageScaleHeight WRITE setImageScaleHeight)
    Q_PROPERTY(int ScrollPositionX READ ScrollPositionX WRITE setScrollPositionX)
    Q_PROPERTY(int ScrollPositionY READ ScrollPositionY WRITE setScrollPositionY)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)

public:
    explicit COviscoCtrl(QWidget *parent = nullptr);
    ~COviscoCtrl() override;

    QWidget *widget() override { return this; }

    bool SelectionRect() const override { return m_selectionTool; }
    void setSelectionRect(bool on) override;
    HGLOBAL hDIB() const override { return m_source; }
    void sethDIB(HGLOBAL dib) override;
    double Zoom() const override { return m_geo.zoom; }
    void setZoom(double zoom) override;
    int ImageHeight() const override { return m_geo.imageHeight; }
    void setImageHeight(int height) override { m_geo.imageHeight = height; }
    int ImageWidth() const override { return m_geo.imageWidth; }
    void setImageWidth(int width) override { m_geo.imageWidth = width; }
    int ImageScaleWidth() const override { return m_geo.scaleWidth; }
    void setImageScaleWidth(int width) override { m_geo.scaleWidth = width; }
    int ImageScaleHeight() const override { return m_geo.scaleHeight; }
    void setImageScaleHeight(int height) override { m_geo.scaleHeight = height; }
    int ScrollPositionX() const override { return m_geo.scrollX; }
    void setScrollPositionX(int x) override;
    int ScrollPositionY() const override { return m_geo.scrollY; }
    void setScrollPositionY(int y) override;
    QColor Color() const override { return m_color; }
    void setColor(const QColor &color) override;

    Q_INVOKABLE void FitTo(int nFitMode) override;
    Q_INVOKABLE OviscoResult UpdateDIB(HGLOBAL *hNewDib) override;
    Q_INVOKABLE void AboutBox() override;

    QMetaObject::Connection onSelectionDrawn(QObject *context,
                                             std::function<void(int, int, int, int)> handler) override;
    QMetaObject::Connection onDisplayDIBChanged(QObject *context,
                                                std::function<void(HGLOBAL *)> handler) override;

    // For tests and tools: the image area without the scroll bars, the cached part of
    // the zoomed image and the current display bitmap (owned by the control).
    QSize clientSize() const;
    ovisco::Rect cacheRect() const { return m_cache; }
    HGLOBAL displayDIB() const { return m_display.get(); }
    int displayBuilds() const { return m_builds; }

signals:
    void SelectionDrawn(int Left, int Top, int Right, int Bottom);
    void DisplayDIBChanged(HGLOBAL *pHDisplayDIB);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    friend class ovisco::OviscoView;

    void layoutScrollBars();
    void placeChildren(bool needH, bool needV);
    void onScrollBar(Qt::Orientation orientation, int value);
    void scrollTo(Qt::Orientation orientation, int value);
    void lineStep(Qt::Orientation orientation, int direction);
    void freeImages();
    void buildDisplayBitmap();
    void clearSelection();

    // Called by the view.
    void paintView(QPainter &p, int bw, int bh);
    void mousePress(const QPoint &pos);
    void mouseMove(const QPoint &pos);
    void mouseRelease(const QPoint &pos);

    ovisco::OviscoGeometry m_geo;
    ovisco::OviscoView *m_view = nullptr;
    QScrollBar *m_hbar = nullptr;
    QScrollBar *m_vbar = nullptr;

    HGLOBAL m_source = nullptr;     // the host's image; never changed or freed here
    arkavo::GlobalBlock m_grayCopy; // 8-bit working copy of a 1-bit source
    HGLOBAL m_working = nullptr;    // m_source or m_grayCopy
    int m_sourceWidth = 0, m_sourceHeight = 0;
    arkavo::GlobalBlock m_display; // scaled cache part, unless the host swapped it
    QImage m_displayImage;         // m_display converted for painting
    ovisco::Rect m_cache;
    int m_builds = 0;

    QColor m_color;
    bool m_selectionTool = false;
    int m_selStartX = 0, m_selStartY = 0, m_selEndX = 0, m_selEndY = 0;
    bool m_dragging = false;
    QPoint m_lastMouse;
    bool m_layoutRunning = false;
};
