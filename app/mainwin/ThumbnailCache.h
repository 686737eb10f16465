#pragma once
// The page list's thumbnail pictures in memory, by page file. A picture stands for its
// page only while the file there is the one it was made from. The cache holds a little
// more than 50 pictures, or one screenful when a screen shows more, and is emptied
// whole rather than trimmed: items then ask for their pictures again as they are shown.
#include "FileIdentity.h"

#include <QHash>
#include <QList>
#include <QPixmap>
#include <QString>

class TThumbnailCache {
public:
    static constexpr int kFlushAbove = 50;

    // Index of the picture for Path when it was made from the file Page, else -1.
    int Find(const QString &path, const FileIdentity &page) const;

    struct Added {
        int index;    // the picture's index in Pictures()
        bool flushed; // the cache was emptied first: every index handed out before is void
    };
    // Adds Picture for Path, made from the file Page. When the cache holds more than 50
    // pictures and more than Screenful, it is emptied first.
    Added Insert(const QString &path, const FileIdentity &page, const QPixmap &picture, int screenful);

    void Clear();
    int Size() const { return static_cast<int>(m_pictures.size()); }
    const QList<QPixmap> &Pictures() const { return m_pictures; }

private:
    struct Slot {
        FileIdentity page;
        int index;
    };
    QHash<QString, Slot> m_slots;
    QList<QPixmap> m_pictures;
};
