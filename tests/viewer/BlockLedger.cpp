#include "BlockLedger.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QThread>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

BlockLedger &BlockLedger::instance()
{
    static BlockLedger ledger;
    return ledger;
}

void BlockLedger::added(HGLOBAL h)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_live.insert(h);
}

bool BlockLedger::removed(HGLOBAL h)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_live.erase(h))
        return true;
    ++m_badFrees;
    return false;
}

bool BlockLedger::alive(HGLOBAL h)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_live.count(h) != 0;
}

size_t BlockLedger::liveCount()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_live.size();
}

int BlockLedger::badFrees()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_badFrees;
}

void BlockLedger::codecBlockOnMainThread(bool busy)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    ++m_codecBlocks;
    if (!busy)
        ++m_codecBlocksNotBusy;
}

std::pair<int, int> BlockLedger::codecBlocks()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return {m_codecBlocks, m_codecBlocksNotBusy};
}

namespace {

template <typename F> F realFunction(const char *name)
{
    void *f = dlsym(RTLD_NEXT, name);
    if (!f)
        abort();
    return reinterpret_cast<F>(f);
}

// Whether the code at Address lies in the codec library.
bool inCodec(const void *address)
{
    Dl_info info{};
    return dladdr(address, &info) && info.dli_fname && std::strstr(info.dli_fname, "libcodec.so");
}

} // namespace

extern "C" HGLOBAL GlobalAlloc(unsigned flags, size_t bytes)
{
    static const auto real = realFunction<HGLOBAL (*)(unsigned, size_t)>("GlobalAlloc");
    HGLOBAL h = real(flags, bytes);
    if (h)
        BlockLedger::instance().added(h);
    if (h && qApp && QThread::currentThread() == qApp->thread() && inCodec(__builtin_return_address(0))) {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        BlockLedger::instance().codecBlockOnMainThread(cursor && cursor->shape() == Qt::WaitCursor);
    }
    return h;
}

extern "C" HGLOBAL GlobalFree(HGLOBAL h)
{
    static const auto real = realFunction<HGLOBAL (*)(HGLOBAL)>("GlobalFree");
    if (!h)
        return nullptr;
    // A handle freed twice is counted and not passed on: its memory is gone already.
    if (!BlockLedger::instance().removed(h))
        return h;
    return real(h);
}
