#include "ImageProcSettings.h"

#include "IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <limits>

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

std::optional<int> ImageProcSettings::WholeNumber(const QString &text)
{
    const QString t = text.trimmed();
    const qsizetype start = t.startsWith(u'-') || t.startsWith(u'+') ? 1 : 0;
    if (start == t.size())
        return std::nullopt;
    for (qsizetype i = start; i < t.size(); ++i) {
        if (t[i] < u'0' || t[i] > u'9')
            return std::nullopt;
    }
    // A number too long for an int is still a number: it stands for the nearest int, so
    // that clamping takes it to the end of the range it lies beyond.
    bool ok = false;
    const qlonglong wide = t.toLongLong(&ok);
    if (!ok || wide > std::numeric_limits<int>::max() || wide < std::numeric_limits<int>::min())
        return t.startsWith(u'-') ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    return int(wide);
}

int ImageProcSettings::FromText(Key key, const QString &text)
{
    return WholeNumber(text).value_or(kRules[key].minimum);
}

bool ImageProcSettings::Read(const QString &file)
{
    // A file that is there but cannot be read is not a file without the keys: reading
    // defaults from it would put them in force in place of the stored values.
    const QFileInfo info(file);
    if (info.exists()) {
        QFile f(file);
        if (info.isDir() || !f.open(QIODevice::ReadOnly))
            return false;
    }
    const IniFile ini(file);
    const QString section = QString::fromLatin1(Section);
    ImageProcSettings read;
    for (int k = 0; k < KeyCount; ++k) {
        const Key key = Key(k);
        const auto value = WholeNumber(ini.readString(section, QString::fromLatin1(kRules[k].key)));
        read.SetValue(key, value.value_or(kRules[k].defaultValue));
    }
    *this = read;
    return true;
}

bool ImageProcSettings::Write(const QString &file) const
{
    // The keys go one at a time into a scratch copy, and the copy replaces the file in one
    // step, so that a failure half way leaves the file as it was rather than half updated.
    const QFileInfo info(file);
    QByteArray original;
    if (info.exists()) {
        QFile f(file);
        if (info.isDir() || !f.open(QIODevice::ReadOnly))
            return false;
        original = f.readAll();
        if (f.error() != QFileDevice::NoError)
            return false;
    }
    QTemporaryDir scratchDir;
    if (!scratchDir.isValid())
        return false;
    const QString scratch = scratchDir.filePath(QStringLiteral("settings.ini"));
    if (info.exists()) {
        QFile copy(scratch);
        if (!copy.open(QIODevice::WriteOnly) || copy.write(original) != original.size() || !copy.flush())
            return false;
    }
    IniFile ini(scratch);
    const QString section = QString::fromLatin1(Section);
    for (int k = 0; k < KeyCount; ++k) {
        if (!ini.writeInteger(section, QString::fromLatin1(kRules[k].key), m_values[k]))
            return false;
    }
    QFile updated(scratch);
    if (!updated.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = updated.readAll();
    if (updated.error() != QFileDevice::NoError)
        return false;
    QSaveFile target(file);
    if (!target.open(QIODevice::WriteOnly) || target.write(text) != text.size())
        return false;
    return target.commit();
}

QString ImageProcSettings::FileIn(const QString &dir)
{
    return SettingsFileIn(dir);
}
