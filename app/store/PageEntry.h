#pragma once
// One page as the page list shows it: the file it belongs to, its place in that file and
// the page file itself.
#include <QList>
#include <QString>
#include <QStringList>

struct PageEntry {
    QString file;      // the file's name (IMAGENAME)
    int page = 0;      // 1-based page number
    int fileOrder = 0; // the file's IMAGEORDER
    QString ext;       // lower case, with the dot
    // Set by the store when it lists the page; empty for an item it did not make, whose
    // path the store then builds from what it shows.
    QString path;

    bool operator==(const PageEntry &) const = default;
};

// The page files of Pages, in their order.
inline QStringList PathsOf(const QList<PageEntry> &pages)
{
    QStringList paths;
    paths.reserve(pages.size());
    for (const PageEntry &page : pages)
        paths << page.path;
    return paths;
}
