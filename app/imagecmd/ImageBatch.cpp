#include "ImageBatch.h"

#include "ImageFiles.h"
#include "PageImport.h"
#include "Quietly.h"
#include "codec.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

PageOutcome ProcessPage(ImageOp op, const ImageOpParams &params, const ImageBatchPage &page)
{
    return arkavo::QuietlyOr("image command page", PageOutcome::NotLoaded, [&] {
        if (const std::optional<JpegTurn> turn = JpegTurnOf(op)) {
            // A JPEG page is turned on its compressed data when that is exact, so that
            // turning it back and forth costs nothing.
            switch (TurnJpegFile(page.pagePath, *turn)) {
            case JpegTurnResult::Turned:
                MakeThumbnail(page.pagePath, page.thumbnailPath, nullptr, kThumbnailBoxWidth,
                              kThumbnailBoxHeight);
                return PageOutcome::Written;
            case JpegTurnResult::WriteFailed:
                return PageOutcome::SaveFailed;
            case JpegTurnResult::NotPossible:
                break;
            }
        }
        TCodecImage loaded{0, 0, nullptr};
        LoadFile(page.pagePath.toUtf8().constData(), &loaded, 0);
        const arkavo::GlobalBlock image(loaded.Dib);
        if (!image)
            return PageOutcome::NotLoaded;
        if (op == ImageOp::SearchBlankPage)
            return IsBlankForSearch(image.get(), params.settings) ? PageOutcome::Blank
                                                                  : PageOutcome::NotBlank;
        const arkavo::GlobalBlock result = RunImageOp(op, image.get(), params);
        if (!result)
            return PageOutcome::NoResult;
        TCodecImage out{loaded.XResolution, loaded.YResolution, result.get()};
        // A quarter turn swaps what was across the page with what was along it.
        if (op == ImageOp::RotateLeft90 || op == ImageOp::RotateRight90)
            std::swap(out.XResolution, out.YResolution);
        if (SaveImageFile(out, page.pagePath) != 1)
            return PageOutcome::SaveFailed;
        MakeThumbnail(page.pagePath, page.thumbnailPath, result.get(), kThumbnailBoxWidth,
                      kThumbnailBoxHeight);
        return PageOutcome::Written;
    });
}

ImageBatch::ImageBatch(ImageOp op, ImageOpParams params, QList<ImageBatchPage> pages, int threads)
    : m_op(op), m_params(std::move(params)), m_pages(std::move(pages)), m_ahead(2 * std::max(threads, 1)),
      m_outcomes(m_pages.size())
{
    for (int t = 0; t < std::min<int>(threads, m_pages.size()); ++t)
        m_workers.emplace_back([this] { work(); });
}

ImageBatch::~ImageBatch()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread &t : m_workers)
        t.join();
}

int ImageBatch::DefaultThreads()
{
    return std::max(1, int(std::thread::hardware_concurrency()));
}

void ImageBatch::work()
{
    // The window's own thread goes first, so that it keeps painting while the workers
    // keep every core busy.
    setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 5);
    for (;;) {
        int index;
        {
            std::unique_lock lock(m_mutex);
            // Pages are begun only a little ahead of the caller, which bounds the memory
            // held by pages whose outcome nobody has taken yet.
            m_wake.wait(lock, [&] { return m_stop || m_next >= Count() || m_next < m_waited + m_ahead; });
            if (m_stop || m_next >= Count())
                return;
            index = m_next++;
        }
        const PageOutcome outcome = ProcessPage(m_op, m_params, m_pages[index]);
        {
            std::lock_guard lock(m_mutex);
            m_outcomes[index] = outcome;
        }
        m_finished.notify_all();
        emit PageFinished();
    }
}

PageOutcome ImageBatch::WaitFor(int index)
{
    {
        std::lock_guard lock(m_mutex);
        m_waited = index;
    }
    m_wake.notify_all();
    if (m_workers.empty())
        return ProcessPage(m_op, m_params, m_pages[index]);
    if (!QCoreApplication::instance()) {
        // No event loop to keep going: just wait.
        std::unique_lock lock(m_mutex);
        m_finished.wait(lock, [&] { return m_outcomes[index].has_value(); });
        return *m_outcomes[index];
    }
    for (;;) {
        QEventLoop wait;
        connect(this, &ImageBatch::PageFinished, &wait, &QEventLoop::quit, Qt::QueuedConnection);
        {
            std::lock_guard lock(m_mutex);
            if (m_outcomes[index])
                return *m_outcomes[index];
        }
        wait.exec();
    }
}
