#include "COviscoCtrl.h"
#include "OviscoTestSupport.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <vector>

using arkavo::GlobalBlock;
using ovtest::drag;
using ovtest::makeDib;

// Every block the code under test frees passes through here, so tests can tell
// which handles the control released without touching freed memory.
namespace {
std::set<HGLOBAL> g_freed;
}

extern "C" HGLOBAL GlobalFree(HGLOBAL h)
{
    using Fn = HGLOBAL (*)(HGLOBAL);
    static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "GlobalFree"));
    if (h)
        g_freed.insert(h);
    return real(h);
}

namespace {

class OviscoCtrlTest : public testing::Test {
protected:
    void SetUp() override
    {
        ovtest::app();
        host = std::make_unique<QWidget>();
        host->resize(1200, 1000);
        ctrl = new COviscoCtrl(host.get());
        host->show();
        setSize(1000, 800);
        g_freed.clear();
    }

    void setSize(int w, int h)
    {
        ctrl->setGeometry(0, 0, w, h);
        QCoreApplication::processEvents();
    }

    QWidget *view() const { return ctrl->findChild<QWidget *>("OviscoView"); }
    int barExtent() const { return ctrl->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ctrl); }
    QImage grabView() const { return view()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QScrollBar *bar(Qt::Orientation o) const
    {
        for (QScrollBar *b : ctrl->findChildren<QScrollBar *>())
            if (b->orientation() == o)
                return b;
        return nullptr;
    }

    std::unique_ptr<QWidget> host;
    COviscoCtrl *ctrl = nullptr;
};

struct SelectionSpy {
    std::vector<std::array<int, 4>> events;
    explicit SelectionSpy(COviscoCtrl *c)
    {
        QObject::connect(c, &COviscoCtrl::SelectionDrawn, [this](int l, int t, int r, int b) {
            events.push_back({l, t, r, b});
        });
    }
};

bool isRed(QRgb c)
{
    return qRed(c) == 255 && qGreen(c) == 0 && qBlue(c) == 0;
}

int countRed(const QImage &img, QRect area)
{
    int n = 0;
    area = area.intersected(img.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += isRed(img.pixel(x, y));
    return n;
}

} // namespace

TEST_F(OviscoCtrlTest, StartsWithoutImageAtHundredPercentAndPanning)
{
    EXPECT_FALSE(ctrl->SelectionRect());
    EXPECT_EQ(ctrl->Zoom(), 100.0);
    EXPECT_EQ(ctrl->hDIB(), nullptr);
    EXPECT_EQ(ctrl->ImageWidth(), 0);
    EXPECT_EQ(ctrl->ImageScaleWidth(), 0);
    EXPECT_EQ(ctrl->ScrollPositionX(), 0);
    // The same members by name, as a host that knows only the interface sees them.
    EXPECT_EQ(ctrl->property("SelectionRect").toBool(), false);
    EXPECT_EQ(ctrl->property("Zoom").toDouble(), 100.0);
    EXPECT_EQ(ctrl->property("hDIB").value<void *>(), nullptr);
    ctrl->setProperty("Zoom", 250.0);
    EXPECT_EQ(ctrl->Zoom(), 250.0);
    ctrl->setProperty("Color", QColor(192, 192, 192));
    EXPECT_EQ(ctrl->Color(), QColor(192, 192, 192));
    EXPECT_EQ(qobject_cast<OviscoControl *>(ctrl), static_cast<OviscoControl *>(ctrl));
}

TEST_F(OviscoCtrlTest, NewImageFitsTheWindowWidth)
{
    GlobalBlock page = ovtest::plainGrey(2000, 3000);
    ctrl->sethDIB(page.get());
    EXPECT_EQ(ctrl->hDIB(), page.get());
    EXPECT_EQ(ctrl->ImageWidth(), 2000);
    EXPECT_EQ(ctrl->ImageHeight(), 3000);
    EXPECT_DOUBLE_EQ(ctrl->Zoom(), 50.0);
    EXPECT_EQ(ctrl->ImageScaleWidth(), 1000);
    EXPECT_EQ(ctrl->ImageScaleHeight(), 1500);
    // The vertical bar takes room, so the width needs a bar too.
    const QSize c = ctrl->clientSize();
    EXPECT_EQ(c, QSize(1000 - barExtent(), 800 - barExtent()));
    ctrl->sethDIB(nullptr);
    EXPECT_EQ(ctrl->hDIB(), nullptr);
}

TEST_F(OviscoCtrlTest, SameSizeKeepsTheViewAndAnotherSizeResetsIt)
{
    GlobalBlock first = ovtest::plainGrey(2000, 3000);
    GlobalBlock same = ovtest::plainGrey(2000, 3000, 30);
    GlobalBlock wider = ovtest::plainGrey(2001, 3000);
    GlobalBlock taller = ovtest::plainGrey(2000, 3001);
    SelectionSpy spy(ctrl);

    auto prepare = [&] {
        ctrl->sethDIB(first.get());
        ctrl->setZoom(80);
        ctrl->setScrollPositionX(300);
        ctrl->setScrollPositionY(400);
        ctrl->setSelectionRect(true);
        drag(view(), {{100, 100}, {300, 200}});
        ASSERT_EQ(spy.events.size(), 1u);
        spy.events.clear();
        ASSERT_EQ(ctrl->ScrollPositionX(), 300);
        ASSERT_EQ(ctrl->ScrollPositionY(), 400);
    };

    prepare();
    ctrl->sethDIB(same.get());
    EXPECT_EQ(ctrl->Zoom(), 80.0);
    EXPECT_EQ(ctrl->ScrollPositionX(), 300);
    EXPECT_EQ(ctrl->ScrollPositionY(), 400);
    EXPECT_GT(countRed(grabView(), QRect(90, 90, 220, 120)), 20) << "selection kept";

    // A page of another size starts at the top-left even when its fit zooms in.
    GlobalBlock large = ovtest::plainGrey(4000, 6000);
    ctrl->sethDIB(large.get());
    ctrl->setZoom(10);
    ctrl->sethDIB(first.get());
    EXPECT_DOUBLE_EQ(ctrl->Zoom(), 50.0);
    EXPECT_EQ(ctrl->ScrollPositionX(), 0);
    EXPECT_EQ(ctrl->ScrollPositionY(), 0);

    for (HGLOBAL other : {wider.get(), taller.get()}) {
        prepare();
        ctrl->sethDIB(other);
        EXPECT_NEAR(ctrl->Zoom(), 1000.0 / ctrl->ImageWidth() * 100, 1e-9);
        EXPECT_EQ(ctrl->ScrollPositionX(), 0);
        EXPECT_EQ(ctrl->ScrollPositionY(), 0);
        EXPECT_EQ(countRed(grabView(), QRect(0, 0, 1000, 800)), 0) << "selection cleared";
    }
}

TEST_F(OviscoCtrlTest, ZoomRangeAndCentreKeeping)
{
    GlobalBlock page = ovtest::plainGrey(2000, 300);
    ctrl->sethDIB(page.get());
    for (double refused : {1.5, 10000.5, -3.0}) {
        ctrl->setZoom(refused);
        EXPECT_DOUBLE_EQ(ctrl->Zoom(), 50.0) << refused;
    }
    ctrl->setZoom(2);
    EXPECT_EQ(ctrl->Zoom(), 2.0);
    EXPECT_EQ(ctrl->ImageScaleWidth(), 40);
    ctrl->setZoom(10000);
    EXPECT_EQ(ctrl->Zoom(), 10000.0);
    EXPECT_EQ(ctrl->ImageScaleWidth(), 200000);

    // 2000 x 300 at 100 % needs only a horizontal bar: the view is 1000 wide.
    ctrl->setZoom(100);
    ASSERT_EQ(ctrl->clientSize().width(), 1000);
    ctrl->setScrollPositionX(0);
    ASSERT_EQ(ctrl->ScrollPositionX(), 0); // centre at zoomed x = 500
    ctrl->setZoom(200);
    EXPECT_EQ(ctrl->ScrollPositionX() + 1000 / 2, 1000);
    EXPECT_EQ(bar(Qt::Horizontal)->value(), ctrl->ScrollPositionX());
}

TEST_F(OviscoCtrlTest, ScrollWritesRefuseTheLastPosition)
{
    GlobalBlock page = ovtest::plainGrey(3000, 300);
    ctrl->sethDIB(page.get());
    ctrl->setZoom(50);
    ASSERT_EQ(ctrl->ImageScaleWidth(), 1500);
    ASSERT_EQ(ctrl->clientSize().width(), 1000);
    ctrl->setScrollPositionX(499);
    EXPECT_EQ(ctrl->ScrollPositionX(), 499);
    ctrl->setScrollPositionX(500); // the bar could reach it, the property refuses
    EXPECT_EQ(ctrl->ScrollPositionX(), 499);
    ctrl->setScrollPositionX(-1);
    EXPECT_EQ(ctrl->ScrollPositionX(), 499);
    ctrl->setScrollPositionY(10); // 150 high in an 784-high view: nothing to scroll
    EXPECT_EQ(ctrl->ScrollPositionY(), 0);

    // The bar itself goes to the end, and moving it scrolls.
    QScrollBar *hbar = bar(Qt::Horizontal);
    ASSERT_TRUE(hbar && hbar->isVisibleTo(ctrl));
    EXPECT_EQ(hbar->maximum(), 500);
    EXPECT_EQ(hbar->pageStep(), 1000);
    hbar->setValue(500);
    EXPECT_EQ(ctrl->ScrollPositionX(), 500);
    hbar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(ctrl->ScrollPositionX(), 400); // a line is a tenth of the page
}

TEST_F(OviscoCtrlTest, FitModesAndTheMethodsWithoutBehaviour)
{
    GlobalBlock page = ovtest::plainGrey(2000, 3000);
    ctrl->sethDIB(page.get());
    ctrl->setZoom(120);
    ctrl->setScrollPositionX(200);
    ctrl->setScrollPositionY(300);
    for (int mode : {3, 7, -1}) {
        ctrl->FitTo(mode);
        EXPECT_EQ(ctrl->Zoom(), 120.0);
        EXPECT_EQ(ctrl->ImageScaleWidth(), 2400);
        EXPECT_EQ(ctrl->ScrollPositionX(), 200);
        EXPECT_EQ(ctrl->ScrollPositionY(), 300);
    }
    ctrl->FitTo(2);
    EXPECT_DOUBLE_EQ(ctrl->Zoom(), 800.0 / 3000 * 100);
    ctrl->FitTo(4);
    EXPECT_EQ(ctrl->Zoom(), 100.0);
    ctrl->FitTo(1);
    EXPECT_EQ(ctrl->Zoom(), 50.0);
    ctrl->FitTo(0);
    EXPECT_DOUBLE_EQ(ctrl->Zoom(), 800.0 / 3000 * 100);
    // Through the meta-object, as a host without the class would call them.
    EXPECT_TRUE(QMetaObject::invokeMethod(ctrl, "FitTo", Q_ARG(int, 4)));
    EXPECT_EQ(ctrl->Zoom(), 100.0);

    HGLOBAL handle = page.get();
    EXPECT_EQ(ctrl->UpdateDIB(&handle), OviscoResult::MemberNotFound);
    EXPECT_EQ(handle, page.get());
}

TEST_F(OviscoCtrlTest, AboutBoxNamesTheControlAndClosesWithOk)
{
    QString title, text;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = box->buttons().size();
        box->button(QMessageBox::Ok)->click();
    });
    ctrl->AboutBox();
    EXPECT_EQ(title, "About Ovisco Control");
    EXPECT_EQ(text, "Ovisco Control, Version 1.0");
    EXPECT_EQ(buttons, 1);
}

TEST_F(OviscoCtrlTest, RubberBandReportsStartAndEndInImagePixelsClamped)
{
    setSize(1100, 1100);
    GlobalBlock page = ovtest::plainGrey(1000, 1000);
    ctrl->sethDIB(page.get());
    ctrl->setZoom(100); // margins of 50 around the image
    ctrl->setSelectionRect(true);
    SelectionSpy spy(ctrl);

    struct Case {
        std::vector<QPoint> points;
        std::array<int, 4> want;
    } cases[] = {
        // Dragged up and left: not reordered.
        {{{350, 450}, {200, 200}, {150, 100}}, {300, 400, 100, 50}},
        {{{60, 70}, {1000, 1000}}, {10, 20, 950, 950}},
        // Past the image edges: clamped to 0 and width - 1 / height - 1.
        {{{350, 450}, {-20, 1090}}, {300, 400, 0, 999}},
        {{{10, 10}, {1099, 1099}}, {0, 0, 999, 999}},
        // A click without movement: an empty band.
        {{{500, 500}, {500, 500}}, {450, 450, 450, 450}},
    };
    for (const Case &c : cases) {
        spy.events.clear();
        drag(view(), c.points);
        ASSERT_EQ(spy.events.size(), 1u);
        EXPECT_EQ(spy.events[0], c.want);
    }

    // Panning never reports a selection.
    ctrl->setSelectionRect(false);
    spy.events.clear();
    drag(view(), {{300, 300}, {200, 200}});
    EXPECT_TRUE(spy.events.empty());
}

TEST_F(OviscoCtrlTest, DraggingPastTheEdgeScrollsOneLineAtATime)
{
    GlobalBlock page = ovtest::plainGrey(4000, 4000);
    ctrl->sethDIB(page.get());
    ctrl->setZoom(100);
    ctrl->setSelectionRect(true);
    const QSize c = ctrl->clientSize();
    ctrl->setScrollPositionX(1000);
    ctrl->setScrollPositionY(1000);
    SelectionSpy spy(ctrl);
    drag(view(), {{100, 100}, {c.width() + 5, c.height() / 2}, {c.width() + 5, c.height() + 5}, {200, 200}});
    EXPECT_EQ(ctrl->ScrollPositionX(), 1000 + 2 * (c.width() / 10));
    EXPECT_EQ(ctrl->ScrollPositionY(), 1000 + c.height() / 10);
    ASSERT_EQ(spy.events.size(), 1u);
    EXPECT_EQ(spy.events[0][0], 1100);
    EXPECT_EQ(spy.events[0][2], ctrl->ScrollPositionX() + 200);

    // Up and left at the start: nothing to scroll.
    ctrl->setScrollPositionX(0);
    ctrl->setScrollPositionY(0);
    drag(view(), {{100, 100}, {-10, -10}, {50, 50}});
    EXPECT_EQ(ctrl->ScrollPositionX(), 0);
    EXPECT_EQ(ctrl->ScrollPositionY(), 0);
}

TEST_F(OviscoCtrlTest, PanningMovesTheViewAndDropsStepsOutOfRange)
{
    GlobalBlock page = ovtest::plainGrey(4000, 4000);
    ctrl->sethDIB(page.get());
    ctrl->setZoom(100);
    ctrl->setScrollPositionX(500);
    ctrl->setScrollPositionY(500);
    drag(view(), {{400, 400}, {300, 350}, {250, 330}});
    EXPECT_EQ(ctrl->ScrollPositionX(), 650);
    EXPECT_EQ(ctrl->ScrollPositionY(), 570);
    // Past the top-left on one axis only: that axis stays, the other moves.
    drag(view(), {{100, 100}, {100 + 700, 90}});
    EXPECT_EQ(ctrl->ScrollPositionX(), 650);
    EXPECT_EQ(ctrl->ScrollPositionY(), 580);
    // Moving without the button does nothing.
    ovtest::sendMouse(view(), QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(ctrl->ScrollPositionX(), 650);
}

TEST_F(OviscoCtrlTest, PaintsTheImageCentredOnTheBackColourWithTheSelectionInRed)
{
    setSize(600, 500);
    ctrl->setColor(QColor(10, 20, 30));
    // 200 x 100, 8-bit: the top row 250, the left column 60, the rest 120.
    GlobalBlock page = makeDib(200, 100, 8, ovtest::greyRamp(), [](int x, int y) {
        return y == 0 ? 250u : x == 0 ? 60u : 120u;
    });
    ctrl->sethDIB(page.get());
    ctrl->setZoom(100);
    QImage img = grabView();
    ASSERT_EQ(img.size(), QSize(600, 500));
    const QRgb back = qRgb(10, 20, 30);
    // Bands: x0 = (600 - 200) / 2, y0 = (500 - 100) / 2.
    for (QPoint p : {QPoint(0, 0), QPoint(199, 250), QPoint(400, 250), QPoint(300, 199), QPoint(300, 300),
                     QPoint(599, 499)})
        EXPECT_EQ(img.pixel(p), back) << p.x() << "," << p.y();
    EXPECT_EQ(img.pixel(250, 200), qRgb(250, 250, 250)); // top row, the right way up
    EXPECT_EQ(img.pixel(200, 250), qRgb(60, 60, 60));
    EXPECT_EQ(img.pixel(300, 250), qRgb(120, 120, 120));
    EXPECT_EQ(img.pixel(399, 299), qRgb(120, 120, 120));

    // A band from image (20, 10) to (120, 80): client (220, 210) to (320, 280).
    ctrl->setSelectionRect(true);
    drag(view(), {{220, 210}, {320, 280}});
    img = grabView();
    EXPECT_GT(countRed(img, QRect(219, 209, 103, 3)), 20); // top edge
    EXPECT_GT(countRed(img, QRect(219, 278, 103, 3)), 20); // bottom edge
    EXPECT_GT(countRed(img, QRect(218, 209, 3, 73)), 10);  // left edge
    EXPECT_GT(countRed(img, QRect(318, 209, 3, 73)), 10);  // right edge
    EXPECT_EQ(countRed(img, QRect(225, 215, 90, 60)), 0);  // not filled
    // Switching the tool clears it.
    ctrl->setSelectionRect(false);
    EXPECT_EQ(countRed(grabView(), img.rect()), 0);

    // Without an image: all back colour.
    ctrl->sethDIB(nullptr);
    img = grabView();
    EXPECT_EQ(img.pixel(300, 250), back);
    EXPECT_EQ(img.pixel(0, 0), back);
}

TEST_F(OviscoCtrlTest, PaintsColourAndBilevelPagesAsTheyLook)
{
    setSize(300, 300);
    GlobalBlock colour = makeDib(100, 100, 24, {}, [](int x, int) { return x < 50 ? 0xc86432u : 0x1020f0u; });
    ctrl->sethDIB(colour.get());
    ctrl->setZoom(100);
    QImage img = grabView();
    EXPECT_EQ(img.pixel(110, 150), qRgb(0xc8, 0x64, 0x32));
    EXPECT_EQ(img.pixel(190, 150), qRgb(0x10, 0x20, 0xf0));

    // Palette white, black: bit 0 shows white.
    GlobalBlock bilevel =
        makeDib(100, 100, 1, {0xffffff, 0x000000}, [](int x, int) { return x < 50 ? 0u : 1u; });
    ctrl->sethDIB(bilevel.get());
    img = grabView();
    EXPECT_EQ(img.pixel(110, 150), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(190, 150), qRgb(0, 0, 0));
    // At 400 % a 1-bit page still shows hard edges: nearest neighbour.
    ctrl->setZoom(400);
    ctrl->setScrollPositionX(100);
    img = grabView();
    const int edge = 200 - ctrl->ScrollPositionX(); // zoomed x of column 50
    EXPECT_EQ(img.pixel(edge - 1, 100), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(edge, 100), qRgb(0, 0, 0));
}

TEST_F(OviscoCtrlTest, ScrollingInsideTheCacheIsACopyAndLeavingItRebuilds)
{
    GlobalBlock page = ovtest::plainGrey(4000, 4000);
    ctrl->sethDIB(page.get());
    ctrl->setZoom(100);
    ctrl->setScrollPositionX(1000);
    ctrl->setScrollPositionY(1000);
    grabView();
    const int builds = ctrl->displayBuilds();
    const QSize c = ctrl->clientSize();
    const ovisco::Rect cache = ctrl->cacheRect();
    EXPECT_EQ(cache, (ovisco::Rect{1000 - c.width() / 4, 1000 - c.height() / 4,
                                   1000 + c.width() + c.width() / 4, 1000 + c.height() + c.height() / 4}));
    // A quarter of the view in any direction stays inside.
    ctrl->setScrollPositionX(1000 + c.width() / 4);
    ctrl->setScrollPositionY(1000 - c.height() / 4);
    grabView();
    EXPECT_EQ(ctrl->displayBuilds(), builds);
    ctrl->setScrollPositionX(1000 + c.width() / 4 + 1);
    grabView();
    EXPECT_EQ(ctrl->displayBuilds(), builds + 1);
    // A zoom change and a new write of the same image rebuild too.
    ctrl->setZoom(101);
    grabView();
    EXPECT_EQ(ctrl->displayBuilds(), builds + 2);
    ctrl->sethDIB(page.get());
    grabView();
    EXPECT_EQ(ctrl->displayBuilds(), builds + 3);
}

TEST_F(OviscoCtrlTest, HostMaySwapTheDisplayBitmapAndTheControlFreesItLater)
{
    setSize(300, 300);
    GlobalBlock page = ovtest::plainGrey(100, 100, 100);
    std::vector<HGLOBAL> copies;
    int calls = 0;
    ctrl->onDisplayDIBChanged(ctrl, [&](HGLOBAL *display) {
        ++calls;
        // Replace it with a brightened copy, as the viewer's preview does.
        const std::size_t size = GlobalSize(*display);
        GlobalBlock copy = GlobalBlock::allocate(size);
        {
            arkavo::GlobalLockGuard from(*display), to(copy.get());
            std::memcpy(to.data(), from.data(), size);
            for (std::size_t i = 40 + 1024; i < size; ++i)
                to.data()[i] = 222;
        }
        GlobalFree(*display);
        *display = copy.release();
        copies.push_back(*display);
    });
    const std::size_t pageSize = page.size();
    std::vector<std::uint8_t> before(pageSize);
    {
        arkavo::GlobalLockGuard lock(page.get());
        std::memcpy(before.data(), lock.data(), pageSize);
    }

    ctrl->sethDIB(page.get());
    ctrl->setZoom(100);
    QImage img = grabView();
    ASSERT_EQ(calls, 1);
    EXPECT_EQ(ctrl->displayDIB(), copies[0]);
    EXPECT_EQ(img.pixel(150, 150), qRgb(222, 222, 222));
    EXPECT_FALSE(g_freed.count(copies[0]));

    ctrl->sethDIB(page.get()); // same handle again: rebuild
    img = grabView();
    ASSERT_EQ(calls, 2);
    EXPECT_TRUE(g_freed.count(copies[0])) << "the control freed the host's copy";
    EXPECT_EQ(img.pixel(150, 150), qRgb(222, 222, 222));

    // The host's image is never freed or changed.
    EXPECT_FALSE(g_freed.count(page.get()));
    arkavo::GlobalLockGuard lock(page.get());
    EXPECT_EQ(0, std::memcmp(before.data(), lock.data(), pageSize));
}

TEST_F(OviscoCtrlTest, MalformedHandlesShowNothingAndReadBackAsNoImage)
{
    ctrl->setColor(QColor(1, 2, 3));
    GlobalBlock good = ovtest::plainGrey(200, 100);
    auto patched = [](std::size_t offset, std::uint8_t value) {
        GlobalBlock b = ovtest::plainGrey(200, 100);
        arkavo::GlobalLockGuard lock(b.get());
        lock.data()[offset] = value;
        return b;
    };
    auto cutShort = [] { // the header promises one byte more than the block holds
        GlobalBlock full = ovtest::plainGrey(200, 100);
        GlobalBlock cut = GlobalBlock::allocate(full.size() - 1);
        arkavo::GlobalLockGuard from(full.get()), to(cut.get());
        std::memcpy(to.data(), from.data(), cut.size());
        return cut;
    };
    std::vector<std::uint8_t> foreign(256, 0x11); // not a global block at all
    struct Case {
        const char *what;
        GlobalBlock block;
        HGLOBAL handle;
    } cases[] = {
        {"null", {}, nullptr},
        {"shorter than a header", GlobalBlock::allocate(20), nullptr},
        {"12-byte header", patched(0, 12), nullptr},
        {"4 bits", patched(14, 4), nullptr},
        {"16 bits", patched(14, 16), nullptr},
        {"last row cut off", cutShort(), nullptr},
        {"foreign memory", {}, static_cast<HGLOBAL>(foreign.data())},
    };
    for (Case &c : cases) {
        const HGLOBAL bad = c.block ? c.block.get() : c.handle;
        ctrl->sethDIB(good.get());
        ctrl->sethDIB(bad);
        EXPECT_EQ(ctrl->hDIB(), nullptr) << c.what;
        EXPECT_EQ(ctrl->property("hDIB").value<void *>(), nullptr) << c.what;
        const QImage img = grabView();
        int painted = 0; // pixels other than the back colour
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                painted += img.pixel(x, y) != qRgb(1, 2, 3);
        EXPECT_EQ(painted, 0) << c.what;
        // The block stays the host's: the control neither frees it nor reads it again.
        if (c.block) {
            EXPECT_FALSE(g_freed.count(bad)) << c.what;
            c.block.reset();
        }
        ctrl->FitTo(0);
        ctrl->setZoom(300);
        ctrl->setScrollPositionX(10);
        drag(view(), {{10, 10}, {900, 700}});
        grabView();
    }
    // The next good image is shown and fitted again.
    ctrl->sethDIB(good.get());
    EXPECT_EQ(ctrl->hDIB(), good.get());
    EXPECT_DOUBLE_EQ(ctrl->Zoom(), 1000.0 / 200 * 100);
}

TEST_F(OviscoCtrlTest, ExtremePagesGetTheNearestZoomInRange)
{
    // So narrow that fitting the width would need more than 10000 %.
    GlobalBlock sliver = ovtest::plainGrey(1, 50);
    ctrl->sethDIB(sliver.get());
    EXPECT_EQ(ctrl->Zoom(), 10000.0);
    EXPECT_EQ(ctrl->ImageScaleWidth(), 100);
    EXPECT_EQ(ctrl->ImageScaleHeight(), 5000);
    grabView();
    // So wide that it would need less than 2 %.
    GlobalBlock band = ovtest::plainGrey(60000, 2);
    ctrl->sethDIB(band.get());
    EXPECT_EQ(ctrl->Zoom(), 2.0);
    EXPECT_EQ(ctrl->ImageScaleWidth(), 1200);
    grabView();
}

TEST_F(OviscoCtrlTest, ResizingLaysOutTheBarsAgainAndKeepsPositionsInRange)
{
    GlobalBlock page = ovtest::plainGrey(1500, 1200);
    ctrl->sethDIB(page.get());
    ctrl->setZoom(100);
    ctrl->setScrollPositionX(400);
    ctrl->setScrollPositionY(300);
    ASSERT_EQ(ctrl->ScrollPositionX(), 400);
    // Wider than the image: no horizontal bar, x back to 0; y pulled back to 1200 - 1000.
    setSize(1600, 1000);
    EXPECT_EQ(ctrl->ScrollPositionX(), 0);
    EXPECT_EQ(ctrl->ScrollPositionY(), 200);
    EXPECT_FALSE(bar(Qt::Horizontal)->isVisibleTo(ctrl));
    EXPECT_TRUE(bar(Qt::Vertical)->isVisibleTo(ctrl));
    EXPECT_EQ(ctrl->clientSize(), QSize(1600 - barExtent(), 1000));
    // Everything fits: no bars, the image centred.
    setSize(1700, 1300);
    EXPECT_EQ(ctrl->ScrollPositionY(), 0);
    EXPECT_FALSE(bar(Qt::Vertical)->isVisibleTo(ctrl));
    EXPECT_EQ(ctrl->clientSize(), QSize(1700, 1300));
}

TEST_F(OviscoCtrlTest, DoubleClicksReachTheHost)
{
    // The viewer closes on a double click on the picture; it filters the control's widget.
    struct Filter : QObject {
        int doubleClicks = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            doubleClicks += e->type() == QEvent::MouseButtonDblClick;
            return false;
        }
    } filter;
    ctrl->installEventFilter(&filter);
    ovtest::sendMouse(view(), QEvent::MouseButtonDblClick, {50, 50}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(filter.doubleClicks, 1);
}
