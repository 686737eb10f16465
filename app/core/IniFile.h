#pragma once
// INI text files read and written the way the program's settings always were:
// section and key names compare without regard to case, a missing file reads as
// every key missing, and writing one key keeps every other line as it was.
#include <QString>
#include <QStringList>

class IniFile {
public:
    explicit IniFile(QString fileName) : m_fileName(std::move(fileName)) {}

    QString readString(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    // Writes atomically (a temporary file renamed over the old one). False when the file cannot be
    // written, or exists but cannot be read, which leaves it untouched.
    bool writeString(const QString &section, const QString &key, const QString &value);
    bool writeInteger(const QString &section, const QString &key, int value);
    bool writeBool(const QString &section, const QString &key, bool value);

    const QString &fileName() const { return m_fileName; }

private:
    // Readable is false when the file exists but cannot be read.
    QStringList readLines(bool *readable = nullptr) const;
    QString m_fileName;
};

// The settings file in Dir: an existing file whose name is "settings.ini" in any
// letter case, else Dir + "Settings.ini".
QString SettingsFileIn(const QString &dir);
