#pragma once
// Page files whose content says which page they are: every page is filled with its own
// grey level, so a test reads the page order of a file from its directory.
#include "GrayPage.h"

#include <arkavo/GlobalBlock.h>
#include <codec.h>

#include <QFile>
#include <QString>

#include <vector>

#include <gtest/gtest.h>

inline constexpr int PageW = 48, PageH = 64;

// Writes an 8-bit TIFF with one page per grey level, each page filled with its level.
inline void writeGreyTiff(const QString &path, const std::vector<int> &levels)
{
    for (size_t n = 0; n < levels.size(); ++n) {
        const uint8_t level = uint8_t(levels[n]);
        arkavo::GlobalBlock block = arkavo::test::MakeGrayPage(PageW, PageH, [&](int) { return level; });
        const TCodecImage image{300, 300, block.get()};
        ASSERT_EQ(SaveTIF(&image, QFile::encodeName(path).constData(), 0, n > 0 ? 1 : 0), 1)
            << path.toStdString();
    }
}

// Grey level of the first pixel of a page file; -1 when it cannot be read.
inline int greyLevelOf(const QString &path)
{
    TCodecImage image{};
    if (LoadFile(QFile::encodeName(path).constData(), &image, 0) < 1 || !image.Dib)
        return -1;
    arkavo::GlobalBlock dib(image.Dib);
    arkavo::GlobalLockGuard lock(dib.get());
    return lock.data()[40 + 1024];
}

inline QString pageName(int n)
{
    return QStringLiteral("P%1.tif").arg(n, 7, 10, QLatin1Char('0'));
}

// Grey levels of the pages in Dir, page 1 upwards, until the first missing page.
inline std::vector<int> pageLevels(const QString &dir)
{
    std::vector<int> levels;
    for (int n = 1; QFile::exists(dir + pageName(n)); ++n)
        levels.push_back(greyLevelOf(dir + pageName(n)));
    return levels;
}
