#include "PageCleaning.h"

#include "ImageFiles.h"
#include "ImageOperation.h"
#include "Quietly.h"

#include <arkavo/Dib.h>

#include "pixolve.h"

#include <QFileInfo>

#include <optional>
#include <utility>

namespace {

// The page the cleaning works on: the incoming block, which stays the caller's, until a
// step gives a new one; from then on a block of our own, freed as soon as a later step
// replaces it.
class WorkingPage {
public:
    explicit WorkingPage(HGLOBAL incoming) : m_incoming(incoming) {}

    HGLOBAL get() const { return m_own ? m_own.get() : m_incoming; }

    // A step's result: none keeps the page as it is; a new block replaces the page, and
    // the block it replaces is freed unless it is the incoming one.
    void Take(HGLOBAL result)
    {
        if (result && result != m_incoming)
            m_own.reset(result);
    }

    // The cleaned page; empty while no step has changed it.
    arkavo::GlobalBlock Release() { return std::move(m_own); }

private:
    HGLOBAL m_incoming;
    arkavo::GlobalBlock m_own;
};

// The turn (degrees, positive clockwise) of an item of the rotation list. Scan profiles
// have always stored item 1 "左转90度" as a quarter turn clockwise and item 2 the other
// way, the reverse of the image commands of the same captions; stored profiles keep
// meaning what they did.
std::optional<double> TurnOfItem(int item)
{
    switch (item) {
    case 1:
        return 90.0;
    case 2:
        return -90.0;
    case 3:
        return 180.0;
    default:
        return std::nullopt;
    }
}

void RunSteps(WorkingPage &page, const CleaningOptions &options, const ImageProcSettings &settings)
{
    if (options.invert)
        page.Take(Invert(page.get()));
    if (options.removeBorder)
        page.Take(RemoveBorder(page.get(), settings.RemoveBlackBorder_Threshold()));
    if (options.autoCrop) {
        RECT ignored{}; // the automatic crop searches the whole page
        page.Take(Crop(page.get(), &ignored, 2, settings.AutoCrop_EdgeWidth()));
    }
    if (options.deskew) {
        if (const std::optional<double> turn = DeskewCorrection(GetAngle(page.get()))) {
            const auto [w, h] = PageSizeOf(page.get());
            page.Take(Rotate(page.get(), *turn, w / 2, h / 2, 1));
        }
    }
    if (const std::optional<double> turn = TurnOfItem(options.rotate))
        page.Take(RotateExpand(page.get(), *turn, 0, 0, 0));
}

} // namespace

arkavo::GlobalBlock CleanPage(HGLOBAL incoming, const CleaningOptions &options,
                              const ImageProcSettings &settings)
{
    if (!incoming)
        return {};
    WorkingPage page(incoming);
    // A step that throws ends the cleaning; the page goes on as the earlier steps left it.
    arkavo::Quietly("cleaning a scanned page", [&] { RunSteps(page, options, settings); });
    return page.Release();
}

bool NeedsNewFile(int scanPageNo, int pagesPerFile, CutMode mode, HGLOBAL page,
                  const ImageProcSettings &settings)
{
    if (scanPageNo > pagesPerFile)
        return true;
    // A page Pixolve cannot read is no blank separator sheet: it does not open a file.
    return mode == CutMode::BlankPage && IsBlankForSearch(page, settings);
}

QString TempPagePath(const QString &tempDir, int scanPageNo, int bitCount)
{
    const QString base = tempDir + QString::number(scanPageNo);
    const QString ext = bitCount > 8 ? QStringLiteral(".jpg") : QStringLiteral(".tif");
    // A name still there holds a page that was never filed (its filing failed): keep it
    // for whoever recovers it. A dangling link counts as taken too, or the write would
    // follow it.
    auto taken = [](const QString &path) {
        const QFileInfo info(path);
        return info.exists() || info.isSymLink();
    };
    QString path = base + ext;
    for (int n = 1; taken(path); ++n)
        path = base + '-' + QString::number(n) + ext;
    return path;
}

bool SaveTempPage(const TCodecImage &page, const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext != u"tif" && ext != u"jpg")
        return false;
    return SaveImageFile(page, path) == 1;
}
