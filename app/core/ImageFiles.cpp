#include "ImageFiles.h"

#include "Quietly.h"

#include <QFileInfo>

int SaveImageFile(const TCodecImage &image, const QString &fileName)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    const QByteArray name = fileName.toUtf8();
    return arkavo::QuietlyOr("saving a page image", 0, [&] {
        if (ext == u"tif")
            return SaveTIF(&image, name.constData(), CODEC_TIFF_DEFAULT, 0);
        if (ext == u"bmp")
            return SaveBMP(&image, name.constData());
        if (ext == u"jpg")
            return SaveJPG(&image, name.constData());
        return 0;
    });
}
