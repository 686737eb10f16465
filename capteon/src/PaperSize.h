#pragma once
// Named paper sizes for the scan area, in millimetres.
#include <QString>

#include <optional>
#include <vector>

namespace arkavo::capteon {

struct PaperFormat {
    QString name;
    double width;
    double height;
};

const std::vector<PaperFormat> &paperSizes();
// Case-insensitive lookup; "Max" is not in the table (it means the whole area).
std::optional<PaperFormat> paperSizeByName(const QString &name);
// The size whose dimensions match width x height to within half a millimetre.
QString paperSizeName(double width, double height);

} // namespace arkavo::capteon
