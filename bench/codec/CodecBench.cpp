// Codec calls against the bare libtiff / libjpeg-turbo work they wrap, on A4 pages at
// 300 dpi (2480 x 3508). Pairs run in the same process so their ratio is meaningful.
#include "codec.h"
#include "pixolve.h"

#include <arkavo/GlobalBlock.h>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <jpeglib.h>
#include <leptonica/allheaders.h>
#include <tiffio.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>
#include <string>
#include <vector>

using arkavo::GlobalBlock;
using arkavo::GlobalLockGuard;

namespace {

constexpr int W = 2480;
constexpr int H = 3508;

// Typed-page look: lines of words with letter strokes, a little noise, slight skew.
bool ink(int x, int y, const std::vector<std::vector<std::pair<int, int>>> &lines)
{
    const double yy = y - x * 0.012; // about 0.7 degrees
    const int line = int((yy - 250) / 70);
    if (yy < 250 || line >= int(lines.size()) || int(yy - 250) % 70 >= 32)
        return false;
    if (x % 11 >= 4 && int(yy) % 13 >= 3)
        return false;
    for (const auto &w : lines[std::size_t(line)])
        if (x >= w.first && x < w.second)
            return true;
    return false;
}

struct Fixtures {
    std::filesystem::path dir;
    GlobalBlock bilevel, grey, colour;
    std::string g4, grey8, jpeg;
    std::vector<std::string> jpegs, g4s;

    Fixtures()
    {
        dir = std::filesystem::temp_directory_path() / ("arkavo-bench-codec-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::mt19937 rng(5);
        std::vector<std::vector<std::pair<int, int>>> lines(44);
        for (auto &line : lines)
            for (int x = 200 + int(rng() % 60); x < W - 300;) {
                const int len = 40 + int(rng() % 180);
                line.emplace_back(x, x + len);
                x += len + 25 + int(rng() % 15);
            }
        bilevel = page(1), grey = page(8), colour = page(24);
        fill(lines, rng);
        g4 = save(bilevel, "page-g4.tif", 'T', 4);
        grey8 = save(grey, "page-grey.tif", 'T', 0);
        jpeg = save(colour, "page-colour.jpg", 'J', 0);
        for (int i = 0; i < 10; ++i) {
            jpegs.push_back((dir / ("j" + std::to_string(i) + ".jpg")).string());
            g4s.push_back((dir / ("g" + std::to_string(i) + ".tif")).string());
            std::filesystem::copy_file(jpeg, jpegs.back());
            std::filesystem::copy_file(g4, g4s.back());
        }
    }
    ~Fixtures() { std::filesystem::remove_all(dir); }

    static GlobalBlock page(int bits)
    {
        const int colours = bits == 1 ? 2 : bits == 8 ? 256 : 0;
        const std::size_t stride = std::size_t((W * bits + 31) / 32 * 4);
        GlobalBlock block = GlobalBlock::allocate(40 + 4 * colours + stride * H);
        GlobalLockGuard lock(block.get());
        std::uint8_t *p = lock.data();
        const std::int32_t header[] = {40, W, H, 0, 0, 0, 11811, 11811, colours, 0};
        std::memcpy(p, header, sizeof header);
        p[12] = 1;
        p[14] = std::uint8_t(bits);
        for (int i = 0; i < colours; ++i)
            std::memset(p + 40 + 4 * i, bits == 1 ? i * 255 : i, 3);
        return block;
    }

    void fill(const std::vector<std::vector<std::pair<int, int>>> &lines, std::mt19937 &rng)
    {
        GlobalLockGuard b(bilevel.get()), g(grey.get()), c(colour.get());
        std::uint8_t *pb = b.data() + 48, *pg = g.data() + 40 + 1024, *pc = c.data() + 40;
        for (int y = 0; y < H; ++y) {
            const std::size_t row = std::size_t(H - 1 - y);
            for (int x = 0; x < W; ++x) {
                const bool black = ink(x, y, lines);
                const int noise = int(rng() % 20);
                if (!black)
                    pb[row * 312 + x / 8] |= std::uint8_t(0x80 >> (x % 8));
                const int level = black ? 35 + noise : 220 + noise;
                pg[row * W + x] = std::uint8_t(level);
                std::uint8_t *px = pc + row * W * 3 + 3 * x;
                px[0] = std::uint8_t(level), px[1] = std::uint8_t(level - 8),
                px[2] = std::uint8_t(black ? 120 : level);
            }
        }
    }

    std::string save(const GlobalBlock &dib, const char *name, char kind, int compression)
    {
        const std::string path = (dir / name).string();
        TCodecImage image{300, 300, dib.get()};
        if (kind == 'T')
            SaveTIF(&image, path.c_str(), compression, 0);
        else
            SaveJPG(&image, path.c_str());
        return path;
    }
};

Fixtures &fixtures()
{
    static Fixtures f;
    return f;
}

long minorFaults()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}

// Page faults per iteration, the cost of memory handed back to the kernel and taken again.
class FaultCounter {
public:
    explicit FaultCounter(benchmark::State &state) : m_state(state), m_start(minorFaults()) {}
    ~FaultCounter()
    {
        m_state.counters["faults"] =
            double(minorFaults() - m_start) / double(std::max<long>(1, m_state.iterations()));
    }

private:
    benchmark::State &m_state;
    long m_start;
};

void loadFile(benchmark::State &state, const std::string &path)
{
    FaultCounter faults(state);
    for (auto _ : state) {
        TCodecImage image{};
        LoadFile(path.c_str(), &image, 0);
        GlobalFree(image.Dib);
    }
}

void bareTiffDecode(benchmark::State &state, const std::string &path)
{
    for (auto _ : state) {
        TIFF *tif = TIFFOpen(path.c_str(), "r");
        std::vector<std::uint8_t> pixels(std::size_t(TIFFStripSize(tif)) * TIFFNumberOfStrips(tif));
        for (std::uint32_t s = 0; s < TIFFNumberOfStrips(tif); ++s)
            TIFFReadEncodedStrip(tif, s, pixels.data() + std::size_t(s) * TIFFStripSize(tif), -1);
        benchmark::DoNotOptimize(pixels.data());
        TIFFClose(tif);
    }
}

void BM_LoadFile_G4(benchmark::State &s)
{
    loadFile(s, fixtures().g4);
}
void BM_Bare_TiffDecode_G4(benchmark::State &s)
{
    bareTiffDecode(s, fixtures().g4);
}
void BM_LoadFile_Grey8(benchmark::State &s)
{
    loadFile(s, fixtures().grey8);
}
void BM_Bare_TiffDecode_Grey8(benchmark::State &s)
{
    bareTiffDecode(s, fixtures().grey8);
}
void BM_LoadFile_JpegColour(benchmark::State &s)
{
    loadFile(s, fixtures().jpeg);
}

// libjpeg-turbo alone, into `pixels`.
void bareJpegDecode(std::uint8_t *pixels)
{
    std::FILE *f = std::fopen(fixtures().jpeg.c_str(), "rb");
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = std::size_t(cinfo.output_width) * 3;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    benchmark::DoNotOptimize(pixels);
}

constexpr std::size_t ColourBytes = std::size_t(W) * 3 * H;

// Into memory fresh from the kernel each time: every 4 KiB page faults once.
void BM_Bare_JpegDecode_Colour_Fresh(benchmark::State &state)
{
    FaultCounter faults(state);
    for (auto _ : state) {
        void *p = mmap(nullptr, ColourBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        bareJpegDecode(static_cast<std::uint8_t *>(p));
        munmap(p, ColourBytes);
    }
}

// Into memory already touched: the steady figure a recycled page block should reach.
void BM_Bare_JpegDecode_Colour(benchmark::State &state)
{
    std::vector<std::uint8_t> pixels(ColourBytes);
    FaultCounter faults(state);
    for (auto _ : state)
        bareJpegDecode(pixels.data());
}

// A colour page through load, clean-up and save, each step in a block of its own.
void BM_DecodeCleanSave_Colour(benchmark::State &state)
{
    const std::string out = (fixtures().dir / "clean-colour.jpg").string();
    FaultCounter faults(state);
    for (auto _ : state) {
        TCodecImage loaded{};
        LoadFile(fixtures().jpeg.c_str(), &loaded, 0);
        GlobalBlock page(loaded.Dib);
        GlobalBlock border(RemoveBorder(page.get(), 80));
        page.reset();
        RECT r{0, 0, 0, 0};
        GlobalBlock cropped(Crop(border.get(), &r, 2, 100));
        border.reset();
        GlobalBlock clean(Denoise(cropped.get(), 3));
        cropped.reset();
        TCodecImage image{300, 300, clean.get()};
        SaveJPG(&image, out.c_str());
    }
}

void BM_SaveTIF_G4(benchmark::State &state)
{
    const std::string out = (fixtures().dir / "out-g4.tif").string();
    TCodecImage image{300, 300, fixtures().bilevel.get()};
    for (auto _ : state)
        SaveTIF(&image, out.c_str(), 4, 0);
}

void BM_Bare_TiffEncode_G4(benchmark::State &state)
{
    const std::string out = (fixtures().dir / "bare-g4.tif").string();
    // Rows top-down, min-is-white, as the encoder wants them.
    std::vector<std::uint8_t> rows(310 * std::size_t(H));
    {
        GlobalLockGuard lock(fixtures().bilevel.get());
        for (int y = 0; y < H; ++y)
            for (int i = 0; i < 310; ++i)
                rows[std::size_t(y) * 310 + i] =
                    std::uint8_t(~lock.data()[48 + std::size_t(H - 1 - y) * 312 + i]);
    }
    for (auto _ : state) {
        TIFF *tif = TIFFOpen(out.c_str(), "w");
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, W);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, H);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, H);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, 300.0f);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, 300.0f);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFWriteEncodedStrip(tif, 0, rows.data(), tmsize_t(rows.size()));
        TIFFClose(tif);
    }
}

// Arg: the compression asked for; 0 is the default, 8 the Deflate it used to be.
void saveTif(benchmark::State &state, const GlobalBlock &page, const char *name)
{
    const std::string out = (fixtures().dir / name).string();
    TCodecImage image{300, 300, page.get()};
    for (auto _ : state)
        SaveTIF(&image, out.c_str(), int(state.range(0)), 0);
    state.counters["MB"] = double(std::filesystem::file_size(out)) / 1e6;
}

void BM_SaveTIF_Grey8(benchmark::State &s)
{
    saveTif(s, fixtures().grey, "out-grey.tif");
}
void BM_SaveTIF_Colour(benchmark::State &s)
{
    saveTif(s, fixtures().colour, "out-colour.tif");
}

// The scan pipeline's work on an 8-bit page: clean-up, deskew and storing it.
void BM_CleanAndSave_Grey8(benchmark::State &state)
{
    const std::string out = (fixtures().dir / "clean-grey.tif").string();
    FaultCounter faults(state);
    for (auto _ : state) {
        GlobalBlock border(RemoveBorder(fixtures().grey.get(), 80));
        RECT r{0, 0, 0, 0};
        GlobalBlock cropped(Crop(border.get(), &r, 2, 100));
        const double angle = GetAngle(cropped.get());
        GlobalBlock straight(Rotate(cropped.get(), angle, W / 2, H / 2, 1));
        GlobalBlock clean(Denoise(straight.get(), 3));
        TCodecImage image{300, 300, clean.get()};
        SaveTIF(&image, out.c_str(), int(state.range(0)), 0);
    }
}

void BM_SaveJPG_Colour(benchmark::State &state)
{
    const std::string out = (fixtures().dir / "out.jpg").string();
    TCodecImage image{300, 300, fixtures().colour.get()};
    for (auto _ : state)
        SaveJPG(&image, out.c_str());
}

void BM_Bare_JpegEncode_Colour(benchmark::State &state)
{
    const std::string out = (fixtures().dir / "bare.jpg").string();
    GlobalLockGuard lock(fixtures().colour.get());
    const std::uint8_t *pixels = lock.data() + 40;
    for (auto _ : state) {
        std::FILE *f = std::fopen(out.c_str(), "wb");
        jpeg_compress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_compress(&cinfo);
        jpeg_stdio_dest(&cinfo, f);
        cinfo.image_width = W;
        cinfo.image_height = H;
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 80, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(pixels + std::size_t(H - 1 - cinfo.next_scanline) * W * 3);
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        std::fclose(f);
    }
}

void savePdf(benchmark::State &state, const std::vector<std::string> &sources)
{
    const std::string out = (fixtures().dir / "out.pdf").string();
    std::vector<const char *> list;
    std::uintmax_t inputs = 0;
    for (const std::string &s : sources) {
        list.push_back(s.c_str());
        inputs += std::filesystem::file_size(s);
    }
    for (auto _ : state)
        SavePDF(out.c_str(), list.data(), int(list.size()));
    const double output = double(std::filesystem::file_size(out));
    state.counters["inputs_KiB"] = double(inputs) / 1024;
    state.counters["output_KiB"] = output / 1024;
    state.counters["overhead_pct"] = 100.0 * (output - double(inputs)) / double(inputs);
}

void readAll(benchmark::State &state, const std::vector<std::string> &sources)
{
    for (auto _ : state)
        for (const std::string &s : sources) {
            TCodecImage image{};
            LoadFile(s.c_str(), &image, 0);
            GlobalFree(image.Dib);
        }
}

void BM_SavePDF_10Jpeg(benchmark::State &s)
{
    savePdf(s, fixtures().jpegs);
}
void BM_LoadFile_10Jpeg(benchmark::State &s)
{
    readAll(s, fixtures().jpegs);
}
void BM_SavePDF_10G4(benchmark::State &s)
{
    savePdf(s, fixtures().g4s);
}
void BM_LoadFile_10G4(benchmark::State &s)
{
    readAll(s, fixtures().g4s);
}

void BM_GetAngle_Bilevel(benchmark::State &state)
{
    FaultCounter faults(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(GetAngle(fixtures().bilevel.get()));
    state.counters["angle"] = GetAngle(fixtures().bilevel.get());
}

// Leptonica's measure alone on the same bilevel page, already in its layout.
void BM_Bare_FindSkew_Bilevel(benchmark::State &state)
{
    PIX *pix = pixCreate(W, H, 1);
    {
        GlobalLockGuard lock(fixtures().bilevel.get());
        l_uint32 *words = pixGetData(pix);
        for (int y = 0; y < H; ++y) {
            const std::uint8_t *src = lock.data() + 48 + std::size_t(H - 1 - y) * 312;
            auto *dst = reinterpret_cast<std::uint8_t *>(words + std::size_t(y) * 78);
            for (int i = 0; i < 310; ++i)
                dst[i] = std::uint8_t(~src[i]);
        }
        pixEndianByteSwap(pix);
    }
    l_float32 angle = 0, confidence = 0;
    FaultCounter faults(state);
    for (auto _ : state) {
        pixFindSkew(pix, &angle, &confidence);
        benchmark::DoNotOptimize(angle);
    }
    state.counters["angle"] = -angle;
    pixDestroy(&pix);
}

void BM_GetAngle_Grey8(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(GetAngle(fixtures().grey.get()));
    state.counters["angle"] = GetAngle(fixtures().grey.get());
}

} // namespace

BENCHMARK(BM_LoadFile_G4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bare_TiffDecode_G4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFile_Grey8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bare_TiffDecode_Grey8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFile_JpegColour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bare_JpegDecode_Colour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bare_JpegDecode_Colour_Fresh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeCleanSave_Colour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTIF_G4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bare_TiffEncode_G4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTIF_Grey8)->Arg(0)->Arg(8)->Arg(5)->Arg(32773)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTIF_Colour)->Arg(0)->Arg(8)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CleanAndSave_Grey8)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveJPG_Colour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bare_JpegEncode_Colour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SavePDF_10Jpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFile_10Jpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SavePDF_10G4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFile_10G4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetAngle_Bilevel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bare_FindSkew_Bilevel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetAngle_Grey8)->Unit(benchmark::kMillisecond);
