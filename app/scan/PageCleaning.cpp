#include "PageCleaning.h"

#include "pixolve.h"

arkavo::GlobalBlock CleanPage(HGLOBAL, const CleaningOptions &, const ImageProcSettings &)
{
    return {};
}

bool NeedsNewFile(int scanPageNo, int pagesPerFile, CutMode mode, HGLOBAL page,
                  const ImageProcSettings &settings)
{
    if (scanPageNo > pagesPerFile)
        return true;
    return mode == CutMode::BlankPage &&
           IsBlankPage(page, settings.BlankPage_Threshold()) < 10 * settings.BlankPage_MaxBlack();
}

QString TempPagePath(const QString &tempDir, int scanPageNo, int bitCount)
{
    return tempDir + QString::number(scanPageNo) + (bitCount > 8 ? ".jpg" : ".tif");
}

bool SaveTempPage(const TCodecImage &page, const QString &path)
{
    const QByteArray name = path.toUtf8();
    return (path.endsWith(QLatin1String(".jpg")) ? SaveJPG(&page, name.constData())
                                                 : SaveTIF(&page, name.constData(), 0, 0)) == 1;
}
