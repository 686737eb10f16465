/* Movable global memory blocks. Blocks never actually move; a handle is valid
 * until GlobalFree and GlobalLock always returns the same address for it. */
#ifndef ARKAVO_GLOBALMEM_H
#define ARKAVO_GLOBALMEM_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void *HGLOBAL;

#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND 0x0042

#if defined(__GNUC__)
#define ARKAVO_GLOBALMEM_API __attribute__((visibility("default")))
#else
#define ARKAVO_GLOBALMEM_API
#endif

/* A new block of the given size; zero-filled with GMEM_ZEROINIT. NULL on failure. */
ARKAVO_GLOBALMEM_API HGLOBAL GlobalAlloc(unsigned flags, size_t bytes);
/* The block's memory; NULL for a NULL or foreign handle. */
ARKAVO_GLOBALMEM_API void *GlobalLock(HGLOBAL h);
/* Nonzero while the block stays locked after this call. */
ARKAVO_GLOBALMEM_API int GlobalUnlock(HGLOBAL h);
/* The size asked for at allocation; 0 for a NULL or foreign handle. */
ARKAVO_GLOBALMEM_API size_t GlobalSize(HGLOBAL h);
/* Frees the block. NULL on success (and for NULL); the handle itself on failure. */
ARKAVO_GLOBALMEM_API HGLOBAL GlobalFree(HGLOBAL h);

#ifdef __cplusplus
}
#endif

#endif
