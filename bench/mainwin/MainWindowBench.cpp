// Browsing a folder of 1,000 A4 pages at 300 dpi (10 files of 100 pages) in a 1280 x 1024
// main window, per bit depth: selecting the folder with every thumbnail file in place,
// selecting it with the thumbnail files deleted (the visible pages are decoded), and, for
// reference, decoding and reducing as many pages as the first screen shows on one thread.
// The GUI measures run until the list is filled and every item in the first screen has
// its picture; a 5 ms timer records the longest stretch the event loop did not run. Their
// CPU column is the whole process's, so work moved to other threads still shows there.
#include "FormLogin.h"
#include "Globals.h"
#include "Messages.h"
#include "PageImport.h"
#include "PageListView.h"
#include "TForm1.h"
#include "TImageManager.h"

#include "PatternPage.h"
#include "TempDir.h"

#include "codec.h"
#include "pixolve.h"
#include <arkavo/GlobalBlock.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

using arkavo::GlobalBlock;

namespace {

constexpr int Files = 10, PagesPerFile = 100;
constexpr int WindowW = 1280, WindowH = 1024;
constexpr int TimeoutMs = 300000;

std::filesystem::path fsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Every page is a link to one page file per depth, and every thumbnail a link to that
// page's one thumbnail: the folder costs the disk space of a single page.
void linkOrCopy(const QString &from, const QString &to)
{
    std::error_code error;
    std::filesystem::create_hard_link(fsPath(from), fsPath(to), error);
    if (error && !QFile::exists(to))
        std::filesystem::copy_file(fsPath(from), fsPath(to), error);
}

// The main window on a catalogue with one folder per bit depth.
class Catalogue {
public:
    Catalogue()
    {
        AppPath = RootPath = QString::fromStdString(m_root.str());
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Yes; });
        {
            TFormLogin login;
            login.Edit1->setText("Admin");
            login.Button1Click();
        }
        Form = std::make_unique<TForm1>();
        Form->resize(WindowW, WindowH);
        Form->show();
        QApplication::setActiveWindow(Form.get());
        (void)QTest::qWaitForWindowExposed(Form.get());

        TImageManager &store = *Form->ImageManager;
        QTreeWidgetItem *type = store.NewFileType(true);
        for (int bits : {1, 8, 24}) {
            Depth &d = m_depths[bits];
            const QString masters = QString::fromStdString(m_masters.str());
            d.masterPage = masters + QString("page%1").arg(bits) + (bits == 1 ? ".tif" : ".jpg");
            d.masterThumb = masters + QString("thumb%1.bmp").arg(bits);
            {
                GlobalBlock dib = arkavo::test::MakeA4Page(bits);
                const TCodecImage image{300, 300, dib.get()};
                const QByteArray name = QFile::encodeName(d.masterPage);
                if (bits == 1)
                    SaveTIF(&image, name.constData(), CODEC_TIFF_G4, 0);
                else
                    SaveJPG(&image, name.constData());
            }
            MakeThumbnail(d.masterPage, d.masterThumb, nullptr, 135, 160);

            d.folder = store.NewFolder(type, QString("Bits%1").arg(bits), true);
            for (int f = 1; f <= Files; ++f) {
                QTreeWidgetItem *file =
                    store.NewFile(d.folder, QString("File%1").arg(f, 2, 10, QChar('0')), true);
                const QString dir =
                    store.ImagesPath + type->text(0) + "/" + d.folder->text(0) + "/" + file->text(0) + "/";
                QDir().mkpath(dir);
                for (int p = 1; p <= PagesPerFile; ++p) {
                    const QString page =
                        dir + QString("P%1").arg(p, 7, 10, QChar('0')) + (bits == 1 ? ".tif" : ".jpg");
                    linkOrCopy(d.masterPage, page);
                    d.pages << page;
                }
            }
            d.thumbnailDir = store.ThumbnailPath + type->text(0) + "/" + d.folder->text(0) + "/";
        }
    }
    ~Catalogue()
    {
        Form.reset();
        Messages::SetResponder(nullptr);
    }

    struct Depth {
        QTreeWidgetItem *folder = nullptr;
        QString masterPage, masterThumb, thumbnailDir;
        QStringList pages;
    };
    const Depth &depth(int bits) const { return m_depths.at(bits); }

    // Puts a current thumbnail file beside every page of the depth's folder.
    void linkThumbnails(int bits)
    {
        const Depth &d = depth(bits);
        for (const QString &page : d.pages) {
            const QString thumb = Form->ImageManager->ThumbnailPathOf(page);
            QDir().mkpath(QFileInfo(thumb).path());
            linkOrCopy(d.masterThumb, thumb);
        }
    }
    void deleteThumbnails(int bits) { QDir(depth(bits).thumbnailDir).removeRecursively(); }

    // Shows the catalogue root, which empties the page list, and lets the window settle.
    void showRoot()
    {
        Form->TreeView1->setCurrentItem(Form->TreeView1->topLevelItem(0));
        settle();
    }
    void settle()
    {
        // Thumbnail work left over from the last selection must not run into the next measurement.
        QElapsedTimer t;
        t.start();
        while ((t.elapsed() < 50 || Form->ThumbnailsPending()) && t.elapsed() < TimeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    // Items of the page list inside its visible area; -1 while one of them has no picture yet.
    int completeFirstScreen() const
    {
        if (!Form->ListView1->isVisible() || Form->ListView1->count() != Files * PagesPerFile)
            return -1;
        const int height = Form->ListView1->viewport()->height();
        int visible = 0;
        for (int i = 0; i < Form->ListView1->count(); ++i) {
            QListWidgetItem *item = Form->ListView1->item(i);
            const QRect r = Form->ListView1->visualItemRect(item);
            if (r.bottom() <= 0 || r.top() >= height)
                continue;
            if (TPageListView::ImageIndex(item) == -1)
                return -1;
            ++visible;
        }
        return visible > 0 ? visible : -1;
    }

    // Items of the page list inside its visible area, by geometry alone.
    int visibleItems() const
    {
        const int height = Form->ListView1->viewport()->height();
        int visible = 0;
        for (int i = 0; i < Form->ListView1->count(); ++i) {
            const QRect r = Form->ListView1->visualItemRect(Form->ListView1->item(i));
            visible += r.bottom() > 0 && r.top() < height;
        }
        return visible;
    }

    std::unique_ptr<TForm1> Form;

private:
    arkavo::test::TempDir m_root, m_masters;
    std::map<int, Depth> m_depths;
};

std::unique_ptr<Catalogue> g_catalogue;

Catalogue &catalogue()
{
    if (!g_catalogue)
        g_catalogue = std::make_unique<Catalogue>();
    return *g_catalogue;
}

// The longest interval between two firings of a 5 ms timer: how long the event loop
// was kept from running.
class LoopGapProbe {
public:
    LoopGapProbe()
    {
        m_timer.setInterval(5);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { mark(); });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_maxGap = 0;
        m_timer.start();
    }
    // Stops the probe; the stretch since the last firing counts as well.
    double stopMs()
    {
        mark();
        m_timer.stop();
        return double(m_maxGap) / 1e6;
    }

private:
    void mark()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_maxGap = std::max(m_maxGap, now - m_last);
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0, m_maxGap = 0;
};

// Selects the folder and runs the event loop until the first screen is complete.
void selectFolderUntilFirstScreen(benchmark::State &state, bool withThumbnailFiles)
{
    const int bits = int(state.range(0));
    Catalogue &c = catalogue();
    LoopGapProbe probe;
    double maxGapMs = 0, changeMs = 0;
    int visible = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (withThumbnailFiles)
            c.linkThumbnails(bits);
        else
            c.deleteThumbnails(bits);
        c.showRoot();
        state.ResumeTiming();

        probe.start();
        const auto start = std::chrono::steady_clock::now();
        c.Form->TreeView1->setCurrentItem(c.depth(bits).folder);
        const auto changed = std::chrono::steady_clock::now();
        QElapsedTimer waited;
        waited.start();
        while ((visible = c.completeFirstScreen()) < 0 && waited.elapsed() < TimeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        const auto done = std::chrono::steady_clock::now();
        maxGapMs = std::max(maxGapMs, probe.stopMs());
        if (visible < 0) {
            state.SkipWithError("the first screen never got all its pictures");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(done - start).count());
        changeMs += std::chrono::duration<double, std::milli>(changed - start).count();
    }
    state.counters["visible"] = visible;
    state.counters["max_gap_ms"] = maxGapMs;
    state.counters["change_ms"] = benchmark::Counter(changeMs, benchmark::Counter::kAvgIterations);
    c.showRoot();
}

// a) Every thumbnail file exists and is current.
void BM_SelectFolderThumbnailFilesPresent(benchmark::State &state)
{
    selectFolderUntilFirstScreen(state, true);
}
BENCHMARK(BM_SelectFolderThumbnailFilesPresent)
    ->Arg(1)
    ->Arg(8)
    ->Arg(24)
    ->UseManualTime()
    ->MeasureProcessCPUTime()
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond);

// b) No thumbnail file exists: each visible page is decoded and reduced.
void BM_SelectFolderThumbnailFilesDeleted(benchmark::State &state)
{
    selectFolderUntilFirstScreen(state, false);
}
BENCHMARK(BM_SelectFolderThumbnailFilesDeleted)
    ->Arg(1)
    ->Arg(8)
    ->Arg(24)
    ->UseManualTime()
    ->MeasureProcessCPUTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// c) Reference: LoadFile and Thumbnail of as many pages as the first screen shows, one
// after the other on this thread, without writing anything.
void BM_DecodeFirstScreenOneThread(benchmark::State &state)
{
    const int bits = int(state.range(0));
    Catalogue &c = catalogue();
    c.Form->TreeView1->setCurrentItem(c.depth(bits).folder);
    const int visible = c.visibleItems();
    c.showRoot();
    const QByteArray page = QFile::encodeName(c.depth(bits).masterPage);
    for (auto _ : state) {
        for (int i = 0; i < visible; ++i) {
            TCodecImage image{};
            LoadFile(page.constData(), &image, 0);
            GlobalBlock loaded(image.Dib);
            GlobalBlock reduced(Thumbnail(loaded.get(), 135, 160));
            benchmark::DoNotOptimize(reduced.get());
        }
    }
    state.counters["visible"] = visible;
}
BENCHMARK(BM_DecodeFirstScreenOneThread)
    ->Arg(1)
    ->Arg(8)
    ->Arg(24)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    g_catalogue.reset();
    benchmark::Shutdown();
    return 0;
}
