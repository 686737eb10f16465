#include "SearchResultGrid.h"

#include "CatalogDatabase.h"

#include <QPainter>

namespace SearchHighlight {

QList<Span> QuickSpans(const QString &text, const QStringList &keywords)
{
    QList<Span> spans;
    for (int pos = 0; pos < text.size();) {
        int taken = 0;
        for (const QString &k : keywords) {
            if (!k.isEmpty() && QStringView(text).mid(pos).startsWith(k, Qt::CaseSensitive)) {
                taken = int(k.size());
                break;
            }
        }
        if (taken) {
            spans << Span{pos, taken};
            pos += taken;
        } else {
            ++pos;
        }
    }
    return spans;
}

QList<Span> ValueSpans(const QString &text, const QString &value)
{
    QList<Span> spans;
    if (value.isEmpty())
        return spans;
    for (qsizetype at = text.indexOf(value, 0, Qt::CaseSensitive); at >= 0;
         at = text.indexOf(value, at + value.size(), Qt::CaseSensitive))
        spans << Span{int(at), int(value.size())};
    return spans;
}

} // namespace SearchHighlight

TSearchResultModel::TSearchResultModel(TCatalogConnection *connection, QObject *parent)
    : QAbstractTableModel(parent), m_connection(connection)
{
}

bool TSearchResultModel::readBlock(int offset, std::vector<QList<QVariant>> &rows, QStringList *names)
{
    // One more row than a block tells whether another block follows.
    std::vector<QSqlRecord> records;
    const QString sql = m_sql + QStringLiteral(" LIMIT ") + QString::number(kBlockRows + 1) +
                        QStringLiteral(" OFFSET ") + QString::number(offset);
    if (!m_connection || !m_connection->runStatement(sql, {}, &records) || records.empty())
        return false;
    // The first record gives the columns, the data rows follow.
    if (names) {
        names->clear();
        for (int c = 0; c < records.front().count(); ++c)
            *names << records.front().fieldName(c);
    }
    const std::size_t dataRows = records.size() - 1;
    m_atEnd = dataRows <= std::size_t(kBlockRows);
    const std::size_t take = std::min<std::size_t>(dataRows, kBlockRows);
    rows.reserve(rows.size() + take);
    for (std::size_t i = 1; i <= take; ++i) {
        const QSqlRecord &r = records[i];
        QList<QVariant> row;
        row.reserve(r.count());
        for (int c = 0; c < r.count(); ++c)
            row << r.value(c);
        rows.push_back(std::move(row));
    }
    return true;
}

bool TSearchResultModel::Open(const QString &sql)
{
    beginResetModel();
    m_rows.clear();
    m_names.clear();
    m_titles.clear();
    m_sql = sql;
    m_active = readBlock(0, m_rows, &m_names);
    if (!m_active) {
        m_rows.clear();
        m_atEnd = true;
    }
    endResetModel();
    return m_active;
}

void TSearchResultModel::Close()
{
    beginResetModel();
    m_rows.clear();
    m_names.clear();
    m_titles.clear();
    m_sql.clear();
    m_active = false;
    m_atEnd = true;
    endResetModel();
}

void TSearchResultModel::SetTitles(const QStringList &titles)
{
    m_titles = titles;
    if (columnCount() > 0)
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

int TSearchResultModel::IntAt(int row, int column) const
{
    if (row < 0 || row >= int(m_rows.size()) || column < 0 || column >= m_rows[row].size())
        return -1;
    bool ok = false;
    const int v = m_rows[row][column].toInt(&ok);
    return ok ? v : -1;
}

int TSearchResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TSearchResultModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    if (!m_names.isEmpty())
        return int(m_names.size());
    return m_active ? int(m_titles.size()) : 0;
}

QVariant TSearchResultModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const QList<QVariant> &row = m_rows[index.row()];
    if (index.column() >= row.size() || row[index.column()].isNull())
        return QString();
    // Memo fields come as their text like every other value.
    return row[index.column()].toString();
}

QVariant TSearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section < m_titles.size() && !m_titles[section].isEmpty())
        return m_titles[section];
    if (section < m_names.size())
        return m_names[section];
    return {};
}

bool TSearchResultModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_active && !m_atEnd;
}

void TSearchResultModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    std::vector<QList<QVariant>> more;
    if (!readBlock(int(m_rows.size()), more, nullptr)) {
        m_atEnd = true;
        return;
    }
    if (more.empty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(more.size()) - 1);
    for (auto &row : more)
        m_rows.push_back(std::move(row));
    endInsertRows();
}

void TSearchHighlightDelegate::SetQuickTerms(const QStringList &keywords)
{
    m_quick = true;
    m_keywords = keywords;
    m_columnTerms.clear();
}

void TSearchHighlightDelegate::SetColumnTerms(const QStringList &perColumn)
{
    m_quick = false;
    m_keywords.clear();
    m_columnTerms = perColumn;
}

void TSearchHighlightDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const
{
    // The cell's frame and selection as the style draws them, then the text where the
    // underlines are measured from.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    QStyle *style = opt.widget ? opt.widget->style() : nullptr;
    if (style)
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

    const QRect cell = option.rect;
    const QFontMetrics fm(opt.font);
    const bool right = index.column() < m_rightAligned.size() && m_rightAligned[index.column()];
    const int textLeft = right ? cell.x() + cell.width() - 2 - fm.horizontalAdvance(text) : cell.x() + 2;

    painter->save();
    painter->setClipRect(cell, Qt::IntersectClip);
    painter->setFont(opt.font);
    const bool selected = opt.state & QStyle::State_Selected;
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(QRect(textLeft, cell.y(), cell.x() + cell.width() - textLeft, cell.height()),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);

    QList<SearchHighlight::Span> spans;
    if (m_quick)
        spans = SearchHighlight::QuickSpans(text, m_keywords);
    else if (index.column() < m_columnTerms.size())
        spans = SearchHighlight::ValueSpans(text, m_columnTerms[index.column()]);
    if (!spans.isEmpty()) {
        // Two rows above the exclusive bottom edge: the cell's last pixel row but one.
        const int y = cell.y() + cell.height() - 2;
        const int clipRight = cell.x() + cell.width() - 1;
        painter->setPen(QPen(Qt::red, 1));
        for (const auto &span : spans) {
            const int x1 = textLeft + fm.horizontalAdvance(text.left(span.start));
            const int x2 =
                std::min(clipRight, textLeft + fm.horizontalAdvance(text.left(span.start + span.length)) - 1);
            if (x2 >= x1)
                painter->drawLine(x1, y, x2, y);
        }
    }
    painter->restore();
}
