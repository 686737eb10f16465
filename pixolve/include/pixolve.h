/* Pixolve: operations on page images held in global memory blocks.
 *
 * A page image is a packed bottom-up DIB: a 40-byte header, biClrUsed palette
 * entries (2 for 1-bit, 256 for 8-bit, none for 24/32-bit pages), then rows
 * padded to 4 bytes. Every function only reads its input blocks; a returned
 * handle is a new block that the caller frees with GlobalFree. Null means the
 * page was not accepted (unsupported depth or malformed block). */
#ifndef ARKAVO_PIXOLVE_H
#define ARKAVO_PIXOLVE_H

#include <stdint.h>

#include "globalmem.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define PIXOLVE_API __attribute__((visibility("default")))
#else
#define PIXOLVE_API
#endif

/* Rectangles from callers: right and bottom exclusive, y counted from the top row. */
typedef struct {
    int32_t left, top, right, bottom;
} RECT;

PIXOLVE_API HGLOBAL Rotate(HGLOBAL image, double angle, int cx, int cy, int interpolation);
PIXOLVE_API HGLOBAL RotateExpand(HGLOBAL image, double angle, int, int, int);
PIXOLVE_API HGLOBAL Mirror(HGLOBAL image);
PIXOLVE_API HGLOBAL Flip(HGLOBAL image);
PIXOLVE_API HGLOBAL Invert(HGLOBAL image);
PIXOLVE_API HGLOBAL AdjustBrightness(HGLOBAL image, int delta);
PIXOLVE_API HGLOBAL AdjustContrast(HGLOBAL image, int contrast);
PIXOLVE_API HGLOBAL AdjustBrightnessAndContrast(HGLOBAL image, int brightness, int contrast);
PIXOLVE_API HGLOBAL TextEffect(HGLOBAL image, int strength);
PIXOLVE_API HGLOBAL AddWaterMark(HGLOBAL page, HGLOBAL mark);
PIXOLVE_API HGLOBAL Crop(HGLOBAL image, RECT *rect, int mode, int margin); /* rect in/out */
PIXOLVE_API HGLOBAL RemoveBorder(HGLOBAL image, int threshold);
PIXOLVE_API HGLOBAL Fill(HGLOBAL image, const RECT *rect, int value);
PIXOLVE_API HGLOBAL Denoise(HGLOBAL image, int speckSize);
PIXOLVE_API int IsBlankPage(HGLOBAL image, int threshold);
PIXOLVE_API HGLOBAL Thumbnail(HGLOBAL image, int boxWidth, int boxHeight);

#ifdef __cplusplus
}
#endif

#endif
