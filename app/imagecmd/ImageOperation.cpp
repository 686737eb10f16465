#include "ImageOperation.h"

#include "Quietly.h"
#include "codec.h"

#include <arkavo/Dib.h>

#include <cmath>
#include <cstring>

namespace {

struct NamedOp {
    const char *name;
    ImageOp op;
};

const NamedOp kOps[] = {
    {"MN_IMAGE_INVERSE", ImageOp::Invert},
    {"MN_IMAGE_MIRROR", ImageOp::Mirror},
    {"MN_IMAGE_FLIP", ImageOp::Flip},
    {"MN_IMAGE_ROTATE_L90", ImageOp::RotateLeft90},
    {"MN_IMAGE_ROTATE_R90", ImageOp::RotateRight90},
    {"MN_IMAGE_ROTATE_180", ImageOp::Rotate180},
    {"MN_IMAGE_ROTATE_CUSTOM", ImageOp::RotateCustom},
    {"MN_IMAGE_CROP", ImageOp::Crop},
    {"MN_IMAGE_AUTOCROP", ImageOp::AutoCrop},
    {"MN_IMAGE_DESKEW", ImageOp::Deskew},
    {"MN_IMAGE_DESPECLE_SMALL", ImageOp::DespeckleSmall},
    {"MN_IMAGE_DESPECLE_MEDIUM", ImageOp::DespeckleMedium},
    {"MN_IMAGE_DESPECLE_LARGE", ImageOp::DespeckleLarge},
    {"MN_IMAGE_REMOVEBLACKBORDER", ImageOp::RemoveBlackBorder},
    {"MN_IMAGE_TEXTDARKER", ImageOp::TextDarker},
    {"MN_IMAGE_TEXTLIGHTER", ImageOp::TextLighter},
    {"MN_IMAGE_SEARCHBLANKPAGE", ImageOp::SearchBlankPage},
    {"MN_IMAGE_BRIGHTNESS_MORE", ImageOp::BrightnessMore},
    {"MN_IMAGE_BRIGHTNESS_LESS", ImageOp::BrightnessLess},
    {"MN_IMAGE_CONTRAST_MORE", ImageOp::ContrastMore},
    {"MN_IMAGE_CONTRAST_LESS", ImageOp::ContrastLess},
    {"MN_FILE_DELETE", ImageOp::Erase},
};

} // namespace

std::pair<int, int> PageSizeOf(HGLOBAL image)
{
    arkavo::GlobalLockGuard lock(image);
    if (!lock)
        return {0, 0};
    const auto dib = arkavo::describeDib(lock.data(), GlobalSize(image));
    if (!dib)
        return {0, 0};
    return {dib->width, dib->height};
}

namespace {

HGLOBAL Run(ImageOp op, HGLOBAL h, const ImageOpParams &p)
{
    const ImageProcSettings &s = p.settings;
    switch (op) {
    case ImageOp::None:
    case ImageOp::SearchBlankPage:
        return nullptr;
    case ImageOp::Invert:
        return Invert(h);
    case ImageOp::Mirror:
        return Mirror(h);
    case ImageOp::Flip:
        return Flip(h);
    case ImageOp::RotateLeft90:
        return RotateExpand(h, -90, 0, 0, 0);
    case ImageOp::RotateRight90:
        return RotateExpand(h, 90, 0, 0, 0);
    case ImageOp::Rotate180:
        return RotateExpand(h, 180, 0, 0, 0);
    case ImageOp::RotateCustom: {
        const auto [w, h2] = PageSizeOf(h);
        return Rotate(h, p.angle, w / 2, h2 / 2, 1);
    }
    case ImageOp::Crop: {
        RECT r = p.selection;
        return Crop(h, &r, 0, 0);
    }
    case ImageOp::AutoCrop: {
        RECT r{};
        return Crop(h, &r, 2, s.AutoCrop_EdgeWidth());
    }
    case ImageOp::Deskew: {
        const std::optional<double> turn = DeskewCorrection(GetAngle(h));
        if (!turn)
            return nullptr;
        const auto [w, h2] = PageSizeOf(h);
        return Rotate(h, *turn, w / 2, h2 / 2, 1);
    }
    case ImageOp::DespeckleSmall:
        return Denoise(h, s.Noise_Small());
    case ImageOp::DespeckleMedium:
        return Denoise(h, s.Noise_MEDIUM());
    case ImageOp::DespeckleLarge:
        return Denoise(h, s.Noise_Large());
    case ImageOp::RemoveBlackBorder:
        return RemoveBorder(h, s.RemoveBlackBorder_Threshold());
    case ImageOp::TextDarker:
        return TextEffect(h, 2);
    case ImageOp::TextLighter:
        return TextEffect(h, -2);
    case ImageOp::BrightnessMore:
        return AdjustBrightness(h, 25);
    case ImageOp::BrightnessLess:
        return AdjustBrightness(h, -25);
    case ImageOp::ContrastMore:
        return AdjustContrast(h, 25);
    case ImageOp::ContrastLess:
        return AdjustContrast(h, -25);
    case ImageOp::Erase:
        return Fill(h, &p.selection, 255);
    }
    return nullptr;
}

} // namespace

ImageOp ImageOpOf(const QString &name)
{
    for (const NamedOp &n : kOps)
        if (name == QLatin1String(n.name))
            return n.op;
    return ImageOp::None;
}

arkavo::GlobalBlock RunImageOp(ImageOp op, HGLOBAL image, const ImageOpParams &params)
{
    if (!image)
        return {};
    return arkavo::GlobalBlock(
        arkavo::QuietlyOr<HGLOBAL>("image operation", nullptr, [&] { return Run(op, image, params); }));
}

std::optional<double> DeskewCorrection(double skew)
{
    if (!(std::fabs(skew) > kDeskewThreshold) || !std::isfinite(skew))
        return std::nullopt;
    return -skew;
}

bool IsBlankForSearch(HGLOBAL image, const ImageProcSettings &settings)
{
    // -1 marks an image Pixolve could not read: that is no blank page.
    const int black = IsBlankPage(image, settings.BlankPage_Threshold());
    return black >= 0 && black < 10 * settings.BlankPage_MaxBlack();
}

std::optional<JpegTurn> JpegTurnOf(ImageOp op)
{
    switch (op) {
    case ImageOp::Mirror:
        return JpegTurn::Mirror;
    case ImageOp::Flip:
        return JpegTurn::Flip;
    case ImageOp::RotateLeft90:
        return JpegTurn::Left90;
    case ImageOp::RotateRight90:
        return JpegTurn::Right90;
    case ImageOp::Rotate180:
        return JpegTurn::Half;
    default:
        return std::nullopt;
    }
}

bool IsQuarterOrHalfTurn(ImageOp op)
{
    return op == ImageOp::RotateLeft90 || op == ImageOp::RotateRight90 || op == ImageOp::Rotate180;
}
