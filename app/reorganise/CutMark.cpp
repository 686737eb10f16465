#include "CutMark.h"

#include <QApplication>
#include <QListWidgetItem>
#include <QPainter>
#include <QPalette>

void ToggleCutMark(QImage &bitmap)
{
    if (bitmap.isNull())
        return;
    // Raster operations work on opaque pixels; thumbnails have no transparency.
    if (bitmap.format() != QImage::Format_RGB32)
        bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
    // Black background, hatch lines in the window colour: exclusive-or leaves the picture
    // as it is under the background and inverts it against the window colour on the lines.
    QImage hatch(bitmap.size(), QImage::Format_RGB32);
    hatch.fill(Qt::black);
    {
        QPainter p(&hatch);
        p.fillRect(hatch.rect(), QBrush(QApplication::palette().color(QPalette::Base), Qt::DiagCrossPattern));
    }
    QPainter p(&bitmap);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.drawImage(0, 0, hatch);
}

QPixmap CutMarked(const QPixmap &picture)
{
    QImage image = picture.toImage();
    ToggleCutMark(image);
    return QPixmap::fromImage(image);
}

bool IsCutFlagged(const QListWidgetItem *item)
{
    return item && item->data(kCutFlagRole).toBool();
}

void SetCutFlag(QListWidgetItem *item, bool cut)
{
    if (item && IsCutFlagged(item) != cut)
        item->setData(kCutFlagRole, cut);
}
