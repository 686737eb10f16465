#pragma once
// Small helpers the store's files share: page names and extensions, directory text and
// the progress bar. Not part of the store's interface.
#include <QProgressBar>
#include <QString>
#include <QStringList>

#include <algorithm>

namespace storeinternal {

inline const QStringList &PageExts()
{
    static const QStringList exts = {".tif", ".jpg", ".bmp"};
    return exts;
}

inline bool IsPageExt(const QString &ext)
{
    return PageExts().contains(ext);
}

// Written out by hand: every listed page gets its path, and arg() costs more than the rest.
inline QString SevenDigits(int n)
{
    if (n < 0 || n > 9999999)
        return QString("%1").arg(n, 7, 10, QChar('0'));
    QString digits(7, u'0');
    for (qsizetype i = 6; n > 0; --i, n /= 10)
        digits[i] = QChar(u'0' + n % 10);
    return digits;
}

inline QString FiveDigits(int n)
{
    return QString("%1").arg(n, 5, 10, QChar('0'));
}

// Extension with its dot, as the last dot of the name starts it; empty without one.
inline QString ExtensionOf(const QString &path)
{
    const int slash = path.lastIndexOf('/');
    const int dot = path.lastIndexOf('.');
    return dot > slash ? path.mid(dot) : QString();
}

inline QString WithSlash(const QString &dir)
{
    return dir.endsWith('/') ? dir : dir + '/';
}

// Path with its first From (any case) replaced by To: a page directory's thumbnail twin.
inline QString MirrorOf(const QString &path, const QString &from, const QString &to)
{
    QString mirror = path;
    const int at = mirror.indexOf(from, 0, Qt::CaseInsensitive);
    if (at >= 0)
        mirror.replace(at, from.size(), to);
    return mirror;
}

inline void StartBar(QProgressBar *bar, int maximum)
{
    if (!bar)
        return;
    bar->setRange(0, std::max(0, maximum));
    bar->setValue(0);
}

inline void StepBar(QProgressBar *bar)
{
    if (bar)
        bar->setValue(std::min(bar->maximum(), bar->value() + 1));
}

} // namespace storeinternal
