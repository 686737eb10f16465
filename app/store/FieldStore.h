#pragma once
// Index field definitions of a file type (FIELDDEFINE) and the per-file values in the
// file type's value table INFO<APPID>. The store object exposes these operations; they
// are plain functions here so the field dialogs, the search and the export share them.
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;
class TCatalogConnection;

// One index field definition. Lists hold pointers; each entry is created with new and
// disposed by FreeFieldDefs.
struct FieldRecord {
    int AppId = 0;
    QString InName;    // column name in INFO<APPID>: "F" + number ("BZ" for the remark)
    QString OutName;   // display name
    int FieldType = 0; // 0 character, 1 integer, 2 real, 3 memo
    int FieldLength = 0;
    int IsRequired = 0;
    int FieldOrder = 0; // 0-based position; -1 for the remark
};

using FieldDefList = QList<FieldRecord *>;

namespace FieldStore {

// The built-in remark column every value table has from its creation.
inline constexpr char16_t RemarkInName[] = u"BZ";
inline constexpr char16_t RemarkOutName[] = u"备注";

// Column type of a field in the value table: char(n), int, double or memo.
QString ColumnType(const FieldRecord &field);

// Clears List (its entries are not disposed) and fills it with the file type's definitions
// in display order; WithRemark appends the remark entry. A failed query shows
// "查询资料夹数据库错误" owned by owner and leaves the list empty.
void LoadFieldDefs(TCatalogConnection *connection, int appId, FieldDefList &list, bool withRemark,
                   QWidget *owner = nullptr);

// Disposes every entry and clears the list.
void FreeFieldDefs(FieldDefList &list);

// Makes FIELDDEFINE and INFO<APPID> match the list: drops columns no longer listed, alters
// or adds the others, and stores each field's list position as its order. Each field is
// changed in its own transaction; a failed one is rolled back and reported.
void ApplyFieldDefs(TCatalogConnection *connection, int appId, const FieldDefList &list);

// One trimmed text per definition, in order; empty texts for a file without a row; no
// texts when the statement cannot run.
void ReadFieldValues(TCatalogConnection *connection, const FieldDefList &defs, QStringList &values,
                     int imageId, int batchId, int appId);

// Stores the values (one per definition) as the file's row, creating it when missing.
// False when the values do not fit the definitions or the database refuses them.
bool WriteFieldValues(TCatalogConnection *connection, const FieldDefList &defs, const QStringList &values,
                      int imageId, int batchId, int appId);

} // namespace FieldStore
