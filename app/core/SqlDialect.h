#pragma once
// Turns the catalogue's statements, written in the desktop database's dialect
// (CHAR(n), MEMO, ALTER TABLE … ALTER COLUMN), into SQLite. Only the connection
// class uses this.
#include <QString>

namespace SqlDialect {

struct Statement {
    enum Kind { Plain, AlterColumn } kind = Plain;
    QString sql;   // the statement to run (Plain)
    QString table; // AlterColumn: table, column and the new declared type
    QString column;
    QString type;
};

Statement translate(const QString &sql);

// SQLite column definition for a column of the given dialect type, without the name:
// CHAR(n) keeps its length as a check and compares without regard to case, MEMO is text.
QString columnDefinition(const QString &column, const QString &type);

// The value class a declared type converts to when a column changes type.
enum class ValueClass { Text, Integer, Real, Other };
ValueClass valueClassOf(const QString &type, int *maxLength);

} // namespace SqlDialect
