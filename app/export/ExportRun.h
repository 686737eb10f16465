#pragma once
// The export itself, without widgets: the pages of a folder or a file written into a
// directory as single-page image files, one multi-page TIFF or one PDF per file, with an
// optional index listing. Every output appears complete or not at all: multi-page files
// are built under a hidden name and put in place once their last page is written, the
// others are written through a temporary file by their writers.
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

enum class ExportLayout { SinglePages, MultiPageTiff, MultiPagePdf };
enum class ExportIndex { None, Text, Xml };
enum class ExportFormat { Tiff, Bmp, Jpg, Pdf };

// Pages are sorted by their bits per pixel: 1, 8, anything else.
enum ExportDepth { BilevelPages = 0, GreyPages = 1, ColourPages = 2 };
ExportDepth DepthOf(int bitCount);

struct ExportOptions {
    QString directory;      // where the outputs go; must exist
    bool folderMode = true; // a folder (a directory per file) or a single file
    ExportLayout layout = ExportLayout::SinglePages;
    ExportIndex index = ExportIndex::None;
    std::array<ExportFormat, 3> formats{ExportFormat::Tiff, ExportFormat::Tiff, ExportFormat::Tiff};
    std::array<int, 3> compressions{4, 32773, 7}; // TIFF compression codes for SaveTIF
};

// One file of the catalogue as the page list shows it.
struct ExportFile {
    QString name;      // the file's name (IMAGENAME)
    int imageId = 0;   // its IMAGEID
    int sequence = 0;  // its 1-based position in its folder
    QStringList pages; // its page files, in page order
};

struct ExportReport {
    int written = 0;      // outputs put in place, the index listing included
    int failed = 0;       // outputs that could not be written
    QString firstFailure; // path of the first of them
    int skippedPages = 0; // pages that could not be read
    bool cancelled = false;
};

class TExportRun {
public:
    explicit TExportRun(ExportOptions options) : m_options(std::move(options)) {}

    // Told after each page, with the number of pages done; may be unset.
    std::function<void(int done)> Progress;
    // Asked after each page; true ends the export after that page, dropping the file
    // being built. May be unset.
    std::function<bool()> Cancelled;
    // The index values of a file, in the order of the field names given to Run; only
    // asked for when an index is written. May be unset (every value empty).
    std::function<QStringList(const ExportFile &)> ReadValues;

    // Exports the files in their order; FieldNames are the display names heading the
    // index listing.
    ExportReport Run(const QList<ExportFile> &files, const QStringList &fieldNames = {});

    // Where a file's outputs go: the directory and the first part of each output's name
    // (the page number and the extension follow). A name that would leave the directory
    // ("..", separators) is made harmless first.
    QString OutputBase(const QString &fileName) const;
    // A catalogue name usable as one path component inside the export directory.
    static QString SafeComponent(const QString &name);

private:
    struct Output;
    void exportFile(const ExportFile &file, int &done);
    bool exportPage(const QString &page, const QString &base, int counter, Output &multi);
    bool savePdf(const QString &target, const QStringList &sources);
    void finishOutput(bool ok, const QString &target);
    bool cancelled() const { return Cancelled && Cancelled(); }
    void step(int &done);

    ExportOptions m_options;
    ExportReport m_report;
};
