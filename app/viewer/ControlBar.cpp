#include "ControlBar.h"

#include <QWidget>

#include <algorithm>

TBandLayout::~TBandLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

QLayoutItem *TBandLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

QSize TBandLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem *item : m_items)
        size = size.expandedTo(item->sizeHint());
    return size;
}

void TBandLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

// Lays the bands out left to right, starting a new row where one does not fit; returns
// the height used.
int TBandLayout::arrange(const QRect &rect, bool apply) const
{
    const int gap = 2;
    int x = rect.x(), y = rect.y(), rowHeight = 0;
    for (QLayoutItem *item : m_items) {
        if (item->widget() && item->widget()->isHidden())
            continue;
        const QSize hint = item->sizeHint();
        if (x > rect.x() && x + hint.width() > rect.right() + 1) {
            x = rect.x();
            y += rowHeight + gap;
            rowHeight = 0;
        }
        if (apply)
            item->setGeometry(QRect(QPoint(x, y), hint));
        x += hint.width() + gap;
        rowHeight = std::max(rowHeight, hint.height());
    }
    return y + rowHeight - rect.y();
}
