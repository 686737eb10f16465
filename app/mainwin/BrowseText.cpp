#include "BrowseText.h"

#include <QPainter>

QString FormatPageSize(qint64 bytes)
{
    if (bytes < 1024)
        return QString::number(bytes);
    if (bytes < 1048576)
        return QString::asprintf("%.1fK", bytes / 1024.0);
    return QString::asprintf("%.1fM", bytes / 1048576.0);
}

QString GroupThousands(quint64 value)
{
    const QString digits = QString::number(value);
    int first = digits.size() % 3;
    if (first == 0)
        first = 3;
    QString out = digits.left(first);
    for (qsizetype i = first; i < digits.size(); i += 3)
        out += u',' + digits.mid(i, 3);
    return out;
}

QString FormatUsedSpace(qint64 bytes)
{
    const quint64 b = bytes < 0 ? 0 : quint64(bytes);
    return QString::number(b / 1024) + QStringLiteral("k (") + GroupThousands(b) + QStringLiteral("字节)");
}

QString FormatFreeSpace(qint64 bytes)
{
    const quint64 b = bytes < 0 ? 0 : quint64(bytes);
    return QString::number(b / 1024 / 1024) + QStringLiteral("M (") + GroupThousands(b) +
           QStringLiteral("字节)");
}

QImage FrameThumbnail(const QImage &picture)
{
    constexpr int W = 135, H = 160;
    QImage box;
    if (picture.width() == W && picture.height() == H) {
        box = picture.convertToFormat(QImage::Format_RGB32);
    } else {
        box = QImage(W, H, QImage::Format_RGB32);
        box.fill(QColor(160, 160, 164));
        QPainter p(&box);
        p.drawImage((W - picture.width()) / 2, (H - picture.height()) / 2, picture);
    }
    QPainter p(&box);
    p.setPen(QPen(QColor(238, 238, 238), 2));
    p.drawLine(1, 0, W, 0);
    p.drawLine(1, 0, 0, H);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(W, H, W, 0);
    p.drawLine(W, H, 0, H);
    return box;
}
