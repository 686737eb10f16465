// The exported C functions: argument checks, then the format modules.
#include "Codecs.h"
#include "Files.h"
#include "codec.h"

namespace {

using namespace arkavo;
using namespace arkavo::codec;

// Resolution for a saved page: the record's, else the page header's, else the default.
int saveDpi(std::int32_t fromRecord, int fromHeader)
{
    if (fromRecord > 0 && fromRecord <= 100000)
        return fromRecord;
    return effectiveDpi(fromHeader);
}

template <typename Save> int withPage(const TCodecImage *image, const char *fileName, Save save)
{
    if (!image || !image->Dib || !fileName || !*fileName)
        return 0;
    GlobalLockGuard lock(image->Dib);
    DibView view;
    if (!lock || !viewDib(lock.data(), GlobalSize(image->Dib), view))
        return 0;
    const int xdpi = saveDpi(image->XResolution, view.xdpi);
    const int ydpi = saveDpi(image->YResolution, view.ydpi);
    try {
        return save(view, xdpi, ydpi) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int loadPage(const char *fileName, TCodecImage *image, int page, const ThumbnailBox *box)
{
    if (!image)
        return 0;
    image->XResolution = 0;
    image->YResolution = 0;
    image->Dib = nullptr;
    if (!fileName || page < 0)
        return 0;
    try {
        MappedFile file(fileName);
        DecodedPage decoded;
        int pages = 0;
        switch (sniff(file.data(), file.size())) {
        case FileType::Tiff:
            pages = decodeTiff(file.data(), file.size(), page, decoded);
            break;
        case FileType::Jpeg:
            pages = page == 0 ? decodeJpeg(file.data(), file.size(), decoded, kMaxPixelBytes, box) : 0;
            break;
        case FileType::Bmp:
            pages = page == 0 ? decodeBmp(file.data(), file.size(), decoded) : 0;
            break;
        case FileType::Unknown:
            break;
        }
        if (pages < 1 || !decoded.dib.block)
            return 0;
        image->XResolution = effectiveDpi(decoded.xdpi);
        image->YResolution = effectiveDpi(decoded.ydpi);
        image->Dib = decoded.dib.block.release();
        return pages;
    } catch (...) {
        return 0;
    }
}

} // namespace

extern "C" {

int LoadFile(const char *fileName, TCodecImage *image, int page)
{
    return loadPage(fileName, image, page, nullptr);
}

int LoadFileForThumbnail(const char *fileName, TCodecImage *image, int boxWidth, int boxHeight)
{
    const ThumbnailBox box{boxWidth, boxHeight};
    return loadPage(fileName, image, 0, boxWidth > 0 && boxHeight > 0 ? &box : nullptr);
}

int SaveJPG(const TCodecImage *image, const char *fileName)
{
    return withPage(image, fileName,
                    [&](const DibView &v, int x, int y) { return writeJpeg(v, x, y, fileName); });
}

int SaveBMP(const TCodecImage *image, const char *fileName)
{
    return withPage(image, fileName,
                    [&](const DibView &v, int x, int y) { return writeBmp(v, x, y, fileName); });
}

int SaveTIF(const TCodecImage *image, const char *fileName, int compression, int append)
{
    return withPage(image, fileName, [&](const DibView &v, int x, int y) {
        return writeTiff(v, x, y, fileName, compression, append != 0);
    });
}

int SavePDF(const char *outFile, const char *const *sources, int count)
{
    return writePdf(outFile, sources, count) ? 1 : 0;
}

int InspectFile(const char *fileName, TCodecStoredPage *info)
{
    if (!info)
        return 0;
    *info = TCodecStoredPage{};
    if (!fileName)
        return 0;
    try {
        MappedFile file(fileName);
        switch (sniff(file.data(), file.size())) {
        case FileType::Tiff: {
            info->Pages = tiffPageCount(file.data(), file.size());
            if (info->Pages < 1)
                return 0;
            info->Format = CODEC_FILE_TIFF;
            G4Data g4;
            if (findG4Strip(file.data(), file.size(), g4)) {
                info->BitCount = 1;
                info->Compression = CODEC_TIFF_G4;
            }
            return 1;
        }
        case FileType::Jpeg: {
            JpegInfo jpeg;
            if (!inspectJpeg(file.data(), file.size(), jpeg))
                return 0;
            info->Format = CODEC_FILE_JPEG;
            info->Pages = 1;
            info->BitCount = jpeg.components == 1 ? 8 : jpeg.components == 3 ? 24 : 0;
            info->Compression = CODEC_TIFF_JPEG;
            return 1;
        }
        case FileType::Bmp:
            info->Format = CODEC_FILE_BMP;
            info->Pages = 1;
            return 1;
        case FileType::Unknown:
            break;
        }
    } catch (...) {
        *info = TCodecStoredPage{};
    }
    return 0;
}

int CopyTIFPage(const char *fileName, const char *source, int append)
{
    if (!fileName || !*fileName || !source)
        return 0;
    try {
        MappedFile file(source);
        G4Data g4;
        if (sniff(file.data(), file.size()) != FileType::Tiff || !findG4Strip(file.data(), file.size(), g4))
            return 0;
        return writeTiffG4(g4, fileName, append != 0) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

double GetAngle(HGLOBAL dib)
{
    if (!dib)
        return 0;
    try {
        GlobalLockGuard lock(dib);
        DibView view;
        if (!lock || !viewDib(lock.data(), GlobalSize(dib), view))
            return 0;
        return measureSkew(view);
    } catch (...) {
        return 0;
    }
}

} // extern "C"
