// TIFF through libtiff. Files are read from memory and written through a temporary
// file; libtiff's messages go to per-handle handlers that only note that an error
// happened.
#include "Codecs.h"
#include "Files.h"
#include "codec.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace arkavo::codec {

namespace {

struct TiffMessages {
    bool error = false;
};

int onTiffError(TIFF *, void *user, const char *, const char *, va_list)
{
    if (user)
        static_cast<TiffMessages *>(user)->error = true;
    return 1;
}

int onTiffWarning(TIFF *, void *, const char *, const char *, va_list)
{
    return 1;
}

struct OptionsDeleter {
    void operator()(TIFFOpenOptions *o) const { TIFFOpenOptionsFree(o); }
};
using Options = std::unique_ptr<TIFFOpenOptions, OptionsDeleter>;

Options makeOptions(TiffMessages &messages, std::uint64_t maxAlloc)
{
    Options opts(TIFFOpenOptionsAlloc());
    if (opts) {
        TIFFOpenOptionsSetErrorHandlerExtR(opts.get(), onTiffError, &messages);
        TIFFOpenOptionsSetWarningHandlerExtR(opts.get(), onTiffWarning, nullptr);
        TIFFOpenOptionsSetMaxSingleMemAlloc(opts.get(), tmsize_t(maxAlloc));
    }
    return opts;
}

struct TiffCloser {
    void operator()(TIFF *t) const { TIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// A TIFF in memory: read-only over caller's bytes, or growing in `sink`.
struct MemStream {
    const std::uint8_t *data = nullptr;
    std::size_t size = 0;
    std::vector<std::uint8_t> *sink = nullptr;
    std::uint64_t pos = 0;

    std::size_t length() const { return sink ? sink->size() : size; }
    const std::uint8_t *bytes() const { return sink ? sink->data() : data; }
};

tmsize_t memRead(thandle_t h, void *buf, tmsize_t n)
{
    auto *s = static_cast<MemStream *>(h);
    if (n <= 0 || s->pos >= s->length())
        return 0;
    const std::size_t count = std::min<std::uint64_t>(std::uint64_t(n), s->length() - s->pos);
    std::memcpy(buf, s->bytes() + s->pos, count);
    s->pos += count;
    return tmsize_t(count);
}

tmsize_t memWrite(thandle_t h, void *buf, tmsize_t n)
{
    auto *s = static_cast<MemStream *>(h);
    if (!s->sink || n < 0)
        return -1;
    const std::uint64_t end = s->pos + std::uint64_t(n);
    if (end > (std::uint64_t(1) << 31))
        return -1;
    if (end > s->sink->size())
        s->sink->resize(std::size_t(end));
    std::memcpy(s->sink->data() + s->pos, buf, std::size_t(n));
    s->pos = end;
    return n;
}

toff_t memSeek(thandle_t h, toff_t off, int whence)
{
    auto *s = static_cast<MemStream *>(h);
    std::int64_t base = whence == SEEK_CUR   ? std::int64_t(s->pos)
                        : whence == SEEK_END ? std::int64_t(s->length())
                                             : 0;
    const std::int64_t target = base + std::int64_t(off);
    if (target < 0 || target > (std::int64_t(1) << 40))
        return toff_t(-1);
    s->pos = std::uint64_t(target);
    return s->pos;
}

int memClose(thandle_t)
{
    return 0;
}
toff_t memSize(thandle_t h)
{
    return static_cast<MemStream *>(h)->length();
}

int memMap(thandle_t h, void **base, toff_t *size)
{
    auto *s = static_cast<MemStream *>(h);
    if (s->sink)
        return 0;
    *base = const_cast<std::uint8_t *>(s->data);
    *size = s->size;
    return 1;
}

void memUnmap(thandle_t, void *, toff_t) {}

TIFF *openMemory(MemStream &stream, const char *mode, TIFFOpenOptions *opts)
{
    return TIFFClientOpenExt("memory", mode, &stream, memRead, memWrite, memSeek, memClose, memSize, memMap,
                             memUnmap, opts);
}

int readDpi(TIFF *tif, ttag_t tag)
{
    float value = 0;
    std::uint16_t unit = RESUNIT_INCH;
    if (!TIFFGetField(tif, tag, &value))
        return 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    double dpi = value;
    if (unit == RESUNIT_CENTIMETER)
        dpi *= 2.54;
    else if (unit != RESUNIT_INCH)
        return 0;
    if (!std::isfinite(dpi) || dpi < 1 || dpi > 100000)
        return 0;
    return int(std::lround(dpi));
}

// Plain strips of 1-bit or 8-bit grey or 8-bit RGB, copied row by row into the page.
bool readStrips(TIFF *tif, PageKind kind, bool invert, NewDib &dib, int width, int height,
                std::uint64_t maxPixelBytes)
{
    const std::uint64_t scanline = std::uint64_t(TIFFScanlineSize64(tif));
    const std::uint64_t stripSize = std::uint64_t(TIFFStripSize64(tif));
    const std::uint64_t needed = kind == PageKind::Bilevel ? (std::uint64_t(width) + 7) / 8
                                 : kind == PageKind::Grey  ? std::uint64_t(width)
                                                           : std::uint64_t(width) * 3;
    if (scanline != needed || stripSize < scanline || stripSize > maxPixelBytes)
        return false;
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, std::uint32_t(height));
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(stripSize));
    const std::uint32_t strips = TIFFNumberOfStrips(tif);
    int y = 0;
    for (std::uint32_t s = 0; s < strips && y < height; ++s) {
        const int rows = int(std::min<std::uint32_t>(rowsPerStrip, std::uint32_t(height - y)));
        const tmsize_t expected = tmsize_t(std::uint64_t(rows) * scanline);
        if (std::uint64_t(expected) > stripSize ||
            TIFFReadEncodedStrip(tif, s, buffer.data(), expected) != expected)
            return false;
        for (int r = 0; r < rows; ++r, ++y) {
            const std::uint8_t *src = buffer.data() + std::size_t(r) * scanline;
            std::uint8_t *dst = dib.row(y);
            if (kind == PageKind::Colour) {
                for (int x = 0; x < width; ++x, src += 3, dst += 3) {
                    dst[0] = src[2];
                    dst[1] = src[1];
                    dst[2] = src[0];
                }
            } else if (invert) {
                copyInverted(dst, src, std::size_t(scanline));
            } else {
                std::memcpy(dst, src, scanline);
            }
            if (kind == PageKind::Bilevel)
                clearTailBits(dib.row(y), width);
        }
    }
    return y == height;
}

// Everything else goes through libtiff's RGBA reader, a band of rows at a time.
bool readRgba(TIFF *tif, PageKind kind, NewDib &dib, int width, int height)
{
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message))
        return false;
    TIFFRGBAImage img;
    if (!TIFFRGBAImageBegin(&img, tif, 0, message))
        return false;
    img.req_orientation = ORIENTATION_TOPLEFT;
    const int band = int(std::clamp<std::uint64_t>((std::uint64_t(1) << 22) / (std::uint64_t(width) * 4), 1,
                                                   std::uint64_t(height)));
    std::vector<std::uint32_t> raster(std::size_t(width) * std::size_t(band));
    bool ok = true;
    for (int y0 = 0; y0 < height && ok; y0 += band) {
        const int rows = std::min(band, height - y0);
        img.row_offset = y0;
        img.col_offset = 0;
        if (!TIFFRGBAImageGet(&img, raster.data(), std::uint32_t(width), std::uint32_t(rows))) {
            ok = false;
            break;
        }
        for (int r = 0; r < rows; ++r) {
            const std::uint32_t *src = raster.data() + std::size_t(r) * std::size_t(width);
            std::uint8_t *dst = dib.row(y0 + r);
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = src[x];
                int red = int(TIFFGetR(p)), green = int(TIFFGetG(p)), blue = int(TIFFGetB(p));
                if (img.alpha) {
                    // Colour values are premultiplied by now: lay the page on white paper.
                    const int paper = 255 - int(TIFFGetA(p));
                    red = std::min(255, red + paper), green = std::min(255, green + paper);
                    blue = std::min(255, blue + paper);
                }
                if (kind == PageKind::Colour) {
                    dst[3 * x] = std::uint8_t(blue);
                    dst[3 * x + 1] = std::uint8_t(green);
                    dst[3 * x + 2] = std::uint8_t(red);
                } else if (kind == PageKind::Grey) {
                    dst[x] = std::uint8_t(red);
                } else if (red >= 128) {
                    dst[x / 8] |= std::uint8_t(0x80 >> (x % 8));
                }
            }
        }
    }
    TIFFRGBAImageEnd(&img);
    return ok;
}

// The kind of page a directory becomes.
PageKind targetKind(TIFF *tif, std::uint16_t photometric, std::uint16_t bits, std::uint16_t samples)
{
    std::uint16_t extraCount = 0;
    std::uint16_t *extra = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    const int colourSamples = int(samples) - int(extraCount);
    if ((photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK) &&
        colourSamples <= 1)
        return bits == 1 ? PageKind::Bilevel : PageKind::Grey;
    if (photometric == PHOTOMETRIC_PALETTE && bits <= 16) {
        std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b))
            return PageKind::Colour;
        for (int i = 0; i < (1 << bits); ++i)
            if (r[i] != g[i] || g[i] != b[i])
                return PageKind::Colour;
        return bits == 1 ? PageKind::Bilevel : PageKind::Grey;
    }
    return PageKind::Colour;
}

bool decodeDirectory(TIFF *tif, DecodedPage &out, std::uint64_t maxPixelBytes)
{
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 1, samples = 1, photometric = 0, planar = PLANARCONFIG_CONTIG, compression = 1;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height))
        return false;
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return false;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE;

    const PageKind kind = targetKind(tif, photometric, bits, samples);
    const int depth = kind == PageKind::Bilevel ? 1 : kind == PageKind::Grey ? 8 : 24;
    out.xdpi = readDpi(tif, TIFFTAG_XRESOLUTION);
    out.ydpi = readDpi(tif, TIFFTAG_YRESOLUTION);
    if (!out.xdpi)
        out.xdpi = out.ydpi;
    if (!out.ydpi)
        out.ydpi = out.xdpi;
    out.dib = makeDib(int(width), int(height), depth, effectiveDpi(out.xdpi), effectiveDpi(out.ydpi),
                      maxPixelBytes);
    if (!out.dib.block)
        return false;

    const bool grey = photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
    const bool contig = planar == PLANARCONFIG_CONTIG || samples == 1;
    bool plain = !TIFFIsTiled(tif) && contig && bits == (kind == PageKind::Bilevel ? 1 : 8);
    if (kind == PageKind::Bilevel || kind == PageKind::Grey) {
        plain = plain && grey && samples == 1;
    } else if (photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG && samples == 3) {
        // libjpeg converts to RGB for us, so the strips read as plain RGB.
        plain = plain && TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    } else {
        plain = plain && photometric == PHOTOMETRIC_RGB && samples == 3;
    }
    if (plain)
        return readStrips(tif, kind, photometric == PHOTOMETRIC_MINISWHITE, out.dib, int(width), int(height),
                          maxPixelBytes);
    return readRgba(tif, kind, out.dib, int(width), int(height));
}

// Bytes of one TIFF row of the page in the layout writeTiff chose.
void packRow(const DibView &v, int y, std::uint8_t *dst)
{
    const std::uint8_t *src = v.row(y);
    switch (v.kind) {
    case PageKind::Bilevel: {
        const int bytes = (v.width + 7) / 8;
        if (v.blackIsOne)
            std::memcpy(dst, src, std::size_t(bytes));
        else
            copyInverted(dst, src, std::size_t(bytes));
        clearTailBits(dst, v.width);
        break;
    }
    case PageKind::Grey:
        if (v.identityGrey) {
            std::memcpy(dst, src, std::size_t(v.width));
        } else {
            for (int x = 0; x < v.width; ++x)
                dst[x] = v.grey[src[x]];
        }
        break;
    case PageKind::Indexed:
        std::memcpy(dst, src, std::size_t(v.width));
        break;
    case PageKind::Colour: {
        const int step = v.bits / 8;
        for (int x = 0; x < v.width; ++x, src += step, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
        break;
    }
    }
}

// Grey and colour pages are stored raw by default: on noisy A4 scans even the fastest
// Deflate takes 100 ms or more a page for a third off the size, more than the scan
// pipeline can spend on a page, and PackBits gains nothing on them.
int chooseCompression(PageKind kind, int requested)
{
    const int fallback = kind == PageKind::Bilevel ? COMPRESSION_CCITTFAX4 : COMPRESSION_NONE;
    switch (requested) {
    case COMPRESSION_NONE:
    case COMPRESSION_LZW:
    case COMPRESSION_PACKBITS:
        return requested;
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        return COMPRESSION_ADOBE_DEFLATE;
    case COMPRESSION_CCITTFAX4:
        return kind == PageKind::Bilevel ? requested : fallback;
    case COMPRESSION_JPEG:
        return kind == PageKind::Grey || kind == PageKind::Colour ? requested : fallback;
    default:
        return fallback;
    }
}

constexpr int kJpegQuality = 80;

// Writes the page as the current directory of an open TIFF.
bool writeDirectory(TIFF *tif, const DibView &v, int xdpi, int ydpi, int requested)
{
    const int compression = chooseCompression(v.kind, requested);
    const bool colour = v.kind == PageKind::Colour;
    const std::uint16_t bits = v.kind == PageKind::Bilevel ? 1 : 8;
    const std::uint16_t samples = colour ? 3 : 1;
    std::uint16_t photometric = v.kind == PageKind::Bilevel   ? PHOTOMETRIC_MINISWHITE
                                : v.kind == PageKind::Grey    ? PHOTOMETRIC_MINISBLACK
                                : v.kind == PageKind::Indexed ? PHOTOMETRIC_PALETTE
                                                              : PHOTOMETRIC_RGB;
    if (colour && compression == COMPRESSION_JPEG)
        photometric = PHOTOMETRIC_YCBCR;

    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(v.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(v.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, std::uint16_t(compression));
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(xdpi));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(ydpi));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (v.kind == PageKind::Indexed) {
        std::vector<std::uint16_t> map(3 * 256);
        for (int i = 0; i < 256; ++i)
            for (int c = 0; c < 3; ++c)
                map[std::size_t(c * 256 + i)] = std::uint16_t(v.rgb[i][c] * 257);
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + 256, map.data() + 512);
    }
    if (compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, kJpegQuality);
        if (colour) {
            TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        }
    }
    if ((compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_LZW) &&
        v.kind != PageKind::Indexed && v.kind != PageKind::Bilevel)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);

    const std::size_t scanline = std::size_t(TIFFScanlineSize64(tif));
    // G4 pages go in one strip so that they can be copied into PDFs as they are.
    std::uint32_t rowsPerStrip = std::uint32_t(v.height);
    if (compression != COMPRESSION_CCITTFAX4) {
        rowsPerStrip = std::uint32_t(
            std::max<std::size_t>(1, (std::size_t(1) << 18) / std::max<std::size_t>(scanline, 1)));
        if (compression == COMPRESSION_JPEG)
            rowsPerStrip = (rowsPerStrip + 15) / 16 * 16;
        rowsPerStrip = std::min(rowsPerStrip, std::uint32_t(v.height));
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    if (scanline == 0)
        return false;

    std::vector<std::uint8_t> strip(scanline * rowsPerStrip);
    std::uint32_t s = 0;
    for (int y = 0; y < v.height; y += int(rowsPerStrip), ++s) {
        const int rows = std::min(int(rowsPerStrip), v.height - y);
        for (int r = 0; r < rows; ++r)
            packRow(v, y + r, strip.data() + std::size_t(r) * scanline);
        if (TIFFWriteEncodedStrip(tif, s, strip.data(), tmsize_t(std::size_t(rows) * scanline)) < 0)
            return false;
    }
    return TIFFWriteDirectory(tif) != 0;
}

bool isNonEmptyFile(const char *path)
{
    struct stat st {};
    return ::stat(path, &st) == 0 && st.st_size > 0;
}

} // namespace

int decodeTiff(const std::uint8_t *data, std::size_t size, int page, DecodedPage &out,
               std::uint64_t maxPixelBytes)
{
    if (!data || size < 8 || page < 0)
        return 0;
    TiffMessages messages;
    Options opts = makeOptions(messages, maxPixelBytes);
    MemStream stream{data, size, nullptr, 0};
    TiffPtr tif(openMemory(stream, "r", opts.get()));
    if (!tif)
        return 0;
    const tdir_t pages = TIFFNumberOfDirectories(tif.get());
    if (pages == 0 || pages > 0x7FFFFFFF || tdir_t(page) >= pages)
        return 0;
    // The first directory is already read; reading it again costs as much as a small page.
    if (page > 0 && !TIFFSetDirectory(tif.get(), tdir_t(page)))
        return 0;
    if (!decodeDirectory(tif.get(), out, maxPixelBytes) || messages.error) {
        out.dib = NewDib();
        return 0;
    }
    return int(pages);
}

namespace {

// Creates or replaces the file with one page, or adds a page to it; WritePage writes it.
template <typename WritePage> bool writeTiffFile(const char *fileName, bool append, WritePage writePage)
{
    TiffMessages messages;
    Options opts = makeOptions(messages, kMaxPixelBytes);
    if (append && isNonEmptyFile(fileName)) {
        // Appending works on the file itself; the pages already in it stay readable
        // even when this one fails, since the new directory is linked in last.
        TiffPtr tif(TIFFOpenExt(fileName, "a", opts.get()));
        if (!tif)
            return false;
        const bool ok = writePage(tif.get());
        tif.reset();
        return ok && !messages.error;
    }
    PendingFile file(fileName);
    if (!file.ok())
        return false;
    const std::string tempPath = file.path();
    TiffPtr tif(TIFFFdOpenExt(file.takeFd(), tempPath.c_str(), "w", opts.get()));
    if (!tif)
        return false;
    const bool ok = writePage(tif.get());
    tif.reset();
    return ok && !messages.error && file.commit();
}

// A bilevel page from its G4 strip as it is: the same tags the encoder writes.
bool writeG4Directory(TIFF *tif, const G4Data &g4)
{
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(g4.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(g4.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, std::uint16_t(1));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, std::uint16_t(1));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, g4.blackIsZero ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, std::uint16_t(COMPRESSION_CCITTFAX4));
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(effectiveDpi(g4.xdpi)));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(effectiveDpi(g4.ydpi)));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, std::uint32_t(g4.height));
    if (TIFFWriteRawStrip(tif, 0, const_cast<std::uint8_t *>(g4.data), tmsize_t(g4.size)) < 0)
        return false;
    return TIFFWriteDirectory(tif) != 0;
}

} // namespace

bool writeTiff(const DibView &page, int xdpi, int ydpi, const char *fileName, int compression, bool append)
{
    return writeTiffFile(fileName, append,
                         [&](TIFF *tif) { return writeDirectory(tif, page, xdpi, ydpi, compression); });
}

bool writeTiffG4(const G4Data &g4, const char *fileName, bool append)
{
    return writeTiffFile(fileName, append, [&](TIFF *tif) { return writeG4Directory(tif, g4); });
}

int tiffPageCount(const std::uint8_t *data, std::size_t size)
{
    TiffMessages messages;
    Options opts = makeOptions(messages, kMaxPixelBytes);
    MemStream stream{data, size, nullptr, 0};
    TiffPtr tif(openMemory(stream, "r", opts.get()));
    if (!tif)
        return 0;
    const tdir_t pages = TIFFNumberOfDirectories(tif.get());
    return pages > 0x7FFFFFFF ? 0 : int(pages);
}

bool findG4Strip(const std::uint8_t *data, std::size_t size, G4Data &out)
{
    TiffMessages messages;
    Options opts = makeOptions(messages, kMaxPixelBytes);
    MemStream stream{data, size, nullptr, 0};
    TiffPtr tif(openMemory(stream, "r", opts.get()));
    if (!tif)
        return false;
    std::uint32_t width = 0, height = 0, t6 = 0;
    std::uint16_t bits = 1, samples = 1, photometric = 0, compression = 0, fill = FILLORDER_MSB2LSB;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_FILLORDER, &fill);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) ||
        !TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric))
        return false;
    if (compression != COMPRESSION_CCITTFAX4 || bits != 1 || samples != 1 || fill != FILLORDER_MSB2LSB ||
        TIFFIsTiled(tif.get()) || TIFFNumberOfStrips(tif.get()) != 1 ||
        (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK))
        return false;
    if (TIFFGetField(tif.get(), TIFFTAG_GROUP4OPTIONS, &t6) && t6 != 0)
        return false;
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return false;
    int err = 0;
    const std::uint64_t offset = TIFFGetStrileOffsetWithErr(tif.get(), 0, &err);
    const std::uint64_t count = TIFFGetStrileByteCountWithErr(tif.get(), 0, &err);
    if (err || count == 0 || offset > size || count > size - offset || messages.error)
        return false;
    out.width = int(width);
    out.height = int(height);
    out.xdpi = readDpi(tif.get(), TIFFTAG_XRESOLUTION);
    out.ydpi = readDpi(tif.get(), TIFFTAG_YRESOLUTION);
    out.blackIsZero = photometric == PHOTOMETRIC_MINISBLACK;
    out.data = data + offset;
    out.size = std::size_t(count);
    return true;
}

bool encodeG4(const DibView &page, std::vector<std::uint8_t> &storage, G4Data &out)
{
    if (page.kind != PageKind::Bilevel)
        return false;
    TiffMessages messages;
    Options opts = makeOptions(messages, kMaxPixelBytes);
    storage.clear();
    {
        MemStream sink{nullptr, 0, &storage, 0};
        TiffPtr tif(openMemory(sink, "w", opts.get()));
        if (!tif || !writeDirectory(tif.get(), page, effectiveDpi(page.xdpi), effectiveDpi(page.ydpi),
                                    COMPRESSION_CCITTFAX4))
            return false;
    }
    return !messages.error && findG4Strip(storage.data(), storage.size(), out);
}

int effectiveDpi(int dpi)
{
    return dpi > 0 ? dpi : CODEC_DEFAULT_DPI;
}

} // namespace arkavo::codec
