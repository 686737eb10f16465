#pragma once
// The catalogue connection: the only code that knows which SQL engine holds the
// catalogue. It takes the program's statements as they are written and runs them
// on an SQLite file or on a PostgreSQL server that several stations share.
#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <vector>

class TCatalogConnection {
public:
    TCatalogConnection();
    ~TCatalogConnection();
    TCatalogConnection(const TCatalogConnection &) = delete;
    TCatalogConnection &operator=(const TCatalogConnection &) = delete;

    // Creates an empty catalogue file. False when the file exists or cannot be made.
    static bool CreateDatabaseFile(const QString &fileName);

    // Opens an existing catalogue file. A missing, foreign or damaged file fails and
    // is left exactly as it was.
    bool Connect(const QString &fileName);
    // Opens the catalogue on a PostgreSQL server, given a libpq connection string
    // ("host=/run/postgresql dbname=archive user=scan"). Makes the text type the
    // catalogue's names need (citext) when the database lacks it; nothing else is written.
    bool ConnectServer(const QString &connectionString);
    void disconnect();
    // Whether the catalogue is on a server (otherwise an SQLite file).
    bool OnServer() const { return m_server; }
    bool Connected() const { return m_connected; }
    const QString &DatabaseFile() const { return m_fileName; }

    // Runs one statement without a result set ("direct execute").
    bool Execute(const QString &sql);

    // Transactions nest: the outermost one commits, inner ones are savepoints.
    bool BeginTrans();
    bool CommitTrans();
    bool RollbackTrans();
    bool InTransaction() const { return m_transactionDepth > 0; }
    // Inside a transaction: keeps every other station from adding rows to Table until the
    // transaction ends, so a new row's identifier taken as the maximum plus one is unique.
    // SQLite's write transactions already exclude each other.
    bool LockForNewRow(const QString &table);
    // Runs Work in a transaction: commits when it returns true, otherwise rolls everything
    // back. LastError keeps the failing statement's error.
    bool RunInTransaction(const std::function<bool()> &work);
    // The statements in order, all or none.
    bool ExecuteInTransaction(const QStringList &statements);

    // User tables, system tables excluded, names as created.
    QStringList TableNames() const;
    // Indexes the catalogue holds, automatic ones excluded.
    QStringList IndexNames() const;

    QString LastError() const { return m_lastError; }

    // Used by the query class.
    QSqlDatabase &database() { return m_db; }
    bool runStatement(const QString &sql, const QVariantMap &params, std::vector<QSqlRecord> *rows);

private:
    bool refuseOpen(QSqlQuery &query, const QString &why);
    bool opened();
    bool endTransaction(bool ok, QSqlQuery &query);
    bool runOne(const QString &sql, const QVariantMap &params, std::vector<QSqlRecord> *rows);
    bool useDriver(const QString &driver);
    bool checkValuesFit(const QString &table, const QString &column, const QString &type);
    bool alterColumn(const QString &table, const QString &column, const QString &type);
    bool alterServerColumn(const QString &table, const QString &column, const QString &type);
    bool fail(const QString &message);

    QString m_connectionName;
    QString m_fileName;
    QSqlDatabase m_db;
    bool m_connected = false;
    bool m_server = false;
    int m_transactionDepth = 0;
    QString m_lastError;
};

// A statement and, for selects, its rows. Rows are read in full when the query opens.
class TCatalogQuery {
public:
    explicit TCatalogQuery(TCatalogConnection *connection) : m_connection(connection) {}

    // The execute option for statements that return no records.
    void setExpectsNoRecords(bool on) { m_noRecords = on; }
    bool expectsNoRecords() const { return m_noRecords; }

    // Runs a select and positions on its first row. Parameters are written :p1 in the text.
    bool Open(const QString &sql, const QVariantMap &params = {});
    // Runs a statement that returns no rows.
    bool ExecSQL(const QString &sql, const QVariantMap &params = {});
    void Close();

    // After opening "Select * from T Where ...": adds a row to T with the given column values.
    bool AppendRecord(const QList<QPair<QString, QVariant>> &values);

    bool Active() const { return m_active; }
    bool Eof() const { return m_pos >= static_cast<int>(m_rows.size()); }
    void Next() { ++m_pos; }
    void First() { m_pos = 0; }
    int RecordCount() const { return static_cast<int>(m_rows.size()); }
    bool HasField(const QString &name) const;
    QVariant FieldByName(const QString &name) const;
    // The field as text with trailing blanks removed, as names read from CHAR columns are used.
    QString FieldText(const QString &name) const;
    QStringList FieldNames() const;

    QString LastError() const { return m_lastError; }

private:
    TCatalogConnection *m_connection;
    bool m_noRecords = false;
    bool m_active = false;
    QString m_table;
    QSqlRecord m_layout;
    std::vector<QSqlRecord> m_rows;
    int m_pos = 0;
    QString m_lastError;
};

// Text value between single quotes with apostrophes doubled, for statements built as text.
QString QuotedSqlText(const QString &value);
// A table, column or alias name between double quotes with inner double quotes doubled, so any
// text names exactly itself.
QString QuotedSqlName(const QString &name);
// Removes trailing blanks, as values read from CHAR columns are used.
QString TrimRight(const QString &value);
