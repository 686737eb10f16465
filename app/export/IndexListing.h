#pragma once
// The index listings written beside an export: Index.txt (one comma-separated line per
// file) and Index.xml (one element per file), both UTF-8.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class IndexListing {
public:
    // Names: the display names of the file type's fields in field order, remark last.
    explicit IndexListing(QStringList fieldNames) : m_fieldNames(std::move(fieldNames)) {}

    // One exported file; Values in the order of the field names (missing ones are empty).
    void AddFile(const QString &fileName, int sequence, const QStringList &values);
    int FileCount() const { return int(m_files.size()); }

    // Header "文件名称,文件序号,<names>" and a line per file, CRLF after each line. Only
    // fields holding a comma, a double quote or a line break are quoted, as CSV does.
    QByteArray Text() const;
    // The declaration, root Index, an element 文件 per file with attributes 名称 and 序号
    // and one child per field, indented.
    QByteArray Xml() const;

    // Field as written into Index.txt.
    static QString CsvField(const QString &value);
    // An element name for a display name: kept when it is a valid XML name without a
    // colon; otherwise every character that may not stand in a name becomes "_", and a
    // name that would start with a digit, "-" or "." gets a leading "_" ("_" for an empty one).
    static QString XmlName(const QString &name);
    // The sequence number as written: seven digits.
    static QString SequenceText(int sequence);

private:
    struct File {
        QString name;
        int sequence = 0;
        QStringList values;
    };
    QStringList m_fieldNames;
    QList<File> m_files;
};
