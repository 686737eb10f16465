// Thumbnails of the page list: the visible rows ask the workers for their pictures, which
// the cache keeps by page file and identity while the file is still the one they show.
#include "TForm1.h"

#include "FileIdentity.h"
#include "PageListView.h"
#include "TForm1Internal.h"
#include "TImageManager.h"
#include "ThumbnailCache.h"
#include "ThumbnailWorkers.h"

#include <QLabel>
#include <QTimer>

using namespace mainwin;

void TForm1::LoadVisibleThumbnails()
{
    // A hidden list (as while the store fills it) is asked again when it is shown.
    if (!ImageManager || !ListView1->isVisible())
        return;
    const int count = ListView1->count();
    const int height = ListView1->viewport()->height();
    auto rect = [this](int i) { return ListView1->visualItemRect(ListView1->item(i)); };
    // Items are placed row by row from the top, so the first visible one is found by halving.
    int first = 0;
    for (int hi = count; first < hi;) {
        const int mid = (first + hi) / 2;
        if (rect(mid).bottom() <= 0)
            first = mid + 1;
        else
            hi = mid;
    }
    int visible = 0;
    for (int i = first; i < count; ++i) {
        const QRect r = rect(i);
        if (r.top() >= height)
            break;
        if (r.bottom() <= 0)
            continue;
        ++visible;
        QListWidgetItem *item = ListView1->item(i);
        if (TPageListView::ImageIndex(item) != -1)
            continue;
        // Only pages the store listed have a page file to picture.
        const QString page = TPageListView::EntryOf(item).path;
        if (page.isEmpty() || m_thumbnails->IsRunning(page))
            continue;
        // Rows inserted again for pages that kept their files (renumbering) find their pictures here.
        const int cached = m_thumbnailCache->Find(page, FileIdentity::Of(page));
        if (cached >= 0) {
            showThumbnail(item, cached);
            continue;
        }
        if (m_thumbnails->Running() >= m_thumbnails->Capacity())
            continue; // asked again as soon as a worker is free
        m_thumbnails->Start(page, ImageManager->ThumbnailPathOf(page));
    }
    m_visibleItems = visible;
}

bool TForm1::ThumbnailsPending() const
{
    return m_thumbnails->Running() > 0 || m_thumbnailKick->isActive() || ListView1->VisibleRowsPending();
}

void TForm1::showThumbnail(QListWidgetItem *item, int index)
{
    const QPixmap &pixmap = m_thumbnailCache->Pictures().at(index);
    TPageListView::SetImageIndex(item, index);
    item->setIcon(QIcon(pixmap));
}

void TForm1::flushThumbnails()
{
    for (int k = 0; k < ListView1->count(); ++k) {
        QListWidgetItem *item = ListView1->item(k);
        if (TPageListView::ImageIndex(item) >= 0) {
            TPageListView::SetImageIndex(item, -1);
            item->setIcon(QIcon());
        }
    }
}

void TForm1::thumbnailLoaded(const QString &pageFile, const FileIdentity &page, const QImage &picture)
{
    m_thumbnailKick->start(); // the next visible items, once this one is placed
    // The picture is dropped when no item shows its page file any more, or when the file
    // there is no longer the one it was made from: renumbering gives the name to another
    // page. The item is then asked for again.
    QListWidgetItem *item = ListView1->item(ListView1->RowOf(pageFile));
    if (!item || TPageListView::ImageIndex(item) != -1 || FileIdentity::Of(pageFile) != page)
        return;
    if (picture.isNull()) {
        TPageListView::SetImageIndex(item, -2); // not tried again while listed
        return;
    }
    const QPixmap pixmap = QPixmap::fromImage(picture);
    Image1->setPixmap(pixmap);
    // On a screen showing more items than the cache normally holds it keeps one screenful,
    // so a still list never reloads.
    const TThumbnailCache::Added added = m_thumbnailCache->Insert(pageFile, page, pixmap, m_visibleItems);
    if (added.flushed)
        flushThumbnails();
    ImageList1->Images = m_thumbnailCache->Pictures();
    showThumbnail(item, added.index);
}
