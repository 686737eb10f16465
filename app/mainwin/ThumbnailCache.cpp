#include "ThumbnailCache.h"

#include <algorithm>

int TThumbnailCache::Find(const QString &path, const FileIdentity &page) const
{
    const auto it = m_slots.constFind(path);
    return it != m_slots.constEnd() && page.Exists && it->page == page ? it->index : -1;
}

TThumbnailCache::Added TThumbnailCache::Insert(const QString &path, const FileIdentity &page,
                                               const QPixmap &picture, int screenful)
{
    const bool flush = Size() > std::max(kFlushAbove, screenful);
    if (flush)
        Clear();
    // An earlier picture of the same path stays in the list, where items may still point
    // to it, until the next flush.
    m_pictures.append(picture);
    m_slots.insert(path, {page, Size() - 1});
    return {Size() - 1, flush};
}

void TThumbnailCache::Clear()
{
    m_slots.clear();
    m_pictures.clear();
}
