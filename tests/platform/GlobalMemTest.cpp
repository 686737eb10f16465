#include <arkavo/GlobalBlock.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

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
