#include "ScanWorker.h"

#include <vector>

namespace arkavo::capteon {

ScanWorker::ScanWorker(std::unique_ptr<SaneDevice> device, bool feeder, int xDpi, int yDpi, SheetHook hook)
    : m_device(std::move(device)), m_feeder(feeder), m_xDpi(xDpi), m_yDpi(yDpi), m_hook(std::move(hook))
{
}

ScanWorker::~ScanWorker() = default;

void ScanWorker::fail(const QString &reason) const
{
    QString text = reason;
    if (m_pagesRead > 0)
        text += QStringLiteral("已扫描的 %1 页已保留。").arg(m_pagesRead);
    throw ScanError(text.toStdString());
}

void ScanWorker::run()
{
    try {
        readPages();
    } catch (const std::exception &e) {
        m_error = QString::fromUtf8(e.what());
    }
    // Ends the batch (and an abandoned sheet) on the thread that read it.
    m_device->cancel();
    emit finished();
}

bool ScanWorker::deliver(GlobalBlock page)
{
    // Wait for room in the queue, so a slow receiver does not pile up pages. A cancel
    // still sends the page on: its sheet has left the feeder, and nothing follows it.
    bool room = true;
    while (room && !m_slots.tryAcquire(1, 50))
        room = !m_cancel;
    ++m_pagesRead;
    emit pageReady(reinterpret_cast<quintptr>(page.release()));
    return room;
}

void ScanWorker::readPages()
{
    FrameAssembler assembler;
    std::vector<std::uint8_t> buffer(256 * 1024);
    QString error;
    for (int sheet = 0;; ++sheet) {
        if (m_cancel) {
            m_cancelled = true;
            return;
        }
        if (m_hook)
            m_hook(m_pagesRead, *m_device);
        assembler.setResolution(m_xDpi, m_yDpi);
        ReadStatus status = m_device->start(&error);
        if (status == ReadStatus::NoDocuments && sheet > 0 && m_feeder)
            return; // the feeder ran empty: the normal end of a batch
        if (status == ReadStatus::Cancelled) {
            m_cancelled = true;
            return;
        }
        if (status != ReadStatus::Good)
            fail(error);

        int lastPercent = -1;
        for (;;) { // frames of the sheet: one, or three for a three-pass device
            const FrameParameters params = m_device->parameters();
            try {
                assembler.beginFrame(params);
            } catch (const std::exception &e) {
                fail(QStringLiteral("扫描仪送来的图像格式无法处理（%1）。").arg(QString::fromUtf8(e.what())));
            }
            const double expected = params.lines > 0 ? double(params.lines) * params.bytesPerLine : 0.0;
            double received = 0;
            for (;;) {
                // A feeder's sheet has left the tray once it started: it is read to its
                // end and delivered. A flatbed scan can stop half-way, the page stays
                // on the glass.
                if (m_cancel && !m_feeder) {
                    m_cancelled = true;
                    return; // run() cancels the sheet on the device
                }
                int length = 0;
                status = m_device->read(buffer.data(), int(buffer.size()), &length, &error);
                if (status == ReadStatus::EndOfFrame)
                    break;
                if (status == ReadStatus::Cancelled) {
                    m_cancelled = true;
                    return;
                }
                if (status != ReadStatus::Good)
                    fail(error);
                assembler.addData(buffer.data(), std::size_t(length));
                received += length;
                if (expected > 0) {
                    // Ten steps a page are plenty for the bar and keep the GUI thread free.
                    const int percent = int(received * 10 / expected) * 10;
                    if (percent != lastPercent) {
                        lastPercent = percent;
                        emit progress(sheet + 1, percent);
                    }
                }
            }
            assembler.endFrame();
            if (assembler.pageComplete())
                break;
            status = m_device->start(&error);
            if (status != ReadStatus::Good)
                fail(error);
        }
        const int lines = assembler.linesReceived();
        GlobalBlock page = assembler.takePage();
        if (!page)
            fail(lines == 0 ? QStringLiteral("扫描仪没有送来图像数据。")
                            : QStringLiteral("内存不足，无法保存扫描的页面。"));
        if (!deliver(std::move(page))) {
            m_cancelled = true;
            return;
        }
        if (!m_feeder)
            return; // a flatbed gives one page
    }
}

} // namespace arkavo::capteon
