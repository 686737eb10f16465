// PDF output through qpdf: one page per image file, each page exactly the size of its
// image at the image's resolution.
#include "Codecs.h"
#include "Files.h"
#include "codec.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFLogger.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace arkavo::codec {

namespace {

using Obj = QPDFObjectHandle;

std::shared_ptr<Buffer> copyBytes(const std::uint8_t *data, std::size_t size)
{
    auto buffer = std::make_shared<Buffer>(size);
    std::memcpy(buffer->getBuffer(), data, size);
    return buffer;
}

struct PdfImage {
    int width = 0;
    int height = 0;
    int xdpi = 0;
    int ydpi = 0;
    Obj stream;
};

Obj imageStream(QPDF &pdf, int width, int height, const char *colourSpace, int bitsPerComponent)
{
    Obj stream = Obj::newStream(&pdf);
    Obj dict = stream.getDict();
    dict.replaceKey("/Type", Obj::newName("/XObject"));
    dict.replaceKey("/Subtype", Obj::newName("/Image"));
    dict.replaceKey("/Width", Obj::newInteger(width));
    dict.replaceKey("/Height", Obj::newInteger(height));
    dict.replaceKey("/ColorSpace", Obj::newName(colourSpace));
    dict.replaceKey("/BitsPerComponent", Obj::newInteger(bitsPerComponent));
    return stream;
}

Obj g4Stream(QPDF &pdf, const G4Data &g4)
{
    Obj stream = imageStream(pdf, g4.width, g4.height, "/DeviceGray", 1);
    Obj parms = Obj::newDictionary();
    parms.replaceKey("/K", Obj::newInteger(-1));
    parms.replaceKey("/Columns", Obj::newInteger(g4.width));
    parms.replaceKey("/Rows", Obj::newInteger(g4.height));
    stream.replaceStreamData(copyBytes(g4.data, g4.size), Obj::newName("/CCITTFaxDecode"), parms);
    if (g4.blackIsZero)
        stream.getDict().replaceKey("/Decode", Obj::parse("[1 0]"));
    return stream;
}

// An image stream straight from the file's bytes where the format allows.
bool embedAsStored(QPDF &pdf, FileType type, const MappedFile &file, PdfImage &image)
{
    if (type == FileType::Jpeg) {
        JpegInfo info;
        if (!inspectJpeg(file.data(), file.size(), info))
            return false;
        const char *space = info.components == 1   ? "/DeviceGray"
                            : info.components == 3 ? "/DeviceRGB"
                                                   : "/DeviceCMYK";
        image.stream = imageStream(pdf, info.width, info.height, space, 8);
        image.stream.replaceStreamData(copyBytes(file.data(), file.size()), Obj::newName("/DCTDecode"),
                                       Obj::newNull());
        if (info.adobeInverted)
            image.stream.getDict().replaceKey("/Decode", Obj::parse("[1 0 1 0 1 0 1 0]"));
        image.width = info.width, image.height = info.height;
        image.xdpi = info.xdpi, image.ydpi = info.ydpi;
        return true;
    }
    if (type == FileType::Tiff) {
        G4Data g4;
        if (!findG4Strip(file.data(), file.size(), g4))
            return false;
        image.stream = g4Stream(pdf, g4);
        image.width = g4.width, image.height = g4.height;
        image.xdpi = g4.xdpi, image.ydpi = g4.ydpi;
        return true;
    }
    return false;
}

// Any other page: decoded, then G4 for bilevel pages and Flate for the rest.
bool embedDecoded(QPDF &pdf, FileType type, const MappedFile &file, PdfImage &image)
{
    DecodedPage page;
    const int pages = type == FileType::Tiff   ? decodeTiff(file.data(), file.size(), 0, page)
                      : type == FileType::Jpeg ? decodeJpeg(file.data(), file.size(), page)
                      : type == FileType::Bmp  ? decodeBmp(file.data(), file.size(), page)
                                               : 0;
    if (pages < 1)
        return false;
    GlobalLockGuard lock(page.dib.block.get());
    DibView view;
    if (!lock || !viewDib(lock.data(), page.dib.block.size(), view))
        return false;
    image.width = view.width, image.height = view.height;
    image.xdpi = page.xdpi, image.ydpi = page.ydpi;
    if (view.kind == PageKind::Bilevel) {
        std::vector<std::uint8_t> storage;
        G4Data g4;
        if (!encodeG4(view, storage, g4))
            return false;
        image.stream = g4Stream(pdf, g4);
        return true;
    }
    const bool grey = view.kind == PageKind::Grey;
    const std::size_t rowBytes = std::size_t(view.width) * (grey ? 1 : 3);
    auto pixels = std::make_shared<Buffer>(rowBytes * std::size_t(view.height));
    for (int y = 0; y < view.height; ++y) {
        const std::uint8_t *src = view.row(y);
        std::uint8_t *dst = pixels->getBuffer() + std::size_t(y) * rowBytes;
        if (grey) {
            std::memcpy(dst, src, rowBytes);
        } else {
            for (int x = 0; x < view.width; ++x, src += 3, dst += 3) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
        }
    }
    // Unfiltered here; the writer compresses it with Flate.
    image.stream = imageStream(pdf, view.width, view.height, grey ? "/DeviceGray" : "/DeviceRGB", 8);
    image.stream.replaceStreamData(pixels, Obj::newNull(), Obj::newNull());
    return true;
}

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", v);
    return text;
}

void addPage(QPDF &pdf, const PdfImage &image)
{
    const double width = image.width * 72.0 / effectiveDpi(image.xdpi);
    const double height = image.height * 72.0 / effectiveDpi(image.ydpi);
    const std::string content = "q " + number(width) + " 0 0 " + number(height) + " 0 0 cm /Im0 Do Q\n";
    Obj xobjects = Obj::newDictionary();
    xobjects.replaceKey("/Im0", image.stream);
    Obj resources = Obj::newDictionary();
    resources.replaceKey("/XObject", xobjects);
    Obj page = Obj::newDictionary();
    page.replaceKey("/Type", Obj::newName("/Page"));
    page.replaceKey("/MediaBox", Obj::parse("[0 0 " + number(width) + " " + number(height) + "]"));
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", Obj::newStream(&pdf, content));
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
}

} // namespace

bool writePdf(const char *outFile, const char *const *sources, int count)
{
    if (!outFile || !sources || count < 1)
        return false;
    try {
        QPDF pdf;
        auto logger = QPDFLogger::create();
        logger->setInfo(logger->discard());
        logger->setWarn(logger->discard());
        logger->setError(logger->discard());
        pdf.setLogger(logger);
        pdf.setSuppressWarnings(true);
        pdf.emptyPDF();
        for (int i = 0; i < count; ++i) {
            MappedFile file(sources[i]);
            const FileType type = sniff(file.data(), file.size());
            PdfImage image;
            if (!embedAsStored(pdf, type, file, image) && !embedDecoded(pdf, type, file, image))
                return false;
            addPage(pdf, image);
        }
        PendingFile output(outFile);
        std::FILE *stream = output.ok() ? output.stream() : nullptr;
        if (!stream)
            return false;
        QPDFWriter writer(pdf);
        writer.setOutputFile(output.path().c_str(), stream, false);
        writer.write();
        return output.commit();
    } catch (...) {
        return false;
    }
}

} // namespace arkavo::codec
