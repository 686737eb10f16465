#pragma once
// The user's guide as a PDF: Markdown text laid out on A4 pages with the program's
// pictures, a contents list on the first page, and a running head and page number.
#include <QImage>
#include <QMap>
#include <QString>

// Pictures are referred to in the text as ![caption](name.png), followed by a caption line
// "图　text" that gets its number here; a missing picture is left out with its caption.
// False when the PDF cannot be written.
bool WriteGuidePdf(const QString &markdown, const QMap<QString, QImage> &pictures, const QString &pdfFile);
