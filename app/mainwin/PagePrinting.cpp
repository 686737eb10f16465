#include "PagePrinting.h"

#include "codec.h"

#include <arkavo/Dib.h>
#include <arkavo/GlobalBlock.h>

#include <QFile>
#include <QPainter>
#include <QPrinter>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

// A top-down copy of the DIB in Block; null for anything describeDib does not accept.
QImage ImageOfDib(HGLOBAL block)
{
    arkavo::GlobalLockGuard lock(block);
    if (!lock)
        return {};
    const std::optional<arkavo::DibInfo> info = arkavo::describeDib(lock.data(), GlobalSize(block));
    if (!info)
        return {};
    QImage::Format format;
    switch (info->bitCount) {
    case 1:
        format = QImage::Format_Mono;
        break;
    case 8:
        format = QImage::Format_Indexed8;
        break;
    case 24:
        format = QImage::Format_BGR888;
        break;
    case 32:
        format = QImage::Format_RGB32;
        break;
    default:
        return {};
    }
    QImage image(info->width, info->height, format);
    if (image.isNull())
        return {};
    if (info->bitCount <= 8) {
        QList<QRgb> colours(1 << info->bitCount, qRgb(0, 0, 0));
        const std::uint8_t *palette = info->palette(lock.data());
        for (std::uint32_t i = 0; i < info->clrUsed && i < std::uint32_t(colours.size()); ++i)
            colours[i] = qRgb(palette[4 * i + 2], palette[4 * i + 1], palette[4 * i]);
        image.setColorTable(colours);
    }
    const std::size_t rowBytes = std::min<std::size_t>(info->stride, image.bytesPerLine());
    for (int y = 0; y < info->height; ++y) {
        const int stored = info->topDown ? y : info->height - 1 - y;
        std::memcpy(image.scanLine(y), info->row(lock.data(), stored), rowBytes);
    }
    return image;
}

} // namespace

PrintRangeOffer PrintRangeFor(int nodeLevel, int pageCount, int selectedCount)
{
    PrintRangeOffer offer;
    if (nodeLevel != 2 && pageCount > 0) {
        offer.minPage = offer.fromPage = 1;
        offer.maxPage = offer.toPage = pageCount;
        offer.pageRange = true;
    }
    offer.selection = selectedCount > 0;
    return offer;
}

QList<int> RowsToPrint(PrintRangeKind kind, int fromPage, int toPage, int pageCount,
                       const QList<int> &selectedRows)
{
    QList<int> rows;
    for (int row = 0; row < pageCount; ++row) {
        if (kind == PrintRangeKind::Selection && !selectedRows.contains(row))
            continue;
        if (kind == PrintRangeKind::PageRange && (row + 1 < fromPage || row + 1 > toPage))
            continue;
        rows << row;
    }
    return rows;
}

PrintablePage LoadPrintablePage(const QString &path)
{
    PrintablePage page;
    TCodecImage loaded{};
    LoadFile(QFile::encodeName(path).constData(), &loaded, 0);
    const arkavo::GlobalBlock dib(loaded.Dib); // ours to free
    if (!dib)
        return page;
    page.image = ImageOfDib(dib.get());
    page.xDpi = loaded.XResolution > 0 ? loaded.XResolution : CODEC_DEFAULT_DPI;
    page.yDpi = loaded.YResolution > 0 ? loaded.YResolution : CODEC_DEFAULT_DPI;
    return page;
}

int NaturalSize(int pixels, int deviceDpi, int pageDpi)
{
    if (pageDpi <= 0)
        pageDpi = CODEC_DEFAULT_DPI;
    return int(std::llround(double(pixels) * deviceDpi / pageDpi));
}

int TPagePrinter::Print(const QStringList &paths)
{
    QPainter painter;
    int sheets = 0;
    const auto endJob = [&] {
        if (painter.isActive())
            painter.end();
    };
    for (int i = 0; i < paths.size(); ++i) {
        const PrintablePage page = LoadPrintablePage(paths[i]);
        if (sheets == 0) {
            // The job starts with the first page that can be printed.
            if (page.image.isNull())
                continue;
            if (!painter.begin(&m_printer))
                throw std::runtime_error("无法开始打印作业。");
        } else if (!m_printer.newPage()) {
            endJob();
            throw std::runtime_error("打印机无法开始新的一页。");
        }
        ++sheets;
        if (page.image.isNull())
            continue;
        const int dpiX = m_printer.resolution();
        const int dpiY = m_printer.resolution();
        const QRect target(0, 0, NaturalSize(page.image.width(), dpiX, page.xDpi),
                           NaturalSize(page.image.height(), dpiY, page.yDpi));
        painter.drawImage(target, page.image);
    }
    endJob();
    if (sheets > 0 && m_printer.printerState() == QPrinter::Error)
        throw std::runtime_error("打印失败。");
    return sheets;
}
