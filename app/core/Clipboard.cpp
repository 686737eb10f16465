#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

namespace {
const char *const kGnomeFormat = "x-special/gnome-copied-files";
const char *const kKdeCutFormat = "application/x-kde-cutselection";
} // namespace

bool CopyFilesToClipboard(const QStringList &files)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard || files.isEmpty())
        return false;
    QList<QUrl> urls;
    QByteArray gnome("copy");
    for (const QString &f : files) {
        const QUrl url = QUrl::fromLocalFile(f);
        urls << url;
        gnome += '\n' + url.toEncoded();
    }
    auto *mime = new QMimeData;
    mime->setUrls(urls);
    mime->setData(QString::fromLatin1(kGnomeFormat), gnome);
    mime->setData(QString::fromLatin1(kKdeCutFormat), QByteArray("0"));
    clipboard->setMimeData(mime);
    return true;
}

bool PasteFilesFromClipboard(QStringList &list)
{
    list.clear();
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    const QMimeData *mime = clipboard->mimeData();
    if (!mime)
        return false;

    QList<QUrl> urls;
    if (mime->hasUrls()) {
        urls = mime->urls();
    } else if (mime->hasFormat(QString::fromLatin1(kGnomeFormat))) {
        // First line is "copy" or "cut", then one URL per line.
        const QList<QByteArray> lines = mime->data(QString::fromLatin1(kGnomeFormat)).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            if (!line.isEmpty())
                urls << QUrl::fromEncoded(line);
        }
    }
    for (const QUrl &url : urls) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            list << url.toLocalFile();
    }
    return !list.isEmpty();
}
