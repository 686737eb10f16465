#include "IndexListing.h"

#include <QBuffer>
#include <QXmlStreamWriter>

namespace {

bool IsNameStartChar(char32_t c)
{
    return (c >= U'A' && c <= U'Z') || c == U'_' || (c >= U'a' && c <= U'z') || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(char32_t c)
{
    return IsNameStartChar(c) || c == U'-' || c == U'.' || (c >= U'0' && c <= U'9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// Characters an XML 1.0 document cannot hold at all (most control characters, unpaired
// surrogates) are left out of values, which would otherwise make the file unreadable.
QString XmlText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        const bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                             (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
        if (allowed)
            out.append(QString::fromUcs4(&c, 1));
    }
    return out;
}

} // namespace

void IndexListing::AddFile(const QString &fileName, int sequence, const QStringList &values)
{
    m_files.append({fileName, sequence, values});
}

QString IndexListing::SequenceText(int sequence)
{
    return QString::asprintf("%7.7d", sequence);
}

QString IndexListing::CsvField(const QString &value)
{
    static const QString special = QStringLiteral(",\"\r\n");
    for (QChar c : value)
        if (special.contains(c))
            return u'"' + QString(value).replace(u'"', QStringLiteral("\"\"")) + u'"';
    return value;
}

QString IndexListing::XmlName(const QString &name)
{
    const QList<uint> chars = name.toUcs4();
    QString out;
    for (const char32_t c : chars) {
        if (IsNameChar(c))
            out.append(QString::fromUcs4(&c, 1));
        else
            out += u'_';
    }
    // What is left may still start with a digit, "-", "." or a combining mark.
    if (chars.isEmpty() || (IsNameChar(chars.first()) && !IsNameStartChar(chars.first())))
        out.prepend(u'_');
    return out;
}

QByteArray IndexListing::Text() const
{
    QStringList header{QStringLiteral("文件名称"), QStringLiteral("文件序号")};
    for (const QString &name : m_fieldNames)
        header << CsvField(name);
    QString text = header.join(u',') + QStringLiteral("\r\n");
    for (const File &file : m_files) {
        text += CsvField(file.name) + u',' + SequenceText(file.sequence);
        for (int i = 0; i < m_fieldNames.size(); ++i)
            text += u',' + CsvField(file.values.value(i));
        text += QStringLiteral("\r\n");
    }
    return text.toUtf8();
}

QByteArray IndexListing::Xml() const
{
    QByteArray bytes("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>");
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly | QIODevice::Append);
    QXmlStreamWriter xml(&buffer);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    QStringList elementNames;
    for (const QString &name : m_fieldNames)
        elementNames << XmlName(name);
    xml.writeStartElement(QStringLiteral("Index"));
    for (const File &file : m_files) {
        xml.writeStartElement(QStringLiteral("文件"));
        xml.writeAttribute(QStringLiteral("名称"), XmlText(file.name));
        xml.writeAttribute(QStringLiteral("序号"), SequenceText(file.sequence));
        for (int i = 0; i < elementNames.size(); ++i)
            xml.writeTextElement(elementNames[i], XmlText(file.values.value(i)));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    buffer.close();
    return bytes;
}
