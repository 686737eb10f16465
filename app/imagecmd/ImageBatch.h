#pragma once
// An image command over a list of page files: each page is loaded, processed, written
// back and given a new thumbnail on worker threads (at most one per core), while the
// caller takes the outcomes in list order and does its part for each page in turn, as if
// the pages were processed one after the other. The results are the same as the serial
// order's: no page depends on another.
#include "ImageOperation.h"

#include <QList>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct ImageBatchPage {
    QString pagePath;
    QString thumbnailPath;
};

enum class PageOutcome {
    NotLoaded,  // the page could not be read: left alone
    NoResult,   // the operation gave nothing (rejected the page, or nothing to change)
    Written,    // the page file and its thumbnail hold the result
    SaveFailed, // the result could not be written: the page file is as it was
    Blank,      // blank-page search: the page counts as blank
    NotBlank
};

// Thumbnail box of the page list.
constexpr int kThumbnailBoxWidth = 135;
constexpr int kThumbnailBoxHeight = 160;

// The whole work for one page, on the calling thread: the serial path.
PageOutcome ProcessPage(ImageOp op, const ImageOpParams &params, const ImageBatchPage &page);

class ImageBatch : public QObject {
    Q_OBJECT
public:
    // Threads 0 processes each page on the calling thread inside WaitFor (the serial
    // path); otherwise up to Threads workers run ahead of the caller, by a few pages at most.
    ImageBatch(ImageOp op, ImageOpParams params, QList<ImageBatchPage> pages, int threads);
    // Waits for the workers: the pages they had begun are finished, no new one is begun.
    ~ImageBatch() override;

    // Worker threads for this machine: one per core.
    static int DefaultThreads();

    int Count() const { return static_cast<int>(m_pages.size()); }
    // The outcome of page Index, which must follow the one asked for before. Events are
    // processed while waiting, so the window keeps painting.
    PageOutcome WaitFor(int index);

signals:
    // A worker finished a page (emitted on that worker's thread).
    void PageFinished();

private:
    void work();

    const ImageOp m_op;
    const ImageOpParams m_params;
    const QList<ImageBatchPage> m_pages;
    const int m_ahead; // pages begun beyond the one the caller waits for

    std::mutex m_mutex;
    std::condition_variable m_wake;     // workers: a page may be begun
    std::condition_variable m_finished; // the caller: a page is finished
    std::vector<std::optional<PageOutcome>> m_outcomes;
    int m_next = 0;   // the next page a worker takes
    int m_waited = 0; // the page the caller takes next
    bool m_stop = false;
    std::vector<std::thread> m_workers;
};
