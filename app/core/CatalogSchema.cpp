#include "CatalogSchema.h"

#include "CatalogDatabase.h"
#include "Globals.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

struct TableDef {
    const char *name;
    const char *create;
};

// The catalogue's global tables, created in this order when missing.
const TableDef kTables[] = {
    {"APP",
     "CREATE TABLE APP(APPID INTEGER PRIMARY KEY, APPNAME CHAR(50), FIELDTYPE INTEGER, APPORDER INTEGER)"},
    {"BATCH",
     "CREATE TABLE BATCH(APPID INTEGER, BATCHID INTEGER PRIMARY KEY, BATCHNAME CHAR(50), BATCHORDER "
     "INTEGER, SCANNER CHAR(20) NULL, ARCHIVER CHAR(20) NULL, STATUS INTEGER, CDRLABEL CHAR(30) NULL)"},
    {"SCANTYPE",
     "CREATE TABLE SCANTYPE(TYPENAME CHAR(50) PRIMARY KEY,TYPEORDER INTEGER, DESKEW CHAR(1),AUTOCROP "
     "CHAR(1),CROPBLACKBOX CHAR(1),INVERSE CHAR(1),ROTATE CHAR(1), CUTMODE INTEGER)"},
    {"FIELDDEFINE", "CREATE TABLE FIELDDEFINE(APPID INTEGER , INNAME CHAR(10), OUTNAME CHAR(50), FIELDTYPE "
                    "INTEGER, FIELDLENGTH INTEGER, ISREQUIRED INTEGER, FIELDORDER INTEGER)"},
    {"USERS",
     "Create table USERS(USERNAME CHAR(20) PRIMARY KEY, CIPHER CHAR(20), DESCRIPTION CHAR(50), USERTYPE "
     "CHAR(20), STATUS INTEGER, IPADDR CHAR(20), COMPUTERNAME CHAR(20))"},
    {"AUTH", "Create table AUTH(APPID INTEGER, BATCHID INTEGER, USERNAME CHAR(20), INVISIBLE INTEGER, "
             "CONFIDELEVEL INTEGER NULL)"},
    {"CONFIDE", "Create table CONFIDE(ID INTEGER, NAME CHAR(20))"},
};

const char *const kInitialUser = "INSERT INTO USERS VALUES('ADMIN', '', '', '系统管理员', 0, '', '')";

QString Num(int n)
{
    return QString::number(n);
}

// Runs the statements in order and stops at the first that fails.
bool ExecuteAll(TCatalogConnection *connection, const QStringList &statements)
{
    return std::all_of(statements.begin(), statements.end(),
                       [connection](const QString &sql) { return connection->Execute(sql); });
}

} // namespace

QString CatalogSchema::ImgTableName(int appId, int batchId)
{
    return QStringLiteral("IMG") + Num(appId) + u'_' + Num(batchId);
}

QString CatalogSchema::InfoTableName(int appId)
{
    return QStringLiteral("INFO") + Num(appId);
}

QString CatalogSchema::CreateImgTableSql(int appId, int batchId)
{
    return QStringLiteral("Create Table ") + ImgTableName(appId, batchId) +
           QStringLiteral(" (IMAGEID INTEGER PRIMARY KEY, IMAGENAME CHAR(50), IMAGEORDER INTEGER)");
}

QString CatalogSchema::CreateInfoTableSql(int appId)
{
    return QStringLiteral("CREATE TABLE ") + InfoTableName(appId) +
           QStringLiteral("(BATCHID INTEGER, IMAGEID INTEGER, BZ MEMO NULL)");
}

QString CatalogSchema::InfoIndexName(int appId)
{
    return InfoTableName(appId) + QStringLiteral("_FILE");
}

QString CatalogSchema::CreateInfoIndexSql(int appId)
{
    return QStringLiteral("CREATE INDEX ") + InfoIndexName(appId) + QStringLiteral(" ON ") +
           InfoTableName(appId) + QStringLiteral("(BATCHID, IMAGEID)");
}

bool CatalogSchema::tableExists(const QString &name) const
{
    return m_connection->TableNames().contains(name, Qt::CaseInsensitive);
}

bool CatalogSchema::EnsureTables()
{
    const QStringList existing = m_connection->TableNames();
    QStringList statements;
    for (const TableDef &t : kTables) {
        if (existing.contains(QString::fromLatin1(t.name)))
            continue;
        statements << QString::fromUtf8(t.create);
        if (qstrcmp(t.name, "USERS") == 0)
            statements << QString::fromUtf8(kInitialUser);
    }
    return statements.isEmpty() || m_connection->ExecuteInTransaction(statements);
}

bool CatalogSchema::EnsureIndexes()
{
    static const QRegularExpression infoRe(QStringLiteral("^INFO(\\d+)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QStringList indexes = m_connection->IndexNames();
    QStringList statements;
    for (const QString &table : m_connection->TableNames()) {
        const auto m = infoRe.match(table);
        if (!m.hasMatch())
            continue;
        const int appId = m.captured(1).toInt();
        if (InfoTableName(appId).compare(table, Qt::CaseInsensitive) != 0)
            continue; // INFO007 and the like are not value tables
        if (!indexes.contains(InfoIndexName(appId), Qt::CaseInsensitive))
            statements << CreateInfoIndexSql(appId);
    }
    return statements.isEmpty() || m_connection->ExecuteInTransaction(statements);
}

std::optional<CatalogSchema::NewRow> CatalogSchema::NextRow(const QString &table, const QString &idColumn,
                                                            const QString &orderColumn)
{
    TCatalogQuery query(m_connection);
    if (!query.Open(QStringLiteral("Select MAX(") + idColumn + QStringLiteral(") as A1, MAX(") + orderColumn +
                    QStringLiteral(") as A2 From ") + table))
        return std::nullopt;
    // MAX over an empty table is NULL, which reads as 0.
    return NewRow{query.FieldByName(QStringLiteral("A1")).toInt() + 1,
                  query.FieldByName(QStringLiteral("A2")).toInt() + 1};
}

// Allocates inside the caller's transaction with the table locked, so no other writer, on this
// station or another, can take the same id.
bool CatalogSchema::addRow(const QString &table, const QString &idColumn, const QString &orderColumn,
                           const QString &nameColumn, const QString &name,
                           const QList<QPair<QString, QVariant>> &extra, NewRow &row)
{
    if (!m_connection->LockForNewRow(table))
        return false;
    const std::optional<NewRow> next = NextRow(table, idColumn, orderColumn);
    if (!next)
        return false;
    row = *next;
    TCatalogQuery query(m_connection);
    QList<QPair<QString, QVariant>> values = extra;
    values << qMakePair(idColumn, QVariant(row.id)) << qMakePair(nameColumn, QVariant(name))
           << qMakePair(orderColumn, QVariant(row.order));
    return query.Open(QStringLiteral("Select * from ") + table + QStringLiteral(" Where 1=0")) &&
           query.AppendRecord(values);
}

std::optional<CatalogSchema::NewRow> CatalogSchema::AddFileType(const QString &name)
{
    NewRow row;
    const bool ok = m_connection->RunInTransaction([&] {
        return addRow(QStringLiteral("APP"), QStringLiteral("APPID"), QStringLiteral("APPORDER"),
                      QStringLiteral("APPNAME"), name, {{QStringLiteral("FIELDTYPE"), 0}}, row) &&
               // Definitions left behind by a deleted file type with this id would describe
               // columns the new value table does not have.
               m_connection->Execute(QStringLiteral("Delete From FIELDDEFINE Where APPID=") + Num(row.id)) &&
               m_connection->Execute(CreateInfoTableSql(row.id)) &&
               m_connection->Execute(CreateInfoIndexSql(row.id));
    });
    return ok ? std::optional<NewRow>(row) : std::nullopt;
}

std::optional<CatalogSchema::NewRow> CatalogSchema::AddFolder(int appId, const QString &name)
{
    NewRow row;
    const bool ok = m_connection->RunInTransaction([&] {
        return addRow(QStringLiteral("BATCH"), QStringLiteral("BATCHID"), QStringLiteral("BATCHORDER"),
                      QStringLiteral("BATCHNAME"), name,
                      {{QStringLiteral("APPID"), appId}, {QStringLiteral("STATUS"), 1}}, row) &&
               m_connection->Execute(CreateImgTableSql(appId, row.id));
    });
    return ok ? std::optional<NewRow>(row) : std::nullopt;
}

std::optional<CatalogSchema::NewRow> CatalogSchema::AddFile(int appId, int batchId, const QString &name)
{
    NewRow row;
    const bool ok = m_connection->RunInTransaction([&] {
        return addRow(ImgTableName(appId, batchId), QStringLiteral("IMAGEID"), QStringLiteral("IMAGEORDER"),
                      QStringLiteral("IMAGENAME"), name, {}, row);
    });
    return ok ? std::optional<NewRow>(row) : std::nullopt;
}

bool CatalogSchema::DeleteFileType(int appId)
{
    return m_connection->RunInTransaction([&] {
        if (!m_connection->Execute(QStringLiteral("Delete From APP Where APPID=") + Num(appId)))
            return false;
        TCatalogQuery query(m_connection);
        if (!query.Open(QStringLiteral("Select BATCHID from BATCH where APPID=") + Num(appId)))
            return false;
        QStringList drops;
        for (; !query.Eof(); query.Next()) {
            const QString table = ImgTableName(appId, query.FieldByName(QStringLiteral("BATCHID")).toInt());
            if (tableExists(table))
                drops << QStringLiteral("Drop Table ") + table;
        }
        query.Close();
        drops << QStringLiteral("Delete from BATCH Where APPID=") + Num(appId);
        if (tableExists(InfoTableName(appId)))
            drops << QStringLiteral("DROP TABLE ") + InfoTableName(appId);
        // The definitions go with the file type: a later one given the same id starts without fields.
        drops << QStringLiteral("Delete From FIELDDEFINE Where APPID=") + Num(appId);
        return ExecuteAll(m_connection, drops);
    });
}

bool CatalogSchema::DeleteFolder(int appId, int batchId)
{
    return m_connection->RunInTransaction([&] {
        QStringList statements{QStringLiteral("Delete From BATCH Where BATCHID=") + Num(batchId)};
        if (tableExists(ImgTableName(appId, batchId)))
            statements << QStringLiteral("Drop Table ") + ImgTableName(appId, batchId);
        if (tableExists(InfoTableName(appId)))
            statements << QStringLiteral("Delete From ") + InfoTableName(appId) +
                              QStringLiteral(" Where BATCHID=") + Num(batchId);
        return ExecuteAll(m_connection, statements);
    });
}

bool CatalogSchema::DeleteFile(int appId, int batchId, int imageId)
{
    return m_connection->RunInTransaction([&] {
        QStringList statements{QStringLiteral("Delete From ") + ImgTableName(appId, batchId) +
                               QStringLiteral(" Where IMAGEID=") + Num(imageId)};
        if (tableExists(InfoTableName(appId)))
            statements << QStringLiteral("Delete From ") + InfoTableName(appId) +
                              QStringLiteral(" Where BATCHID=") + Num(batchId) +
                              QStringLiteral(" And IMAGEID=") + Num(imageId);
        return ExecuteAll(m_connection, statements);
    });
}

QString CatalogDatabaseFile()
{
    return RootPath + QStringLiteral("data/imaging.mdb");
}

bool CreateCatalogFile()
{
    const QString dbFile = CatalogDatabaseFile();
    if (!CatalogServer.isEmpty() || QFileInfo::exists(dbFile))
        return true;
    QDir().mkdir(RootPath + QStringLiteral("data"));
    return TCatalogConnection::CreateDatabaseFile(dbFile);
}

CatalogLogin OpenCatalog(const QString &user, const QString &password)
{
    const QString name = user.trimmed().toUpper();
    const QString cipher = password.trimmed().toUpper();
    CreateCatalogObjects();
    if (!CreateCatalogFile())
        return CatalogLogin::FileNotCreated;

    CatalogConnection->disconnect();
    if (CatalogServer.isEmpty() ? !CatalogConnection->Connect(CatalogDatabaseFile())
                                : !CatalogConnection->ConnectServer(CatalogServer))
        return CatalogLogin::NotConnected;
    if (name == u"ADMIN" && !CatalogSchema(CatalogConnection).EnsureTables()) {
        CatalogConnection->disconnect();
        return CatalogLogin::TablesNotCreated;
    }
    // Like the tables, indexes are made by the administrator's login; they only speed things up,
    // so a catalogue that cannot take them still opens.
    if (name == u"ADMIN")
        CatalogSchema(CatalogConnection).EnsureIndexes();

    // The user name is bound, never pasted into the statement.
    TCatalogQuery query(CatalogConnection);
    if (!query.Open(QStringLiteral("select * from users where username = :p1"),
                    {{QStringLiteral(":p1"), name}}))
        return CatalogLogin::UserNotRead;
    if (query.Eof())
        return CatalogLogin::UnknownUser;
    if (query.FieldText(QStringLiteral("Cipher")) != TrimRight(cipher))
        return CatalogLogin::WrongPassword;
    return CatalogLogin::LoggedIn;
}
