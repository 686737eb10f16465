#pragma once
// Texts and pictures of the browsing views, kept apart from the window so they can be checked alone.
#include <QImage>
#include <QString>

// Page size for the status bar: bytes below 1 KiB, then "%.1fK", then "%.1fM".
QString FormatPageSize(qint64 bytes);
// Decimal digits grouped in threes from the right, joined with ",".
QString GroupThousands(quint64 value);
// "198k (203,039字节)"
QString FormatUsedSpace(qint64 bytes);
// "12M (12,582,912字节)"
QString FormatFreeSpace(qint64 bytes);

// A loaded thumbnail placed in the 135 × 160 box (centred on grey when it is smaller
// or larger) with a light top-left and a black bottom-right frame.
QImage FrameThumbnail(const QImage &picture);
