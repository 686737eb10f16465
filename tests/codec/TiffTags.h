#pragma once
// Reading back what a TIFF file says about its pages, through libtiff itself.
#include <tiffio.h>

#include <string>
#include <vector>

namespace arkavo::test {

struct TiffPageTags {
    int compression = 0;
    int photometric = 0;
    int bits = 0;
    int strips = 0;
};

inline std::vector<TiffPageTags> tiffTags(const std::string &path)
{
    std::vector<TiffPageTags> pages;
    TIFF *tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        return pages;
    do {
        TiffPageTags t;
        std::uint16_t v = 0;
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &v);
        t.compression = v;
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &v);
        t.photometric = v;
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &v);
        t.bits = v;
        t.strips = int(TIFFNumberOfStrips(tif));
        pages.push_back(t);
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return pages;
}

} // namespace arkavo::test
