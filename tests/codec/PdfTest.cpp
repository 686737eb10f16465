#include "Pages.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <tiffio.h>

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
