#include "PaperSize.h"

#include <cmath>

namespace arkavo::capteon {

const std::vector<PaperFormat> &paperSizes()
{
    static const std::vector<PaperFormat> sizes = {
        {QStringLiteral("A4"), 210.0, 297.0},    {QStringLiteral("A5"), 148.0, 210.0},
        {QStringLiteral("B5"), 176.0, 250.0},    {QStringLiteral("Letter"), 215.9, 279.4},
        {QStringLiteral("Legal"), 215.9, 355.6}, {QStringLiteral("A3"), 297.0, 420.0},
    };
    return sizes;
}

std::optional<PaperFormat> paperSizeByName(const QString &name)
{
    for (const PaperFormat &p : paperSizes())
        if (p.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return p;
    return std::nullopt;
}

QString paperSizeName(double width, double height)
{
    for (const PaperFormat &p : paperSizes())
        if (std::fabs(p.width - width) <= 0.5 && std::fabs(p.height - height) <= 0.5)
            return p.name;
    return {};
}

} // namespace arkavo::capteon
