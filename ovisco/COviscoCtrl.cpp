#include "COviscoCtrl.h"

#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>
#include <cmath>

using ovisco::OviscoGeometry;
using ovisco::Rect;

namespace ovisco {

// The image area: paints through the control and hands it the left mouse button.
class OviscoView : public QWidget {
public:
    explicit OviscoView(COviscoCtrl *ctrl) : QWidget(ctrl), m_ctrl(ctrl)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setObjectName("OviscoView");
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        m_ctrl->paintView(p, width(), height());
    }
    void mousePressEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton)
            m_ctrl->mousePress(e->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent *e) override { m_ctrl->mouseMove(e->position().toPoint()); }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton)
            m_ctrl->mouseRelease(e->position().toPoint());
    }
    // Double clicks belong to the host (the viewer closes on one); let them pass up.
    void mouseDoubleClickEvent(QMouseEvent *e) override { e->ignore(); }

private:
    COviscoCtrl *m_ctrl;
};

} // namespace ovisco

COviscoCtrl::COviscoCtrl(QWidget *parent) : QWidget(parent)
{
    setObjectName("OviscoPicture");
    m_color = palette().color(QPalette::Window);
    m_view = new ovisco::OviscoView(this);
    m_hbar = new QScrollBar(Qt::Horizontal, this);
    m_vbar = new QScrollBar(Qt::Vertical, this);
    m_hbar->setRange(0, 0);
    m_vbar->setRange(0, 0);
    m_hbar->hide();
    m_vbar->hide();
    connect(m_hbar, &QScrollBar::valueChanged, this, [this](int v) { onScrollBar(Qt::Horizontal, v); });
    connect(m_vbar, &QScrollBar::valueChanged, this, [this](int v) { onScrollBar(Qt::Vertical, v); });
    placeChildren(false, false);
}

// The blocks the control allocated go with it (GlobalBlock members); the host's
// image is never freed here.
COviscoCtrl::~COviscoCtrl() = default;

QSize COviscoCtrl::clientSize() const
{
    return m_view->size();
}

void COviscoCtrl::setSelectionRect(bool on)
{
    m_selectionTool = on;
    clearSelection();
    m_view->update();
}

void COviscoCtrl::clearSelection()
{
    m_selStartX = m_selStartY = m_selEndX = m_selEndY = 0;
}

void COviscoCtrl::freeImages()
{
    m_grayCopy.reset();
    m_working = nullptr;
    m_display.reset();
    m_displayImage = QImage();
}

void COviscoCtrl::sethDIB(HGLOBAL dib)
{
    const int oldWidth = m_geo.hasImage ? m_sourceWidth : 0;
    const int oldHeight = m_geo.hasImage ? m_sourceHeight : 0;
    freeImages();
    m_source = nullptr;

    // Anything that is not a supported DIB is shown as no image and not kept, so the
    // host reads back that nothing is shown; the block stays the host's to free.
    ovisco::DibView src;
    int bitCount = 0;
    {
        arkavo::GlobalLockGuard lock(dib);
        if (lock && ovisco::describeDib(lock.data(), GlobalSize(dib), &src)) {
            bitCount = src.bitCount;
            if (bitCount == 1) {
                m_grayCopy = ovisco::makeGrayCopy(src);
                m_working = m_grayCopy.get();
            } else {
                m_working = dib;
            }
        }
    }
    if (!m_working) {
        m_geo.hasImage = false;
        m_sourceWidth = m_sourceHeight = 0;
        m_view->update();
        return;
    }
    m_source = dib;
    m_geo.hasImage = true;
    m_sourceWidth = m_geo.imageWidth = src.width;
    m_sourceHeight = m_geo.imageHeight = src.height;

    if (src.width != oldWidth || src.height != oldHeight) {
        clearSelection();
        m_geo.scrollX = m_geo.scrollY = 0;
        // Fit the width. A page so narrow or wide that the fit leaves the zoom range
        // gets the nearest allowed zoom, so the zoomed size always belongs to it.
        double z = 0;
        m_geo.fitZoom(int(ovisco::FitMode::Width), width(), height(), &z);
        setZoom(std::clamp(std::isnan(z) ? OviscoGeometry::MinZoom : z, OviscoGeometry::MinZoom,
                           OviscoGeometry::MaxZoom));
        // The zoom write keeps the old centre; a new page starts at its top-left.
        m_geo.scrollX = m_geo.scrollY = 0;
        layoutScrollBars();
    }
    m_view->update();
}

void COviscoCtrl::setZoom(double zoom)
{
    if (!OviscoGeometry::zoomAccepted(zoom))
        return;
    const QSize c = clientSize();
    m_geo.applyZoom(zoom, c.width(), c.height());
    if (m_geo.hasImage) {
        layoutScrollBars();
        m_display.reset();
        m_displayImage = QImage();
    }
    m_view->update();
}

void COviscoCtrl::FitTo(int nFitMode)
{
    double z = 0;
    if (m_geo.fitZoom(nFitMode, width(), height(), &z))
        setZoom(z);
}

OviscoResult COviscoCtrl::UpdateDIB(HGLOBAL *)
{
    return OviscoResult::MemberNotFound;
}

void COviscoCtrl::AboutBox()
{
    QMessageBox box(this);
    box.setObjectName("OviscoAboutBox");
    box.setWindowTitle("About Ovisco Control");
    box.setText("Ovisco Control, Version 1.0");
    box.setIcon(QMessageBox::Information);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void COviscoCtrl::setColor(const QColor &color)
{
    m_color = color;
    m_view->update();
}

QMetaObject::Connection COviscoCtrl::onSelectionDrawn(QObject *context,
                                                      std::function<void(int, int, int, int)> handler)
{
    return connect(this, &COviscoCtrl::SelectionDrawn, context ? context : this, std::move(handler),
                   Qt::DirectConnection);
}

QMetaObject::Connection COviscoCtrl::onDisplayDIBChanged(QObject *context,
                                                         std::function<void(HGLOBAL *)> handler)
{
    return connect(this, &COviscoCtrl::DisplayDIBChanged, context ? context : this, std::move(handler),
                   Qt::DirectConnection);
}

// --- Scroll bars ----------------------------------------------------------------

void COviscoCtrl::resizeEvent(QResizeEvent *)
{
    layoutScrollBars();
}

void COviscoCtrl::layoutScrollBars()
{
    if (m_layoutRunning)
        return;
    m_layoutRunning = true;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const ovisco::ScrollLayout l = m_geo.layout(width(), height(), bar);
    {
        // Programmatic changes are not scroll messages.
        const QSignalBlocker bh(m_hbar);
        const QSignalBlocker bv(m_vbar);
        m_hbar->setRange(0, l.needH ? l.maxX : 0);
        m_hbar->setPageStep(l.clientWidth);
        m_hbar->setSingleStep(l.clientWidth / 10);
        m_hbar->setValue(m_geo.scrollX);
        m_vbar->setRange(0, l.needV ? l.maxY : 0);
        m_vbar->setPageStep(l.clientHeight);
        m_vbar->setSingleStep(l.clientHeight / 10);
        m_vbar->setValue(m_geo.scrollY);
    }
    placeChildren(l.needH, l.needV);
    m_layoutRunning = false;
}

void COviscoCtrl::placeChildren(bool needH, bool needV)
{
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int cw = std::max(0, width() - (needV ? bar : 0));
    const int ch = std::max(0, height() - (needH ? bar : 0));
    m_view->setGeometry(0, 0, cw, ch);
    m_hbar->setGeometry(0, ch, cw, bar);
    m_vbar->setGeometry(cw, 0, bar, ch);
    m_hbar->setVisible(needH);
    m_vbar->setVisible(needV);
}

void COviscoCtrl::onScrollBar(Qt::Orientation orientation, int value)
{
    const bool horizontal = orientation == Qt::Horizontal;
    const QSize c = clientSize();
    if (horizontal ? c.width() >= m_geo.scaleWidth : c.height() >= m_geo.scaleHeight)
        return;
    (horizontal ? m_geo.scrollX : m_geo.scrollY) = value;
    m_view->update();
}

void COviscoCtrl::scrollTo(Qt::Orientation orientation, int value)
{
    const bool horizontal = orientation == Qt::Horizontal;
    const QSize c = clientSize();
    if (horizontal ? c.width() >= m_geo.scaleWidth : c.height() >= m_geo.scaleHeight)
        return;
    QScrollBar *bar = horizontal ? m_hbar : m_vbar;
    {
        const QSignalBlocker block(bar);
        bar->setValue(value); // the bar keeps it inside its range
    }
    (horizontal ? m_geo.scrollX : m_geo.scrollY) = bar->value();
    m_view->update();
}

void COviscoCtrl::lineStep(Qt::Orientation orientation, int direction)
{
    QScrollBar *bar = orientation == Qt::Horizontal ? m_hbar : m_vbar;
    scrollTo(orientation, bar->value() + direction * (bar->pageStep() / 10));
}

void COviscoCtrl::setScrollPositionX(int x)
{
    if (OviscoGeometry::scrollWriteAccepted(x, m_geo.scaleWidth, clientSize().width()))
        scrollTo(Qt::Horizontal, x);
}

void COviscoCtrl::setScrollPositionY(int y)
{
    if (OviscoGeometry::scrollWriteAccepted(y, m_geo.scaleHeight, clientSize().height()))
        scrollTo(Qt::Vertical, y);
}

// --- Painting -------------------------------------------------------------------

void COviscoCtrl::buildDisplayBitmap()
{
    m_display.reset();
    m_displayImage = QImage();
    const QSize c = clientSize();
    if (m_cache.isEmpty())
        m_cache = Rect{m_geo.scrollX, m_geo.scrollY, m_geo.scrollX + c.width(), m_geo.scrollY + c.height()};
    m_cache = m_cache.intersected(Rect{0, 0, m_geo.scaleWidth, m_geo.scaleHeight});
    {
        arkavo::GlobalLockGuard lock(m_working);
        ovisco::DibView work;
        if (!lock || !ovisco::describeDib(lock.data(), GlobalSize(m_working), &work))
            return;
        const ovisco::SourceRegion region = m_geo.regionOf(m_cache, work.width, work.height);
        const ovisco::ScaleMode mode = ovisco::scaleModeFor(m_geo.zoom, work.bitCount, m_working == m_source);
        // Enlargements map each zoomed pixel to its own image pixel, so the picture
        // stays put against the selection and across cache rebuilds.
        if (mode == ovisco::ScaleMode::Nearest)
            m_display = ovisco::buildZoomedBitmap(work, m_cache, m_geo.zoom);
        else
            m_display = ovisco::buildDisplayBitmap(work, region, m_cache.width(), m_cache.height(), mode);
    }
    if (!m_display)
        return;
    ++m_builds;
    // The host may adjust the pixels or put its own block in the variable; the
    // control owns whatever it holds afterwards, the host frees what it replaced.
    HGLOBAL handle = m_display.release();
    emit DisplayDIBChanged(&handle);
    m_display.reset(handle);
    m_displayImage = ovisco::dibToImage(m_display.get());
}

void COviscoCtrl::paintView(QPainter &p, int bw, int bh)
{
    if (!m_geo.hasImage || !m_working) {
        p.fillRect(0, 0, bw, bh, m_color);
        return;
    }
    const int dw = std::clamp(m_geo.scaleWidth, 0, bw);
    const int dh = std::clamp(m_geo.scaleHeight, 0, bh);
    const Rect visible = m_geo.visibleRect(bw, bh);
    if (!m_display || !m_cache.contains(visible)) {
        m_cache = m_geo.cacheRect(visible, bw, bh);
        buildDisplayBitmap();
    }

    // The image centred, the four bands around it in the back colour.
    const int x0 = (bw - dw) / 2;
    const int y0 = (bh - dh) / 2;
    p.fillRect(0, 0, bw, y0, m_color);
    p.fillRect(0, y0 + dh, bw, bh - y0 - dh, m_color);
    p.fillRect(0, 0, x0, bh, m_color);
    p.fillRect(x0 + dw, 0, bw - x0 - dw, bh, m_color);

    // Unscaled copy out of the display bitmap; its rows are placed counting from the
    // bottom, which also holds for a host's block of another height.
    const int col = m_geo.scrollX - m_cache.left;
    const int row = m_displayImage.height() - (m_cache.bottom - m_geo.scrollY - dh) - dh;
    const QRect wanted(col, row, dw, dh);
    const QRect part = wanted.intersected(m_displayImage.rect());
    if (part != wanted)
        p.fillRect(x0, y0, dw, dh, m_color);
    if (!part.isEmpty())
        p.drawImage(QPoint(x0 + part.x() - col, y0 + part.y() - row), m_displayImage, part);

    // The selection, in both tool modes.
    const QSize c = clientSize();
    const QPoint a(m_geo.sourceToClientX(m_selStartX, c.width()),
                   m_geo.sourceToClientY(m_selStartY, c.height()));
    const QPoint b(m_geo.sourceToClientX(m_selEndX, c.width()), m_geo.sourceToClientY(m_selEndY, c.height()));
    if (a != b) {
        QPen pen(QColor(255, 0, 0), 1, Qt::DotLine);
        pen.setCosmetic(true);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        const QPoint corners[4] = {a, QPoint(b.x(), a.y()), b, QPoint(a.x(), b.y())};
        p.drawPolygon(corners, 4);
    }
}

// --- Mouse ----------------------------------------------------------------------

void COviscoCtrl::mousePress(const QPoint &pos)
{
    if (m_selectionTool) {
        const QSize c = clientSize();
        m_selStartX = m_selEndX = m_geo.clientToSourceX(pos.x(), c.width());
        m_selStartY = m_selEndY = m_geo.clientToSourceY(pos.y(), c.height());
    } else {
        m_lastMouse = pos;
    }
    m_dragging = true;
}

void COviscoCtrl::mouseMove(const QPoint &pos)
{
    if (!m_dragging)
        return;
    if (m_selectionTool) {
        // Past an edge the view follows the pointer one line at a time.
        QSize c = clientSize();
        if (pos.x() < 0)
            lineStep(Qt::Horizontal, -1);
        if (pos.x() >= c.width())
            lineStep(Qt::Horizontal, 1);
        if (pos.y() < 0)
            lineStep(Qt::Vertical, -1);
        if (pos.y() >= c.height())
            lineStep(Qt::Vertical, 1);
        c = clientSize();
        m_selEndX = m_geo.clientToSourceX(pos.x(), c.width());
        m_selEndY = m_geo.clientToSourceY(pos.y(), c.height());
    } else {
        // A step that would leave the accepted range is dropped for that axis.
        setScrollPositionX(m_geo.scrollX + m_lastMouse.x() - pos.x());
        setScrollPositionY(m_geo.scrollY + m_lastMouse.y() - pos.y());
        m_lastMouse = pos;
    }
    m_view->update();
}

void COviscoCtrl::mouseRelease(const QPoint &pos)
{
    if (!m_dragging)
        return;
    m_dragging = false;
    if (m_selectionTool) {
        const QSize c = clientSize();
        m_selEndX = m_geo.clientToSourceX(pos.x(), c.width());
        m_selEndY = m_geo.clientToSourceY(pos.y(), c.height());
        m_view->update();
        emit SelectionDrawn(m_selStartX, m_selStartY, m_selEndX, m_selEndY);
    }
}
