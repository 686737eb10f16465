#include "CatalogDatabase.h"

#include "CatalogBackends.h"
#include "QtApp.h"
#include "TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using arkavo::test::CatalogBackend;

// Every case runs on an SQLite file and on a PostgreSQL database with the same statements.
class CatalogDb : public ::testing::TestWithParam<CatalogBackend> {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        if (GetParam() == CatalogBackend::Postgres) {
            QString server;
            ARKAVO_NEW_SERVER_CATALOG(server);
            ASSERT_TRUE(db.ConnectServer(server)) << db.LastError().toStdString();
            return;
        }
        file = QString::fromStdString((dir / "imaging.mdb").string());
        ASSERT_TRUE(TCatalogConnection::CreateDatabaseFile(file));
        ASSERT_TRUE(db.Connect(file)) << db.LastError().toStdString();
    }

    ::testing::AssertionResult exec(const QString &sql)
    {
        if (db.Execute(sql))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << db.LastError().toStdString();
    }

    QVariant scalar(const QString &sql, const QVariantMap &params = {})
    {
        TCatalogQuery q(&db);
        if (!q.Open(sql, params) || q.Eof())
            return {};
        return q.FieldByName(q.FieldNames().value(0));
    }

    arkavo::test::TempDir dir;
    QString file;
    TCatalogConnection db;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Backends, CatalogDb, arkavo::test::CatalogBackends(),
                         arkavo::test::CatalogBackendName);

TEST_P(CatalogDb, StatementsRunAsWritten)
{
    ASSERT_TRUE(exec("CREATE TABLE INFO1(BATCHID INTEGER, IMAGEID INTEGER, BZ MEMO NULL)"));
    ASSERT_TRUE(exec("CREATE TABLE APP(APPID INTEGER PRIMARY KEY, APPNAME CHAR(50), FIELDTYPE INTEGER, "
                     "APPORDER INTEGER)"));

    // MAX over an empty table is NULL.
    EXPECT_TRUE(scalar("SELECT MAX(APPID) AS M FROM APP").isNull());

    // MEMO keeps leading zeros: it is text, not a number.
    ASSERT_TRUE(exec("INSERT INTO INFO1 VALUES(1, 2, '00123')"));
    EXPECT_EQ(scalar("SELECT BZ FROM INFO1").toString(), "00123");

    // Appending a row after "Where 1=0", with an apostrophe in the value.
    TCatalogQuery q(&db);
    ASSERT_TRUE(q.Open("Select * from APP Where 1=0"));
    EXPECT_TRUE(q.Eof());
    ASSERT_TRUE(q.AppendRecord({{"APPID", 1}, {"APPNAME", "O'Brien's"}, {"APPORDER", 1}, {"FIELDTYPE", 0}}));
    EXPECT_EQ(scalar("SELECT APPNAME FROM APP WHERE APPNAME = " + QuotedSqlText("o'brien's")).toString(),
              "O'Brien's");
    EXPECT_EQ(scalar("SELECT APPID FROM APP WHERE APPNAME = :p1", {{":p1", "O'BRIEN'S"}}).toInt(), 1);

    // Text compares without regard to case, in LIKE as well, and sorts that way.
    ASSERT_TRUE(exec("INSERT INTO APP VALUES(2, 'ABC', 0, 2)"));
    EXPECT_EQ(scalar("SELECT APPID FROM APP WHERE APPNAME='abc'").toInt(), 2);
    EXPECT_EQ(scalar("SELECT APPID FROM APP WHERE APPNAME LIKE 'a%'").toInt(), 2);
    EXPECT_EQ(scalar("SELECT APPID FROM APP WHERE APPNAME LIKE :p1", {{":p1", "%BRIEN%"}}).toInt(), 1);
    EXPECT_EQ(scalar("SELECT APPNAME FROM APP ORDER BY APPNAME").toString(), "ABC");

    // Columns declared NULL take no value; names read back as the program wrote them.
    ASSERT_TRUE(exec("INSERT INTO INFO1 (BATCHID, IMAGEID) VALUES(3, 4)"));
    EXPECT_TRUE(scalar("SELECT BZ FROM INFO1 WHERE IMAGEID=4").isNull());
    TCatalogQuery names(&db);
    ASSERT_TRUE(names.Open("select * from INFO1"));
    EXPECT_EQ(names.FieldNames(), QStringList({"BATCHID", "IMAGEID", "BZ"}));
    EXPECT_EQ(scalar("SELECT MAX(IMAGEID) + 1 AS NEXTID FROM INFO1").toInt(), 5);

    // CHAR(n) refuses a longer value.
    EXPECT_FALSE(exec("INSERT INTO APP VALUES(3, '" + QString(51, 'x') + "', 0, 3)"));
    EXPECT_TRUE(exec("INSERT INTO APP VALUES(3, '" + QString(50, 'x') + "', 0, 3)"));
}

TEST_P(CatalogDb, AlterTableAddAlterDrop)
{
    ASSERT_TRUE(exec("CREATE TABLE INFO7(BATCHID INTEGER, IMAGEID INTEGER, BZ MEMO NULL)"));
    ASSERT_TRUE(exec("ALTER TABLE INFO7 ADD COLUMN F1 char(20)"));
    ASSERT_TRUE(exec("ALTER TABLE INFO7 ADD COLUMN F2 memo"));
    ASSERT_TRUE(exec("INSERT INTO INFO7 (BATCHID, IMAGEID, F1, F2) VALUES(1, 1, 'short', '12')"));
    ASSERT_TRUE(exec("INSERT INTO INFO7 (BATCHID, IMAGEID, F1, F2) VALUES(1, 2, '0123456789', 'x')"));

    // char(20) → char(10): fitting rows stay, then a longer value is refused.
    ASSERT_TRUE(exec("ALTER TABLE INFO7 ALTER COLUMN F1 char(10)")) << db.LastError().toStdString();
    EXPECT_EQ(scalar("SELECT F1 FROM INFO7 WHERE IMAGEID=2").toString(), "0123456789");
    EXPECT_FALSE(exec("UPDATE INFO7 SET F1='01234567890' WHERE IMAGEID=2"));
    EXPECT_EQ(scalar("SELECT F1 FROM INFO7 WHERE IMAGEID=1").toString(), "short");
    // The narrower column still compares without regard to case.
    EXPECT_EQ(scalar("SELECT IMAGEID FROM INFO7 WHERE F1='SHORT'").toInt(), 1);

    // A value that does not fit the new type refuses the change and changes nothing.
    EXPECT_FALSE(exec("ALTER TABLE INFO7 ALTER COLUMN F1 char(5)"));
    EXPECT_FALSE(exec("ALTER TABLE INFO7 ALTER COLUMN F2 int"));
    EXPECT_EQ(scalar("SELECT F2 FROM INFO7 WHERE IMAGEID=2").toString(), "x");

    // Numeric text converts, and back to text again.
    ASSERT_TRUE(exec("DELETE FROM INFO7 WHERE IMAGEID=2"));
    ASSERT_TRUE(exec("ALTER TABLE INFO7 ALTER COLUMN F2 int")) << db.LastError().toStdString();
    EXPECT_EQ(scalar("SELECT F2 + 1 FROM INFO7").toInt(), 13);
    ASSERT_TRUE(exec("ALTER TABLE INFO7 ALTER COLUMN F2 char(2)")) << db.LastError().toStdString();
    EXPECT_EQ(scalar("SELECT F2 FROM INFO7 WHERE F2 LIKE '1%'").toString(), "12");
    EXPECT_FALSE(exec("UPDATE INFO7 SET F2='123'"));

    ASSERT_TRUE(exec("ALTER TABLE INFO7 DROP COLUMN F1"));
    TCatalogQuery q(&db);
    ASSERT_TRUE(q.Open("select * from INFO7"));
    EXPECT_FALSE(q.HasField("F1"));
    EXPECT_TRUE(q.HasField("F2"));
    EXPECT_EQ(q.RecordCount(), 1);
}

TEST_P(CatalogDb, TransactionsCommitAndRollBack)
{
    ASSERT_TRUE(exec("CREATE TABLE T(ID INTEGER, NAME CHAR(20))"));
    ASSERT_TRUE(db.BeginTrans());
    ASSERT_TRUE(exec("INSERT INTO T VALUES(1, 'a')"));
    ASSERT_TRUE(db.RollbackTrans());
    EXPECT_EQ(scalar("SELECT count(*) FROM T").toInt(), 0);

    // A failing ALTER COLUMN inside a transaction leaves the outer work to the caller.
    ASSERT_TRUE(exec("INSERT INTO T VALUES(1, 'long enough')"));
    ASSERT_TRUE(db.BeginTrans());
    ASSERT_TRUE(exec("INSERT INTO T VALUES(2, 'b')"));
    EXPECT_FALSE(exec("ALTER TABLE T ALTER COLUMN NAME char(2)"));
    ASSERT_TRUE(db.CommitTrans());
    EXPECT_EQ(scalar("SELECT count(*) FROM T").toInt(), 2);
    EXPECT_FALSE(db.InTransaction());

    // Inner transactions roll back alone; a refused statement leaves the transaction usable.
    ASSERT_TRUE(db.BeginTrans());
    ASSERT_TRUE(exec("INSERT INTO T VALUES(3, 'c')"));
    ASSERT_TRUE(db.BeginTrans());
    ASSERT_TRUE(exec("INSERT INTO T VALUES(4, 'd')"));
    ASSERT_TRUE(db.RollbackTrans());
    EXPECT_FALSE(exec("INSERT INTO T VALUES(5, '" + QString(21, 'e') + "')"));
    EXPECT_FALSE(exec("SELECT NOSUCHCOLUMN FROM T"));
    ASSERT_TRUE(exec("INSERT INTO T VALUES(6, 'f')"));
    ASSERT_TRUE(db.CommitTrans()) << db.LastError().toStdString();
    EXPECT_EQ(scalar("SELECT count(*) FROM T").toInt(), 4);
    EXPECT_EQ(scalar("SELECT count(*) FROM T WHERE ID IN (3, 6)").toInt(), 2);
}

TEST(CatalogDbFile, ForeignOrMissingFileIsNeverTouched)
{
    arkavo::test::EnsureApp();
    arkavo::test::TempDir dir;
    const QString foreign = QString::fromStdString((dir / "imaging.mdb").string());
    const QByteArray content("Standard Jet DB\0\0 not an sqlite file at all, but somebody's data", 64);
    {
        QFile f(foreign);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    TCatalogConnection db;
    EXPECT_FALSE(db.Connect(foreign));
    EXPECT_FALSE(db.Execute("CREATE TABLE X(A INTEGER)"));
    EXPECT_FALSE(TCatalogConnection::CreateDatabaseFile(foreign));
    QFile f(foreign);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), content);

    const QString missing = QString::fromStdString((dir / "missing.mdb").string());
    EXPECT_FALSE(db.Connect(missing));
    EXPECT_FALSE(QFile::exists(missing));
}

TEST(CatalogDbServer, UnreachableServerFailsWithoutAConnection)
{
    arkavo::test::EnsureApp();
    if (!QSqlDatabase::isDriverAvailable("QPSQL"))
        GTEST_SKIP() << "Qt's PostgreSQL driver (QPSQL) is not installed";
    arkavo::test::TempDir dir;
    TCatalogConnection db;
    EXPECT_FALSE(db.ConnectServer("host=" + QString::fromStdString(dir.path().string()) + " dbname=none"));
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(db.LastError().isEmpty());
    EXPECT_FALSE(db.Execute("CREATE TABLE X(A INTEGER)"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}
