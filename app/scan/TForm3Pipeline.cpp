// Each page the scanner delivers: cleaned as the panel says, split into files when
// appending, written to a temporary file and filed into the catalogue by the store.
#include "TForm3.h"

#include "FileHelpers.h"
#include "PageListView.h"
#include "Quietly.h"
#include "TFormImgProcSetting.h"
#include "TImageManager.h"

#include "capteon/CapteonInterface.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTreeWidget>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

// Selects Item (keeping the others) and shows it whole.
void selectAndShow(TPageListView *list, int row)
{
    QListWidgetItem *item = list->item(row);
    if (!item)
        return;
    item->setSelected(true);
    list->scrollToItem(item, QAbstractItemView::EnsureVisible);
}

// The selected pages by file and page number, which survive the list being filled again.
QList<QPair<QString, QString>> selectedPages(const TPageListView *list)
{
    QList<QPair<QString, QString>> pages;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            pages.append(
                {TPageListView::SubItem(list->item(row), 0), TPageListView::SubItem(list->item(row), 1)});
    return pages;
}

void reselect(const TImageManager *store, TPageListView *list, const QList<QPair<QString, QString>> &pages)
{
    for (const auto &[file, page] : pages)
        if (QListWidgetItem *item = list->item(store->FindPageItem(file, page, 0)))
            item->setSelected(true);
}

// Adds the page waiting at Path to the store; a page the store could not take is an error.
void addPage(TImageManager *store, const QString &path, const QString &appName, int beforePage,
             const QString &fileName, const QString &batchName)
{
    QStringList sources{path};
    store->AddPages(&sources, appName, true, beforePage, fileName, batchName);
    if (sources.isEmpty())
        throw std::runtime_error(QStringLiteral("页面无法复制到文件“%1”中").arg(fileName).toStdString());
}

} // namespace

// One thread for the panel's page work, kept for the whole run: the scanner library does
// not take well to threads coming and going while it reads.
class TForm3::PageWorker {
public:
    PageWorker()
        : m_thread([this] {
              for (;;) {
                  std::function<void()> job;
                  {
                      std::unique_lock lock(m_mutex);
                      m_wake.wait(lock, [&] { return m_stop || m_job; });
                      if (m_stop)
                          return;
                      job = std::move(m_job);
                      m_job = nullptr;
                  }
                  arkavo::Quietly("scan page work", job);
                  // Told under the lock, so the waiting loop cannot go away meanwhile.
                  std::lock_guard lock(m_mutex);
                  m_done = true;
                  if (m_waiting)
                      QMetaObject::invokeMethod(m_waiting, &QEventLoop::quit, Qt::QueuedConnection);
              }
          })
    {
    }
    ~PageWorker()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    // Runs Job on the worker while this thread's event loop goes on, so that the window
    // keeps painting while a large page is cleaned or encoded; returns when Job is done.
    // The scanner control hands over its next page only after the page handler returns,
    // so no other page comes in meanwhile.
    void Run(std::function<void()> job)
    {
        QEventLoop wait;
        {
            std::lock_guard lock(m_mutex);
            m_done = false;
            m_waiting = &wait;
            m_job = std::move(job);
        }
        m_wake.notify_all();
        for (;;) {
            {
                std::lock_guard lock(m_mutex);
                if (m_done) {
                    m_waiting = nullptr;
                    return;
                }
            }
            wait.exec(QEventLoop::ExcludeUserInputEvents);
        }
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<void()> m_job;
    QEventLoop *m_waiting = nullptr;
    bool m_done = false;
    bool m_stop = false;
    std::thread m_thread;
};

void TForm3::PageWorkerEnd::operator()(PageWorker *worker) const
{
    delete worker;
}

void TForm3::awayFromTheWindow(const std::function<void()> &job)
{
    if (!m_worker)
        m_worker.reset(new PageWorker);
    m_worker->Run(job);
}

void TForm3::Capteon1PageDone(HGLOBAL incoming)
{
    QCoreApplication::processEvents();
    const ImageProcSettings settings =
        m_targets.settings ? m_targets.settings->Values() : ImageProcSettings();
    TCodecImage record{Capteon1 ? Capteon1->XResolution() : 0, Capteon1 ? Capteon1->YResolution() : 0,
                       incoming};

    arkavo::GlobalBlock cleaned;
    bool newFile = false;
    const CleaningOptions cleaning = Cleaning();
    const CutMode cut = Cut();
    awayFromTheWindow([&] {
        cleaned = CleanPage(incoming, cleaning, settings);
        newFile = ScanMode == 1 &&
                  NeedsNewFile(ScanPageNo, PagesPerFile, cut, cleaned ? cleaned.get() : incoming, settings);
    });
    HGLOBAL working = cleaned ? cleaned.get() : incoming;

    QTreeWidgetItem *madeFile = nullptr;
    if (newFile) {
        // The page that asks for a new file is its first page, a blank separator too.
        QTreeWidgetItem *node = m_targets.store->NewFile(m_targets.tree->currentItem(), QString(), true);
        if (node) {
            ScanFileName = node->text(0);
            ScanPageNo = 1;
            madeFile = node;
        }
    }

    const QString path = TempPagePath(TempDir(), ScanPageNo, DibBitCount(working));
    record.Dib = working;
    QDir().mkpath(TempDir());
    bool saved = false;
    awayFromTheWindow([&] { saved = SaveTempPage(record, path); });
    cleaned.reset();
    if (!saved) {
        // The sheet has left the feeder: the operator must know, and the rest of the
        // batch stays in the feeder rather than following it. What is filed stays filed.
        QCoreApplication::processEvents();
        throw std::runtime_error(
            QStringLiteral("第 %1 页无法写入临时文件 %2（磁盘已满或文件夹不可写），扫描已停止。"
                           "这一页没有归档，之前扫描的页面都已归档；请把这一页和留在进纸器中的纸张重新扫描。")
                .arg(ScanPageNo)
                .arg(QDir::toNativeSeparators(path))
                .toStdString());
    }

    TPageListView *list = m_targets.list;
    list->setUpdatesEnabled(false);
    const bool wasVisible = list->isVisible();
    list->hide();
    const auto restore = qScopeGuard([&] {
        if (wasVisible)
            list->show();
        list->setUpdatesEnabled(true);
        QCoreApplication::processEvents();
    });
    try {
        filePage(path, madeFile);
    } catch (const std::exception &e) {
        // The page stays in its temporary file, which no later page takes over.
        throw std::runtime_error(QStringLiteral("第 %1 页无法归档：%2。这一页保存在 %3。")
                                     .arg(ScanPageNo)
                                     .arg(QString::fromUtf8(e.what()))
                                     .arg(QDir::toNativeSeparators(path))
                                     .toStdString());
    }
    QFile::remove(path);
    ++m_filedThisScan;
    showPace();
}

void TForm3::filePage(const QString &path, QTreeWidgetItem *madeFile)
{
    TImageManager *store = m_targets.store;
    TPageListView *list = m_targets.list;
    // Pages scanned before in this scan stay selected while the list is filled again.
    const QList<QPair<QString, QString>> selected = selectedPages(list);
    switch (ScanMode) {
    case 0:
    case 1: {
        addPage(store, path, ScanAppName, ScanPageNo, ScanFileName, ScanBatchName);
        reselect(store, list, selected);
        const int i = store->FindPageItem(ScanFileName, QString::number(ScanPageNo), 0);
        if (i >= 0) {
            store->ArrangeThumbnails();
            selectAndShow(list, i);
        } else if (ScanMode == 1 && madeFile) {
            // The new file's pages are shown from now on, so later pages are found.
            m_targets.tree->setCurrentItem(madeFile);
        }
        ++ScanPageNo;
        break;
    }
    case 2: {
        const int n = list->count();
        if (ScanPageNo < n) {
            store->ReplacePage(ScanPageNo, path);
            selectAndShow(list, ScanPageNo);
        } else {
            const QString lastFile = n > 0 ? TPageListView::SubItem(list->item(n - 1), 0) : QString();
            addPage(store, path, ScanAppName, 0, lastFile, ScanBatchName);
            reselect(store, list, selected);
            if (list->count() > 0) {
                store->ArrangeThumbnails();
                selectAndShow(list, list->count() - 1);
            }
        }
        ++ScanPageNo;
        break;
    }
    default:
        break;
    }
}
