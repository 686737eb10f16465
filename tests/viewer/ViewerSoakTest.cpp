// A long walk through a file of a hundred pages in single-page mode, changing pages on
// the way, while every global memory block of the program is accounted for: each
// handle the viewer holds must be alive, each must be freed exactly once, and nothing
// may be left over when the windows are gone.
#include "CatalogDatabase.h"
#include "Controls.h"
#include "FormLogin.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "TForm1.h"
#include "TForm5.h"
#include "TFormBrightContrast.h"
#include "TImageManager.h"

#include "BlockLedger.h"
#include "QtApp.h"
#include "ViewerFixture.h"
#include "TempDir.h"

#include "codec.h"
#include "ovisco/OviscoInterface.h"
#include "pixolve.h"
#include <arkavo/GlobalBlock.h>

#include <QAction>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace {

// ---- Pages built in code ----

// A bottom-up packed DIB of 1, 8 or 24 bits with a pattern that Seed varies; 1-bit
// pages have a black-and-white palette, 8-bit pages a grey ramp.
HGLOBAL patternPage(int bits, int width, int height, int seed)
{
    const int stride = ((width * bits + 31) / 32) * 4;
    const int colours = bits == 24 ? 0 : 1 << bits;
    const size_t offset = 40 + 4 * size_t(colours);
    arkavo::GlobalBlock block = arkavo::GlobalBlock::allocate(offset + size_t(stride) * height);
    arkavo::GlobalLockGuard lock(block.get());
    uint8_t *p = lock.data();
    const int32_t header[] = {40, width, height};
    std::memcpy(p, header, sizeof header);
    p[12] = 1;
    p[14] = uint8_t(bits);
    const uint32_t used = uint32_t(colours);
    std::memcpy(p + 32, &used, 4);
    for (int i = 0; i < colours; ++i)
        p[40 + 4 * i] = p[41 + 4 * i] = p[42 + 4 * i] = uint8_t(i * 255 / (colours - 1));
    for (int y = 0; y < height; ++y) {
        uint8_t *row = p + offset + size_t(y) * stride;
        for (int x = 0; x < width; ++x) {
            const int v = (x * 5 + y * 3 + seed * 17) % 200 + 20; // keeps clear of 0 and 255
            if (bits == 1) {
                if ((x / 3 + y / 2 + seed) % 2)
                    row[x / 8] |= uint8_t(0x80 >> (x % 8));
            } else if (bits == 8) {
                row[x] = uint8_t(v);
            } else {
                row[3 * x] = uint8_t(v);
                row[3 * x + 1] = uint8_t(220 - v + 20);
                row[3 * x + 2] = uint8_t((v * 3) % 200 + 20);
            }
        }
    }
    return block.release();
}

// The page's samples as grey (1 and 8 bits, through the palette) or blue, green and
// red values (24 bits), with its size; the rows' padding is left out.
struct Samples {
    int width = 0, height = 0, bits = 0;
    std::vector<uint8_t> values;
};

Samples samplesOf(HGLOBAL dib)
{
    Samples s;
    arkavo::GlobalLockGuard lock(dib);
    const uint8_t *p = lock.data();
    if (!p)
        return s;
    int32_t header[3];
    std::memcpy(header, p, sizeof header);
    s.width = header[1];
    s.height = std::abs(header[2]);
    s.bits = p[14];
    uint32_t used = 0;
    std::memcpy(&used, p + 32, 4);
    const int colours = s.bits > 8 ? 0 : int(used ? used : 1u << s.bits);
    const uint8_t *pixels = p + 40 + 4 * colours;
    const int stride = ((s.width * s.bits + 31) / 32) * 4;
    for (int y = 0; y < s.height; ++y) {
        const uint8_t *row = pixels + size_t(y) * stride;
        for (int x = 0; x < s.width; ++x) {
            if (s.bits == 24) {
                s.values.insert(s.values.end(), row + 3 * x, row + 3 * x + 3);
                continue;
            }
            const int index = s.bits == 1 ? (row[x / 8] >> (7 - x % 8)) & 1 : row[x];
            s.values.push_back(p[40 + 4 * index + 1]);
        }
    }
    return s;
}

Samples fileSamples(const QString &path)
{
    TCodecImage image{0, 0, nullptr};
    if (LoadFile(QFile::encodeName(path).constData(), &image, 0) <= 0 || !image.Dib)
        return {};
    Samples s = samplesOf(image.Dib);
    GlobalFree(image.Dib);
    return s;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What a page file must hold at the end, compared with the page as first written.
enum class Outcome {
    Untouched, // never written again: the same bytes
    Same,      // written again with the same pixels
    Inverted,  // every sample v became 255 - v
    Brighter,  // no sample darker, some lighter
    BrighterThanInverted,
};

::testing::AssertionResult matches(const Samples &before, const Samples &after, Outcome outcome)
{
    if (after.width != before.width || after.height != before.height || after.bits != before.bits ||
        after.values.size() != before.values.size())
        return ::testing::AssertionFailure()
               << "size or depth changed: " << after.width << "x" << after.height << "x" << after.bits;
    const bool inverted = outcome == Outcome::Inverted || outcome == Outcome::BrighterThanInverted;
    const bool brighter = outcome == Outcome::Brighter || outcome == Outcome::BrighterThanInverted;
    bool lighter = false;
    for (size_t i = 0; i < before.values.size(); ++i) {
        const int b = before.values[i], a = after.values[i];
        const int reference = inverted ? 255 - b : b;
        if (brighter ? a < reference : a != reference)
            return ::testing::AssertionFailure() << "sample " << i << " was " << b << ", is " << a;
        lighter = lighter || a > reference;
    }
    if (brighter && !lighter)
        return ::testing::AssertionFailure() << "no sample got lighter";
    return ::testing::AssertionSuccess();
}

constexpr int kPages = 100;
constexpr int kDepths[] = {1, 8, 24};

class ViewerSoak : public ViewerWindows {
protected:
    void BeforeWindows() override { baseline = BlockLedger::instance().liveCount(); }

    void SetUp() override
    {
        answer = MsgAnswer::No;
        ViewerWindows::SetUp();
        if (HasFatalFailure())
            return;
        // File A: a hundred small pages, the depths taking turns every six pages so that
        // every change below meets every depth; 24-bit pages alternate TIFF and BMP files.
        for (int i = 0; i < kPages; ++i) {
            const int bits = depthOf(i);
            writePage(pagePath("A", i + 1, bits == 24 && i % 2 ? "bmp" : "tif"), bits, 40 + i * 7 % 50,
                      30 + i * 11 % 40, i);
        }
        // File B: three grey pages.
        for (int n = 1; n <= 3; ++n)
            writePage(pagePath("B", n, "tif"), 8, 50, 40, 200 + n);
        asked.clear();
    }

    static int depthOf(int page) { return kDepths[page / 6 % 3]; }

    QString pagePath(const QString &file, int n, const char *ext) const
    {
        return store->ImagesPath + type->text(0) + "/F/" + file +
               QString("/P%1.%2").arg(n, 7, 10, QChar('0')).arg(QString::fromLatin1(ext));
    }
    void writePage(const QString &path, int bits, int width, int height, int seed)
    {
        QDir().mkpath(QFileInfo(path).path());
        arkavo::GlobalBlock dib(patternPage(bits, width, height, seed));
        ASSERT_EQ(SaveImageFile({200, 200, dib.get()}, path), 1) << path.toStdString();
        pages.push_back({path, fileSamples(path), fileBytes(path)});
        ASSERT_FALSE(pages.back().before.values.empty()) << path.toStdString();
    }

    // Every handle the viewer keeps must still be a live block.
    ::testing::AssertionResult viewerHandlesAlive() const
    {
        const struct {
            const char *name;
            HGLOBAL handle;
        } handles[] = {
            {"shown", viewer->ShownDib()}, {"page", viewer->PageImage.Dib}, {"undo", viewer->UndoImage}};
        for (const auto &h : handles)
            if (h.handle && !BlockLedger::instance().alive(h.handle))
                return ::testing::AssertionFailure() << "the " << h.name << " image was freed";
        return ::testing::AssertionSuccess();
    }

    bool thumbnailsDone() const
    {
        QDeadlineTimer limit(30000);
        while (form->ThumbnailsPending() && !limit.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(1);
        }
        return !form->ThumbnailsPending();
    }
    void invertShown()
    {
        HGLOBAL inverted = Invert(viewer->GetViewerImage().Dib);
        ASSERT_NE(inverted, nullptr);
        viewer->SetViewerImage({0, 0, inverted});
        ASSERT_EQ(viewer->ShownDib(), inverted);
    }
    // Moves the brightness bar in the dialog and closes it with OK or Cancel.
    void brightnessDialog(bool accept)
    {
        viewer->btnBrightContrast->click();
        ASSERT_TRUE(viewer->FormBrightContrast->isVisible());
        viewer->track_bright->setValue(255 + 50);
        (accept ? viewer->FormBrightContrast->Button1 : viewer->FormBrightContrast->Button2)->click();
        EXPECT_FALSE(viewer->FormBrightContrast->isVisible());
        EXPECT_EQ(viewer->track_bright->value(), 255);
    }

    struct Page {
        QString path;
        Samples before;
        QByteArray bytes;
    };

    std::vector<Page> pages; // A's pages, then B's
    size_t baseline = 0;
};

} // namespace

TEST_F(ViewerSoak, HundredPagesWithChangesFreeEveryImageOnce)
{
    const int first = 0, bFirst = kPages;
    std::vector<Outcome> expected(pages.size(), Outcome::Untouched);

    form->TreeView1->setCurrentItem(folder);
    QCoreApplication::processEvents();
    ASSERT_EQ(form->ListView1->count(), kPages + 3);
    act("MN_VIEW_SINGLE")->trigger();
    QCoreApplication::processEvents();
    ASSERT_EQ(viewer->PageIndex, first);

    // Over to B by file, invert its first page, and back to A's first page.
    viewer->btn_NextFile->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(viewer->PageIndex, bFirst);
    invertShown();
    expected[bFirst] = Outcome::Inverted;
    viewer->btn_FirstFile->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(viewer->PageIndex, first);

    ASSERT_TRUE(act("MN_ZOOM_LOCK")->isChecked());
    std::map<int, size_t> restCount; // live blocks on arriving at a page, by depth
    double leftAtZoom = 0;
    for (int i = 0; i < kPages; ++i) {
        SCOPED_TRACE(testing::Message() << "page " << i + 1 << ", " << depthOf(i) << " bits");
        ASSERT_EQ(viewer->PageIndex, i);
        ASSERT_TRUE(viewer->HasImage());
        EXPECT_TRUE(viewerHandlesAlive());
        // Arriving on an unchanged page always leaves the same number of blocks behind:
        // a block lost on every page shows here long before the end. The page list's
        // thumbnail workers hold blocks of their own while they run.
        ASSERT_TRUE(thumbnailsDone());
        const auto [rest, firstOfDepth] = restCount.emplace(depthOf(i), BlockLedger::instance().liveCount());
        if (!firstOfDepth) {
            EXPECT_EQ(BlockLedger::instance().liveCount(), rest->second);
        }

        // Zoom lock keeps the zoom the previous page was left at; without it, best fit.
        if (i > 0) {
            const double zoom = picture()->Zoom();
            if (act("MN_ZOOM_LOCK")->isChecked()) {
                EXPECT_DOUBLE_EQ(zoom, leftAtZoom);
            } else {
                picture()->FitTo(0);
                EXPECT_DOUBLE_EQ(zoom, picture()->Zoom());
            }
        }
        if (i % 10 == 9)
            act("MN_ZOOM_LOCK")->trigger();

        const bool grey = depthOf(i) >= 8;
        EXPECT_EQ(viewer->btnBrightContrast->isEnabled(), grey);
        answer = MsgAnswer::No;
        switch (i % 6) {
        case 0: // inverted, with a selection band that the change clears
            viewer->OviscoPictureSelectionDrawn(30, 20, 2, 3);
            EXPECT_TRUE(act("MN_IMAGE_CROP")->isEnabled());
            invertShown();
            EXPECT_EQ(viewer->ViewerSelection, TViewerRect{});
            EXPECT_FALSE(act("MN_IMAGE_CROP")->isEnabled());
            expected[i] = Outcome::Inverted;
            break;
        case 1: // brightness accepted in the dialog
            if (grey) {
                brightnessDialog(true);
                expected[i] = Outcome::Brighter;
            }
            break;
        case 2: // brightness declined in the dialog, then again when leaving
            if (grey) {
                brightnessDialog(false);
                EXPECT_FALSE(viewer->Modified);
                viewer->track_bright->setValue(255 + 40);
                expected[i] = Outcome::Same;
            }
            break;
        case 3: // inverted and undone: the restored page is still written
            invertShown();
            viewer->btnUndo->click();
            expected[i] = Outcome::Same;
            break;
        case 4: { // inverted twice, which frees the loaded image; the second undone
            invertShown();
            HGLOBAL once = viewer->ShownDib();
            invertShown();
            viewer->btnUndo->click();
            EXPECT_EQ(viewer->ShownDib(), once);
            expected[i] = Outcome::Inverted;
            break;
        }
        case 5: // brightness left on the bar and accepted when leaving, every other time
                // with the page inverted under the preview
            if (grey) {
                viewer->track_bright->setValue(255 + 30);
                const bool invertToo = i / 6 % 2;
                if (invertToo)
                    invertShown();
                answer = MsgAnswer::Yes;
                expected[i] = invertToo ? Outcome::BrighterThanInverted : Outcome::Brighter;
            } else {
                // The dialog may still be open from an earlier page: a bar moved on a
                // bilevel page and dropped.
                viewer->FormBrightContrast->show();
                viewer->track_Contrast->setValue(100 + 20);
                viewer->FormBrightContrast->Button2->click();
            }
            break;
        }
        EXPECT_TRUE(viewerHandlesAlive());

        (i % 3 ? viewer->btn_ZoomIn : viewer->btn_ZoomOut)->click();
        leftAtZoom = picture()->Zoom();
        if (i + 1 == kPages) {
            // The last page of A: the list goes on with B, but not page by page.
            EXPECT_FALSE(viewer->btn_NextPage->isEnabled());
            EXPECT_FALSE(act("MN_NAVIGATION_NEXTPAGE")->isEnabled());
            break;
        }
        asked.clear();
        if (i % 2)
            act("MN_NAVIGATION_NEXTPAGE")->trigger();
        else
            viewer->btn_NextPage->click();
        QCoreApplication::processEvents();
        const bool question = (i % 6 == 2 || i % 6 == 5) && expected[i] != Outcome::Untouched;
        EXPECT_EQ(asked.size(), question ? 1 : 0) << asked.join(" | ").toStdString();
    }
    ASSERT_EQ(viewer->PageIndex, kPages - 1);
    asked.clear();

    // B's first page comes back inverted; it gets brighter through the menu, is left for
    // B's last page, and the file buttons return to A and to B once more.
    viewer->btn_NextFile->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(viewer->PageIndex, bFirst);
    act("MN_IMAGE_BRIGHTCONTRAST")->trigger();
    ASSERT_TRUE(viewer->FormBrightContrast->isVisible());
    viewer->track_bright->setValue(255 + 50);
    viewer->FormBrightContrast->Button1->click();
    expected[bFirst] = Outcome::BrighterThanInverted;
    viewer->btn_LastPage->click();
    ASSERT_EQ(viewer->PageIndex, bFirst + 2);
    viewer->btn_PreviousFile->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(viewer->PageIndex, first);
    viewer->btn_LastFile->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(viewer->PageIndex, bFirst);
    EXPECT_TRUE(viewerHandlesAlive());

    act("MN_VIEW_THUMBNAIL")->trigger();
    QCoreApplication::processEvents();
    ASSERT_TRUE(viewer->isHidden());
    EXPECT_EQ(viewer->ShownDib(), nullptr);
    EXPECT_EQ(viewer->PageImage.Dib, nullptr);
    EXPECT_EQ(viewer->UndoImage, nullptr);
    EXPECT_TRUE(asked.isEmpty()) << asked.join(" | ").toStdString();

    for (size_t p = 0; p < pages.size(); ++p) {
        SCOPED_TRACE(pages[p].path.toStdString());
        if (expected[p] == Outcome::Untouched)
            EXPECT_EQ(fileBytes(pages[p].path), pages[p].bytes);
        else
            EXPECT_TRUE(matches(pages[p].before, fileSamples(pages[p].path), expected[p]));
    }

    // Torn down with a changed page and a brightness preview on the screen: the
    // viewer and the control free what they hold without being closed first.
    act("MN_VIEW_SINGLE")->trigger();
    QCoreApplication::processEvents();
    ASSERT_EQ(viewer->PageIndex, bFirst);
    invertShown();
    viewer->track_Contrast->setValue(100 + 30);
    ASSERT_NE(viewer->UndoImage, viewer->ShownDib());
    form->hide();
    form.reset();
    EXPECT_EQ(BlockLedger::instance().badFrees(), 0) << "handles freed twice";
    EXPECT_EQ(BlockLedger::instance().liveCount(), baseline) << "blocks left over";
}

TEST_F(ViewerSoak, AnImageGivenWithNoPageShownIsFreed)
{
    // The viewer owns whatever it is given, also when there is nothing to show it in.
    ASSERT_TRUE(thumbnailsDone());
    const size_t before = BlockLedger::instance().liveCount();
    viewer->SetViewerImage(TCodecImage{300, 300, GlobalAlloc(GHND, 64)});
    EXPECT_EQ(BlockLedger::instance().liveCount(), before);
    EXPECT_EQ(BlockLedger::instance().badFrees(), 0);
}

TEST_F(ViewerSoak, PagesAreReadForTheViewerUnderTheBusyCursor)
{
    form->TreeView1->setCurrentItem(folder);
    QCoreApplication::processEvents();
    act("MN_VIEW_SINGLE")->trigger();
    QCoreApplication::processEvents();
    const auto [before, notBusyBefore] = BlockLedger::instance().codecBlocks();
    for (int i = 0; i < 6; ++i) {
        viewer->btn_NextPage->click();
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(viewer->PageIndex, 6);
    const auto [after, notBusyAfter] = BlockLedger::instance().codecBlocks();
    EXPECT_GE(after - before, 6);
    EXPECT_EQ(notBusyAfter - notBusyBefore, 0) << "pages read without the busy cursor";
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
