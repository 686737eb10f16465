// A quarter turn of an A4 page at 300 dpi saved as JPEG: turned on its compressed data,
// against decoding, turning and saving it again. The page lies on its side (3508 x 2480),
// as a sheet fed in sideways does: a turn to the right is exact for it, while an upright
// page's 3508 rows are no whole number of blocks. Each iteration turns a fresh copy.
#include "JpegTurn.h"

#include "PatternPage.h"
#include "TempDir.h"

#include "codec.h"
#include "pixolve.h"

#include <arkavo/GlobalBlock.h>

#include <benchmark/benchmark.h>

#include <QString>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct PageFile {
    std::string path;
    std::vector<char> bytes; // as first saved

    void restore() const
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    }
};

PageFile makePageFile(const arkavo::test::TempDir &dir, int bits)
{
    PageFile file{(dir / (bits == 24 ? "colour.jpg" : "grey.jpg")).string(), {}};
    const arkavo::GlobalBlock upright = arkavo::test::MakeA4Page(bits);
    const arkavo::GlobalBlock sideways(RotateExpand(upright.get(), -90, 0, 0, 0));
    const TCodecImage image{300, 300, sideways.get()};
    SaveJPG(&image, file.path.c_str());
    std::ifstream in(file.path, std::ios::binary);
    file.bytes.assign(std::istreambuf_iterator<char>(in), {});
    return file;
}

// Page files of each kind, written once for all the runs.
const PageFile &a4File(int bits)
{
    static arkavo::test::TempDir dir;
    static const PageFile colour = makePageFile(dir, 24);
    static const PageFile grey = makePageFile(dir, 8);
    return bits == 24 ? colour : grey;
}

void BM_LosslessTurn(benchmark::State &state)
{
    const PageFile &file = a4File(int(state.range(0)));
    const QString path = QString::fromStdString(file.path);
    for (auto _ : state) {
        state.PauseTiming();
        file.restore();
        state.ResumeTiming();
        if (TurnJpegFile(path, JpegTurn::Right90) != JpegTurnResult::Turned) {
            state.SkipWithError("the lossless turn failed");
            break;
        }
    }
    state.SetLabel(state.range(0) == 24 ? "colour" : "grey");
    state.counters["file_kB"] = double(file.bytes.size()) / 1024;
}

void BM_DecodeTurnEncode(benchmark::State &state)
{
    const PageFile &file = a4File(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        file.restore();
        state.ResumeTiming();
        TCodecImage loaded{0, 0, nullptr};
        LoadFile(file.path.c_str(), &loaded, 0);
        const arkavo::GlobalBlock page(loaded.Dib);
        const arkavo::GlobalBlock turned(RotateExpand(page.get(), 90, 0, 0, 0));
        const TCodecImage out{loaded.YResolution, loaded.XResolution, turned.get()};
        if (!turned || SaveJPG(&out, file.path.c_str()) != 1) {
            state.SkipWithError("decode, turn and encode failed");
            break;
        }
    }
    state.SetLabel(state.range(0) == 24 ? "colour" : "grey");
}

BENCHMARK(BM_LosslessTurn)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeTurnEncode)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
