#include "ExportRun.h"

#include "FileHelpers.h"
#include "IndexListing.h"
#include "codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cstdio>
#include <exception>
#include <vector>

namespace {

enum class PageResult { Written, Failed, Skipped };

QString SevenDigits(int n)
{
    return QString::asprintf("%7.7d", n);
}

const char *Extension(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Bmp:
        return ".bmp";
    case ExportFormat::Jpg:
        return ".jpg";
    case ExportFormat::Pdf:
        return ".pdf";
    case ExportFormat::Tiff:
        break;
    }
    return ".tif";
}

// A page image read through the codec, freed with the object.
struct LoadedPage {
    TCodecImage image{0, 0, nullptr};
    explicit LoadedPage(const QString &path)
    {
        if (LoadFile(path.toUtf8().constData(), &image, 0) < 1 && image.Dib) {
            GlobalFree(image.Dib);
            image.Dib = nullptr;
        }
    }
    ~LoadedPage()
    {
        if (image.Dib)
            GlobalFree(image.Dib);
    }
    LoadedPage(const LoadedPage &) = delete;
    LoadedPage &operator=(const LoadedPage &) = delete;
};

// The stored page file as it is, through a temporary file that replaces Target only
// once every byte is written.
bool CopyWhole(const QString &source, const QString &target)
{
    QFile in(source);
    QSaveFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty())
        if (out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            break;
        }
    if (in.error() != QFileDevice::NoError)
        out.cancelWriting();
    return out.commit();
}

bool WriteWhole(const QString &target, const QByteArray &bytes)
{
    QSaveFile out(target);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit();
}

int SavePdfOf(const QString &target, const QStringList &sources)
{
    std::vector<QByteArray> names;
    std::vector<const char *> pointers;
    names.reserve(std::size_t(sources.size()));
    for (const QString &s : sources)
        names.push_back(s.toUtf8());
    for (const QByteArray &n : names)
        pointers.push_back(n.constData());
    return SavePDF(target.toUtf8().constData(), pointers.data(), int(pointers.size()));
}

} // namespace

ExportDepth DepthOf(int bitCount)
{
    return bitCount == 1 ? BilevelPages : bitCount == 8 ? GreyPages : ColourPages;
}

// The multi-page file being built: its hidden working name beside the target.
struct TExportRun::Output {
    QString target;
    QString working;
    bool started = false; // a page is in it
    bool failed = false;  // a page could not be added: the file is given up
};

QString TExportRun::SafeComponent(const QString &name)
{
    QString safe = name;
    safe.replace(u'/', u'_').replace(QChar(0), u'_');
    if (safe.isEmpty() || safe == u"." || safe == u"..")
        safe.prepend(u'_');
    return safe;
}

QString TExportRun::OutputBase(const QString &fileName) const
{
    QString dir = m_options.directory;
    while (dir.size() > 1 && dir.endsWith(u'/'))
        dir.chop(1);
    const QString f = SafeComponent(fileName);
    const bool single = m_options.layout == ExportLayout::SinglePages;
    if (m_options.folderMode)
        return dir + u'/' + f + u'/' + (single ? QString() : f);
    return dir + u'/' + f + (single ? QStringLiteral("_") : QString());
}

void TExportRun::finishOutput(bool ok, const QString &target)
{
    if (ok) {
        ++m_report.written;
        return;
    }
    if (m_report.failed++ == 0)
        m_report.firstFailure = target;
}

void TExportRun::step(int &done)
{
    ++done;
    if (Progress)
        Progress(done);
}

ExportReport TExportRun::Run(const QList<ExportFile> &files, const QStringList &fieldNames)
{
    m_report = {};
    IndexListing listing(fieldNames);
    int done = 0;
    std::exception_ptr failure;
    try {
        for (const ExportFile &file : files) {
            if (m_options.index != ExportIndex::None)
                listing.AddFile(file.name, file.sequence, ReadValues ? ReadValues(file) : QStringList());
            exportFile(file, done);
            if (m_report.cancelled)
                break;
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // The listing is written also after a cancel or an error: it lists the files begun.
    if (m_options.index != ExportIndex::None) {
        const bool text = m_options.index == ExportIndex::Text;
        const QString path = QDir(m_options.directory).filePath(text ? "Index.txt" : "Index.xml");
        finishOutput(WriteWhole(path, text ? listing.Text() : listing.Xml()), path);
    }
    if (failure)
        std::rethrow_exception(failure);
    return m_report;
}

void TExportRun::exportFile(const ExportFile &file, int &done)
{
    const QString base = OutputBase(file.name);
    if (m_options.folderMode)
        QDir().mkpath(QFileInfo(base + u'x').path());

    switch (m_options.layout) {
    case ExportLayout::MultiPagePdf: {
        for (int i = 0; i < file.pages.size(); ++i) {
            step(done);
            if (cancelled()) {
                m_report.cancelled = true;
                return;
            }
        }
        if (!file.pages.isEmpty())
            savePdf(base + QStringLiteral(".pdf"), file.pages);
        return;
    }
    case ExportLayout::MultiPageTiff: {
        Output multi;
        multi.target = base + QStringLiteral(".tif");
        {
            QTemporaryFile working(QFileInfo(multi.target).path() + QStringLiteral("/.export-XXXXXX.tif"));
            working.setAutoRemove(false);
            if (working.open())
                multi.working = working.fileName();
        }
        multi.failed = multi.working.isEmpty();
        const auto dropWorking = [&] {
            if (!multi.working.isEmpty())
                QFile::remove(multi.working);
        };
        int counter = 1;
        for (const QString &page : file.pages) {
            if (multi.failed || exportPage(page, base, counter++, multi))
                step(done);
            if (cancelled()) {
                m_report.cancelled = true;
                dropWorking();
                return;
            }
        }
        bool ok = !multi.failed;
        if (ok && multi.started)
            ok = std::rename(QFile::encodeName(multi.working).constData(),
                             QFile::encodeName(multi.target).constData()) == 0;
        if (!ok || !multi.started)
            dropWorking();
        if (!ok || multi.started)
            finishOutput(ok, multi.target);
        return;
    }
    case ExportLayout::SinglePages: {
        Output none;
        int counter = 1;
        for (const QString &page : file.pages) {
            if (exportPage(page, base, counter++, none))
                step(done);
            if (cancelled()) {
                m_report.cancelled = true;
                return;
            }
        }
        return;
    }
    }
}

// One page into its own file, or into the multi-page TIFF being built. False when the
// page could not be read and was passed over.
bool TExportRun::exportPage(const QString &page, const QString &base, int counter, Output &multi)
{
    const bool single = m_options.layout == ExportLayout::SinglePages;
    const QString stem = single ? base + SevenDigits(counter) : base;
    const QByteArray source = page.toUtf8();

    // Data that already is what the page's format and compression ask for is taken as
    // it is stored: no generation loss, and no decoding.
    TCodecStoredPage stored{};
    if (InspectFile(source.constData(), &stored) && stored.BitCount != 0) {
        const ExportDepth depth = DepthOf(stored.BitCount);
        const ExportFormat format = single ? m_options.formats[depth] : ExportFormat::Tiff;
        const int compression = m_options.compressions[depth];
        const QString target = stem + QLatin1String(Extension(format));
        if (!single) {
            if (compression == CODEC_TIFF_G4 && stored.Compression == CODEC_TIFF_G4) {
                if (CopyTIFPage(QFile::encodeName(multi.working).constData(), source.constData(),
                                multi.started ? 1 : 0))
                    multi.started = true;
                else
                    multi.failed = true;
                return true;
            }
        } else if ((format == ExportFormat::Jpg && stored.Format == CODEC_FILE_JPEG) ||
                   (format == ExportFormat::Tiff && compression == CODEC_TIFF_G4 &&
                    stored.Compression == CODEC_TIFF_G4 && stored.Pages == 1)) {
            finishOutput(CopyWhole(page, target), target);
            return true;
        } else if (format == ExportFormat::Pdf) {
            finishOutput(SavePdfOf(target, {page}) == 1, target);
            return true;
        }
    }

    LoadedPage loaded(page);
    if (!loaded.image.Dib) {
        ++m_report.skippedPages;
        return false;
    }
    const ExportDepth depth = DepthOf(DibBitCount(loaded.image.Dib));
    const ExportFormat format = single ? m_options.formats[depth] : ExportFormat::Tiff;
    const int compression = m_options.compressions[depth];
    if (!single) {
        const QByteArray working = QFile::encodeName(multi.working);
        if (SaveTIF(&loaded.image, working.constData(), compression, multi.started ? 1 : 0) == 1)
            multi.started = true;
        else
            multi.failed = true;
        return true;
    }
    const QString target = stem + QLatin1String(Extension(format));
    const QByteArray name = target.toUtf8();
    int written = 0;
    switch (format) {
    case ExportFormat::Bmp:
        written = SaveBMP(&loaded.image, name.constData());
        break;
    case ExportFormat::Jpg:
        written = SaveJPG(&loaded.image, name.constData());
        break;
    case ExportFormat::Pdf:
        written = SavePdfOf(target, {page});
        break;
    case ExportFormat::Tiff:
        written = SaveTIF(&loaded.image, name.constData(), compression, 0);
        break;
    }
    finishOutput(written == 1, target);
    return true;
}

// A file's PDF from its page files. Pages that cannot be read are passed over, as in
// the other layouts; a file without a readable page gives no PDF.
bool TExportRun::savePdf(const QString &target, const QStringList &sources)
{
    if (SavePdfOf(target, sources) == 1) {
        finishOutput(true, target);
        return true;
    }
    QStringList readable;
    for (const QString &page : sources) {
        if (LoadedPage(page).image.Dib)
            readable << page;
        else
            ++m_report.skippedPages;
    }
    if (readable.isEmpty())
        return false;
    const bool ok = readable.size() < sources.size() && SavePdfOf(target, readable) == 1;
    finishOutput(ok, target);
    return ok;
}
