#pragma once
// The catalogue's tables: their names, how they are made, how new rows get their identifiers,
// and the changes that take several statements and so happen in one transaction. Statements run
// through the connection class, which alone knows the SQL engine.
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

#include <optional>

class TCatalogConnection;

class CatalogSchema {
public:
    explicit CatalogSchema(TCatalogConnection *connection) : m_connection(connection) {}

    // Stored catalogues hold tables under these names: they must never change.
    static QString ImgTableName(int appId, int batchId); // one per folder, its files
    static QString InfoTableName(int appId);             // one per file type, its files' index values
    static QString CreateImgTableSql(int appId, int batchId);
    static QString CreateInfoTableSql(int appId);
    // The value table's index on BATCHID and IMAGEID, which the search and every per-file
    // lookup of values go through.
    static QString InfoIndexName(int appId);
    static QString CreateInfoIndexSql(int appId);

    // Creates the global tables that are missing, in their fixed order; a new USERS table gets
    // the initial user. All in one transaction, so USERS never exists without that user.
    bool EnsureTables();
    // Makes the value tables' indexes that are missing, as in catalogues from before them.
    // All or none; the catalogue works without them, only slower.
    bool EnsureIndexes();

    // Identifier and order of a new row: each column's current maximum plus one (1 in an
    // empty table). Gaps below the maximum are never reused.
    struct NewRow {
        int id = 0;
        int order = 0;
    };
    std::optional<NewRow> NextRow(const QString &table, const QString &idColumn, const QString &orderColumn);

    // Each adds the row with its table and returns the new row's id and order, or nothing when
    // any statement failed, in which case nothing was changed.
    std::optional<NewRow> AddFileType(const QString &name);
    std::optional<NewRow> AddFolder(int appId, const QString &name);
    std::optional<NewRow> AddFile(int appId, int batchId, const QString &name);

    // Each removes the item with everything below it, or, when a statement fails, nothing.
    // Tables that are already gone are skipped. The essential delete of the item's own row
    // (file type and folder) may affect no row; that still counts as done.
    bool DeleteFileType(int appId);
    bool DeleteFolder(int appId, int batchId);
    bool DeleteFile(int appId, int batchId, int imageId);

private:
    bool tableExists(const QString &name) const;
    bool addRow(const QString &table, const QString &idColumn, const QString &orderColumn,
                const QString &nameColumn, const QString &name, const QList<QPair<QString, QVariant>> &extra,
                NewRow &row);

    TCatalogConnection *m_connection;
};

// The catalogue file below the repository root.
QString CatalogDatabaseFile();

// What opening the catalogue for a user came to; the login window shows one message for each
// failure.
enum class CatalogLogin {
    LoggedIn,
    FileNotCreated,   // the file was missing and could not be made
    NotConnected,     // the file cannot be opened
    TablesNotCreated, // a missing table could not be made (the connection is closed again)
    UserNotRead,      // the user query failed
    UnknownUser,
    WrongPassword,
};

// Creates the data directory and an empty catalogue file when the file is missing. With a
// catalogue server there is no file: nothing to do.
bool CreateCatalogFile();

// The login without its window: creates the file when missing, connects the shared connection,
// makes missing tables when the user is ADMIN and checks the password. User and password are
// trimmed and upper-cased first, as typed into the login window.
CatalogLogin OpenCatalog(const QString &user, const QString &password);
