#include "Pages.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <tiffio.h>

#include <fstream>
#include <string>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

using namespace arkavo;
using namespace arkavo::test;

namespace {

bool contains(const std::vector<std::uint8_t> &haystack, const std::vector<std::uint8_t> &needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

std::vector<std::uint8_t> rawStrip(const std::string &path)
{
    TIFF *tif = TIFFOpen(path.c_str(), "r");
    std::vector<std::uint8_t> data(std::size_t(TIFFRawStripSize(tif, 0)));
    TIFFReadRawStrip(tif, 0, data.data(), tmsize_t(data.size()));
    TIFFClose(tif);
    return data;
}

// A bilevel A4 page at 300 dpi: white with a black band.
GlobalBlock a4Bilevel()
{
    GlobalBlock page = makeDib(2480, 3508, 1, {0x000000, 0xFFFFFF}, 300);
    GlobalLockGuard lock(page.get());
    const std::size_t stride = 312;
    std::memset(lock.data() + 48, 0xFF, stride * 3508);
    std::memset(lock.data() + 48 + stride * 1000, 0, stride * 40);
    return page;
}

TEST(CodecPdf, OnePagePerSourceSizedByResolutionWithDataEmbeddedAsStored)
{
    TempDir dir;
    struct Source {
        std::string name;
        GlobalBlock page;
        int compression;
        double width, height; // points
    };
    Source sources[] = {
        {"colour, with comma.jpg", patternPage(300, 150, 24, 150), 0, 144, 72},
        {"a4.tif", a4Bilevel(), 4, 595.2, 841.92},
        {"grey.tif", patternPage(200, 100, 8, 100), 0, 144, 72},
        {"bilevel.bmp", patternPage(96, 48, 1, 96), 0, 72, 36},
        {"colour.tif", patternPage(72, 72, 24, 72), 32773, 72, 72},
    };
    std::vector<std::string> paths;
    for (Source &s : sources) {
        paths.push_back((dir / s.name).string());
        TCodecImage image{0, 0, s.page.get()};
        const char *p = paths.back().c_str();
        const bool ok = s.name.ends_with(".jpg")   ? SaveJPG(&image, p)
                        : s.name.ends_with(".bmp") ? SaveBMP(&image, p)
                                                   : SaveTIF(&image, p, s.compression, 0);
        ASSERT_TRUE(ok) << s.name;
    }
    std::vector<const char *> list;
    for (const std::string &p : paths)
        list.push_back(p.c_str());
    const std::string out = (dir / "out.pdf").string();
    ASSERT_EQ(SavePDF(out.c_str(), list.data(), int(list.size())), 1);

    const auto pdf = readBytes(out);
    EXPECT_TRUE(contains(pdf, readBytes(paths[0]))) << "JPEG bytes changed";
    EXPECT_TRUE(contains(pdf, rawStrip(paths[1]))) << "G4 strip re-encoded";

    QPDF doc;
    doc.setSuppressWarnings(true);
    doc.processFile(out.c_str());
    const auto pages = QPDFPageDocumentHelper(doc).getAllPages();
    ASSERT_EQ(pages.size(), std::size(sources));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        auto box = QPDFPageObjectHelper(pages[i]).getObjectHandle().getKey("/MediaBox");
        EXPECT_NEAR(box.getArrayItem(2).getNumericValue(), sources[i].width, 0.01) << sources[i].name;
        EXPECT_NEAR(box.getArrayItem(3).getNumericValue(), sources[i].height, 0.01) << sources[i].name;
    }
    EXPECT_TRUE(doc.getWarnings().empty());

    if (std::filesystem::exists("/usr/bin/qpdf")) {
        const std::string command = "/usr/bin/qpdf --check '" + out + "' > /dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << "qpdf --check found faults";
    }
}

// Grey levels of a page rendered by Ghostscript at 72 dpi (one pixel per point).
std::vector<std::uint8_t> renderPage(const std::string &pdf, int page, int &width, int &height)
{
    const std::string pgm = pdf + "-" + std::to_string(page) + ".pgm";
    const std::string command =
        "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pgmraw -r72 -dFirstPage=" + std::to_string(page) +
        " -dLastPage=" + std::to_string(page) + " -o '" + pgm + "' '" + pdf + "' > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return {};
    std::ifstream in(pgm, std::ios::binary);
    // Header: magic, width, height, maximum, with '#' comment lines allowed between.
    int fields[3] = {};
    std::string token;
    in >> token;
    for (int i = 0; i < 3 && in >> token;) {
        if (token[0] == '#')
            std::getline(in, token);
        else
            fields[i++] = std::stoi(token);
    }
    in.get();
    width = fields[0];
    height = fields[1];
    std::vector<std::uint8_t> pixels(std::size_t(width) * height);
    in.read(reinterpret_cast<char *>(pixels.data()), std::streamsize(pixels.size()));
    return pixels;
}

TEST(CodecPdf, BilevelPagesKeepBlackOnWhiteWhateverTheirSource)
{
    if (!std::filesystem::exists("/usr/bin/gs"))
        GTEST_SKIP() << "Ghostscript is not installed";
    TempDir dir;
    // 96 x 48 at 72 dpi, left third black.
    GlobalBlock page = makeDib(96, 48, 1, {0x000000, 0xFFFFFF}, 72);
    {
        GlobalLockGuard lock(page.get());
        for (int y = 0; y < 48; ++y)
            for (int x = 32; x < 96; ++x)
                lock.data()[48 + 12 * y + x / 8] |= std::uint8_t(0x80 >> (x % 8));
    }
    TCodecImage image{72, 72, page.get()};
    const std::string g4 = (dir / "g4.tif").string(), packbits = (dir / "packbits.tif").string(),
                      bmp = (dir / "page.bmp").string(), minIsBlack = (dir / "min-is-black.tif").string();
    ASSERT_EQ(SaveTIF(&image, g4.c_str(), 4, 0), 1);
    ASSERT_EQ(SaveTIF(&image, packbits.c_str(), 32773, 0), 1);
    ASSERT_EQ(SaveBMP(&image, bmp.c_str()), 1);
    {
        // A G4 strip stored min-is-black: its coded white runs are the page's black.
        TIFF *tif = TIFFOpen(minIsBlack.c_str(), "w");
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 96);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 48);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 48);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, 72.0f);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, 72.0f);
        std::uint8_t row[12] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        for (std::uint32_t y = 0; y < 48; ++y)
            TIFFWriteScanline(tif, row, y, 0);
        TIFFClose(tif);
    }
    const char *sources[] = {g4.c_str(), packbits.c_str(), bmp.c_str(), minIsBlack.c_str()};
    const std::string out = (dir / "out.pdf").string();
    ASSERT_EQ(SavePDF(out.c_str(), sources, 4), 1);
    for (int p = 1; p <= 4; ++p) {
        int width = 0, height = 0;
        const auto grey = renderPage(out, p, width, height);
        ASSERT_EQ(width, 96) << "page " << p;
        ASSERT_EQ(height, 48);
        EXPECT_LT(grey[std::size_t(24 * width + 10)], 64) << "page " << p << " should be black on the left";
        EXPECT_GT(grey[std::size_t(24 * width + 70)], 192) << "page " << p << " should be white on the right";
    }
}

TEST(CodecPdf, UnreadableSourceFailsAndLeavesTheOldOutput)
{
    TempDir dir;
    const std::string good = (dir / "good.jpg").string();
    GlobalBlock page = patternPage(40, 40, 8);
    TCodecImage image{300, 300, page.get()};
    ASSERT_EQ(SaveJPG(&image, good.c_str()), 1);
    writeBytes((dir / "text.tif").string(), {'n', 'o', 't', ' ', 'a', ' ', 't', 'i', 'f', 'f'});
    const std::string out = (dir / "out.pdf").string();
    writeBytes(out, {'o', 'l', 'd'});

    const std::string text = (dir / "text.tif").string(), missing = (dir / "missing.jpg").string();
    const char *withText[] = {good.c_str(), text.c_str()};
    const char *withMissing[] = {missing.c_str(), good.c_str()};
    const char *withNull[] = {good.c_str(), nullptr};
    StderrCapture err;
    EXPECT_EQ(SavePDF(out.c_str(), withText, 2), 0);
    EXPECT_EQ(SavePDF(out.c_str(), withMissing, 2), 0);
    EXPECT_EQ(SavePDF(out.c_str(), withNull, 2), 0);
    EXPECT_EQ(SavePDF(out.c_str(), withText, 0), 0);
    EXPECT_EQ(SavePDF(out.c_str(), nullptr, 1), 0);
    EXPECT_EQ(SavePDF(nullptr, withText, 1), 0);
    EXPECT_EQ(SavePDF((dir / "no/such/dir.pdf").string().c_str(), withText, 1), 0);
    EXPECT_EQ(err.text(), "");
    EXPECT_EQ(readBytes(out), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

} // namespace
