#include "ThumbnailWorkers.h"

#include "BrowseText.h"
#include "Globals.h"
#include "PageImport.h"
#include "PageListView.h"

#include <QMetaObject>
#include <QThread>

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

bool TThumbnailWorkers::Start(const QString &pageFile, const QString &thumbFile, int row, quint64 tag)
{
    if (m_running.contains(pageFile))
        return false;
    m_running.insert(pageFile);
    const QString placeholder = AppPath + QStringLiteral("unknown-file.bmp");
    m_pool.start([this, pageFile, thumbFile, placeholder, row, tag] {
        QString file = thumbFile;
        if (!ThumbnailIsCurrent(pageFile, thumbFile) &&
            !MakeThumbnail(pageFile, thumbFile, nullptr, TPageListView::kThumbWidth,
                           TPageListView::kThumbHeight))
            file = placeholder;
        QImage picture(file);
        if (!picture.isNull())
            picture = FrameThumbnail(picture);
        // This object waits for every worker before it goes, so it is alive here; a call
        // still queued when it is destroyed is dropped with it.
        QMetaObject::invokeMethod(
            this,
            [this, pageFile, row, tag, picture] {
                m_running.remove(pageFile);
                emit Loaded(pageFile, row, tag, picture);
            },
            Qt::QueuedConnection);
    });
    return true;
}
