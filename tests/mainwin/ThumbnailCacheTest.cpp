// The page list's picture cache: which picture stands for which page file, and when the
// cache is emptied.
#include "ThumbnailCache.h"

#include "QtApp.h"

#include <gtest/gtest.h>

namespace {

FileIdentity fileNo(int n)
{
    return {true, 1, uint64_t(100 + n), 4096, 1600000000 + n, 123456789};
}

QString pathNo(int n)
{
    return QString("/r/Images/T/F/A/P%1.tif").arg(n, 7, 10, QChar('0'));
}

} // namespace

TEST(ThumbnailCache, HoldsFiftyOnePicturesOrAScreenfulMoreAndIsThenEmptiedWhole)
{
    arkavo::test::EnsureApp();
    const QPixmap picture(4, 4);
    const struct {
        int screenful, held;
    } cases[] = {{0, 51}, {25, 51}, {50, 51}, {51, 52}, {80, 81}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.screenful);
        TThumbnailCache cache;
        for (int n = 0; n < c.held; ++n) {
            const TThumbnailCache::Added added = cache.Insert(pathNo(n), fileNo(n), picture, c.screenful);
            ASSERT_FALSE(added.flushed) << n;
            EXPECT_EQ(added.index, n);
        }
        EXPECT_EQ(cache.Find(pathNo(0), fileNo(0)), 0);
        const TThumbnailCache::Added next =
            cache.Insert(pathNo(c.held), fileNo(c.held), picture, c.screenful);
        EXPECT_TRUE(next.flushed);
        EXPECT_EQ(next.index, 0);
        EXPECT_EQ(cache.Size(), 1);
        EXPECT_EQ(cache.Find(pathNo(0), fileNo(0)), -1);
        EXPECT_EQ(cache.Find(pathNo(c.held), fileNo(c.held)), 0);
    }
}

TEST(ThumbnailCache, APictureStandsForItsPathOnlyWhileTheFileThereIsTheOneItWasMadeFrom)
{
    arkavo::test::EnsureApp();
    TThumbnailCache cache;
    const FileIdentity page = fileNo(1);
    cache.Insert(pathNo(1), page, QPixmap(4, 4), 0);
    EXPECT_EQ(cache.Find(pathNo(1), page), 0);
    EXPECT_EQ(cache.Find(pathNo(2), page), -1); // the same file renamed is looked up anew

    const struct {
        const char *what;
        void (*change)(FileIdentity &);
    } changes[] = {
        {"another file renamed onto the path", [](FileIdentity &f) { f.Inode += 1; }},
        {"another device", [](FileIdentity &f) { f.Device += 1; }},
        {"written, same time", [](FileIdentity &f) { f.Size += 1; }},
        {"touched by a nanosecond", [](FileIdentity &f) { f.ModifiedNsec += 1; }},
        {"touched by a second", [](FileIdentity &f) { f.ModifiedSec -= 1; }},
        {"gone", [](FileIdentity &f) { f = FileIdentity{}; }},
    };
    for (const auto &c : changes) {
        FileIdentity now = page;
        c.change(now);
        EXPECT_EQ(cache.Find(pathNo(1), now), -1) << c.what;
    }

    // A picture made again for the path replaces the stale one.
    FileIdentity rewritten = page;
    rewritten.ModifiedNsec += 1;
    const TThumbnailCache::Added added = cache.Insert(pathNo(1), rewritten, QPixmap(4, 4), 0);
    EXPECT_EQ(cache.Find(pathNo(1), rewritten), added.index);
    EXPECT_EQ(cache.Find(pathNo(1), page), -1);

    // A page file missing when its placeholder was made names no file to match.
    cache.Insert(pathNo(3), FileIdentity{}, QPixmap(4, 4), 0);
    EXPECT_EQ(cache.Find(pathNo(3), FileIdentity{}), -1);
}
