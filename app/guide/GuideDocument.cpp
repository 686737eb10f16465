#include "GuideDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>

namespace {

const QString kFont = QStringLiteral("WenQuanYi Micro Hei");
const QColor kAccent(0x1f, 0x4e, 0x79);
constexpr int kDpi = 300;
constexpr double kMarginMm = 20;

double Mm(double mm)
{
    return mm / 25.4 * kDpi;
}

// Drops the pictures that are missing, with their captions, and numbers the captions that
// stay: a caption is a line "图　text" right after its picture.
QString WithPictures(const QString &markdown, const QMap<QString, QImage> &pictures)
{
    static const QRegularExpression picture(QStringLiteral("^!\\[[^\\]]*\\]\\(([^)]+)\\.png\\)\\s*$"));
    const QString captionMark = QStringLiteral("图　");
    QStringList kept;
    bool dropCaption = false;
    int figure = 0;
    for (const QString &line : markdown.split(u'\n')) {
        const QRegularExpressionMatch m = picture.match(line);
        if (m.hasMatch()) {
            dropCaption = !pictures.contains(m.captured(1));
            if (dropCaption)
                continue;
        } else if (line.startsWith(captionMark)) {
            if (dropCaption) {
                dropCaption = false;
                continue;
            }
            kept << QStringLiteral("图 %1　").arg(++figure) + line.mid(captionMark.size());
            continue;
        } else if (!line.trimmed().isEmpty()) {
            dropCaption = false;
        }
        kept << line;
    }
    return kept.join(u'\n');
}

// Headings, paragraphs, pictures and tables in the guide's own style. Chapters (level 2)
// start on a new page. TextWidth is in the document's units (96 per inch for pictures).
void Style(QTextDocument &doc, double pictureWidth)
{
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        QTextBlockFormat bf = block.blockFormat();
        const int level = bf.headingLevel();
        QTextCharFormat cf;
        if (level > 0) {
            cf.setFontWeight(QFont::Bold);
            cf.setForeground(kAccent);
            cf.setFontPointSize(level == 1 ? 24 : level == 2 ? 17 : 13);
            bf.setTopMargin(level == 1 ? 120 : level == 2 ? 0 : 40);
            bf.setBottomMargin(level == 1 ? 40 : 30);
            if (level == 2 && block != doc.begin())
                bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        } else if (bf.hasProperty(QTextFormat::BlockCodeFence) || bf.nonBreakableLines()) {
            // Settings and commands to type: shaded, in a fixed-pitch font, lines together.
            bf.setBackground(QColor(0xf1, 0xf3, 0xf5));
            bf.setLeftMargin(30);
            bf.setTopMargin(0);
            bf.setBottomMargin(0);
            bf.setLineHeight(120, QTextBlockFormat::ProportionalHeight);
            cf.setFontFamilies({QStringLiteral("DejaVu Sans Mono"), kFont});
            cf.setFontPointSize(9.5);
            if (!block.next().isValid() ||
                !block.next().blockFormat().hasProperty(QTextFormat::BlockCodeFence))
                bf.setBottomMargin(24);
        } else {
            bf.setLineHeight(150, QTextBlockFormat::ProportionalHeight);
            const bool listGoesOn =
                block.textList() && block.next().isValid() && block.next().textList() == block.textList();
            bf.setBottomMargin(listGoesOn ? 4 : 18);
        }
        cursor.setBlockFormat(bf);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        if (cf.propertyCount() > 0)
            cursor.mergeCharFormat(cf);
        // Pictures fit the text width and stand centred on their own line.
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            const QImage picture =
                doc.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
            if (picture.isNull())
                continue;
            // Screen pictures at their size, never wider than the text.
            const double width = qMin(pictureWidth, double(picture.width()));
            image.setWidth(width);
            image.setHeight(width * picture.height() / picture.width());
            QTextCursor at(&doc);
            at.setPosition(fragment.position());
            at.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            at.setCharFormat(image);
            QTextBlockFormat centred = bf;
            centred.setAlignment(Qt::AlignHCenter);
            centred.setTopMargin(20);
            centred.setLineHeight(100, QTextBlockFormat::ProportionalHeight);
            cursor.setBlockFormat(centred);
        }
        // A caption line right below a picture: "图 n ..." in small grey, centred.
        static const QRegularExpression caption(QStringLiteral("^图 \\d+　"));
        if (caption.match(block.text()).hasMatch()) {
            QTextBlockFormat centred = bf;
            centred.setAlignment(Qt::AlignHCenter);
            centred.setBottomMargin(40);
            cursor.setBlockFormat(centred);
            QTextCharFormat small;
            small.setFontPointSize(9);
            small.setForeground(QColor(0x55, 0x55, 0x55));
            cursor.mergeCharFormat(small);
        }
    }
    // Tables: ruled, with a shaded head row.
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        QTextTable *table = cursor.currentTable();
        if (!table || table->format().property(QTextFormat::UserProperty).toBool())
            continue;
        QTextTableFormat tf = table->format();
        tf.setBorder(1);
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tf.setBorderBrush(QColor(0x99, 0xa8, 0xb8));
        tf.setBorderCollapse(true);
        tf.setCellPadding(6);
        tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        tf.setBottomMargin(20);
        tf.setProperty(QTextFormat::UserProperty, true);
        table->setFormat(tf);
        for (int c = 0; c < table->columns(); ++c) {
            QTextTableCell cell = table->cellAt(0, c);
            QTextCharFormat head = cell.format();
            head.setBackground(QColor(0xe4, 0xec, 0xf4));
            cell.setFormat(head);
        }
    }
}

} // namespace

bool WriteGuidePdf(const QString &markdown, const QMap<QString, QImage> &pictures, const QString &pdfFile)
{
    QPdfWriter writer(pdfFile);
    writer.setResolution(kDpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setTitle(QStringLiteral("Arkavo 用户手册"));
    writer.setCreator(QStringLiteral("Arkavo"));
    const QSizeF paper(writer.width(), writer.height());
    const QRectF body(Mm(kMarginMm), Mm(kMarginMm + 6), paper.width() - 2 * Mm(kMarginMm),
                      paper.height() - 2 * Mm(kMarginMm) - Mm(10));

    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&writer);
    QFont font(kFont);
    font.setPointSizeF(10.5);
    doc.setDefaultFont(font);
    doc.setDocumentMargin(0);
    doc.setMarkdown(WithPictures(markdown, pictures));
    // After the text: setting it clears the resources. Each picture gets a thin frame, since
    // a dialog's grab has no window border of its own.
    for (auto it = pictures.cbegin(); it != pictures.cend(); ++it) {
        QImage framed = it.value().convertToFormat(QImage::Format_RGB32);
        QPainter frame(&framed);
        frame.setPen(QColor(0x8a, 0x99, 0xa8));
        frame.drawRect(framed.rect().adjusted(0, 0, -1, -1));
        frame.end();
        doc.addResource(QTextDocument::ImageResource, QUrl(it.key() + QStringLiteral(".png")), framed);
    }
    doc.setPageSize(body.size());
    // Picture widths are in 96-per-inch units.
    Style(doc, body.width() * 96.0 / kDpi);

    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    const int pages = doc.pageCount();
    QFont small(kFont);
    small.setPointSizeF(8.5);
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !writer.newPage())
            return false;
        if (page > 0) {
            // Running head and page number.
            painter.setFont(small);
            painter.setPen(QColor(0x66, 0x66, 0x66));
            const QRectF head(body.left(), Mm(kMarginMm - 6), body.width(), Mm(6));
            painter.drawText(head, Qt::AlignLeft | Qt::AlignVCenter,
                             QStringLiteral("Arkavo 文档扫描管理系统"));
            painter.drawText(head, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("用户手册"));
            painter.setPen(QPen(QColor(0x99, 0xa8, 0xb8), 2));
            painter.drawLine(QPointF(body.left(), head.bottom() + 8),
                             QPointF(body.right(), head.bottom() + 8));
            painter.setPen(QColor(0x66, 0x66, 0x66));
            painter.drawText(QRectF(body.left(), paper.height() - Mm(kMarginMm), body.width(), Mm(8)),
                             Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("— %1 —").arg(page + 1));
        }
        painter.save();
        painter.translate(body.left(), body.top() - page * body.height());
        QAbstractTextDocumentLayout::PaintContext context;
        // A line moved to the next page may start a hair above it (the frame of a picture):
        // a few dots less keep it off this page.
        context.clip = QRectF(0, page * body.height(), body.width(), body.height() - 4);
        painter.setClipRect(context.clip);
        doc.documentLayout()->draw(&painter, context);
        painter.restore();

        if (page == 0) {
            // The contents, below the title page's text.
            QTextBlock last = doc.begin();
            for (QTextBlock b = doc.begin(); b.isValid() && b.blockFormat().headingLevel() != 2; b = b.next())
                last = b;
            const QRectF lastRect = doc.documentLayout()->blockBoundingRect(last);
            double y = body.top() + lastRect.bottom() + Mm(12);
            QFont title(kFont);
            title.setPointSizeF(14);
            title.setBold(true);
            painter.setFont(title);
            painter.setPen(kAccent);
            painter.drawText(QRectF(body.left(), y, body.width(), Mm(9)), Qt::AlignLeft | Qt::AlignVCenter,
                             QStringLiteral("目录"));
            y += Mm(12);
            QFont entry(kFont);
            entry.setPointSizeF(11);
            painter.setFont(entry);
            painter.setPen(QColor(0x22, 0x22, 0x22));
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
                if (b.blockFormat().headingLevel() != 2)
                    continue;
                const int onPage = int(doc.documentLayout()->blockBoundingRect(b).top() / body.height()) + 1;
                const QRectF line(body.left() + Mm(4), y, body.width() - Mm(8), Mm(8));
                painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, b.text());
                painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, QString::number(onPage));
                painter.setPen(QPen(QColor(0xbb, 0xbb, 0xbb), 2, Qt::DotLine));
                const double textEnd =
                    line.left() + painter.fontMetrics().horizontalAdvance(b.text()) + Mm(3);
                painter.drawLine(QPointF(textEnd, line.center().y() + Mm(1.5)),
                                 QPointF(line.right() - Mm(8), line.center().y() + Mm(1.5)));
                painter.setPen(QColor(0x22, 0x22, 0x22));
                y += Mm(9);
            }
        }
    }
    return painter.end();
}
