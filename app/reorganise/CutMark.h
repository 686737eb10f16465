#pragma once
// The mark of cut pages: a diagonal cross-hatch laid over the thumbnail by exclusive-or,
// so that laying it on twice gives the picture back. The flag is kept on the page item
// and the mark drawn from it when the item is painted, never into the cached picture.
#include <QImage>
#include <QPixmap>

class QListWidgetItem;

// Item data role of the cut flag.
constexpr int kCutFlagRole = Qt::UserRole + 10;

// Applies the cut mark to Bitmap in place.
void ToggleCutMark(QImage &bitmap);
// Picture with the mark applied; Picture itself stays as it is.
QPixmap CutMarked(const QPixmap &picture);

bool IsCutFlagged(const QListWidgetItem *item);
void SetCutFlag(QListWidgetItem *item, bool cut);
