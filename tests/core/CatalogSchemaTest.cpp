#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "Globals.h"

#include "CatalogBackends.h"
#include "QtApp.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using arkavo::test::CatalogBackend;

// Every case runs on a catalogue file and on a server database.
class Schema : public ::testing::TestWithParam<CatalogBackend> {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        if (GetParam() == CatalogBackend::Postgres)
            ARKAVO_NEW_SERVER_CATALOG(CatalogServer);
        ASSERT_EQ(OpenCatalog("admin", ""), CatalogLogin::LoggedIn);
    }
    void TearDown() override
    {
        DestroyCatalogObjects();
        CatalogServer.clear();
    }
    static bool onServer() { return GetParam() == CatalogBackend::Postgres; }

    // The database refuses every delete from Table until allowDeletes.
    static bool refuseDeletes(const QString &table)
    {
        if (!onServer())
            return exec("CREATE TRIGGER refuse BEFORE DELETE ON " + table +
                        " BEGIN SELECT RAISE(ABORT, 'locked'); END");
        return exec("CREATE OR REPLACE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                    "'BEGIN RAISE EXCEPTION ''locked''; END'") &&
               exec("CREATE TRIGGER refuse BEFORE DELETE ON " + table +
                    " FOR EACH ROW EXECUTE FUNCTION refuse()");
    }
    static bool allowDeletes(const QString &table)
    {
        return exec(onServer() ? "DROP TRIGGER refuse ON " + table : QString("DROP TRIGGER refuse"));
    }

    static bool exec(const QString &sql) { return CatalogConnection->Execute(sql); }
    static QString scalar(const QString &sql)
    {
        TCatalogQuery q(CatalogConnection);
        if (!q.Open(sql))
            return "<error>";
        return q.Eof() ? "<none>" : q.FieldText(q.FieldNames().value(0));
    }
    static bool hasTable(const QString &name) { return CatalogConnection->TableNames().contains(name); }

    // A file type with two folders, a file in each with an index value, a field definition, and
    // a definition left behind by a deleted file type with the next id.
    void fill()
    {
        for (const char *sql : {
                 "INSERT INTO APP VALUES(3, 'T', 0, 1)",
                 "INSERT INTO BATCH (APPID, BATCHID, BATCHNAME, BATCHORDER, STATUS) VALUES(3, 4, 'F', 1, 1)",
                 "INSERT INTO BATCH (APPID, BATCHID, BATCHNAME, BATCHORDER, STATUS) VALUES(3, 5, 'G', 2, 1)",
                 "INSERT INTO FIELDDEFINE VALUES(3, 'F1', 'Name', 0, 20, 0, 0)",
                 "INSERT INTO FIELDDEFINE VALUES(4, 'F1', 'Old', 0, 10, 0, 0)",
             })
            ASSERT_TRUE(exec(sql)) << sql;
        ASSERT_TRUE(exec(CatalogSchema::CreateInfoTableSql(3)));
        ASSERT_TRUE(exec(CatalogSchema::CreateImgTableSql(3, 4)));
        ASSERT_TRUE(exec(CatalogSchema::CreateImgTableSql(3, 5)));
        ASSERT_TRUE(exec("INSERT INTO IMG3_4 VALUES(1, 'A', 1)"));
        ASSERT_TRUE(exec("INSERT INTO IMG3_5 VALUES(1, 'B', 1)"));
        ASSERT_TRUE(exec("INSERT INTO INFO3 (BATCHID, IMAGEID, BZ) VALUES(4, 1, 'x')"));
        ASSERT_TRUE(exec("INSERT INTO INFO3 (BATCHID, IMAGEID, BZ) VALUES(5, 1, 'y')"));
    }
    // Every table with its row count.
    static QStringList snapshot()
    {
        QStringList s;
        QStringList tables = CatalogConnection->TableNames();
        tables.sort();
        for (const QString &t : tables)
            s << t + '=' + scalar("select count(*) from " + t);
        return s;
    }

    arkavo::test::TempDir root;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Backends, Schema, arkavo::test::CatalogBackends(), arkavo::test::CatalogBackendName);

TEST(SchemaNames, AreTheNamesStoredCataloguesUse)
{
    const struct {
        int appId, batchId;
        const char *img, *info;
    } cases[] = {
        {1, 1, "IMG1_1", "INFO1"},
        {12, 3, "IMG12_3", "INFO12"},
        {3, 12, "IMG3_12", "INFO3"},
        {2147483647, 100000, "IMG2147483647_100000", "INFO2147483647"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(CatalogSchema::ImgTableName(c.appId, c.batchId), c.img);
        EXPECT_EQ(CatalogSchema::InfoTableName(c.appId), c.info);
    }
    EXPECT_EQ(CatalogSchema::CreateImgTableSql(1, 2),
              "Create Table IMG1_2 (IMAGEID INTEGER PRIMARY KEY, IMAGENAME CHAR(50), IMAGEORDER INTEGER)");
    EXPECT_EQ(CatalogSchema::CreateInfoTableSql(7),
              "CREATE TABLE INFO7(BATCHID INTEGER, IMAGEID INTEGER, BZ MEMO NULL)");
}

TEST_P(Schema, NewIdsAndOrdersAreTheMaximumPlusOneDespiteGaps)
{
    CatalogSchema schema(CatalogConnection);
    // Empty tables start at 1.
    const auto first = schema.AddFileType("A");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->id, 1);
    EXPECT_EQ(first->order, 1);
    EXPECT_TRUE(hasTable("INFO1"));

    ASSERT_TRUE(exec("INSERT INTO APP VALUES(9, 'Gap', 0, 4)"));
    ASSERT_TRUE(
        exec("INSERT INTO BATCH (APPID, BATCHID, BATCHNAME, BATCHORDER, STATUS) VALUES(9, 6, 'X', 2, 1)"));
    const auto type = schema.AddFileType("B");
    ASSERT_TRUE(type);
    EXPECT_EQ(type->id, 10);
    EXPECT_EQ(type->order, 5);

    // Folder ids run over all file types.
    const auto folder = schema.AddFolder(1, "F");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->id, 7);
    EXPECT_EQ(folder->order, 3);
    EXPECT_EQ(scalar("select APPID || '/' || BATCHNAME || '/' || STATUS from BATCH where BATCHID=7"),
              "1/F/1");
    EXPECT_TRUE(hasTable("IMG1_7"));

    // File ids run within their folder's table.
    ASSERT_TRUE(exec("INSERT INTO IMG1_7 VALUES(4, 'Old', 2)"));
    const auto file = schema.AddFile(1, 7, "New");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->id, 5);
    EXPECT_EQ(file->order, 3);
    EXPECT_EQ(scalar("select IMAGENAME from IMG1_7 where IMAGEID=5"), "New");

    // The top id freed by a delete is given out again.
    ASSERT_TRUE(schema.DeleteFileType(10));
    const auto again = schema.AddFileType("C");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->id, 10);
}

TEST_P(Schema, AFailingStatementUndoesTheWholeChange)
{
    fill();
    // The database refuses one statement of each change: the last one, or one in the middle.
    const struct {
        const char *name;
        const char *refused; // table whose deletes the database refuses
        std::function<bool(CatalogSchema &)> change;
    } cases[] = {
        {"file type, definitions", "FIELDDEFINE", [](CatalogSchema &s) { return s.DeleteFileType(3); }},
        {"file type, folders", "BATCH", [](CatalogSchema &s) { return s.DeleteFileType(3); }},
        {"folder, values", "INFO3", [](CatalogSchema &s) { return s.DeleteFolder(3, 4); }},
        {"file, values", "INFO3", [](CatalogSchema &s) { return s.DeleteFile(3, 4, 1); }},
        {"new file type, leftovers", "FIELDDEFINE",
         [](CatalogSchema &s) { return bool(s.AddFileType("N")); }},
    };
    const QStringList before = snapshot();
    CatalogSchema schema(CatalogConnection);
    for (const auto &c : cases) {
        ASSERT_TRUE(refuseDeletes(c.refused));
        EXPECT_FALSE(c.change(schema)) << c.name;
        EXPECT_FALSE(CatalogConnection->InTransaction()) << c.name;
        EXPECT_TRUE(CatalogConnection->LastError().contains("locked")) << c.name;
        ASSERT_TRUE(allowDeletes(c.refused));
        EXPECT_EQ(snapshot(), before) << c.name;
    }

    ASSERT_TRUE(schema.DeleteFolder(3, 4));
    EXPECT_FALSE(hasTable("IMG3_4"));
    EXPECT_EQ(scalar("select count(*) from INFO3"), "1");
    ASSERT_TRUE(schema.DeleteFileType(3));
    EXPECT_EQ(scalar("select count(*) from APP") + scalar("select count(*) from BATCH") +
                  scalar("select count(*) from FIELDDEFINE where APPID=3"),
              "000");
    EXPECT_FALSE(hasTable("IMG3_5"));
    EXPECT_FALSE(hasTable("INFO3"));
}

TEST_P(Schema, TablesAlreadyGoneDoNotBlockADelete)
{
    fill();
    // A file type whose value table was never made, with a folder whose table is lost.
    ASSERT_TRUE(exec("DROP TABLE INFO3"));
    ASSERT_TRUE(exec("DROP TABLE IMG3_5"));
    CatalogSchema schema(CatalogConnection);
    EXPECT_TRUE(schema.DeleteFile(3, 4, 1));
    EXPECT_EQ(scalar("select count(*) from IMG3_4"), "0");
    EXPECT_TRUE(schema.DeleteFolder(3, 5));
    EXPECT_TRUE(schema.DeleteFileType(3));
    EXPECT_EQ(scalar("select count(*) from BATCH"), "0");
    EXPECT_FALSE(hasTable("IMG3_4"));
}

TEST_P(Schema, UsersNeverExistsWithoutTheInitialUser)
{
    ASSERT_TRUE(exec("DROP TABLE USERS"));
    ASSERT_TRUE(exec("DROP TABLE CONFIDE"));
    // A table in the way of the last creation makes the whole set fail.
    ASSERT_TRUE(exec("CREATE VIEW CONFIDE AS SELECT 1 AS ID"));
    EXPECT_FALSE(CatalogSchema(CatalogConnection).EnsureTables());
    EXPECT_FALSE(hasTable("USERS"));

    ASSERT_TRUE(exec("DROP VIEW CONFIDE"));
    EXPECT_TRUE(CatalogSchema(CatalogConnection).EnsureTables());
    EXPECT_EQ(scalar("select USERNAME || '/' || USERTYPE from USERS"), "ADMIN/系统管理员");
    EXPECT_TRUE(hasTable("CONFIDE"));
}

// The value tables' index: made with a new file type, at the administrator's login for value
// tables without it, and kept when a field's type changes rebuilds the table.
TEST_P(Schema, ValueTablesKeepAnIndexOnFolderAndFile)
{
    // The index as the engine keeps it, and as it keeps the one the program makes.
    const auto indexSql = [](int appId) {
        if (onServer())
            return scalar("select indexdef from pg_indexes where indexname=lower('" +
                          CatalogSchema::InfoIndexName(appId) + "')");
        return scalar("select sql from sqlite_master where type='index' and name='" +
                      CatalogSchema::InfoIndexName(appId) + "'");
    };
    const auto expected = [](int appId) {
        if (onServer())
            return QString("CREATE INDEX info%1_file ON public.info%1 USING btree (batchid, imageid)")
                .arg(appId);
        return CatalogSchema::CreateInfoIndexSql(appId);
    };
    const auto made = CatalogSchema(CatalogConnection).AddFileType("A");
    ASSERT_TRUE(made);
    EXPECT_EQ(indexSql(made->id), expected(made->id));

    // A catalogue from before the index, with a table that merely looks like a value table.
    ASSERT_TRUE(exec(CatalogSchema::CreateInfoTableSql(3)));
    ASSERT_TRUE(exec("CREATE TABLE INFO03(X INTEGER)"));
    ASSERT_TRUE(exec("INSERT INTO INFO3 (BATCHID, IMAGEID, BZ) VALUES(4, 1, 'x')"));
    DestroyCatalogObjects();
    ASSERT_EQ(OpenCatalog("admin", ""), CatalogLogin::LoggedIn);
    EXPECT_EQ(indexSql(3), expected(3));
    EXPECT_EQ(CatalogConnection->IndexNames().size(), 2);
    EXPECT_TRUE(CatalogSchema(CatalogConnection).EnsureIndexes()); // nothing left to make

    ASSERT_TRUE(exec("ALTER TABLE INFO3 ADD COLUMN F1 CHAR(10)"));
    ASSERT_TRUE(exec("ALTER TABLE INFO3 ALTER COLUMN F1 CHAR(20)"));
    EXPECT_EQ(indexSql(3), expected(3));
    EXPECT_EQ(scalar("select BZ from INFO3 where BATCHID=4 and IMAGEID=1"), "x");
}
