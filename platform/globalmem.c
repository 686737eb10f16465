#include "globalmem.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

/* Header in front of the caller's bytes; 32 bytes keep the data 16-byte aligned. */
typedef struct {
    uint64_t magic;
    size_t size;
    long locks;
    uint64_t pad;
} BlockHeader;

#define BLOCK_MAGIC 0x4B4C4230564B5241ull /* "ARKV0BLK" */
#define BLOCK_DEAD 0x444145444B4C4230ull

static BlockHeader *header_of(HGLOBAL h)
{
    BlockHeader *b = (BlockHeader *)h;
    if (!b || b->magic != BLOCK_MAGIC)
        return NULL;
    return b;
}

HGLOBAL GlobalAlloc(unsigned flags, size_t bytes)
{
    if (bytes > SIZE_MAX - sizeof(BlockHeader))
        return NULL;
    BlockHeader *b = (flags & GMEM_ZEROINIT) ? calloc(1, sizeof(BlockHeader) + bytes)
                                             : malloc(sizeof(BlockHeader) + bytes);
    if (!b)
        return NULL;
    b->magic = BLOCK_MAGIC;
    b->size = bytes;
    b->locks = 0;
    b->pad = 0;
    return b;
}

void *GlobalLock(HGLOBAL h)
{
    BlockHeader *b = header_of(h);
    if (!b)
        return NULL;
    b->locks++;
    return b + 1;
}

int GlobalUnlock(HGLOBAL h)
{
    BlockHeader *b = header_of(h);
    if (!b || b->locks <= 0)
        return 0;
    return --b->locks > 0;
}

size_t GlobalSize(HGLOBAL h)
{
    BlockHeader *b = header_of(h);
    return b ? b->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL h)
{
    if (!h)
        return NULL;
    BlockHeader *b = header_of(h);
    if (!b)
        return h;
    b->magic = BLOCK_DEAD;
    free(b);
    return NULL;
}
