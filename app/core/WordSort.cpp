#include "WordSort.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

bool isIgnored(QChar c)
{
    return c == u'-' || c == u'\'';
}

// Primary weight of a character: class in the high bits, folded code below.
unsigned weight(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return (1u << 20) | u;
    if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z'))
        return (2u << 20) | (u | 0x20);
    if (u < 0x80)
        return (0u << 20) | u; // punctuation and blanks, the period among them
    return (3u << 20) | c.toCaseFolded().unicode();
}

int comparePrimary(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    const qsizetype na = a.size(), nb = b.size();
    for (;;) {
        while (i < na && isIgnored(a[i]))
            ++i;
        while (j < nb && isIgnored(b[j]))
            ++j;
        if (i == na || j == nb)
            return (i == na ? 0 : 1) - (j == nb ? 0 : 1);
        const unsigned wa = weight(a[i]), wb = weight(b[j]);
        if (wa != wb)
            return wa < wb ? -1 : 1;
        ++i;
        ++j;
    }
}

int compareTies(const QString &a, const QString &b)
{
    // Equal but for hyphens, apostrophes or case: the plain form first, then code order.
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype k = 0; k < n; ++k) {
        const unsigned wa = isIgnored(a[k]) ? 0 : weight(a[k]) + 1;
        const unsigned wb = isIgnored(b[k]) ? 0 : weight(b[k]) + 1;
        if (wa != wb)
            return wa > wb ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return QString::compare(a, b, Qt::CaseSensitive);
}

} // namespace

int WordSortCompare(const QString &a, const QString &b)
{
    const int p = comparePrimary(a, b);
    if (p != 0)
        return p;
    const int t = compareTies(a, b);
    return t < 0 ? -1 : (t > 0 ? 1 : 0);
}

void ListFiles(const QString &pattern, int attributes, QStringList &list)
{
    const QFileInfo info(pattern);
    QDir dir(info.path());
    QDir::Filters filters = QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    if (attributes & faArchive)
        filters |= QDir::Files;
    if (attributes & faDirectory)
        filters |= QDir::Dirs;
    const QStringList found = dir.entryList(QStringList{info.fileName()}, filters, QDir::Unsorted);
    if (found.isEmpty())
        return;

    list.append(found);
    const auto less = [](const QString &x, const QString &y) { return WordSortCompare(x, y) < 0; };
    std::stable_sort(list.begin(), list.end(), less);
    list.erase(std::unique(list.begin(), list.end()), list.end());
}
