#include "globalmem.h"

#include <pthread.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>

/* Header in front of the caller's bytes; 32 bytes keep the data 16-byte aligned. */
typedef struct {
    uint64_t magic;
    size_t size;
    long locks;
    size_t mapped; /* bytes mapped for a page block, 0 for a malloc one */
} BlockHeader;

#define BLOCK_MAGIC 0x4B4C4230564B5241ull /* "ARKV0BLK" */
#define BLOCK_DEAD 0x444145444B4C4230ull

/* Page images are mapped directly and a few freed ones are kept mapped: touching fresh
 * memory costs a page fault per 4 KiB, as much as decoding the page into it. Under the
 * address sanitizer every block comes from malloc so that use after free is caught. */
#if defined(__SANITIZE_ADDRESS__)
#define KEEP_PAGE_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KEEP_PAGE_BLOCKS 0
#endif
#endif
#ifndef KEEP_PAGE_BLOCKS
#define KEEP_PAGE_BLOCKS 1
#endif

#if KEEP_PAGE_BLOCKS

enum {
    PAGE_BLOCK_MIN = 1 << 20, /* a 1-bit A4 page at 300 dpi and up */
    KEPT_SLOTS = 8,
};
/* Four A4 colour pages at 300 dpi. */
#define KEPT_BYTES_MAX ((size_t)112 << 20)

static struct {
    pthread_mutex_t mutex;
    BlockHeader *blocks[KEPT_SLOTS]; /* oldest first */
    int count;
    size_t bytes;
} kept = {PTHREAD_MUTEX_INITIALIZER, {0}, 0, 0};

/* Eight size classes per power of two, so that pages a little larger than the one
 * freed (after a crop or a rotation) still fit in its block. */
static size_t mapped_size(size_t total)
{
    int top = 63 - __builtin_clzll((unsigned long long)total);
    size_t step = ((size_t)1 << top) / 8;
    if (step < 4096)
        step = 4096;
    if (total > SIZE_MAX - step)
        return 0;
    return (total + step - 1) / step * step;
}

/* The smallest kept block that holds `total` bytes without wasting half of it. */
static BlockHeader *take_kept(size_t total)
{
    BlockHeader *found = NULL;
    pthread_mutex_lock(&kept.mutex);
    int best = -1;
    for (int i = 0; i < kept.count; ++i) {
        size_t m = kept.blocks[i]->mapped;
        if (m >= total && m - total <= total / 2 && (best < 0 || m < kept.blocks[best]->mapped))
            best = i;
    }
    if (best >= 0) {
        found = kept.blocks[best];
        kept.bytes -= found->mapped;
        memmove(&kept.blocks[best], &kept.blocks[best + 1],
                sizeof kept.blocks[0] * (size_t)(kept.count - best - 1));
        kept.count--;
    }
    pthread_mutex_unlock(&kept.mutex);
    return found;
}

/* Keeps a freed block, dropping the oldest ones when the cache is full. */
static void keep_or_unmap(BlockHeader *b)
{
    BlockHeader *dropped[KEPT_SLOTS + 1];
    int drops = 0;
    pthread_mutex_lock(&kept.mutex);
    if (b->mapped > KEPT_BYTES_MAX) {
        dropped[drops++] = b;
    } else {
        while (kept.count > 0 && (kept.count == KEPT_SLOTS || kept.bytes + b->mapped > KEPT_BYTES_MAX)) {
            dropped[drops++] = kept.blocks[0];
            kept.bytes -= kept.blocks[0]->mapped;
            memmove(&kept.blocks[0], &kept.blocks[1], sizeof kept.blocks[0] * (size_t)(kept.count - 1));
            kept.count--;
        }
        kept.blocks[kept.count++] = b;
        kept.bytes += b->mapped;
    }
    pthread_mutex_unlock(&kept.mutex);
    for (int i = 0; i < drops; ++i)
        munmap(dropped[i], dropped[i]->mapped);
}

static BlockHeader *alloc_page_block(unsigned flags, size_t total)
{
    BlockHeader *b = take_kept(total);
    if (b) {
        if (flags & GMEM_ZEROINIT)
            memset(b + 1, 0, total - sizeof(BlockHeader));
        return b;
    }
    const size_t mapped = mapped_size(total);
    if (!mapped)
        return NULL;
    void *p = mmap(NULL, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return NULL;
    b = (BlockHeader *)p; /* fresh mappings are zero-filled */
    b->mapped = mapped;
    return b;
}

#endif

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
    const size_t total = sizeof(BlockHeader) + bytes;
    BlockHeader *b = NULL;
#if KEEP_PAGE_BLOCKS
    if (total >= PAGE_BLOCK_MIN) {
        b = alloc_page_block(flags, total);
        if (!b)
            return NULL;
    }
#endif
    if (!b) {
        b = (flags & GMEM_ZEROINIT) ? calloc(1, total) : malloc(total);
        if (!b)
            return NULL;
        b->mapped = 0;
    }
    b->magic = BLOCK_MAGIC;
    b->size = bytes;
    b->locks = 0;
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
#if KEEP_PAGE_BLOCKS
    if (b->mapped) {
        keep_or_unmap(b);
        return NULL;
    }
#endif
    free(b);
    return NULL;
}
