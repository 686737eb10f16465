#pragma once
// The result grid's parts without the window: the rows of a listing statement, fetched a
// screenful at a time, and the painting of cells with the search terms underlined in red.
#include <QAbstractTableModel>
#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QVariant>

#include <vector>

class TCatalogConnection;

namespace SearchHighlight {

// Where a term lies in a cell's text.
struct Span {
    int start = 0;
    int length = 0;
    bool operator==(const Span &) const = default;
};

// Quick search: from left to right, at each position the first keyword (in their order) that
// starts there; the scan goes on after it. Exact case.
QList<Span> QuickSpans(const QString &text, const QStringList &keywords);
// Advanced search: every occurrence of the field's own value, exact case.
QList<Span> ValueSpans(const QString &text, const QString &value);

} // namespace SearchHighlight

// The rows of one listing statement. Rows are read in blocks as the grid scrolls; no
// statement stays open between blocks, so the catalogue's tables can be changed (a field
// added, a file deleted) while the grid shows results.
class TSearchResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TSearchResultModel(TCatalogConnection *connection, QObject *parent = nullptr);

    // Runs Sql and shows its first block. False (and an empty grid) when it fails.
    bool Open(const QString &sql);
    void Close();
    bool Active() const { return m_active; }
    const QString &Sql() const { return m_sql; }
    // Column titles by position, replacing the names the database reports.
    void SetTitles(const QStringList &titles);
    // A cell's value as an integer (the first three columns: APPID, BATCHID, IMAGEID).
    int IntAt(int row, int column) const;

    static constexpr int kBlockRows = 256;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent = {}) const override;
    void fetchMore(const QModelIndex &parent = {}) override;

private:
    // Reads up to kBlockRows rows from Offset into Rows; false when the statement fails.
    bool readBlock(int offset, std::vector<QList<QVariant>> &rows, QStringList *names);

    TCatalogConnection *m_connection;
    QString m_sql;
    bool m_active = false;
    bool m_atEnd = true;
    QStringList m_names;
    QStringList m_titles;
    std::vector<QList<QVariant>> m_rows;
};

// Paints a result cell: its text from 2 pixels inside the left edge, or right-aligned 2 pixels
// inside the right edge for number fields, and each occurrence of a search term underlined in
// red on the cell's pixel row bottom - 2, clipped to the cell.
class TSearchHighlightDelegate : public QStyledItemDelegate {
public:
    explicit TSearchHighlightDelegate(QObject *parent = nullptr) : QStyledItemDelegate(parent) {}

    // Quick mode: Keywords in every cell. Advanced mode: per column, the value searched in
    // that column's field (empty for none).
    void SetQuickTerms(const QStringList &keywords);
    void SetColumnTerms(const QStringList &perColumn);
    void SetRightAligned(const QList<bool> &perColumn) { m_rightAligned = perColumn; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    bool m_quick = true;
    QStringList m_keywords;
    QStringList m_columnTerms;
    QList<bool> m_rightAligned;
};
