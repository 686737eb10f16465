#pragma once
// The arithmetic of the image view: zoom, fit, scroll clamping, client <-> image
// mapping and the cached part of the zoomed image. No painting, no widgets.
namespace ovisco {

// Integer rectangle, right and bottom exclusive.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool contains(const Rect &r) const
    {
        return r.left >= left && r.top >= top && r.right <= right && r.bottom <= bottom;
    }
    Rect intersected(const Rect &r) const;
    bool operator==(const Rect &) const = default;
};

// Part of the working image, in its own pixels, rows counted from the bottom row.
struct SourceRegion {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const SourceRegion &) const = default;
};

// Result of laying out the scroll bars for a window size.
struct ScrollLayout {
    bool needH = false, needV = false;
    int clientWidth = 0, clientHeight = 0; // view size once the bars are placed
    int maxX = 0, maxY = 0;                // largest bar positions (zoomed size - page)
};

enum class FitMode { Best = 0, Width = 1, Height = 2, Actual = 4 };

// Saturating truncation toward zero, so absurd sizes cannot overflow an int.
int truncToInt(double v);

class OviscoGeometry {
public:
    static constexpr double MinZoom = 2.0;
    static constexpr double MaxZoom = 10000.0;

    bool hasImage = false;
    int imageWidth = 0, imageHeight = 0; // shown image in pixels
    int scaleWidth = 0, scaleHeight = 0; // zoomed image in screen pixels
    int scrollX = 0, scrollY = 0;        // top-left of the view in zoomed pixels
    double zoom = 100.0;

    static bool zoomAccepted(double z) { return z >= MinZoom && z <= MaxZoom; }

    // Zoom write: recomputes the zoomed size and keeps the point at the centre of a
    // cw x ch view in place. False (nothing changed) when z is out of range.
    bool applyZoom(double z, int cw, int ch);

    // The zoom a fit mode asks for, for a window of ww x wh; false for modes that do
    // nothing. The value still goes through the zoom range check.
    bool fitZoom(int mode, int ww, int wh, double *z) const;

    // Clamps the scroll positions for a window of ww x wh and decides which bars are
    // needed; bar is the thickness of one scroll bar. Positions on an axis without a
    // bar become 0.
    ScrollLayout layout(int ww, int wh, int bar);

    // A scroll-position write is taken only strictly inside the scrollable range.
    static bool scrollWriteAccepted(int v, int scaled, int client)
    {
        return scaled > client && v >= 0 && v < scaled - client;
    }

    double marginX(int cw) const;
    double marginY(int ch) const;
    // Client pixel -> image pixel, clamped to the image.
    int clientToSourceX(int x, int cw) const;
    int clientToSourceY(int y, int ch) const;
    // Image pixel -> client pixel.
    int sourceToClientX(int sx, int cw) const;
    int sourceToClientY(int sy, int ch) const;

    // The part of the zoomed image a bw x bh view shows.
    Rect visibleRect(int bw, int bh) const;
    // Visible part grown by a quarter of the view on each side, clipped to the image.
    Rect cacheRect(const Rect &visible, int bw, int bh) const;
    // Region of a workWidth x workHeight working image that a cache rectangle covers,
    // kept inside that image.
    SourceRegion regionOf(const Rect &cache, int workWidth, int workHeight) const;
};

} // namespace ovisco
