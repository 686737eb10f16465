// JPEG through libjpeg-turbo. libjpeg reports fatal errors by longjmp back to the
// function that called setjmp; those functions keep their C++ objects in their own
// frame (never in the frames that are skipped) so nothing leaks.
#include "Codecs.h"
#include "Files.h"

#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <vector>

namespace arkavo::codec {

namespace {

struct JpegErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegErrors *>(cinfo->err)->jump, 1);
}

void onJpegMessage(j_common_ptr cinfo, int level)
{
    auto *errors = reinterpret_cast<JpegErrors *>(cinfo->err);
    // Data that ends early or runs into a marker would decode to grey filler with only
    // a warning; treat the file as broken and stop at once rather than fill a tall page.
    if (level >= 0 || (errors->pub.msg_code != JWRN_JPEG_EOF && errors->pub.msg_code != JWRN_HIT_MARKER))
        return;
    if (cinfo->is_decompressor) {
        // Missing only the end marker after the last row is harmless.
        auto *d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (d->output_height > 0 && d->output_scanline >= d->output_height)
            return;
    }
    std::longjmp(errors->jump, 1);
}

void silence(j_common_ptr) {}

void initErrors(JpegErrors &errors)
{
    jpeg_std_error(&errors.pub);
    errors.pub.error_exit = onJpegError;
    errors.pub.emit_message = onJpegMessage;
    errors.pub.output_message = silence;
}

// Refuses progressive files with absurd numbers of scans, which take minutes to decode.
void checkScans(j_common_ptr cinfo)
{
    auto *d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > 500)
        ERREXIT(cinfo, JERR_NOTIMPL);
}

int densityDpi(unsigned unit, unsigned density)
{
    if (density == 0)
        return 0;
    if (unit == 1)
        return int(density);
    if (unit == 2)
        return int(std::lround(density * 2.54));
    return 0;
}

constexpr int kQuality = 80;

// The larger of the decoder's reductions 1/4 and 1/2 that divides the page evenly and
// leaves it at least twice the box; 1 when there is none. Thumbnail then fits the reduced
// page to the same size as the whole one. A last row or column standing for part of a
// block would stretch the reduced page and shift every area mean, and 1/8 keeps only each
// block's mean, unclipped, which is up to three grey levels off on text pages.
unsigned reductionFor(JDIMENSION width, JDIMENSION height, const ThumbnailBox &box)
{
    for (unsigned denom : {4u, 2u})
        if (width % denom == 0 && height % denom == 0 && width / denom >= 2 * unsigned(box.width) &&
            height / denom >= 2 * unsigned(box.height))
            return denom;
    return 1;
}

} // namespace

int decodeJpeg(const std::uint8_t *data, std::size_t size, DecodedPage &out, std::uint64_t maxPixelBytes,
               const ThumbnailBox *box)
{
    if (!data || size < 4 || size > 0xFFFFFFFFu)
        return 0;
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    jpeg_progress_mgr progress;
    std::vector<std::uint8_t> cmyk; // filled only after setjmp's first return
    initErrors(errors);
    cinfo.err = &errors.pub;
    jpeg_create_decompress(&cinfo);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        out.dib = NewDib();
        return 0;
    }
    progress.progress_monitor = checkScans;
    cinfo.progress = &progress;
    cinfo.mem->max_memory_to_use = long(std::min<std::uint64_t>(maxPixelBytes * 2, 0x7FFFFFFF));
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        ERREXIT(&cinfo, JERR_NO_IMAGE);
    int depth = 24;
    if (cinfo.num_components == 1) {
        cinfo.out_color_space = JCS_GRAYSCALE;
        depth = 8;
    } else if (cinfo.num_components == 3) {
        cinfo.out_color_space = JCS_EXT_BGR;
    } else if (cinfo.num_components == 4) {
        cinfo.out_color_space = JCS_CMYK;
    } else {
        ERREXIT(&cinfo, JERR_BAD_J_COLORSPACE);
    }
    if (cinfo.saw_JFIF_marker) {
        out.xdpi = densityDpi(cinfo.density_unit, cinfo.X_density);
        out.ydpi = densityDpi(cinfo.density_unit, cinfo.Y_density);
    }
    if (cinfo.image_width > 0x7FFFFFFF || cinfo.image_height > 0x7FFFFFFF)
        ERREXIT(&cinfo, JERR_WIDTH_OVERFLOW);
    if (box && box->width > 0 && box->height > 0) {
        cinfo.scale_num = 1;
        cinfo.scale_denom = reductionFor(cinfo.image_width, cinfo.image_height, *box);
    }
    jpeg_calc_output_dimensions(&cinfo);
    out.dib = makeDib(int(cinfo.output_width), int(cinfo.output_height), depth, effectiveDpi(out.xdpi),
                      effectiveDpi(out.ydpi), maxPixelBytes);
    if (!out.dib.block)
        ERREXIT(&cinfo, JERR_WIDTH_OVERFLOW);
    jpeg_start_decompress(&cinfo);
    const bool inverted = cinfo.saw_Adobe_marker;
    if (cinfo.out_color_space == JCS_CMYK)
        cmyk.resize(std::size_t(cinfo.output_width) * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        std::uint8_t *dst = out.dib.row(int(cinfo.output_scanline));
        if (cmyk.empty()) {
            JSAMPROW row = dst;
            jpeg_read_scanlines(&cinfo, &row, 1);
            continue;
        }
        JSAMPROW row = cmyk.data();
        jpeg_read_scanlines(&cinfo, &row, 1);
        for (std::size_t x = 0; x < cinfo.output_width; ++x) {
            const std::uint8_t *p = cmyk.data() + 4 * x;
            int c = p[0], m = p[1], y = p[2], k = p[3];
            if (!inverted)
                c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
            dst[3 * x] = std::uint8_t(y * k / 255);
            dst[3 * x + 1] = std::uint8_t(m * k / 255);
            dst[3 * x + 2] = std::uint8_t(c * k / 255);
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return 1;
}

bool inspectJpeg(const std::uint8_t *data, std::size_t size, JpegInfo &info)
{
    if (!data || size < 4 || size > 0xFFFFFFFFu)
        return false;
    // The data goes into the PDF unchecked, so at least insist that it is complete.
    bool complete = false;
    for (std::size_t i = size - 2, stop = size > 256 ? size - 256 : 0; i > stop && !complete; --i)
        complete = data[i] == 0xFF && data[i + 1] == 0xD9;
    if (!complete)
        return false;
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    initErrors(errors);
    cinfo.err = &errors.pub;
    jpeg_create_decompress(&cinfo);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        ERREXIT(&cinfo, JERR_NO_IMAGE);
    // PDF readers handle 8-bit Huffman-coded JPEGs only.
    const bool usable =
        cinfo.data_precision == 8 && !cinfo.arith_code &&
        (cinfo.num_components == 1 || cinfo.num_components == 3 || cinfo.num_components == 4) &&
        cinfo.image_width > 0 && cinfo.image_height > 0;
    info.width = int(cinfo.image_width);
    info.height = int(cinfo.image_height);
    info.components = cinfo.num_components;
    info.adobeInverted = cinfo.num_components == 4 && cinfo.saw_Adobe_marker;
    if (cinfo.saw_JFIF_marker) {
        info.xdpi = densityDpi(cinfo.density_unit, cinfo.X_density);
        info.ydpi = densityDpi(cinfo.density_unit, cinfo.Y_density);
    }
    jpeg_destroy_decompress(&cinfo);
    return usable;
}

bool writeJpeg(const DibView &page, int xdpi, int ydpi, const char *fileName)
{
    PendingFile file(fileName);
    std::FILE *stream = file.ok() ? file.stream() : nullptr;
    if (!stream)
        return false;
    // Pages whose rows libjpeg cannot take as they are get converted into this row.
    std::vector<std::uint8_t> converted(std::size_t(page.width) * 3);

    jpeg_compress_struct cinfo;
    JpegErrors errors;
    initErrors(errors);
    cinfo.err = &errors.pub;
    jpeg_create_compress(&cinfo);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    const bool direct = (page.kind == PageKind::Grey && page.identityGrey) || page.kind == PageKind::Colour;
    const bool grey = page.kind == PageKind::Grey || page.kind == PageKind::Bilevel;
    jpeg_stdio_dest(&cinfo, stream);
    cinfo.image_width = JDIMENSION(page.width);
    cinfo.image_height = JDIMENSION(page.height);
    if (grey) {
        cinfo.input_components = 1;
        cinfo.in_color_space = JCS_GRAYSCALE;
    } else if (page.kind == PageKind::Indexed) {
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
    } else {
        cinfo.input_components = page.bits / 8;
        cinfo.in_color_space = page.bits == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
    }
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kQuality, TRUE);
    cinfo.write_JFIF_header = TRUE;
    cinfo.density_unit = 1;
    cinfo.X_density = UINT16(std::clamp(xdpi, 1, 65535));
    cinfo.Y_density = UINT16(std::clamp(ydpi, 1, 65535));
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        const std::uint8_t *src = page.row(y);
        JSAMPROW row = const_cast<JSAMPROW>(src);
        if (!direct) {
            std::uint8_t *dst = converted.data();
            if (page.kind == PageKind::Bilevel) {
                const std::uint8_t white = page.blackIsOne ? 0 : 1;
                for (int x = 0; x < page.width; ++x)
                    dst[x] = ((src[x / 8] >> (7 - x % 8)) & 1) == white ? 255 : 0;
            } else if (page.kind == PageKind::Grey) {
                for (int x = 0; x < page.width; ++x)
                    dst[x] = page.grey[src[x]];
            } else {
                for (int x = 0; x < page.width; ++x)
                    std::memcpy(dst + 3 * x, page.rgb[src[x]], 3);
            }
            row = dst;
        }
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return file.commit();
}

} // namespace arkavo::codec
