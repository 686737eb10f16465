#pragma once
// Reads the pages of one batch from an opened device on its own thread and hands
// each finished page to the GUI thread while the next one is being read.
#include "SaneDevice.h"

#include <QObject>
#include <QSemaphore>

#include <atomic>
#include <functional>
#include <memory>

namespace arkavo::capteon {

class ScanWorker : public QObject {
    Q_OBJECT
public:
    // Runs before each sheet is started, on the worker thread, with the number of
    // pages read so far. Lets diagnostics change device options between sheets.
    using SheetHook = std::function<void(int pagesRead, SaneDevice &device)>;

    ScanWorker(std::unique_ptr<SaneDevice> device, bool feeder, int xDpi, int yDpi, SheetHook hook = {});
    ~ScanWorker() override;

    // The batch itself; call on the worker thread. Ends with finished().
    void run();

    // Stops before the next sheet. A feeder's sheet being read is read to its end and
    // sent, a flatbed scan is abandoned; a page already read is still sent. Any thread.
    void requestCancel() { m_cancel = true; }
    // The GUI thread is done with a delivered page; frees a place in the queue.
    void pageConsumed() { m_slots.release(); }

    // Valid after finished().
    const QString &errorText() const { return m_error; }
    bool cancelled() const { return m_cancelled; }
    int pagesRead() const { return m_pagesRead; }

signals:
    // Ownership of the page block passes to the receiver. Every page read is sent,
    // also after a cancel.
    void pageReady(quintptr page);
    void progress(int sheet, int percent);
    void finished();

private:
    void readPages();
    bool deliver(GlobalBlock page);
    [[noreturn]] void fail(const QString &reason) const;

    std::unique_ptr<SaneDevice> m_device;
    bool m_feeder;
    int m_xDpi;
    int m_yDpi;
    SheetHook m_hook;
    std::atomic<bool> m_cancel{false};
    QSemaphore m_slots{3}; // pages read ahead of the GUI thread, at most
    QString m_error;
    bool m_cancelled = false;
    int m_pagesRead = 0;
};

} // namespace arkavo::capteon
