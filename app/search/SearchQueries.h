#pragma once
// The statements of the quick, advanced and catalogue-wide search, and the counts they give.
// No windows here: the search panel gathers what was typed, calls these and shows the lines.
#include "FieldStore.h"

#include <QList>
#include <QString>
#include <QStringList>

class TCatalogConnection;

namespace SearchQueries {

// One line of the result list: folder or file type name, hit count as text, and the statement
// that lists its hits in the result grid.
struct SearchLine {
    QString caption;
    QString count;
    QString query;
    // The grid's titles and field types of the listed fields (after APPID, BATCHID, IMAGEID).
    QStringList titles;
    QList<int> fieldTypes;
};

// The display names and field types of the definitions, in order.
QStringList TitlesOf(const FieldDefList &defs);
QList<int> FieldTypesOf(const FieldDefList &defs);

// A file type node of the tree, as the catalogue-wide count visits it.
struct FileTypeEntry {
    int appId = 0;
    QString name;
};

// The keywords of the quick search: the trimmed text split at blanks, empty pieces dropped.
QStringList SplitKeywords(const QString &text);

// Every keyword must occur in some field: "(1=1)" without keywords, otherwise one group of
// LIKE tests per keyword over all definitions. Apostrophes are doubled; "%" and "_" keep their
// LIKE meaning.
QString QuickCondition(const QStringList &keywords, const FieldDefList &defs);

// Each non-empty value (one per definition, trimmed) must occur in its own field. Terms and
// termNames, when given, receive the values used and the display names of their fields.
QString AdvancedCondition(const FieldDefList &defs, const QStringList &values, QStringList *terms = nullptr,
                          QStringList *termNames = nullptr);

// The grid's statement without its condition: APPID, BATCHID and IMAGEID first, then every
// field under its display name. The database reports such names without their double quotes,
// and two fields may share one, so the grid titles its columns from the definitions by position.
QString ListingQuery(int appId, const FieldDefList &defs);

// The counting statement of one file type, restricted to one folder when batchId is not -1.
QString CountPerFolderQuery(int appId, const QString &condition, int batchId = -1);

// Hits per folder of the file type, one line per folder with hits. Empty when the statement
// fails.
QList<SearchLine> CountPerFolder(TCatalogConnection *connection, int appId, const FieldDefList &defs,
                                 const QString &condition, int batchId = -1);

// The file types under the root, in tree order.
QList<FileTypeEntry> FileTypesInTreeOrder(TCatalogConnection *connection);

// Hits per file type for the quick search over the whole catalogue, in the order given; file
// types without hits are left out. The first failing file type ends the scan, the lines before
// it stay.
QList<SearchLine> CountPerFileType(TCatalogConnection *connection, const QList<FileTypeEntry> &types,
                                   const QStringList &keywords);

} // namespace SearchQueries
