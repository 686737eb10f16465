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

QStringList LocalFilesIn(const QMimeData *mime)
{
    QStringList files;
    if (!mime)
        return files;
    const auto addLocal = [&files](const QUrl &url) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files << url.toLocalFile();
    };
    if (mime->hasUrls()) {
        for (const QUrl &url : mime->urls())
            addLocal(url);
    }
    if (files.isEmpty() && mime->hasFormat(QString::fromLatin1(kGnomeFormat))) {
        // First line is "copy" or "cut", then one URL per line.
        const QList<QByteArray> lines = mime->data(QString::fromLatin1(kGnomeFormat)).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            if (!line.isEmpty())
                addLocal(QUrl::fromEncoded(line));
        }
    }
    return files;
}

bool PasteFilesFromClipboard(QStringList &list)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    list = clipboard ? LocalFilesIn(clipboard->mimeData()) : QStringList();
    return !list.isEmpty();
}
