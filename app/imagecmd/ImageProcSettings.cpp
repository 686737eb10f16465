#include "ImageProcSettings.h"

#include "IniFile.h"

#include <algorithm>

namespace {
const ImageProcSettings::Rule kRules[ImageProcSettings::KeyCount] = {
    {"Noise_Small", "spinedt_Noise_S", 3, 1, 9},
    {"Noise_MEDIUM", "spinedt_Noise_M", 5, 1, 9},
    {"Noise_Large", "spinedt_Noise_L", 7, 1, 9},
    {"AutoCrop_EdgeWidth", "spinedt_AutoCrop_EdgeWidth", 100, 1, 1000},
    {"BlankPage_Threshold", "spinedt_BlankPage_Threshold", 200, 0, 255},
    {"BlankPage_MaxBlack", "spinedt_BlankPage_MaxBlack", 1, 1, 1000},
    {"RemoveBlackBorder_Threshold", "spinedt_RemoveBlackBorder_Threshold", 80, 0, 255},
};
} // namespace

const ImageProcSettings::Rule &ImageProcSettings::RuleOf(Key key)
{
    return kRules[key];
}

ImageProcSettings::ImageProcSettings()
{
    for (int k = 0; k < KeyCount; ++k)
        m_values[k] = kRules[k].defaultValue;
}

void ImageProcSettings::SetValue(Key key, int value)
{
    m_values[key] = Clamp(key, value);
}

int ImageProcSettings::Clamp(Key key, int value)
{
    return std::clamp(value, kRules[key].minimum, kRules[key].maximum);
}

int ImageProcSettings::FromText(Key key, const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : kRules[key].minimum;
}

bool ImageProcSettings::Read(const QString &)
{
    return false;
}

bool ImageProcSettings::Write(const QString &) const
{
    return false;
}

QString ImageProcSettings::FileIn(const QString &dir)
{
    return SettingsFileIn(dir);
}
