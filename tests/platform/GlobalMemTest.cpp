#include <arkavo/GlobalBlock.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

using arkavo::GlobalBlock;

TEST(GlobalMem, SizeIsWhatWasAskedAndZeroInitFills)
{
    for (std::size_t n :
         {std::size_t(0), std::size_t(1), std::size_t(41), std::size_t(3 * 1024 * 1024 + 7)}) {
        HGLOBAL h = GlobalAlloc(GHND, n);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(GlobalSize(h), n);
        auto *p = static_cast<std::uint8_t *>(GlobalLock(h));
        ASSERT_NE(p, nullptr);
        for (std::size_t i = 0; i < n; i += 4093)
            EXPECT_EQ(p[i], 0u);
        EXPECT_EQ(GlobalUnlock(h), 0);
        EXPECT_EQ(GlobalFree(h), nullptr);
    }
}

TEST(GlobalMem, NullAndFailureAreHarmless)
{
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
    EXPECT_EQ(GlobalLock(nullptr), nullptr);
    EXPECT_EQ(GlobalSize(nullptr), 0u);
    EXPECT_EQ(GlobalUnlock(nullptr), 0);
    EXPECT_EQ(GlobalAlloc(GHND, std::numeric_limits<std::size_t>::max()), nullptr);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, std::numeric_limits<std::size_t>::max() / 2), nullptr);
}

TEST(GlobalMem, LockIsStableAndNested)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 64);
    void *a = GlobalLock(h);
    void *b = GlobalLock(h);
    EXPECT_EQ(a, b);
    EXPECT_NE(GlobalUnlock(h), 0);
    EXPECT_EQ(GlobalUnlock(h), 0);
    GlobalFree(h);
}

// Page-sized blocks come back from earlier pages; none may show what an earlier page held.
TEST(GlobalMem, ReusedPageBlocksKeepSizeAndZeroFill)
{
    const std::size_t colourA4 = std::size_t(2480) * 3 * 3508 + 54;
    for (std::size_t previous : {colourA4, colourA4 - 4096, std::size_t(1) << 20}) {
        HGLOBAL old = GlobalAlloc(GMEM_MOVEABLE, previous);
        ASSERT_NE(old, nullptr);
        std::memset(GlobalLock(old), 0xA5, previous);
        GlobalUnlock(old);
        ASSERT_EQ(GlobalFree(old), nullptr);
        for (std::size_t n : {previous, previous - 1000, previous + 1000}) {
            HGLOBAL h = GlobalAlloc(GHND, n);
            ASSERT_NE(h, nullptr);
            EXPECT_EQ(GlobalSize(h), n);
            auto *p = static_cast<std::uint8_t *>(GlobalLock(h));
            std::size_t dirty = 0;
            for (std::size_t i = 0; i < n; i += 997)
                dirty += p[i] != 0;
            EXPECT_EQ(dirty + p[n - 1], 0u) << "asked " << n << " after freeing " << previous;
            std::memset(p, 0x5A, n);
            GlobalUnlock(h);
            EXPECT_EQ(GlobalFree(h), nullptr);
        }
    }
}

// Scan, import and clean-up workers allocate and free pages at the same time.
TEST(GlobalMem, ConcurrentPageBlocksNeverOverlap)
{
    std::vector<std::thread> workers;
    std::vector<int> faults(4, 0);
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([t, &faults] {
            for (int i = 0; i < 40; ++i) {
                const std::size_t n = (std::size_t(1) << 20) + std::size_t((t * 7 + i) % 5) * (3 << 20);
                HGLOBAL h[2] = {GlobalAlloc(GMEM_MOVEABLE, n), GlobalAlloc(GHND, n / 2)};
                for (HGLOBAL b : h) {
                    auto *p = static_cast<std::uint8_t *>(GlobalLock(b));
                    for (std::size_t k = 0; k < GlobalSize(b); k += 8192)
                        p[k] = std::uint8_t(t + 1);
                }
                std::this_thread::yield();
                for (HGLOBAL b : h) {
                    const auto *p = static_cast<const std::uint8_t *>(GlobalLock(b));
                    for (std::size_t k = 0; k < GlobalSize(b); k += 8192)
                        faults[std::size_t(t)] += p[k] != std::uint8_t(t + 1);
                    GlobalUnlock(b);
                    GlobalUnlock(b);
                    GlobalFree(b);
                }
            }
        });
    for (std::thread &w : workers)
        w.join();
    EXPECT_EQ(faults, std::vector<int>(4, 0));
}

#if defined(__SANITIZE_ADDRESS__)
TEST(GlobalMemDeathTest, PageBlockUsedAfterFreeIsCaught)
{
    EXPECT_DEATH(
        {
            HGLOBAL h = GlobalAlloc(GHND, std::size_t(2480) * 3 * 3508);
            auto *p = static_cast<volatile std::uint8_t *>(GlobalLock(h));
            GlobalFree(h);
            p[1000] = 1;
        },
        "use-after-free");
}
#endif

TEST(GlobalBlock, OwnsAndReleases)
{
    GlobalBlock a = GlobalBlock::allocate(16);
    ASSERT_TRUE(a);
    HGLOBAL raw = a.get();
    GlobalBlock b = std::move(a);
    EXPECT_FALSE(a);
    EXPECT_EQ(b.get(), raw);
    HGLOBAL released = b.release();
    EXPECT_FALSE(b);
    EXPECT_EQ(GlobalFree(released), nullptr);
}
