#include "WordSort.h"

#include "TempDir.h"

#include <QFile>
#include <QUuid>

#include <gtest/gtest.h>

TEST(WordSort, PageNamesSortInPageOrder)
{
    // Each name must sort strictly before the next.
    const QStringList ordered = {
        "P0000001.tif",
        "P0000002.tif",
        "P0000002-00001.tif",
        "P0000002-00002.jpg",
        "P0000003.jpg{0a1b2c3d-0000-0000-0000-000000000000}.jpg",
        "P0000003.tif",
        "p0000004.TIF",
        "P0000005.bmp",
        "PZ00001.tif",
        "PZ00002.jpg",
    };
    for (qsizetype i = 0; i + 1 < ordered.size(); ++i) {
        EXPECT_LT(WordSortCompare(ordered[i], ordered[i + 1]), 0)
            << ordered[i].toStdString() << " vs " << ordered[i + 1].toStdString();
        EXPECT_GT(WordSortCompare(ordered[i + 1], ordered[i]), 0);
    }
}

TEST(WordSort, RulesOfTheOrder)
{
    struct Case {
        const char *a, *b;
        int sign;
    };
    const Case cases[] = {
        {"abc", "ABC", 1},    // equal but for case: decided only as a tie, never equal to each other
        {"a.b", "a1b", -1},   // period before digits
        {"a9", "aa", -1},     // digits before letters
        {"co-op", "coop", 1}, // hyphen ignored, plain form first
        {"cop", "co-op", 1},  // hyphen does not take part in the primary order
        {"it's", "its", 1},   // apostrophe likewise
        {"a", "ab", -1},      // prefix first
        {"zeta", "文件", -1}, // letters before other scripts
        {"same", "same", 0},
    };
    for (const Case &c : cases) {
        const int r = WordSortCompare(QString::fromUtf8(c.a), QString::fromUtf8(c.b));
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST(WordSort, ListFilesMergesCallsIntoOneSortedList)
{
    arkavo::test::TempDir dir;
    for (const char *name : {"P0000003.tif", "P0000001.bmp", "P0000002.jpg", "P0000002-00001.tif",
                             "PZ00001.jpg", "notes.txt", "Q0000001.tif"}) {
        QFile f(QString::fromStdString((dir / name).string()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString base = QString::fromStdString(dir.str());
    QStringList list;
    ListFiles(base + "P*.tif", faArchive, list);
    ListFiles(base + "P*.jpg", faArchive, list);
    ListFiles(base + "P*.bmp", faArchive, list);
    ListFiles(base + "P*.tif", faArchive, list); // a repeated pattern adds no duplicates
    EXPECT_EQ(list, (QStringList{"P0000001.bmp", "P0000002.jpg", "P0000002-00001.tif", "P0000003.tif",
                                 "PZ00001.jpg"}));

    // A temporary name made while renumbering keeps its page's place.
    const QString temp = "P0000001.bmp" + QUuid::createUuid().toString() + ".bmp";
    QStringList withTemp = {"P0000001.bmp", temp, "P0000002.jpg"};
    std::sort(withTemp.begin(), withTemp.end(), [](auto &a, auto &b) { return WordSortCompare(a, b) < 0; });
    EXPECT_EQ(withTemp.indexOf(temp), 1);
}
