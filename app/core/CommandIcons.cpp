#include "CommandIcons.h"

#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// A sheet of paper, the base of every drawn page-command picture.
void drawPage(QPainter &p, const QRectF &r = QRectF(5.5, 2.5, 13, 19))
{
    p.setPen(QPen(QColor(0x55, 0x5f, 0x6b), 1));
    p.setBrush(QColor(0xfc, 0xfc, 0xfa));
    p.drawRect(r);
}

void drawLines(QPainter &p, qreal x0, qreal x1, qreal y0, int n)
{
    p.setPen(QPen(QColor(0x6b, 0x7a, 0x8c), 1));
    for (int i = 0; i < n; ++i)
        p.drawLine(QPointF(x0, y0 + i * 3), QPointF(x1, y0 + i * 3));
}

// A solid arrow from From to To with a head of the given size.
void drawArrow(QPainter &p, QPointF from, QPointF to, qreal head, const QColor &colour)
{
    const QLineF line(from, to);
    const QPointF u = (to - from) / line.length();
    const QPointF n(-u.y(), u.x());
    p.setPen(QPen(colour, 2.5, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(from, to - u * head * 0.8);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF({to, to - u * head + n * head * 0.7, to - u * head - n * head * 0.7}));
}

// Page and file navigation: an arrow (left/right for pages, up/down for files), with a bar
// for the first and last; file arrows stand on a small sheet.
void drawNavigation(QPainter &p, const QString &name)
{
    const QColor arrow(0x2a, 0x7a, 0x2e);
    const bool file = name.startsWith(u"file-");
    const QString what = name.mid(name.indexOf(u'-') + 1);
    const bool toStart = what == u"first" || what == u"previous";
    const bool toEnd = what == u"first" || what == u"last";
    if (file) {
        drawPage(p, QRectF(3.5, 4.5, 11, 15));
        drawLines(p, 5.5, 12.5, 8, 3);
    }
    // Arrow along the x axis for pages, along y for files; mirrored for the start.
    auto at = [&](qreal along, qreal across) {
        const qreal a = toStart ? 24 - along : along;
        return file ? QPointF(12 + across + 4, a) : QPointF(a, 12 + across);
    };
    drawArrow(p, at(4, 0), at(toEnd ? 17 : 20, 0), 7, arrow);
    if (toEnd) {
        p.setPen(QPen(arrow, 2.5, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(at(20, -6), at(20, 6));
    }
}

QPixmap drawn(const QString &name)
{
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor accent(0x1f, 0x6f, 0xc5);
    if (name.startsWith(u"page-") || name.startsWith(u"file-")) {
        drawNavigation(p, name);
    } else if (name == u"fit-width" || name == u"fit-height") {
        drawPage(p, QRectF(4.5, 2.5, 15, 19));
        const bool width = name == u"fit-width";
        const QPointF c(12, 12);
        const QPointF d = width ? QPointF(6, 0) : QPointF(0, 8);
        drawArrow(p, c, c + d, 4.5, accent);
        drawArrow(p, c, c - d, 4.5, accent);
    } else if (name == u"inverse") {
        drawPage(p);
        p.fillRect(QRectF(12, 3, 6.5, 18.5), QColor(0x22, 0x22, 0x22));
    } else if (name == u"rotate-180") {
        drawPage(p);
        p.setPen(QPen(accent, 2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(7, 6, 10, 10), 90 * 16, 270 * 16);
        p.setBrush(accent);
        p.drawPolygon(QPolygonF({QPointF(12, 3), QPointF(16, 6), QPointF(12, 9)}));
    } else if (name == u"crop" || name == u"autocrop") {
        drawPage(p);
        drawLines(p, 8, 16, 7, 4);
        p.setPen(QPen(name == u"crop" ? QColor(0xc0, 0x39, 0x2b) : accent, 2));
        p.drawLine(QPointF(3, 5), QPointF(19, 5));
        p.drawLine(QPointF(5, 3), QPointF(5, 19));
        p.drawLine(QPointF(5, 19), QPointF(21, 19));
        p.drawLine(QPointF(19, 5), QPointF(19, 21));
        if (name == u"autocrop") {
            p.setBrush(QColor(0xf1, 0xc4, 0x0f));
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(19, 5), 3, 3);
        }
    } else if (name == u"deskew") {
        p.save();
        p.translate(12, 12);
        p.rotate(-12);
        p.translate(-12, -12);
        drawPage(p);
        drawLines(p, 8, 16, 6, 5);
        p.restore();
        p.setPen(QPen(accent, 1.5, Qt::DashLine));
        p.drawLine(QPointF(2, 22), QPointF(22, 22));
    } else if (name == u"despeckle") {
        drawPage(p);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x33, 0x33, 0x33));
        for (QPointF c : {QPointF(9, 7), QPointF(15, 10), QPointF(10, 15), QPointF(14, 18)})
            p.drawEllipse(c, 1.2, 1.2);
        p.setPen(QPen(accent, 2));
        p.drawLine(QPointF(13, 22), QPointF(22, 13));
    } else if (name == u"border") {
        p.fillRect(QRectF(3, 1, 18, 22), QColor(0x22, 0x22, 0x22));
        drawPage(p, QRectF(6.5, 4.5, 11, 15));
        drawLines(p, 8.5, 15.5, 8, 3);
        p.setPen(QPen(QColor(0xc0, 0x39, 0x2b), 2));
        p.drawLine(QPointF(16, 16), QPointF(22, 22));
        p.drawLine(QPointF(22, 16), QPointF(16, 22));
    } else if (name == u"text") {
        drawPage(p);
        QFont f;
        f.setPixelSize(14);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(0x22, 0x22, 0x22));
        p.drawText(QRectF(5, 3, 14, 19), Qt::AlignCenter, QStringLiteral("A"));
    } else if (name == u"blank") {
        drawPage(p, QRectF(3.5, 2.5, 12, 17));
        p.setPen(QPen(accent, 2));
        p.setBrush(QColor(255, 255, 255, 160));
        p.drawEllipse(QPointF(15, 14), 4.5, 4.5);
        p.drawLine(QPointF(18.5, 17.5), QPointF(22, 21));
    } else {
        drawPage(p);
        drawLines(p, 8, 16, 7, 4);
    }
    return pm;
}

struct IconChoice {
    const char *theme; // freedesktop name, or null
    const char *drawn; // fallback picture drawn above
};

const QHash<QString, IconChoice> &choices()
{
    static const QHash<QString, IconChoice> map = {
        {"MN_FILE_New", {"document-new", "page"}},
        {"MN_FILE_NewFileType", {"folder-new", "page"}},
        {"MN_FILE_NewFolder", {"folder-new", "page"}},
        {"MN_FILE_NewFile", {"document-new", "page"}},
        {"MN_FILE_IMPORT", {"document-open", "page"}},
        {"MN_FILE_EXPORT", {"document-save-as", "page"}},
        {"MN_FILE_RENAME", {"insert-text", "text"}},
        {"MN_FILE_DELETE", {"edit-delete", "border"}},
        {"MN_FILE_PRINT", {"document-print", "page"}},
        {"MN_FILE_EMAIL", {"mail-send", "page"}},
        {"MN_FILE_PROPERTIES", {"document-properties", "page"}},
        {"MN_FILE_CLOSE", {"application-exit", "page"}},
        {"MN_EDIT_CUT", {"edit-cut", "crop"}},
        {"MN_EDIT_COPY", {"edit-copy", "page"}},
        {"MN_EDIT_PASTE", {"edit-paste", "page"}},
        {"MN_EDIT_SELECTALL", {"edit-select-all", "page"}},
        {"MN_NAVIGATION_FIRSTPAGE", {nullptr, "page-first"}},
        {"MN_NAVIGATION_PREVIOUSPAGE", {nullptr, "page-previous"}},
        {"MN_NAVIGATION_NEXTPAGE", {nullptr, "page-next"}},
        {"MN_NAVIGATION_LASTPAGE", {nullptr, "page-last"}},
        {"MN_NAVIGATION_FIRSTFILE", {nullptr, "file-first"}},
        {"MN_NAVIGATION_PREVIOUSFILE", {nullptr, "file-previous"}},
        {"MN_NAVIGATION_NEXTFILE", {nullptr, "file-next"}},
        {"MN_NAVIGATION_LASTFILE", {nullptr, "file-last"}},
        {"MN_ZOOM_IN", {"zoom-in", "page"}},
        {"MN_ZOOM_OUT", {"zoom-out", "page"}},
        {"MN_ZOOM_BESTFIT", {"zoom-fit-best", "page"}},
        {"MN_ZOOM_FITWIDTH", {nullptr, "fit-width"}},
        {"MN_ZOOM_FITHEIGHT", {nullptr, "fit-height"}},
        {"MN_ZOOM_ACTUALSIZE", {"zoom-original", "page"}},
        {"MN_SCANNER_SELECTSCANNER", {"preferences-desktop-peripherals", "page"}},
        {"MN_SCANNER_APPENDSCAN", {"list-add", "page"}},
        {"MN_SCANNER_INSERTSCAN", {"insert-object", "page"}},
        {"MN_SCANNER_REPLACESCAN", {"view-refresh", "page"}},
        {"MN_IMAGE_INVERSE", {nullptr, "inverse"}},
        {"MN_IMAGE_MIRROR", {"object-flip-horizontal", "page"}},
        {"MN_IMAGE_FLIP", {"object-flip-vertical", "page"}},
        {"MN_IMAGE_ROTATE", {"object-rotate-right", "rotate-180"}},
        {"MN_IMAGE_ROTATE_L90", {"object-rotate-left", "rotate-180"}},
        {"MN_IMAGE_ROTATE_R90", {"object-rotate-right", "rotate-180"}},
        {"MN_IMAGE_ROTATE_180", {nullptr, "rotate-180"}},
        {"MN_IMAGE_CROP", {nullptr, "crop"}},
        {"MN_IMAGE_AUTOCROP", {nullptr, "autocrop"}},
        {"MN_IMAGE_DESKEW", {nullptr, "deskew"}},
        {"MN_IMAGE_DESPECLE", {nullptr, "despeckle"}},
        {"MN_IMAGE_REMOVEBLACKBORDER", {nullptr, "border"}},
        {"MN_IMAGE_TEXT", {nullptr, "text"}},
        {"MN_IMAGE_BRIGHTCONTRAST", {"preferences-desktop-display", "page"}},
        {"MN_IMAGE_SEARCHBLANKPAGE", {nullptr, "blank"}},
        {"MN_IMAGE_SETTING", {"preferences-system", "page"}},
        {"MN_HELP_CONTENT", {"help-contents", "page"}},
        {"MN_HELP_CHECKNEWVERSION", {"software-update-available", "page"}},
        {"MN_HELP_ABOUT", {"help-about", "page"}},
    };
    return map;
}

} // namespace

QIcon CommandIcon(const QString &name)
{
    // Without a desktop session Qt knows no theme; Debian's default one has the pictures we want.
    static const bool themeReady = [] {
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor")
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    Q_UNUSED(themeReady);
    const auto it = choices().find(name);
    if (it == choices().end())
        return {};
    if (it->theme) {
        const QIcon themed = QIcon::fromTheme(QString::fromLatin1(it->theme));
        if (!themed.isNull())
            return themed;
    }
    return QIcon(drawn(QString::fromLatin1(it->drawn)));
}
