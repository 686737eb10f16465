#pragma once
// Pixel work of the image view on packed bottom-up DIBs in global blocks: reading
// headers safely, the grey copy of a 1-bit page and the scaled display bitmap.
#include "OviscoGeometry.h"

#include <arkavo/GlobalBlock.h>

#include <QImage>

#include <cstddef>
#include <cstdint>

namespace ovisco {

// A DIB inside a locked block. Rows are stored bottom-up: row(0) is the bottom row.
struct DibView {
    int width = 0, height = 0;
    int bitCount = 0;
    int stride = 0;                        // bytes per row, a multiple of 4
    int paletteEntries = 0;                // biClrUsed
    const std::uint8_t *palette = nullptr; // entries blue, green, red, reserved
    const std::uint8_t *bits = nullptr;    // bottom row

    const std::uint8_t *row(int fromBottom) const { return bits + std::size_t(fromBottom) * stride; }
    // Red component of a palette entry; 0 when the palette has no such entry.
    int paletteRed(int i) const { return i < paletteEntries ? palette[4 * i + 2] : 0; }
};

// Largest width or height the view accepts.
constexpr int MaxDibSide = 1 << 17;

// Describes a block of size bytes as an uncompressed bottom-up DIB of 1, 8 or 24 bits
// per pixel whose palette and rows lie inside the block. False for anything else
// (too small, a header other than the 40-byte one, top-down, compressed, other
// depths, a 1-bit image without its two palette entries, more than 256 palette
// entries).
bool describeDib(const std::uint8_t *data, std::size_t size, DibView *out);

// The 8-bit grey working copy of a 1-bit image: a 0 bit becomes the red component of
// palette entry 0, a 1 bit that of entry 1; grey-ramp palette of 256 entries. The
// caller owns the block; empty when allocation fails.
arkavo::GlobalBlock makeGrayCopy(const DibView &src);

enum class ScaleMode { Nearest, Linear, Area };

// Nearest neighbour above 100 %; linear above 50 % or for a 24-bit source shown as it
// is; area averaging for grey and converted 1-bit images at 50 % or less.
ScaleMode scaleModeFor(double zoom, int workBitCount, bool workIsSource);

// Scales region of the working image (8 or 24 bits) to a new width x height DIB of
// the same depth; 8-bit results carry the working image's palette. The caller owns
// the block; empty when allocation fails or the sizes are empty.
arkavo::GlobalBlock buildDisplayBitmap(const DibView &work, const SourceRegion &region, int width, int height,
                                       ScaleMode mode);

// Enlargement by nearest neighbour of the zoomed-image rectangle cache (zoom in
// percent): each zoomed pixel shows the image pixel it lies in, exactly where the
// client <-> image mapping puts it. Same depth and ownership as buildDisplayBitmap.
arkavo::GlobalBlock buildZoomedBitmap(const DibView &work, const Rect &cache, double zoom);

// The DIB in a block as a top-down RGB32 image for painting; null when the block is
// not a DIB describeDib accepts.
QImage dibToImage(HGLOBAL dib);

} // namespace ovisco
