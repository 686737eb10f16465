#include "PageCleaning.h"

arkavo::GlobalBlock CleanPage(HGLOBAL, const CleaningOptions &, const ImageProcSettings &)
{
    return {};
}

bool NeedsNewFile(int scanPageNo, int pagesPerFile, CutMode, HGLOBAL, const ImageProcSettings &)
{
    return scanPageNo > pagesPerFile;
}

QString TempPagePath(const QString &tempDir, int scanPageNo, int bitCount)
{
    return tempDir + QString::number(scanPageNo) + (bitCount > 8 ? ".jpg" : ".tif");
}

bool SaveTempPage(const TCodecImage &, const QString &)
{
    return false;
}
