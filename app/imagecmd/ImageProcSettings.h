#pragma once
// The cleaning parameters of the image commands and of the scan pipeline: seven whole
// numbers with their defaults and ranges, read from and written to section
// "ImagePorcess" of the settings file. Plain values, so that whoever cleans a page can
// be given them without a dialog.
#include <QString>

#include <array>
#include <optional>

class ImageProcSettings {
public:
    enum Key {
        NoiseSmall,
        NoiseMedium,
        NoiseLarge,
        AutoCropEdgeWidth,
        BlankPageThreshold,
        BlankPageMaxBlack,
        RemoveBlackBorderThreshold,
        KeyCount
    };
    struct Rule {
        const char *key;   // key in the settings file
        const char *field; // object name of the dialog field
        int defaultValue, minimum, maximum;
    };
    static const Rule &RuleOf(Key key);

    // The section's name, spelled as the settings files have always had it.
    static constexpr const char *Section = "ImagePorcess";

    // Every value at its default.
    ImageProcSettings();

    int Value(Key key) const { return m_values[key]; }
    // Stores Value clamped to the key's range.
    void SetValue(Key key, int value);

    int Noise_Small() const { return m_values[NoiseSmall]; }
    int Noise_MEDIUM() const { return m_values[NoiseMedium]; }
    int Noise_Large() const { return m_values[NoiseLarge]; }
    int AutoCrop_EdgeWidth() const { return m_values[AutoCropEdgeWidth]; }
    int BlankPage_Threshold() const { return m_values[BlankPageThreshold]; }
    int BlankPage_MaxBlack() const { return m_values[BlankPageMaxBlack]; }
    int RemoveBlackBorder_Threshold() const { return m_values[RemoveBlackBorderThreshold]; }

    static int Clamp(Key key, int value);
    // Text as a field shows it: a whole number (surrounding blanks allowed), else the
    // key's minimum. Not clamped.
    static int FromText(Key key, const QString &text);
    // Text read as a whole number in decimal, surrounding blanks allowed; one beyond the
    // range of int gives the nearest int. Nothing when the text is not a whole number.
    static std::optional<int> WholeNumber(const QString &text);

    // Reads all seven keys from File, defaults for the missing ones, each clamped. False
    // (and nothing changed) when the file exists but cannot be read.
    bool Read(const QString &file);
    // Writes all seven keys; false when the file could not be written (it is then as it was).
    bool Write(const QString &file) const;
    // The settings file of the program folder Dir ("settings.ini" in any letter case).
    static QString FileIn(const QString &dir);

    bool operator==(const ImageProcSettings &) const = default;

private:
    std::array<int, KeyCount> m_values;
};
