#pragma once
// What each image command does to one page image, as data: the command's menu name, the
// Pixolve operation it runs and the parameters it takes. No window is involved, so the
// commands can be run on pages in tests, on worker threads and by the scan pipeline.
#include "ImageProcSettings.h"
#include "JpegTurn.h"

#include <arkavo/GlobalBlock.h>

#include "pixolve.h"

#include <QString>

#include <optional>
#include <utility>

enum class ImageOp {
    None,
    Invert,
    Mirror,
    Flip,
    RotateLeft90,
    RotateRight90,
    Rotate180,
    RotateCustom,
    Crop,
    AutoCrop,
    Deskew,
    DespeckleSmall,
    DespeckleMedium,
    DespeckleLarge,
    RemoveBlackBorder,
    TextDarker,
    TextLighter,
    SearchBlankPage,
    BrightnessMore,
    BrightnessLess,
    ContrastMore,
    ContrastLess,
    Erase
};

// The operation of the main-menu item Name (MN_IMAGE_…, or MN_FILE_DELETE for erasing the
// viewer's selection); None for every other name.
ImageOp ImageOpOf(const QString &name);

// Skews of this size or less (degrees) are left as they are.
constexpr double kDeskewThreshold = 0.05;
// The turn that straightens a page measured at Skew degrees: none within the threshold
// (or for a measurement that is not a number).
std::optional<double> DeskewCorrection(double skew);

struct ImageOpParams {
    ImageProcSettings settings;
    double angle = 0; // degrees, the custom rotation's
    RECT selection{}; // the viewer's selection, page pixels from the top-left
};

// Runs Op on Image, which stays the caller's. The result is a new block, or empty when
// the operation gives no result (it rejected the page, or there was nothing to change,
// as for a skew within the threshold). Throws nothing.
arkavo::GlobalBlock RunImageOp(ImageOp op, HGLOBAL image, const ImageOpParams &params);

// Whether the blank-page search counts Image as blank under Settings.
bool IsBlankForSearch(HGLOBAL image, const ImageProcSettings &settings);

// The lossless JPEG turn that gives the same page as Op, if there is one.
std::optional<JpegTurn> JpegTurnOf(ImageOp op);

// Width and height of a page block from its header; 0, 0 for a block that is not a page.
std::pair<int, int> PageSizeOf(HGLOBAL image);

// Quarter and half turns: the viewer fits the page anew after them.
bool IsQuarterOrHalfTurn(ImageOp op);
