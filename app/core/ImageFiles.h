#pragma once
// Writing a page image under a file name: the format follows the name's extension.
#include "codec.h"

#include <QString>

// ".tif" → TIFF (the codec's choice of compression), ".bmp" → BMP, ".jpg" → JPEG,
// compared in lower case. Returns the writer's result (1 = written); any other
// extension, or a writer that fails by throwing, gives 0 and writes nothing.
int SaveImageFile(const TCodecImage &image, const QString &fileName);
