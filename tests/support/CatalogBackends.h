#pragma once
// The catalogue's two engines for suites that run on both: an SQLite file, and a database of
// its own on the test program's PostgreSQL server. Instantiate with
// INSTANTIATE_TEST_SUITE_P(Backends, Suite, CatalogBackends(), CatalogBackendName), and in
// SetUp: ARKAVO_NEW_SERVER_CATALOG(connectionString) for the PostgreSQL case.
#include "CatalogDatabase.h"
#include "Globals.h"
#include "PostgresServer.h"

#include <QSqlDatabase>
#include <QString>

#include <gtest/gtest.h>

namespace arkavo::test {

enum class CatalogBackend { Sqlite, Postgres };

inline auto CatalogBackends()
{
    return ::testing::Values(CatalogBackend::Sqlite, CatalogBackend::Postgres);
}

inline std::string CatalogBackendName(const ::testing::TestParamInfo<CatalogBackend> &info)
{
    return info.param == CatalogBackend::Sqlite ? "Sqlite" : "Postgres";
}

// A fresh PostgreSQL database as a connection string, or empty with the reason in WhyNot. Skip
// says whether that reason is something missing from the machine (skip the case) rather than a
// fault (fail it).
inline QString NewServerCatalog(std::string *whyNot, bool *skip)
{
    *skip = true;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        *whyNot = "Qt's PostgreSQL driver (QPSQL) is not installed";
        return {};
    }
    if (!PostgresServer::ProgramsInstalled()) {
        *whyNot = "no PostgreSQL server programs (initdb, pg_ctl) are installed";
        return {};
    }
    *skip = false;
    PostgresServer *server = PostgresServer::Shared(whyNot);
    if (!server)
        return {};
    const std::string db = server->NewDatabase();
    if (db.empty())
        *whyNot = "createdb failed on the test server";
    return QString::fromStdString(db);
}

// The column's type as SQLite declares it, on the server read from its citext with a length
// check (CHAR(n)), citext without one (TEXT) and bigint (INTEGER); "<none>" for no such column.
inline QString DeclaredColumnType(const QString &table, const QString &column)
{
    QString sql;
    if (!CatalogConnection->OnServer()) {
        sql = QStringLiteral("select type from pragma_table_info('%1') where name='%2'").arg(table, column);
    } else {
        sql = QStringLiteral(R"(
            select case when a.atttypid = 'citext'::regtype then coalesce(
                       (select 'CHAR(' || substring(pg_get_constraintdef(c.oid) from '<= (\d+)') || ')'
                        from pg_constraint c where c.conrelid = a.attrelid and c.contype = 'c'
                        and a.attnum = any(c.conkey)), 'TEXT')
                   when a.atttypid = 'int8'::regtype then 'INTEGER'
                   when a.atttypid = 'float8'::regtype then 'DOUBLE'
                   else upper(format_type(a.atttypid, a.atttypmod)) end
            from pg_attribute a where a.attrelid = lower('%1')::regclass and not a.attisdropped
            and a.attname = lower('%2'))")
                  .arg(table, column);
    }
    TCatalogQuery q(CatalogConnection);
    if (!q.Open(sql))
        return QStringLiteral("<error>");
    return q.Eof() ? QStringLiteral("<none>") : q.FieldText(q.FieldNames().value(0));
}

} // namespace arkavo::test

// In a fixture's SetUp: sets Target to a fresh server database, or skips or fails the case.
#define ARKAVO_NEW_SERVER_CATALOG(target)                                                                    \
    do {                                                                                                     \
        std::string whyNot_;                                                                                 \
        bool skip_ = false;                                                                                  \
        (target) = ::arkavo::test::NewServerCatalog(&whyNot_, &skip_);                                       \
        if ((target).isEmpty()) {                                                                            \
            if (skip_)                                                                                       \
                GTEST_SKIP() << whyNot_;                                                                     \
            FAIL() << whyNot_;                                                                               \
        }                                                                                                    \
    } while (false)
