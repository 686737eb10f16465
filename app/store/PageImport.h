#pragma once
// Thumbnails and the import of outside image files: the page work the main window does
// itself, kept here as plain functions so they run without a window.
#include "FileIdentity.h"
#include "globalmem.h"
#include <QString>
#include <QtGlobal>
#include <QStringList>

class QProgressBar;
class QStatusBar;
class QWidget;
class TImageManager;

// Writes the thumbnail of PageFile (its first page, or Dib when given; Dib stays with
// the caller) scaled into Width x Height, dated like the page. When the page cannot be
// reduced, a copy of ResourcePath + "unknown-file.bmp" takes its place. True when a thumbnail
// dated like the page is in place. The picture goes in place only if the page file is
// still the one it was made from, and the thumbnail folder is created only for a page
// that is there; Made receives the stamp of the page the thumbnail was made for.
bool MakeThumbnail(const QString &pageFile, const QString &thumbFile, HGLOBAL dib, int width, int height,
                   FileIdentity *made = nullptr);

// Test seam: called on the making thread when a thumbnail is begun, and again once the
// page's picture is reduced, before it is written. Null (the default) for none.
enum class TThumbnailStep { Begun, Reduced };
void SetThumbnailHook(void (*hook)(const QString &pageFile, TThumbnailStep step));

// Whether ThumbFile exists and carries exactly PageFile's modification time.
bool ThumbnailIsCurrent(const QString &pageFile, const QString &thumbFile);

// Where ImportPages shows its progress and which window it disables meanwhile.
struct TImportContext {
    QWidget *MainWindow = nullptr;
    QProgressBar *ProgressBar = nullptr; // none: the store's bar
    QStatusBar *StatusBar = nullptr;
};

// Reads outside image files (every page of each) and stores them as new pages at the
// end of the file; returns the page-list index at which it inserted items, or -1.
int ImportPages(TImageManager &store, const QStringList &sources, const QString &appName, int fileOrder,
                const QString &fileName, const QString &batchName, const TImportContext &context = {});
