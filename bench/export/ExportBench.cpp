// A folder of 10 files of 100 A4 pages at 300 dpi, G4 and JPEG pages taking turns,
// exported as one PDF per file and as one multi-page TIFF per file, beside img2pdf and
// tiffcp on the same page files in the same run. The size counters give the bytes
// written, so that the outputs can be compared too.
#include "ExportRun.h"
#include "codec.h"

#include "PatternPage.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 10;
constexpr int kPages = 100;

struct Folder {
    fs::path dir;
    QList<ExportFile> mixed;  // G4 and JPEG pages taking turns
    QList<ExportFile> g4Only; // the same number of G4 pages

    Folder()
    {
        dir = fs::temp_directory_path() / ("arkavo-bench-export-" + std::to_string(::getpid()));
        fs::create_directories(dir / "pages");
        const std::string g4 = save(1, "g4.tif"), jpeg = save(24, "colour.jpg");
        for (int f = 0; f < kFiles; ++f) {
            ExportFile m{QString("F%1").arg(f), f + 1, f + 1, {}}, g = m;
            for (int p = 0; p < kPages; ++p) {
                // Links: every page its own file, without 1,000 pages' worth of disk.
                const bool isG4 = p % 2 == 0;
                const fs::path page =
                    dir / "pages" /
                    ("m" + std::to_string(f) + "-" + std::to_string(p) + (isG4 ? ".tif" : ".jpg"));
                fs::create_hard_link(isG4 ? g4 : jpeg, page);
                m.pages << QString::fromStdString(page.string());
                const fs::path g4Page =
                    dir / "pages" / ("g" + std::to_string(f) + "-" + std::to_string(p) + ".tif");
                fs::create_hard_link(g4, g4Page);
                g.pages << QString::fromStdString(g4Page.string());
            }
            mixed << m;
            g4Only << g;
        }
    }
    ~Folder() { fs::remove_all(dir); }

    std::string save(int bits, const char *name)
    {
        arkavo::GlobalBlock page = arkavo::test::MakeA4Page(bits);
        TCodecImage image{300, 300, page.get()};
        const std::string path = (dir / name).string();
        if (bits == 1)
            SaveTIF(&image, path.c_str(), CODEC_TIFF_G4, 0);
        else
            SaveJPG(&image, path.c_str());
        return path;
    }

    // A fresh, empty output directory.
    QString out(const char *name) const
    {
        const fs::path o = dir / name;
        fs::remove_all(o);
        fs::create_directories(o);
        return QString::fromStdString(o.string());
    }
};

Folder &folder()
{
    static Folder f;
    return f;
}

qint64 bytesBelow(const QString &dir)
{
    qint64 total = 0;
    for (const auto &e : fs::recursive_directory_iterator(dir.toStdString()))
        if (e.is_regular_file())
            total += qint64(e.file_size());
    return total;
}

void exportFolder(benchmark::State &state, ExportLayout layout, const QList<ExportFile> &files)
{
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ExportOptions o;
        o.directory = folder().out("export");
        o.layout = layout;
        state.ResumeTiming();
        const ExportReport report = TExportRun(o).Run(files);
        if (report.written != kFiles)
            state.SkipWithError("export failed");
        state.PauseTiming();
        bytes = bytesBelow(o.directory);
        state.ResumeTiming();
    }
    state.counters["bytes"] = double(bytes);
    state.counters["pages/s"] =
        benchmark::Counter(double(kFiles * kPages), benchmark::Counter::kIsIterationInvariantRate);
}

// The outside tool once per file, as a script exporting the folder would run it.
void runTool(benchmark::State &state, const char *tool, const QStringList &leading,
             const QList<ExportFile> &files)
{
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
        state.SkipWithError((std::string(tool) + " is not installed").c_str());
        return;
    }
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString out = folder().out("tool");
        state.ResumeTiming();
        for (const ExportFile &file : files) {
            QProcess p;
            const QString target = out + "/" + file.name + (QString(tool) == "img2pdf" ? ".pdf" : ".tif");
            QStringList args = leading;
            if (QString(tool) == "img2pdf")
                args << "-o" << target << file.pages;
            else
                args << file.pages << target;
            p.start(tool, args);
            if (!p.waitForFinished(600000) || p.exitCode() != 0)
                state.SkipWithError((std::string(tool) + " failed").c_str());
        }
        state.PauseTiming();
        bytes = bytesBelow(out);
        state.ResumeTiming();
    }
    state.counters["bytes"] = double(bytes);
    state.counters["pages/s"] =
        benchmark::Counter(double(kFiles * kPages), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ExportPdf_Mixed(benchmark::State &state)
{
    exportFolder(state, ExportLayout::MultiPagePdf, folder().mixed);
}
void BM_Img2pdf_Mixed(benchmark::State &state)
{
    runTool(state, "img2pdf", {}, folder().mixed);
}
void BM_ExportTiff_G4(benchmark::State &state)
{
    exportFolder(state, ExportLayout::MultiPageTiff, folder().g4Only);
}
void BM_Tiffcp_G4(benchmark::State &state)
{
    runTool(state, "tiffcp", {"-c", "g4"}, folder().g4Only);
}
// For the record: JPEG pages go into a TIFF as JPEG-in-TIFF, decoded and encoded again.
void BM_ExportTiff_Mixed(benchmark::State &state)
{
    exportFolder(state, ExportLayout::MultiPageTiff, folder().mixed);
}

} // namespace

BENCHMARK(BM_ExportPdf_Mixed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Img2pdf_Mixed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportTiff_G4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Tiffcp_G4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportTiff_Mixed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
