#include "BrowseText.h"

#include "QtApp.h"

#include <gtest/gtest.h>

TEST(BrowseText, SizesAndGroupedNumbers)
{
    struct Case {
        qint64 bytes;
        const char *text;
    };
    for (const Case &c : {Case{0, "0"}, Case{500, "500"}, Case{1023, "1023"}, Case{2048, "2.0K"},
                          Case{46387, "45.3K"}, Case{3145728, "3.0M"}})
        EXPECT_EQ(FormatPageSize(c.bytes), QString::fromUtf8(c.text)) << c.bytes;
    for (const Case &c : {Case{0, "0"}, Case{999, "999"}, Case{1000, "1,000"}, Case{203039, "203,039"},
                          Case{12582912, "12,582,912"}})
        EXPECT_EQ(GroupThousands(quint64(c.bytes)), QString::fromUtf8(c.text)) << c.bytes;
    EXPECT_EQ(FormatUsedSpace(203039), "198k (203,039字节)");
    EXPECT_EQ(FormatFreeSpace(12582912), "12M (12,582,912字节)");
}

TEST(BrowseText, ThumbnailIsCentredOnGreyAndFramed)
{
    arkavo::test::EnsureApp();
    QImage small(100, 120, QImage::Format_RGB32);
    small.fill(Qt::white);
    const QImage framed = FrameThumbnail(small);
    ASSERT_EQ(framed.size(), QSize(135, 160));
    EXPECT_EQ(framed.pixelColor(10, 5), QColor(160, 160, 164)); // grey margin
    EXPECT_EQ(framed.pixelColor(67, 80), QColor(Qt::white));    // centred picture
    EXPECT_EQ(framed.pixelColor(17, 20), QColor(Qt::white));    // x = (135-100)/2 = 17, y = 20
    EXPECT_EQ(framed.pixelColor(16, 80), QColor(160, 160, 164));
    EXPECT_EQ(framed.pixelColor(134, 80), QColor(Qt::black));   // right edge
    EXPECT_EQ(framed.pixelColor(67, 159), QColor(Qt::black));   // bottom edge
    EXPECT_EQ(framed.pixelColor(67, 0), QColor(238, 238, 238)); // top edge

    QImage exact(135, 160, QImage::Format_RGB32);
    exact.fill(Qt::blue);
    EXPECT_EQ(FrameThumbnail(exact).pixelColor(67, 80), QColor(Qt::blue));
}
