#include "ThumbnailWorkers.h"

#include "BrowseText.h"
#include "Globals.h"
#include "PageImport.h"
#include "PageListView.h"

#include <QFile>
#include <QImageReader>
#include <QMetaObject>
#include <QThread>

#include <sys/stat.h>

namespace {

// ThumbFile's picture when it is dated exactly like Page, else null. The date is read from
// the file opened, so a thumbnail renamed away in between is never taken for this one.
QImage readThumbnail(const QString &thumbFile, const FileIdentity &page)
{
    QFile file(thumbFile);
    struct stat st {};
    if (!file.open(QIODevice::ReadOnly) || ::fstat(file.handle(), &st) != 0 ||
        st.st_mtim.tv_sec != page.ModifiedSec || st.st_mtim.tv_nsec != page.ModifiedNsec)
        return {};
    QImageReader reader(&file);
    return reader.read();
}

} // namespace

TThumbnailWorkers::TThumbnailWorkers(QObject *parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    m_pool.setExpiryTimeout(5000);
}

TThumbnailWorkers::~TThumbnailWorkers()
{
    WaitForDone();
}

void TThumbnailWorkers::WaitForDone()
{
    m_pool.clear();
    m_pool.waitForDone();
}

bool TThumbnailWorkers::Start(const QString &pageFile, const QString &thumbFile)
{
    if (m_running.contains(pageFile))
        return false;
    m_running.insert(pageFile);
    const QString placeholder = ResourcePath + QStringLiteral("unknown-file.bmp");
    m_pool.start([this, pageFile, thumbFile, placeholder] {
        FileIdentity page = FileIdentity::Of(pageFile);
        QImage picture;
        if (page.Exists)
            picture = readThumbnail(thumbFile, page);
        if (picture.isNull()) {
            if (MakeThumbnail(pageFile, thumbFile, nullptr, TPageListView::kThumbWidth,
                              TPageListView::kThumbHeight, &page))
                picture = readThumbnail(thumbFile, page);
            else
                picture = QImage(placeholder);
        }
        if (!picture.isNull())
            picture = FrameThumbnail(picture);
        // This object waits for every worker before it goes, so it is alive here; a call
        // still queued when it is destroyed is dropped with it.
        QMetaObject::invokeMethod(
            this,
            [this, pageFile, page, picture] {
                m_running.remove(pageFile);
                emit Loaded(pageFile, page, picture);
            },
            Qt::QueuedConnection);
    });
    return true;
}
