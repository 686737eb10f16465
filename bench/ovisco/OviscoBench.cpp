// Speed of the image view on a 24-bit A4 page at 300 dpi in a 1280 x 1024 view:
// building the display bitmap at several zooms, repaints that stay inside the
// cache, and QImage::scaled (smooth) of the same regions for comparison.
#include "COviscoCtrl.h"
#include "OviscoBitmaps.h"
#include "OviscoGeometry.h"

#include <arkavo/GlobalBlock.h>
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QStyle>

#include <cstring>

namespace {

constexpr int PageW = 2480, PageH = 3508;
constexpr int ViewW = 1280, ViewH = 1024;

QApplication *app()
{
    static int argc = 1;
    static char name[] = "bench_ovisco";
    static char *argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication *instance = new QApplication(argc, argv);
    return instance;
}

// A busy colour page: smooth gradients with a pattern of fine lines.
const arkavo::GlobalBlock &page()
{
    static arkavo::GlobalBlock dib = [] {
        const int stride = (PageW * 3 + 3) & ~3;
        arkavo::GlobalBlock b = arkavo::GlobalBlock::allocate(40 + std::size_t(stride) * PageH);
        arkavo::GlobalLockGuard lock(b.get());
        std::uint8_t *d = lock.data();
        const std::int32_t header[] = {40, PageW, PageH};
        std::memcpy(d, header, sizeof header);
        d[12] = 1;
        d[14] = 24;
        for (int y = 0; y < PageH; ++y) {
            std::uint8_t *row = d + 40 + std::size_t(y) * stride;
            for (int x = 0; x < PageW; ++x) {
                const bool ink = (x % 37 < 2) || (y % 29 < 2);
                row[3 * x] = ink ? 20 : std::uint8_t(x * 255 / PageW);
                row[3 * x + 1] = ink ? 20 : std::uint8_t(y * 255 / PageH);
                row[3 * x + 2] = ink ? 20 : std::uint8_t((x + y) & 0xff);
            }
        }
        return b;
    }();
    return dib;
}

// A bilevel A4 page (palette black, white) with text-like strokes.
const arkavo::GlobalBlock &bilevelPage()
{
    static arkavo::GlobalBlock dib = [] {
        const int stride = ((PageW + 31) / 32) * 4;
        arkavo::GlobalBlock b = arkavo::GlobalBlock::allocate(48 + std::size_t(stride) * PageH);
        arkavo::GlobalLockGuard lock(b.get());
        std::uint8_t *d = lock.data();
        const std::int32_t header[] = {40, PageW, PageH};
        std::memcpy(d, header, sizeof header);
        d[12] = 1;
        d[14] = 1;
        d[32] = 2;
        d[44] = d[45] = d[46] = 255; // entry 1 white
        for (int y = 0; y < PageH; ++y)
            for (int x = 0; x < stride; ++x)
                d[48 + std::size_t(y) * stride + x] = (y % 40 < 28) ? std::uint8_t(0x5a ^ x ^ y) : 0xff;
        return b;
    }();
    return dib;
}

// The same page as Qt's fastest smooth-scaling input, top-down RGB32.
const QImage &pageImage()
{
    static QImage img = ovisco::dibToImage(page().get());
    return img;
}

// Geometry of a view scrolled to the middle of the page at the given zoom.
ovisco::OviscoGeometry viewAt(double zoom)
{
    ovisco::OviscoGeometry g;
    g.hasImage = true;
    g.imageWidth = PageW;
    g.imageHeight = PageH;
    g.applyZoom(zoom, ViewW, ViewH);
    g.scrollX = std::max(0, (g.scaleWidth - ViewW) / 2);
    g.scrollY = std::max(0, (g.scaleHeight - ViewH) / 2);
    return g;
}

void BM_BuildDisplayBitmap(benchmark::State &state)
{
    const double zoom = double(state.range(0));
    const ovisco::OviscoGeometry g = viewAt(zoom);
    const ovisco::Rect cache = g.cacheRect(g.visibleRect(ViewW, ViewH), ViewW, ViewH);
    arkavo::GlobalLockGuard lock(page().get());
    ovisco::DibView work;
    ovisco::describeDib(lock.data(), page().size(), &work);
    const ovisco::SourceRegion region = g.regionOf(cache, work.width, work.height);
    const ovisco::ScaleMode mode = ovisco::scaleModeFor(zoom, 24, true);
    for (auto _ : state) {
        // What the control does on a rebuild: scale, then convert for painting.
        arkavo::GlobalBlock display =
            mode == ovisco::ScaleMode::Nearest
                ? ovisco::buildZoomedBitmap(work, cache, zoom)
                : ovisco::buildDisplayBitmap(work, region, cache.width(), cache.height(), mode);
        QImage shown = ovisco::dibToImage(display.get());
        benchmark::DoNotOptimize(shown.constBits());
    }
    state.counters["cache_w"] = cache.width();
    state.counters["cache_h"] = cache.height();
    state.counters["mpix"] = double(cache.width()) * cache.height() / 1e6;
}

void BM_QImageScaledSmooth(benchmark::State &state)
{
    const double zoom = double(state.range(0));
    const ovisco::OviscoGeometry g = viewAt(zoom);
    const ovisco::Rect cache = g.cacheRect(g.visibleRect(ViewW, ViewH), ViewW, ViewH);
    const ovisco::SourceRegion r = g.regionOf(cache, PageW, PageH);
    const QImage &src = pageImage();
    const int top = PageH - r.y - r.height; // region rows are counted from the bottom
    // The region without copying it.
    const QImage part(src.constScanLine(top) + std::size_t(r.x) * 4, r.width, r.height, src.bytesPerLine(),
                      src.format());
    for (auto _ : state) {
        QImage scaled =
            part.scaled(cache.width(), cache.height(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(scaled.constBits());
    }
    state.counters["mpix"] = double(cache.width()) * cache.height() / 1e6;
}

// A 1-bit page: the grey working copy made once per hDIB write, then display
// bitmaps from it (area averaging at 50 % and below).
void BM_BilevelGreyCopy(benchmark::State &state)
{
    arkavo::GlobalLockGuard lock(bilevelPage().get());
    ovisco::DibView src;
    ovisco::describeDib(lock.data(), bilevelPage().size(), &src);
    for (auto _ : state) {
        arkavo::GlobalBlock grey = ovisco::makeGrayCopy(src);
        benchmark::DoNotOptimize(grey.get());
    }
}

void BM_BuildDisplayBitmapBilevel(benchmark::State &state)
{
    const double zoom = double(state.range(0));
    const ovisco::OviscoGeometry g = viewAt(zoom);
    const ovisco::Rect cache = g.cacheRect(g.visibleRect(ViewW, ViewH), ViewW, ViewH);
    arkavo::GlobalBlock grey;
    {
        arkavo::GlobalLockGuard lock(bilevelPage().get());
        ovisco::DibView src;
        ovisco::describeDib(lock.data(), bilevelPage().size(), &src);
        grey = ovisco::makeGrayCopy(src);
    }
    arkavo::GlobalLockGuard lock(grey.get());
    ovisco::DibView work;
    ovisco::describeDib(lock.data(), grey.size(), &work);
    const ovisco::SourceRegion region = g.regionOf(cache, work.width, work.height);
    const ovisco::ScaleMode mode = ovisco::scaleModeFor(zoom, 8, false);
    for (auto _ : state) {
        arkavo::GlobalBlock display =
            mode == ovisco::ScaleMode::Nearest
                ? ovisco::buildZoomedBitmap(work, cache, zoom)
                : ovisco::buildDisplayBitmap(work, region, cache.width(), cache.height(), mode);
        QImage shown = ovisco::dibToImage(display.get());
        benchmark::DoNotOptimize(shown.constBits());
    }
}

BENCHMARK(BM_BilevelGreyCopy)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_BuildDisplayBitmapBilevel)
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Arg(400)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

BENCHMARK(BM_BuildDisplayBitmap)
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Arg(400)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK(BM_QImageScaledSmooth)
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Arg(400)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

struct AppFirst {
    AppFirst() { app(); }
};

// A control of 1280 x 1024 client pixels showing the page at 60 %.
struct Control : AppFirst {
    QWidget host;
    COviscoCtrl *ctrl;
    QWidget *view;
    QImage target;
    Control()
    {
        ctrl = new COviscoCtrl(&host);
        const int bar = ctrl->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ctrl);
        host.resize(ViewW + bar, ViewH + bar);
        ctrl->setGeometry(0, 0, ViewW + bar, ViewH + bar);
        host.show();
        QCoreApplication::processEvents();
        ctrl->sethDIB(page().get());
        ctrl->setZoom(60);
        ctrl->setScrollPositionX(100);
        ctrl->setScrollPositionY(500);
        view = ctrl->findChild<QWidget *>("OviscoView");
        target = QImage(view->size(), QImage::Format_RGB32);
        paint();
    }
    void paint() { view->render(&target); }
};

void BM_RepaintScrollStep(benchmark::State &state)
{
    Control c;
    const int builds = c.ctrl->displayBuilds();
    const int step = c.ctrl->clientSize().height() / 10; // one line
    int i = 0;
    for (auto _ : state) {
        c.ctrl->setScrollPositionY(500 + ((i++ & 1) ? step : 0));
        c.paint();
    }
    state.counters["rebuilds"] = c.ctrl->displayBuilds() - builds;
}

void BM_RepaintSelectionDrag(benchmark::State &state)
{
    Control c;
    c.ctrl->setSelectionRect(true);
    const int builds = c.ctrl->displayBuilds();
    auto send = [&](QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(pos), c.view->mapToGlobal(QPointF(pos)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(c.view, &e);
    };
    send(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
    int i = 0;
    for (auto _ : state) {
        const int d = i++ % 400;
        send(QEvent::MouseMove, {300 + d, 250 + d}, Qt::LeftButton);
        c.paint();
    }
    send(QEvent::MouseButtonRelease, {300, 250}, Qt::NoButton);
    state.counters["rebuilds"] = c.ctrl->displayBuilds() - builds;
}

// What a viewer without the cache would do on every repaint: scale the visible part.
void BM_QImageScaledVisible(benchmark::State &state)
{
    const ovisco::OviscoGeometry g = viewAt(60);
    const ovisco::SourceRegion r = g.regionOf(g.visibleRect(ViewW, ViewH), PageW, PageH);
    const QImage &src = pageImage();
    const int top = PageH - r.y - r.height;
    const QImage part(src.constScanLine(top) + std::size_t(r.x) * 4, r.width, r.height, src.bytesPerLine(),
                      src.format());
    for (auto _ : state) {
        QImage scaled = part.scaled(ViewW, ViewH, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(scaled.constBits());
    }
}

BENCHMARK(BM_RepaintScrollStep)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_RepaintSelectionDrag)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_QImageScaledVisible)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
