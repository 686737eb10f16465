#pragma once
// A ledger of every global memory block of a test program. A program linked with
// BlockLedger.cpp defines the block functions itself, so every allocation and release,
// from the viewer, the store, the codec, the image library and the image-view control
// alike, passes through the ledger before it reaches the real library. Such a program
// must export its symbols (ENABLE_EXPORTS) so the libraries find them.
#include "globalmem.h"

#include <cstddef>
#include <mutex>
#include <unordered_set>
#include <utility>

class BlockLedger {
public:
    static BlockLedger &instance();

    void added(HGLOBAL h);
    // False when h is not a live block: freed before, or never allocated.
    bool removed(HGLOBAL h);
    bool alive(HGLOBAL h);
    size_t liveCount();
    int badFrees();

    // Blocks the codec made on the program's main thread (pages read for the viewer), and
    // how many of them were made without the busy cursor showing.
    void codecBlockOnMainThread(bool busy);
    std::pair<int, int> codecBlocks();

private:
    std::mutex m_mutex;
    std::unordered_set<HGLOBAL> m_live;
    int m_badFrees = 0;
    int m_codecBlocks = 0, m_codecBlocksNotBusy = 0;
};
