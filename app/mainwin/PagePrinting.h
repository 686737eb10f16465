#pragma once
// Printing pages: what the print dialog offers, which list rows a choice prints, and the
// page loop that puts each page image on paper at its natural size.
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

class QPrinter;

// What the print dialog offers for the shown node.
struct PrintRangeOffer {
    int minPage = 0, maxPage = 0; // 0, 0: no page-number range
    int fromPage = 0, toPage = 0;
    bool pageRange = false; // the page-number choice is offered
    bool selection = false; // the selection choice is offered
};

// A folder (level 2) lists the pages of several files, so page numbers mean nothing there;
// a file offers 1 … PageCount. The selection choice needs a selected page.
PrintRangeOffer PrintRangeFor(int nodeLevel, int pageCount, int selectedCount);

enum class PrintRangeKind { AllPages, Selection, PageRange };

// Rows 0 … PageCount-1 the choice prints, in list order. Page numbers are 1-based rows.
QList<int> RowsToPrint(PrintRangeKind kind, int fromPage, int toPage, int pageCount,
                       const QList<int> &selectedRows);

// The page image of a loaded page (TIFF, JPEG or BMP file, first page) with its resolution
// in dots per inch; a resolution of 0 is taken as the codec's default of 200 dpi. Null image
// when the file cannot be decoded.
struct PrintablePage {
    QImage image;
    int xDpi = 0, yDpi = 0;
};
PrintablePage LoadPrintablePage(const QString &path);

// Size on a device of DeviceDpi of Pixels stored at PageDpi: Pixels × DeviceDpi / PageDpi,
// rounded as MulDiv rounds.
int NaturalSize(int pixels, int deviceDpi, int pageDpi);

// The page loop. Each page comes out on its own sheet at its natural size, its top-left
// corner at the top-left corner of the printable area. A page that cannot be decoded leaves
// its sheet blank; before the first printed page no sheet is spent on it. Throws
// std::runtime_error when the job cannot be started or a sheet cannot be begun; the pages
// sent before then are printed. Returns the number of sheets.
class TPagePrinter {
public:
    explicit TPagePrinter(QPrinter &printer) : m_printer(printer) {}
    int Print(const QStringList &paths);

private:
    QPrinter &m_printer;
};
