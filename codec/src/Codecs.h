#pragma once
// The decoders and encoders behind the exported functions. Decoders work on bytes in
// memory (a mapped file, or a fuzzer's input) and hand out normalised pages.
#include "Dib.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace arkavo::codec {

struct DecodedPage {
    NewDib dib;
    int xdpi = 0; // 0 when the file carries no resolution
    int ydpi = 0;
};

// The box a thumbnail of the page is to fit; a decoder given one may decode the page
// reduced, to a size that Thumbnail fits to the same size as the whole page.
struct ThumbnailBox {
    int width = 0;
    int height = 0;
};

// Each returns the file's page count (1 for JPEG and BMP) with `page` decoded into
// `out`, or 0 on any failure. Nothing is printed.
int decodeTiff(const std::uint8_t *data, std::size_t size, int page, DecodedPage &out,
               std::uint64_t maxPixelBytes = kMaxPixelBytes);
int decodeJpeg(const std::uint8_t *data, std::size_t size, DecodedPage &out,
               std::uint64_t maxPixelBytes = kMaxPixelBytes, const ThumbnailBox *box = nullptr);
int decodeBmp(const std::uint8_t *data, std::size_t size, DecodedPage &out,
              std::uint64_t maxPixelBytes = kMaxPixelBytes);

bool writeTiff(const DibView &page, int xdpi, int ydpi, const char *fileName, int compression, bool append);
bool writeJpeg(const DibView &page, int xdpi, int ydpi, const char *fileName);
bool writeBmp(const DibView &page, int xdpi, int ydpi, const char *fileName);

// CCITT G4 data of a bilevel page, as a PDF embeds it.
struct G4Data {
    int width = 0;
    int height = 0;
    int xdpi = 0;
    int ydpi = 0;
    bool blackIsZero = false; // coded "white" runs are the page's black (min-is-black files)
    const std::uint8_t *data = nullptr;
    std::size_t size = 0;
};
// The first page of a TIFF held as exactly one G4 strip, without re-encoding.
bool findG4Strip(const std::uint8_t *data, std::size_t size, G4Data &out);
// Writes a G4 strip as a TIFF page without decoding it; append as for writeTiff.
bool writeTiffG4(const G4Data &g4, const char *fileName, bool append);
// Directories in a TIFF; 0 when it cannot be read.
int tiffPageCount(const std::uint8_t *data, std::size_t size);
// Encodes a bilevel page to G4; `out.data` points into `storage`.
bool encodeG4(const DibView &page, std::vector<std::uint8_t> &storage, G4Data &out);

// Header facts of a JPEG as a PDF needs them.
struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0;
    bool adobeInverted = false; // Adobe CMYK JPEGs store inverted ink values
    int xdpi = 0;
    int ydpi = 0;
};
bool inspectJpeg(const std::uint8_t *data, std::size_t size, JpegInfo &info);

bool writePdf(const char *outFile, const char *const *sources, int count);

double measureSkew(const DibView &page);

// The resolution to record for a page: the file's, or the default when it has none.
int effectiveDpi(int dpi);

} // namespace arkavo::codec
