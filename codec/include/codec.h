/* The codec layer: reading and writing page image files (TIFF, JPEG, BMP), writing
 * PDF files and measuring the skew of a page. File names are UTF-8.
 *
 * Pages are packed bottom-up DIBs in movable global memory blocks (see globalmem.h).
 * LoadFile always delivers them normalised: 1-bit pages with a two-entry palette,
 * entry 0 black and entry 1 white; 8-bit pages with a 256-entry grey ramp; 24-bit
 * pages without a palette. */
#ifndef ARKAVO_CODEC_H
#define ARKAVO_CODEC_H

#include <stdint.h>

#include "globalmem.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define ARKAVO_CODEC_API __attribute__((visibility("default")))
#else
#define ARKAVO_CODEC_API
#endif

typedef struct {
    int32_t XResolution; /* dots per inch */
    int32_t YResolution;
    HGLOBAL Dib; /* 0 = no image */
} TCodecImage;

/* Resolution given to pages whose file carries none. */
#define CODEC_DEFAULT_DPI 200

/* TIFF compression codes understood by SaveTIF. */
#define CODEC_TIFF_DEFAULT 0 /* G4 for 1-bit pages, uncompressed for grey and colour */
#define CODEC_TIFF_NONE 1
#define CODEC_TIFF_LZW 5
#define CODEC_TIFF_G4 4
#define CODEC_TIFF_JPEG 7
#define CODEC_TIFF_DEFLATE 8
#define CODEC_TIFF_PACKBITS 32773

/* Reads page `page` (0-based) of a TIFF, JPEG or BMP file, recognised by content.
 * Returns the file's page count and fills all three fields; the caller frees Dib.
 * On failure returns 0 and sets Dib to 0. */
ARKAVO_CODEC_API int LoadFile(const char *fileName, TCodecImage *image, int page);

/* LoadFile of page 0 for a thumbnail to fit boxWidth x boxHeight: a JPEG may come
 * decoded at 1/2 or 1/4 of its size, never below twice the box, and Thumbnail fits it
 * to the size of the whole page's thumbnail. The record keeps the file's resolution.
 * Not one of the six fixed entries. */
ARKAVO_CODEC_API int LoadFileForThumbnail(const char *fileName, TCodecImage *image, int boxWidth,
                                          int boxHeight);

/* The savers only read the record; 1 = written. Resolution comes from the record
 * (or the DIB header when the record holds none). A failed save leaves an existing
 * file as it was. 32-bit pages are written as 24-bit colour. JPEG quality is 80;
 * grey and bilevel pages become one-channel JPEGs. */
ARKAVO_CODEC_API int SaveJPG(const TCodecImage *image, const char *fileName);
ARKAVO_CODEC_API int SaveBMP(const TCodecImage *image, const char *fileName);
/* append 0 creates or replaces the file, 1 adds a page (creating the file when
 * missing; a failed append may leave unused bytes in the file, whose pages stay
 * readable). A compression that does not suit the page's depth, or an unknown code,
 * gives the library's choice. Bilevel pages are stored min-is-white, G4 in one strip. */
ARKAVO_CODEC_API int SaveTIF(const TCodecImage *image, const char *fileName, int compression, int append);

/* One PDF page per source file (the first page of each), sized from the image's
 * resolution. JPEG data and single-strip G4 data are embedded as they are stored,
 * other bilevel pages as G4, the rest with Flate. 1 = written; a source that cannot
 * be read fails the whole call and nothing is written. */
ARKAVO_CODEC_API int SavePDF(const char *outFile, const char *const *sources, int count);

/* How a file holds its first page, read from its headers alone, for callers that can
 * take the stored data as it is instead of decoding and encoding it again. Not one of
 * the six fixed entries. */
#define CODEC_FILE_TIFF 1
#define CODEC_FILE_JPEG 2
#define CODEC_FILE_BMP 3
typedef struct {
    int32_t Format;      /* CODEC_FILE_*; 0 for anything else */
    int32_t Pages;       /* TIFF directories; 1 for JPEG and BMP */
    int32_t BitCount;    /* bits per pixel of LoadFile's page 0 where the headers tell it:
                            8 or 24 for grey or colour JPEGs, 1 for a TIFF whose first page
                            is a single G4 strip; 0 when only decoding tells */
    int32_t Compression; /* CODEC_TIFF_G4 for such a TIFF, CODEC_TIFF_JPEG for a JPEG file;
                            0 otherwise */
} TCodecStoredPage;

/* 1 when the file was recognised (Format set), else 0 with every field 0. */
ARKAVO_CODEC_API int InspectFile(const char *fileName, TCodecStoredPage *info);

/* Adds page 0 of `source`, a TIFF whose first page is a single G4 strip (InspectFile
 * BitCount 1), to `fileName` with its G4 data unchanged; append as for SaveTIF. 1 =
 * written; 0 for any other source, and nothing is written. Not one of the six fixed
 * entries. */
ARKAVO_CODEC_API int CopyTIFPage(const char *fileName, const char *source, int append);

/* Skew of the page in degrees; rotating the page by the negated angle straightens
 * it. 0 for pages without enough text to tell, and for invalid input. */
ARKAVO_CODEC_API double GetAngle(HGLOBAL dib);

#ifdef __cplusplus
}
#endif

#endif
