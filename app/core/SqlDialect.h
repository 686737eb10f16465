#pragma once
// Turns the catalogue's statements, written in the desktop database's dialect
// (CHAR(n), MEMO, ALTER TABLE … ALTER COLUMN), into SQLite or PostgreSQL. Only the
// connection class uses this.
#include <QString>

namespace SqlDialect {

enum class Engine { Sqlite, Postgres };

struct Statement {
    enum Kind { Plain, AlterColumn } kind = Plain;
    QString sql;   // the statement to run (Plain)
    QString table; // AlterColumn: table, column and the new declared type
    QString column;
    QString type;
};

Statement translate(const QString &sql, Engine engine = Engine::Sqlite);

// Column definition for a column of the given dialect type, without the name: CHAR(n) keeps
// its length as a check and compares without regard to case (on PostgreSQL as citext, which
// also makes LIKE ignore case), MEMO is such text without a length.
QString columnDefinition(const QString &column, const QString &type, Engine engine = Engine::Sqlite);

// A column or table name as the engine stores an unquoted name: PostgreSQL folds it to lower
// case, so a quoted name must be written that way to mean the same column.
QString quotedName(const QString &name, Engine engine);

// The value class a declared type converts to when a column changes type.
enum class ValueClass { Text, Integer, Real, Other };
ValueClass valueClassOf(const QString &type, int *maxLength);

} // namespace SqlDialect
