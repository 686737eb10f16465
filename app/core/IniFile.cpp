#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace {

bool isSectionLine(const QString &trimmed, QString *name)
{
    if (trimmed.size() < 2 || !trimmed.startsWith(u'[') || !trimmed.endsWith(u']'))
        return false;
    if (name)
        *name = trimmed.mid(1, trimmed.size() - 2).trimmed();
    return true;
}

// Splits "key=value"; false for comments and lines without '='.
bool splitKey(const QString &line, QString *key, QString *value)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(u';') || t.startsWith(u'#'))
        return false;
    const qsizetype eq = t.indexOf(u'=');
    if (eq <= 0)
        return false;
    *key = t.left(eq).trimmed();
    if (value)
        *value = t.mid(eq + 1).trimmed();
    return true;
}

} // namespace

QStringList IniFile::readLines(bool *readable) const
{
    QFile f(m_fileName);
    // Only a file that is not there reads as empty; one that cannot be read is not empty.
    if (readable)
        *readable = !QFileInfo::exists(m_fileName);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return {};
    if (readable)
        *readable = true;
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text.split(u'\n');
}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    bool inSection = false;
    for (const QString &raw : readLines()) {
        const QString line = raw.trimmed();
        QString name;
        if (isSectionLine(line, &name)) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        QString k, v;
        if (inSection && splitKey(line, &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    }
    return defaultValue;
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    bool ok = false;
    const int v = readString(section, key).toInt(&ok);
    return ok ? v : defaultValue;
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    const QString v = readString(section, key).trimmed();
    if (v.isEmpty())
        return defaultValue;
    if (v.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (v.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? n != 0 : defaultValue;
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    // Writing over a file that could not be read would lose every other setting in it.
    bool readable = false;
    QStringList lines = readLines(&readable);
    if (!readable)
        return false;
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();

    qsizetype sectionStart = -1, sectionEnd = lines.size(), keyLine = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        QString name;
        if (isSectionLine(line, &name)) {
            if (sectionStart >= 0) {
                sectionEnd = i;
                break;
            }
            if (name.compare(section, Qt::CaseInsensitive) == 0)
                sectionStart = i;
            continue;
        }
        QString k;
        if (sectionStart >= 0 && keyLine < 0 && splitKey(line, &k, nullptr) &&
            k.compare(key, Qt::CaseInsensitive) == 0)
            keyLine = i;
    }

    const QString entry = key + u'=' + value;
    if (keyLine >= 0) {
        lines[keyLine] = entry;
    } else if (sectionStart >= 0) {
        qsizetype at = sectionEnd;
        while (at > sectionStart + 1 && lines[at - 1].trimmed().isEmpty())
            --at;
        lines.insert(at, entry);
    } else {
        if (!lines.isEmpty())
            lines.append(QString());
        lines.append(u'[' + section + u']');
        lines.append(entry);
    }

    QSaveFile f(m_fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    f.write(lines.join(u'\n').toUtf8());
    f.write("\n");
    return f.commit();
}

bool IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    return writeString(section, key, QString::number(value));
}

bool IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    return writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QString SettingsFileIn(const QString &dir)
{
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : entries) {
        if (name.compare(u"settings.ini", Qt::CaseInsensitive) == 0)
            return dir + name;
    }
    return dir + QStringLiteral("Settings.ini");
}
