#pragma once
// What happens to a scanned page before it is filed, as plain functions: the cleaning
// steps the scan panel asks for, the decision whether the page opens a new file, and the
// temporary file it is written to. No window is involved.
#include "ImageProcSettings.h"

#include <arkavo/GlobalBlock.h>

#include "codec.h"

#include <QString>

struct CleaningOptions {
    bool invert = false;
    bool removeBorder = false;
    bool autoCrop = false;
    bool deskew = false;
    int rotate = 0; // item of the rotation list: 0 none, 1 "左转90度", 2 "右转90度", 3 "旋转180度"
};

// Runs the cleaning steps in their fixed order on Incoming, which stays the caller's and is
// never freed. The result is the cleaned page, or empty when no step changed anything (the
// incoming page is then the result). A step that fails or throws ends the cleaning with the
// page as it is then.
arkavo::GlobalBlock CleanPage(HGLOBAL incoming, const CleaningOptions &options,
                              const ImageProcSettings &settings);

enum class CutMode { ByHand = 0, BlankPage = 1, FixedCount = 2 };

// Whether the page about to become page ScanPageNo of the current file opens a new file
// when appending.
bool NeedsNewFile(int scanPageNo, int pagesPerFile, CutMode mode, HGLOBAL page,
                  const ImageProcSettings &settings);

// Where page ScanPageNo waits in TempDir (ending in '/') between scanning and filing: a
// TIFF for pages of up to 8 bits, a JPEG for deeper ones. A name still holding a page that
// was never filed is not used again: the next free one is.
QString TempPagePath(const QString &tempDir, int scanPageNo, int bitCount);

// Writes Page to Path with the codec (TIFF of the codec's own compression, or JPEG, by
// the path's extension); true once it is there.
bool SaveTempPage(const TCodecImage &page, const QString &path);
