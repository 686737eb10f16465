// A small host for looking at the image-view control by hand: loads libovisco.so
// from beside the binary and shows a generated letter page.
//
//   ovisco_demo                 interactive window
//   ovisco_demo --shots DIR     saves fit.png, zoom.png, width.png, selection.png in DIR
#include "ovisco/OviscoInterface.h"

#include <arkavo/GlobalBlock.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPluginLoader>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <cstdio>
#include <cstring>

namespace {

// An A4 letter at 150 dpi, drawn with QPainter and packed as a 24-bit bottom-up DIB.
arkavo::GlobalBlock makePage()
{
    QImage img(1240, 1754, QImage::Format_RGB888);
    img.fill(Qt::white);
    QPainter p(&img);
    p.fillRect(90, 90, 1060, 120, QColor(30, 70, 140));
    p.setPen(Qt::white);
    QFont big = p.font();
    big.setPixelSize(56);
    big.setBold(true);
    p.setFont(big);
    p.drawText(QRect(90, 90, 1060, 120), Qt::AlignCenter, "Arkavo Test Page");
    p.setBrush(QColor(200, 40, 40));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(1050, 330), 70, 70);
    p.setPen(Qt::black);
    QFont body = p.font();
    body.setPixelSize(24);
    body.setBold(false);
    p.setFont(body);
    for (int i = 0; i < 40; ++i)
        p.drawText(120, 320 + 34 * i,
                   QString("Line %1: the quick brown fox jumps over the lazy dog 0123456789").arg(i + 1));
    p.setPen(QPen(QColor(0, 140, 60), 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(60, 60, 1120, 1634);
    p.end();

    const int stride = (img.width() * 3 + 3) & ~3;
    arkavo::GlobalBlock dib = arkavo::GlobalBlock::allocate(40 + std::size_t(stride) * img.height());
    arkavo::GlobalLockGuard lock(dib.get());
    std::uint8_t *d = lock.data();
    const std::int32_t header[] = {40, img.width(), img.height()};
    std::memcpy(d, header, sizeof header);
    d[12] = 1;
    d[14] = 24;
    for (int y = 0; y < img.height(); ++y) {
        const uchar *in = img.constScanLine(y);
        std::uint8_t *out = d + 40 + std::size_t(img.height() - 1 - y) * stride;
        for (int x = 0; x < img.width(); ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
    }
    return dib;
}

void mouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QPluginLoader loader(QCoreApplication::applicationDirPath() + "/libovisco.so");
    auto *factory = qobject_cast<OviscoFactory *>(loader.instance());
    if (!factory) {
        std::fprintf(stderr, "cannot load the control: %s\n", qPrintable(loader.errorString()));
        return 1;
    }

    QMainWindow window;
    window.setWindowTitle("Ovisco demo");
    window.resize(900, 700);
    OviscoControl *picture = factory->createControl(&window);
    window.setCentralWidget(picture->widget());
    picture->setColor(QColor(192, 192, 192));
    picture->widget()->setCursor(Qt::CrossCursor);

    QLabel *status = new QLabel;
    window.statusBar()->addWidget(status);
    auto showState = [&] {
        status->setText(QString("Zoom %1 %  scroll %2, %3  %4")
                            .arg(picture->Zoom(), 0, 'f', 1)
                            .arg(picture->ScrollPositionX())
                            .arg(picture->ScrollPositionY())
                            .arg(picture->SelectionRect() ? "select" : "pan"));
    };
    picture->onSelectionDrawn(&window, [&](int l, int t, int r, int b) {
        window.statusBar()->showMessage(QString("Selection %1, %2 - %3, %4").arg(l).arg(t).arg(r).arg(b),
                                        5000);
    });

    QToolBar *bar = window.addToolBar("View");
    bar->addAction("Best fit", [&] { picture->FitTo(0), showState(); });
    bar->addAction("Fit width", [&] { picture->FitTo(1), showState(); });
    bar->addAction("Fit height", [&] { picture->FitTo(2), showState(); });
    bar->addAction("Zoom in", [&] { picture->setZoom(std::min(picture->Zoom() * 2, 10000.0)), showState(); });
    bar->addAction("Zoom out", [&] { picture->setZoom(std::max(picture->Zoom() / 2, 2.0)), showState(); });
    bar->addAction("Select / pan",
                   [&] { picture->setSelectionRect(!picture->SelectionRect()), showState(); });
    bar->addAction("About", [&] { picture->AboutBox(); });

    arkavo::GlobalBlock page = makePage(); // the host owns the page
    window.show();
    QCoreApplication::processEvents();
    picture->sethDIB(page.get());
    picture->FitTo(0);
    showState();

    if (argc == 3 && std::strcmp(argv[1], "--shots") == 0) {
        const QDir dir(QString::fromLocal8Bit(argv[2]));
        auto shot = [&](const char *name) {
            showState();
            QCoreApplication::processEvents();
            window.grab().save(dir.filePath(name));
        };
        shot("fit.png");
        picture->setZoom(200);
        picture->setScrollPositionX(700);
        picture->setScrollPositionY(100);
        shot("zoom.png");
        picture->FitTo(1);
        shot("width.png");
        picture->setSelectionRect(true);
        QWidget *view = picture->widget()->findChild<QWidget *>("OviscoView");
        mouse(view, QEvent::MouseButtonPress, {120, 200}, Qt::LeftButton);
        mouse(view, QEvent::MouseMove, {400, 330}, Qt::LeftButton);
        mouse(view, QEvent::MouseButtonRelease, {520, 380}, Qt::NoButton);
        shot("selection.png");
        // Leave the window up a moment for a screen grab from outside.
        QTimer::singleShot(1500, &app, &QApplication::quit);
        return app.exec();
    }
    return app.exec();
}
