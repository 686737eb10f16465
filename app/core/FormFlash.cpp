#include "FormFlash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

TFormFlash::TFormFlash(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("FormFlash"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(SplashPicture());
    Image1->setFixedSize(530, 410);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image1);
    setFixedSize(530, 410);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TFormFlash::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    close();
}

QPixmap TFormFlash::SplashPicture()
{
    QPixmap pm(530, 410);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 0, 410);
    bg.setColorAt(0, QColor(0x1f, 0x4e, 0x79));
    bg.setColorAt(1, QColor(0x0b, 0x22, 0x3a));
    p.fillRect(pm.rect(), bg);

    // A small stack of pages, the last one with text lines.
    for (int i = 2; i >= 0; --i) {
        const QRectF page(52 + i * 14, 70 + i * 12, 130, 170);
        p.setPen(QPen(QColor(0x9a, 0xa9, 0xb8), 1));
        p.setBrush(i == 0 ? QColor(0xfb, 0xfb, 0xf7) : QColor(0xdd, 0xe3, 0xea));
        p.drawRect(page);
    }
    p.setPen(QPen(QColor(0x55, 0x66, 0x77), 3));
    for (int line = 0; line < 7; ++line)
        p.drawLine(QPointF(68, 100 + line * 18), QPointF(line == 6 ? 130 : 165, 100 + line * 18));
    // The scanner's light bar across the page.
    QLinearGradient beam(0, 150, 0, 170);
    beam.setColorAt(0, QColor(120, 220, 255, 0));
    beam.setColorAt(0.5, QColor(120, 220, 255, 200));
    beam.setColorAt(1, QColor(120, 220, 255, 0));
    p.fillRect(QRectF(40, 150, 170, 20), beam);

    p.setPen(Qt::white);
    QFont title(QStringLiteral("WenQuanYi Micro Hei"));
    title.setPixelSize(44);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRectF(240, 80, 280, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Arkavo"));
    QFont sub(QStringLiteral("WenQuanYi Micro Hei"));
    sub.setPixelSize(22);
    p.setFont(sub);
    p.drawText(QRectF(240, 140, 280, 40), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("文档扫描管理系统"));
    sub.setPixelSize(15);
    p.setFont(sub);
    p.setPen(QColor(0xc8, 0xd6, 0xe5));
    p.drawText(QRectF(240, 180, 280, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("版本 2.2"));

    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawLine(30, 300, 500, 300);
    p.setPen(QColor(0xc8, 0xd6, 0xe5));
    p.drawText(QRectF(30, 310, 470, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("扫描 · 整理 · 索引 · 查询 · 导出"));
    p.drawText(QRectF(30, 350, 470, 30), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("正在启动…"));
    return pm;
}
