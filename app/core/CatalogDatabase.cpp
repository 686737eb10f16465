#include "CatalogDatabase.h"

#include "SqlDialect.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace {

QAtomicInt connectionCounter;

QString errorText(const QSqlError &e)
{
    QString t = e.databaseText();
    if (t.isEmpty())
        t = e.text();
    return t;
}

} // namespace

QString QuotedSqlText(const QString &value)
{
    QString q = value;
    q.replace(u'\'', QStringLiteral("''"));
    return u'\'' + q + u'\'';
}

QString QuotedSqlName(const QString &name)
{
    QString q = name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

QString TrimRight(const QString &value)
{
    qsizetype n = value.size();
    while (n > 0 && value[n - 1].isSpace())
        --n;
    return value.left(n);
}

TCatalogConnection::TCatalogConnection()
    : m_connectionName(QStringLiteral("arkavo-catalog-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
}

TCatalogConnection::~TCatalogConnection()
{
    disconnect();
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

bool TCatalogConnection::fail(const QString &message)
{
    m_lastError = message;
    return false;
}

bool TCatalogConnection::CreateDatabaseFile(const QString &fileName)
{
    if (QFileInfo::exists(fileName))
        return false;
    const QString name = QStringLiteral("arkavo-create-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(fileName);
        if (db.open()) {
            // SQLite writes the file only with its first page: make it a real, empty catalogue.
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("PRAGMA user_version = 1"));
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok && QFileInfo::exists(fileName);
}

// The connection's driver, made anew when it was another engine's.
bool TCatalogConnection::useDriver(const QString &driver)
{
    if (QSqlDatabase::contains(m_connectionName)) {
        m_db = QSqlDatabase::database(m_connectionName, false);
        if (m_db.driverName() == driver)
            return true;
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_db = QSqlDatabase::addDatabase(driver, m_connectionName);
    return m_db.isValid();
}

bool TCatalogConnection::Connect(const QString &fileName)
{
    disconnect();
    m_fileName = fileName;
    m_server = false;
    if (!QFileInfo(fileName).isFile())
        return fail(QStringLiteral("数据库文件不存在：%1").arg(fileName));
    if (!useDriver(QStringLiteral("QSQLITE")))
        return fail(errorText(m_db.lastError()));
    // mode=rw never creates the file, so a vanished file cannot be replaced by an empty one.
    QUrl url = QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath());
    url.setQuery(QStringLiteral("mode=rw"));
    m_db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_db.open())
        return fail(errorText(m_db.lastError()));

    // A foreign or damaged file fails here, on a read, before anything is written.
    QSqlQuery probe(m_db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !probe.next() ||
        !probe.exec(QStringLiteral("PRAGMA quick_check(1)")) || !probe.next() ||
        probe.value(0).toString() != u"ok") {
        return refuseOpen(probe, probe.lastError().isValid() ? errorText(probe.lastError())
                                                             : QStringLiteral("数据库文件已损坏"));
    }
    return opened();
}

bool TCatalogConnection::refuseOpen(QSqlQuery &query, const QString &why)
{
    query = QSqlQuery();
    m_db.close();
    return fail(why);
}

bool TCatalogConnection::opened()
{
    m_connected = true;
    m_lastError.clear();
    return true;
}

bool TCatalogConnection::ConnectServer(const QString &connectionString)
{
    disconnect();
    m_fileName.clear();
    m_server = true;
    if (!useDriver(QStringLiteral("QPSQL")))
        return fail(QStringLiteral("PostgreSQL驱动不可用：%1").arg(errorText(m_db.lastError())));
    // The driver passes the options on as they are, after its own; a later value wins, so the
    // string given may still set its own timeout.
    m_db.setDatabaseName(QString());
    m_db.setConnectOptions(QStringLiteral("connect_timeout=10 ") + connectionString);
    if (!m_db.open())
        return fail(errorText(m_db.lastError()));
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SET client_min_messages = warning")) ||
        !q.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext")))
        return refuseOpen(q, errorText(q.lastError()));
    return opened();
}

void TCatalogConnection::disconnect()
{
    if (m_db.isOpen()) {
        while (m_transactionDepth > 0)
            RollbackTrans();
        m_db.close();
    }
    m_transactionDepth = 0;
    m_connected = false;
}

QStringList TCatalogConnection::TableNames() const
{
    if (!m_connected)
        return {};
    QStringList names;
    QSqlQuery q(m_db);
    if (m_server) {
        // Names the program wrote unquoted, so upper case as it wrote them.
        q.exec(QStringLiteral("SELECT upper(tablename) FROM pg_tables WHERE schemaname = current_schema()"));
    } else {
        q.exec(QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"));
    }
    while (q.next())
        names << q.value(0).toString();
    return names;
}

QStringList TCatalogConnection::IndexNames() const
{
    if (!m_connected)
        return {};
    QStringList names;
    QSqlQuery q(m_db);
    if (m_server) {
        // Without the indexes behind primary keys, as SQLite's automatic ones are left out.
        q.exec(QStringLiteral(
            "SELECT upper(i.indexname) FROM pg_indexes i WHERE i.schemaname = current_schema() "
            "AND NOT EXISTS (SELECT 1 FROM pg_constraint c WHERE c.conname = i.indexname)"));
    } else {
        q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='index' AND sql IS NOT NULL"));
    }
    while (q.next())
        names << q.value(0).toString();
    return names;
}

bool TCatalogConnection::runStatement(const QString &sql, const QVariantMap &params,
                                      std::vector<QSqlRecord> *rows)
{
    if (!m_connected)
        return fail(QStringLiteral("数据库未连接"));
    if (!m_server || m_transactionDepth == 0)
        return runOne(sql, params, rows);
    // A failed statement spoils a PostgreSQL transaction; in SQLite only the statement fails
    // and the transaction goes on. Each statement gets its own savepoint to behave the same.
    QSqlQuery sp(m_db);
    if (!sp.exec(QStringLiteral("SAVEPOINT arkavo_statement")))
        return fail(errorText(sp.lastError()));
    const bool ok = runOne(sql, params, rows);
    if (!ok)
        sp.exec(QStringLiteral("ROLLBACK TO SAVEPOINT arkavo_statement"));
    sp.exec(QStringLiteral("RELEASE SAVEPOINT arkavo_statement"));
    return ok;
}

bool TCatalogConnection::runOne(const QString &sql, const QVariantMap &params, std::vector<QSqlRecord> *rows)
{
    const SqlDialect::Statement st =
        SqlDialect::translate(sql, m_server ? SqlDialect::Engine::Postgres : SqlDialect::Engine::Sqlite);
    if (st.kind == SqlDialect::Statement::AlterColumn)
        return m_server ? alterServerColumn(st.table, st.column, st.type)
                        : alterColumn(st.table, st.column, st.type);

    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    // The PostgreSQL driver prepares with SQL's PREPARE, which takes no table changes: those,
    // never with parameters, run directly.
    if (m_server && params.isEmpty()) {
        if (!q.exec(st.sql))
            return fail(errorText(q.lastError()));
    } else {
        if (!q.prepare(st.sql))
            return fail(errorText(q.lastError()));
        for (auto it = params.begin(); it != params.end(); ++it) {
            const QString key = it.key().startsWith(u':') ? it.key() : u':' + it.key();
            q.bindValue(key, it.value());
        }
        if (!q.exec())
            return fail(errorText(q.lastError()));
    }
    if (rows) {
        rows->clear();
        if (q.isSelect()) {
            QSqlRecord layout = q.record();
            // PostgreSQL gives unquoted names in lower case; the program writes them in upper
            // case and SQLite answers with them as written or declared.
            for (int i = 0; m_server && i < layout.count(); ++i) {
                const QString name = layout.fieldName(i);
                if (name == name.toLower()) {
                    QSqlField f = layout.field(i);
                    f.setName(name.toUpper());
                    layout.replace(i, f);
                }
            }
            rows->push_back(layout); // layout first, then the data rows
            while (q.next()) {
                QSqlRecord row = q.record();
                // SQLite's driver gives NULL as a null text, which reads as "" whatever the
                // column; PostgreSQL's as the column's type, so a NULL number would read as 0.
                for (int i = 0; m_server && i < row.count(); ++i)
                    if (row.isNull(i))
                        row.setValue(i, QVariant(QMetaType::fromType<QString>()));
                rows->push_back(std::move(row));
            }
        }
    }
    m_lastError.clear();
    return true;
}

bool TCatalogConnection::Execute(const QString &sql)
{
    return runStatement(sql, {}, nullptr);
}

bool TCatalogConnection::BeginTrans()
{
    if (!m_connected)
        return fail(QStringLiteral("数据库未连接"));
    QSqlQuery q(m_db);
    const bool ok = m_transactionDepth == 0
                        ? q.exec(m_server ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"))
                        : q.exec(QStringLiteral("SAVEPOINT arkavo_%1").arg(m_transactionDepth));
    if (!ok)
        return fail(errorText(q.lastError()));
    ++m_transactionDepth;
    return true;
}

bool TCatalogConnection::CommitTrans()
{
    if (m_transactionDepth == 0)
        return fail(QStringLiteral("没有进行中的事务"));
    QSqlQuery q(m_db);
    const bool ok = m_transactionDepth == 1
                        ? q.exec(QStringLiteral("COMMIT"))
                        : q.exec(QStringLiteral("RELEASE SAVEPOINT arkavo_%1").arg(m_transactionDepth - 1));
    if (!ok)
        return fail(errorText(q.lastError()));
    --m_transactionDepth;
    return true;
}

bool TCatalogConnection::RollbackTrans()
{
    if (m_transactionDepth == 0)
        return fail(QStringLiteral("没有进行中的事务"));
    QSqlQuery q(m_db);
    bool ok;
    if (m_transactionDepth == 1) {
        ok = q.exec(QStringLiteral("ROLLBACK"));
    } else {
        const QString sp = QStringLiteral("arkavo_%1").arg(m_transactionDepth - 1);
        ok = q.exec(QStringLiteral("ROLLBACK TO SAVEPOINT ") + sp) &&
             q.exec(QStringLiteral("RELEASE SAVEPOINT ") + sp);
    }
    --m_transactionDepth;
    return ok ? true : fail(errorText(q.lastError()));
}

bool TCatalogConnection::LockForNewRow(const QString &table)
{
    if (m_transactionDepth == 0)
        return fail(QStringLiteral("没有进行中的事务"));
    if (!m_server)
        return true;
    static const QRegularExpression identRe(QStringLiteral("^\\w+$"));
    if (!identRe.match(table).hasMatch())
        return fail(QStringLiteral("无效的表名：%1").arg(table));
    // Conflicts with itself and with every write, not with reads.
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(table)))
        return fail(errorText(q.lastError()));
    return true;
}

bool TCatalogConnection::RunInTransaction(const std::function<bool()> &work)
{
    if (!BeginTrans())
        return false;
    if (work() && CommitTrans())
        return true;
    const QString why = m_lastError;
    RollbackTrans();
    return fail(why);
}

bool TCatalogConnection::ExecuteInTransaction(const QStringList &statements)
{
    return RunInTransaction([&] {
        return std::all_of(statements.begin(), statements.end(),
                           [this](const QString &sql) { return Execute(sql); });
    });
}

// Whether every stored value of the column converts to the type; the error names the column
// when one does not.
bool TCatalogConnection::checkValuesFit(const QString &table, const QString &column, const QString &type)
{
    using SqlDialect::ValueClass;
    int maxLength = -1;
    const ValueClass cls = SqlDialect::valueClassOf(type, &maxLength);
    const QString quoted =
        SqlDialect::quotedName(column, m_server ? SqlDialect::Engine::Postgres : SqlDialect::Engine::Sqlite);
    QSqlQuery check(m_db);
    if (!check.exec(QStringLiteral("SELECT %1 FROM %2 WHERE %1 IS NOT NULL").arg(quoted, table)))
        return fail(errorText(check.lastError()));
    while (check.next()) {
        const QVariant v = check.value(0);
        const QString text = v.toString().trimmed();
        bool ok = true;
        if (cls == ValueClass::Text && maxLength >= 0)
            ok = v.toString().size() <= maxLength;
        else if (cls == ValueClass::Integer && !text.isEmpty()) {
            const double d = text.toDouble(&ok);
            ok = ok && std::isfinite(d) && std::fabs(d) < 9.2e18;
        } else if (cls == ValueClass::Real && !text.isEmpty())
            text.toDouble(&ok);
        if (!ok)
            return fail(QStringLiteral("字段%1的现有数据无法转换为%2").arg(column, type));
    }
    return true;
}

// On the server the column changes its type in place; its length check is replaced.
bool TCatalogConnection::alterServerColumn(const QString &table, const QString &column, const QString &type)
{
    using SqlDialect::ValueClass;
    static const QRegularExpression identRe(QStringLiteral("^\\w+$"));
    if (!identRe.match(table).hasMatch())
        return fail(QStringLiteral("无效的表名：%1").arg(table));
    QString name;
    {
        QSqlQuery info(m_db);
        info.prepare(
            QStringLiteral("SELECT column_name FROM information_schema.columns WHERE table_schema = "
                           "current_schema() AND table_name = lower(?) AND lower(column_name) = lower(?)"));
        info.addBindValue(table);
        info.addBindValue(column);
        if (!info.exec())
            return fail(errorText(info.lastError()));
        if (!info.next())
            return fail(QStringLiteral("字段%1不存在").arg(column));
        name = info.value(0).toString();
    }
    if (!checkValuesFit(table, name, type))
        return false;

    int maxLength = -1;
    const ValueClass cls = SqlDialect::valueClassOf(type, &maxLength);
    const QString quoted = SqlDialect::quotedName(name, SqlDialect::Engine::Postgres);
    const QString asText = QStringLiteral("NULLIF(trim(CAST(%1 AS TEXT)),'')").arg(quoted);
    QString newType = type, convert = quoted;
    switch (cls) {
    case ValueClass::Text:
        newType = QStringLiteral("CITEXT");
        convert = QStringLiteral("CAST(%1 AS TEXT)").arg(quoted);
        break;
    case ValueClass::Integer:
        // NUMERIC rounds halves away from zero, as SQLite's ROUND does.
        newType = QStringLiteral("BIGINT");
        convert = QStringLiteral("CAST(ROUND(CAST(%1 AS NUMERIC)) AS BIGINT)").arg(asText);
        break;
    case ValueClass::Real:
        newType = QStringLiteral("DOUBLE PRECISION");
        convert = QStringLiteral("CAST(%1 AS DOUBLE PRECISION)").arg(asText);
        break;
    case ValueClass::Other:
        break;
    }

    if (!BeginTrans())
        return false;
    QSqlQuery q(m_db);
    QStringList checks;
    bool ok = q.prepare(QStringLiteral(
        "SELECT c.conname FROM pg_constraint c JOIN pg_attribute a ON a.attrelid = c.conrelid "
        "AND a.attnum = ANY(c.conkey) WHERE c.contype = 'c' AND c.conrelid = CAST(lower(?) AS regclass) "
        "AND a.attname = ?"));
    q.addBindValue(table);
    q.addBindValue(name);
    ok = ok && q.exec();
    while (ok && q.next())
        checks << q.value(0).toString();
    for (const QString &c : checks)
        ok = ok && q.exec(QStringLiteral("ALTER TABLE %1 DROP CONSTRAINT %2").arg(table, QuotedSqlName(c)));
    ok = ok && q.exec(QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 TYPE %3 USING %4")
                          .arg(table, quoted, newType, convert));
    if (ok && cls == ValueClass::Text && maxLength >= 0)
        ok = q.exec(
            QStringLiteral("ALTER TABLE %1 ADD CHECK(length(%2)<=%3)").arg(table, quoted).arg(maxLength));
    return endTransaction(ok, q);
}

// Commits the transaction the caller began, or when a statement of Query failed, rolls it
// back and keeps that statement's error.
bool TCatalogConnection::endTransaction(bool ok, QSqlQuery &query)
{
    if (ok)
        return CommitTrans();
    const QString why = errorText(query.lastError());
    query = QSqlQuery();
    RollbackTrans();
    return fail(why);
}

// Changes a column's declared type by rebuilding the table: every stored value must
// convert to the new type, otherwise nothing changes.
bool TCatalogConnection::alterColumn(const QString &table, const QString &column, const QString &type)
{
    using SqlDialect::ValueClass;
    static const QRegularExpression identRe(QStringLiteral("^\\w+$"));
    if (!identRe.match(table).hasMatch())
        return fail(QStringLiteral("无效的表名：%1").arg(table));

    struct Col {
        QString name, type;
        bool notNull, pk;
    };
    std::vector<Col> cols;
    {
        QSqlQuery info(m_db);
        if (!info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table)))
            return fail(errorText(info.lastError()));
        while (info.next())
            cols.push_back({info.value(1).toString(), info.value(2).toString(), info.value(3).toInt() != 0,
                            info.value(5).toInt() != 0});
    }
    auto target = std::find_if(cols.begin(), cols.end(), [&](const Col &c) {
        return c.name.compare(column, Qt::CaseInsensitive) == 0;
    });
    if (target == cols.end())
        return fail(QStringLiteral("字段%1不存在").arg(column));

    const ValueClass cls = SqlDialect::valueClassOf(type, nullptr);
    const QString quoted = u'"' + target->name + u'"';
    if (!checkValuesFit(table, target->name, type))
        return false;

    QString convert = quoted;
    if (cls == ValueClass::Integer)
        convert = QStringLiteral("CAST(ROUND(NULLIF(trim(%1),'')) AS INTEGER)").arg(quoted);
    else if (cls == ValueClass::Real)
        convert = QStringLiteral("CAST(NULLIF(trim(%1),'') AS REAL)").arg(quoted);
    else if (cls == ValueClass::Text)
        convert = QStringLiteral("CAST(%1 AS TEXT)").arg(quoted);

    QStringList defs, names, selects;
    for (const Col &c : cols) {
        const bool changed = &c == &*target;
        const QString colType = changed ? type : c.type;
        QString def = u'"' + c.name + QStringLiteral("\" ") + SqlDialect::columnDefinition(c.name, colType);
        if (c.pk)
            def += QStringLiteral(" PRIMARY KEY");
        if (c.notNull)
            def += QStringLiteral(" NOT NULL");
        defs << def;
        names << u'"' + c.name + u'"';
        selects << (changed ? convert : u'"' + c.name + u'"');
    }

    // Tables without an integer key keep their row ids, so row order survives the rebuild.
    const bool keepRowId = std::none_of(cols.begin(), cols.end(), [](const Col &c) { return c.pk; });
    const QString rowId = keepRowId ? QStringLiteral("rowid, ") : QString();
    const QString temp = table + QStringLiteral("_arkavo_rebuild");
    if (!BeginTrans())
        return false;
    QSqlQuery q(m_db);
    // Dropping the old table drops its indexes: they are made again on the new one.
    QStringList indexes;
    bool ok = q.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE type='index' AND sql IS NOT NULL "
                                    "AND tbl_name=%1 COLLATE NOCASE")
                         .arg(QuotedSqlText(table)));
    while (ok && q.next())
        indexes << q.value(0).toString();
    ok = ok && q.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(temp)) &&
         q.exec(QStringLiteral("CREATE TABLE %1(%2)").arg(temp, defs.join(QStringLiteral(", ")))) &&
         q.exec(QStringLiteral("INSERT INTO %1(%2%3) SELECT %2%4 FROM %5")
                    .arg(temp, rowId, names.join(u','), selects.join(u','), table)) &&
         q.exec(QStringLiteral("DROP TABLE %1").arg(table)) &&
         q.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(temp, table)) &&
         std::all_of(indexes.begin(), indexes.end(), [&q](const QString &sql) { return q.exec(sql); });
    return endTransaction(ok, q);
}

bool TCatalogQuery::Open(const QString &sql, const QVariantMap &params)
{
    Close();
    std::vector<QSqlRecord> rows;
    if (!m_connection || !m_connection->runStatement(sql, params, &rows)) {
        m_lastError = m_connection ? m_connection->LastError() : QStringLiteral("数据库未连接");
        return false;
    }
    if (!rows.empty()) {
        m_layout = rows.front();
        m_rows.assign(std::make_move_iterator(rows.begin() + 1), std::make_move_iterator(rows.end()));
    }
    static const QRegularExpression fromRe(QStringLiteral(R"(\bfrom\s+(\w+))"),
                                           QRegularExpression::CaseInsensitiveOption);
    const auto m = fromRe.match(sql);
    m_table = m.hasMatch() ? m.captured(1) : QString();
    m_active = true;
    m_pos = 0;
    return true;
}

bool TCatalogQuery::ExecSQL(const QString &sql, const QVariantMap &params)
{
    Close();
    if (!m_connection || !m_connection->runStatement(sql, params, nullptr)) {
        m_lastError = m_connection ? m_connection->LastError() : QStringLiteral("数据库未连接");
        return false;
    }
    return true;
}

void TCatalogQuery::Close()
{
    m_active = false;
    m_rows.clear();
    m_layout = QSqlRecord();
    m_table.clear();
    m_pos = 0;
}

bool TCatalogQuery::AppendRecord(const QList<QPair<QString, QVariant>> &values)
{
    if (!m_active || m_table.isEmpty() || values.isEmpty()) {
        m_lastError = QStringLiteral("没有可追加记录的数据集");
        return false;
    }
    QStringList cols, marks;
    QVariantMap params;
    const SqlDialect::Engine engine =
        m_connection->OnServer() ? SqlDialect::Engine::Postgres : SqlDialect::Engine::Sqlite;
    for (qsizetype i = 0; i < values.size(); ++i) {
        cols << SqlDialect::quotedName(values[i].first, engine);
        const QString p = QStringLiteral(":v%1").arg(i);
        marks << p;
        params.insert(p, values[i].second);
    }
    const QString sql =
        QStringLiteral("INSERT INTO %1 (%2) VALUES(%3)").arg(m_table, cols.join(u','), marks.join(u','));
    if (!m_connection->runStatement(sql, params, nullptr)) {
        m_lastError = m_connection->LastError();
        return false;
    }
    return true;
}

bool TCatalogQuery::HasField(const QString &name) const
{
    return m_layout.indexOf(name) >= 0;
}

QVariant TCatalogQuery::FieldByName(const QString &name) const
{
    if (Eof() || m_pos < 0)
        return {};
    return m_rows[static_cast<size_t>(m_pos)].value(name);
}

QString TCatalogQuery::FieldText(const QString &name) const
{
    return TrimRight(FieldByName(name).toString());
}

QStringList TCatalogQuery::FieldNames() const
{
    QStringList names;
    for (int i = 0; i < m_layout.count(); ++i)
        names << m_layout.fieldName(i);
    return names;
}
