#include "PageImport.h"

#include "TImageManager.h"

bool MakeThumbnail(const QString &, const QString &, HGLOBAL, int, int)
{
    return false;
}

bool ThumbnailIsCurrent(const QString &, const QString &)
{
    return false;
}

int ImportPages(TImageManager &, const QStringList &, const QString &, int, const QString &, const QString &,
                const TImportContext &)
{
    return -1;
}
