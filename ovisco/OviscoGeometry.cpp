#include "OviscoGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ovisco {

Rect Rect::intersected(const Rect &r) const
{
    Rect out{std::max(left, r.left), std::max(top, r.top), std::min(right, r.right),
             std::min(bottom, r.bottom)};
    if (out.right < out.left)
        out.right = out.left;
    if (out.bottom < out.top)
        out.bottom = out.top;
    return out;
}

int truncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    if (v <= lo)
        return std::numeric_limits<int>::min();
    if (v >= hi)
        return std::numeric_limits<int>::max();
    return static_cast<int>(v); // truncates toward zero
}

bool OviscoGeometry::applyZoom(double z, int cw, int ch)
{
    if (!zoomAccepted(z))
        return false;
    if (hasImage) {
        const double old = zoom;
        scaleWidth = truncToInt(imageWidth * z * 0.01);
        scaleHeight = truncToInt(imageHeight * z * 0.01);
        // Keep the point under the middle of the view where it is.
        scrollX = truncToInt(std::trunc((scrollX + cw * 0.5) * z / old) - cw * 0.5);
        scrollY = truncToInt(std::trunc((scrollY + ch * 0.5) * z / old) - ch * 0.5);
    }
    zoom = z;
    return true;
}

bool OviscoGeometry::fitZoom(int mode, int ww, int wh, double *z) const
{
    const double inf = std::numeric_limits<double>::infinity();
    const double wz = imageWidth > 0 ? double(ww) / imageWidth * 100.0 : inf;
    const double hz = imageHeight > 0 ? double(wh) / imageHeight * 100.0 : inf;
    switch (mode) {
    case int(FitMode::Best):
        *z = std::min(wz, hz);
        return true;
    case int(FitMode::Width):
        *z = wz;
        return true;
    case int(FitMode::Height):
        *z = hz;
        return true;
    case int(FitMode::Actual):
        *z = 100.0;
        return true;
    default:
        return false;
    }
}

ScrollLayout OviscoGeometry::layout(int ww, int wh, int bar)
{
    ScrollLayout out;
    scrollX = std::max(scrollX, 0);
    if (double(scrollX) + ww > scaleWidth)
        scrollX = std::max(0, scaleWidth - ww);
    scrollY = std::max(scrollY, 0);
    if (double(scrollY) + wh > scaleHeight)
        scrollY = std::max(0, scaleHeight - wh);

    out.needH = scaleWidth > ww;
    out.needV = scaleHeight > wh;
    out.clientWidth = ww;
    out.clientHeight = wh;
    if (!out.needH && !out.needV) {
        scrollX = scrollY = 0;
        return out;
    }
    // One bar takes room from the other direction; each may then need a bar too.
    out.clientWidth = ww - (out.needV ? bar : 0);
    out.clientHeight = wh - (out.needH ? bar : 0);
    if (!out.needH && scaleWidth > out.clientWidth) {
        out.needH = true;
        out.clientHeight = wh - bar;
    }
    if (!out.needV && scaleHeight > out.clientHeight) {
        out.needV = true;
        out.clientWidth = ww - bar;
    }
    out.clientWidth = std::max(out.clientWidth, 0);
    out.clientHeight = std::max(out.clientHeight, 0);
    if (out.needH)
        out.maxX = std::max(0, scaleWidth - out.clientWidth);
    else
        scrollX = 0;
    if (out.needV)
        out.maxY = std::max(0, scaleHeight - out.clientHeight);
    else
        scrollY = 0;
    return out;
}

double OviscoGeometry::marginX(int cw) const
{
    return (cw - std::min(scaleWidth, cw)) * 0.5;
}

double OviscoGeometry::marginY(int ch) const
{
    return (ch - std::min(scaleHeight, ch)) * 0.5;
}

static int clampToImage(int v, int size)
{
    return std::max(0, std::min(v, size - 1));
}

int OviscoGeometry::clientToSourceX(int x, int cw) const
{
    return clampToImage(truncToInt((x - marginX(cw) + scrollX) * 100.0 / zoom), imageWidth);
}

int OviscoGeometry::clientToSourceY(int y, int ch) const
{
    return clampToImage(truncToInt((y - marginY(ch) + scrollY) * 100.0 / zoom), imageHeight);
}

int OviscoGeometry::sourceToClientX(int sx, int cw) const
{
    return truncToInt(sx * zoom * 0.01 - scrollX + marginX(cw));
}

int OviscoGeometry::sourceToClientY(int sy, int ch) const
{
    return truncToInt(sy * zoom * 0.01 - scrollY + marginY(ch));
}

Rect OviscoGeometry::visibleRect(int bw, int bh) const
{
    const int dw = std::min(scaleWidth, bw);
    const int dh = std::min(scaleHeight, bh);
    const Rect view{scrollX, scrollY, truncToInt(double(scrollX) + dw), truncToInt(double(scrollY) + dh)};
    return view.intersected(Rect{0, 0, scaleWidth, scaleHeight});
}

Rect OviscoGeometry::cacheRect(const Rect &visible, int bw, int bh) const
{
    const int gx = truncToInt(bw * 0.25);
    const int gy = truncToInt(bh * 0.25);
    const Rect grown{truncToInt(double(visible.left) - gx), truncToInt(double(visible.top) - gy),
                     truncToInt(double(visible.right) + gx), truncToInt(double(visible.bottom) + gy)};
    return grown.intersected(Rect{0, 0, scaleWidth, scaleHeight});
}

SourceRegion OviscoGeometry::regionOf(const Rect &cache, int workWidth, int workHeight) const
{
    SourceRegion r;
    r.x = truncToInt(cache.left / zoom * 100.0);
    r.y = truncToInt((double(scaleHeight) - cache.bottom) / zoom * 100.0);
    r.width = truncToInt(cache.width() / zoom * 100.0 + 0.5);
    r.height = truncToInt(cache.height() / zoom * 100.0 + 0.5);
    // Rounding may reach one pixel past the image, or shrink a thin strip to nothing.
    if (workWidth <= 0 || workHeight <= 0)
        return SourceRegion{};
    r.x = std::max(0, std::min(r.x, workWidth - 1));
    r.y = std::max(0, std::min(r.y, workHeight - 1));
    r.width = std::max(1, std::min(r.width, workWidth - r.x));
    r.height = std::max(1, std::min(r.height, workHeight - r.y));
    return r;
}

} // namespace ovisco
