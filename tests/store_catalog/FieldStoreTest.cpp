#include "CatalogFixture.h"

#include "FieldStore.h"

#include <memory>

namespace {

using arkavo::test::CatalogFixture;

FieldRecord *field(const QString &in, const QString &out, int type, int length = 0, int required = 0)
{
    auto *f = new FieldRecord;
    f->AppId = 1;
    f->InName = in;
    f->OutName = out;
    f->FieldType = type;
    f->FieldLength = length;
    f->IsRequired = required;
    return f;
}

// Owns a definition list for the length of a test.
struct Defs {
    FieldDefList list;
    ~Defs() { FieldStore::FreeFieldDefs(list); }
};

class FieldStoreTest : public CatalogFixture {
protected:
    void SetUp() override
    {
        CatalogFixture::SetUp();
        ASSERT_TRUE(CatalogConnection->Execute("INSERT INTO APP VALUES(1, 'Letters', 0, 1)"));
        ASSERT_TRUE(
            CatalogConnection->Execute("CREATE TABLE INFO1(BATCHID INTEGER, IMAGEID INTEGER, BZ MEMO NULL)"));
    }

    static QString columnType(const QString &column)
    {
        return arkavo::test::DeclaredColumnType("INFO1", column);
    }

    // The stored definitions as "INNAME OUTNAME TYPE LENGTH REQUIRED ORDER" lines.
    static QStringList storedDefs()
    {
        Defs d;
        FieldStore::LoadFieldDefs(CatalogConnection, 1, d.list, false);
        QStringList lines;
        for (const FieldRecord *f : d.list)
            lines << QStringLiteral("%1 %2 %3 %4 %5 %6")
                         .arg(f->InName, f->OutName)
                         .arg(f->FieldType)
                         .arg(f->FieldLength)
                         .arg(f->IsRequired)
                         .arg(f->FieldOrder);
        return lines;
    }

    static void applyThree()
    {
        Defs d;
        d.list << field("F1", "姓名", 0, 20, 1) << field("F2", "Age", 1) << field("F3", "Note", 3);
        FieldStore::ApplyFieldDefs(CatalogConnection, 1, d.list);
    }
};

INSTANTIATE_TEST_SUITE_P(Backends, FieldStoreTest, arkavo::test::CatalogBackends(),
                         arkavo::test::CatalogBackendName);

TEST_P(FieldStoreTest, ApplyingTheSameListTwiceChangesNothing)
{
    applyThree();
    const QStringList expected{"F1 姓名 0 20 1 0", "F2 Age 1 0 0 1", "F3 Note 3 0 0 2"};
    EXPECT_EQ(storedDefs(), expected);
    EXPECT_EQ(columnType("F1"), "CHAR(20)");
    EXPECT_EQ(columnType("F2"), "INTEGER");
    EXPECT_EQ(columnType("F3"), "TEXT");
    ASSERT_TRUE(
        CatalogConnection->Execute("INSERT INTO INFO1(BATCHID, IMAGEID, F1, F2) VALUES(1, 1, '张三', 42)"));

    applyThree();
    EXPECT_EQ(storedDefs(), expected);
    EXPECT_EQ(columnType("F1"), "CHAR(20)");
    EXPECT_EQ(scalar("select F1 || '/' || F2 from INFO1"), "张三/42");
    EXPECT_TRUE(Messages::Shown().isEmpty());
}

TEST_P(FieldStoreTest, RemovingAFieldDropsItsColumnAndRenumbersTheRest)
{
    applyThree();
    Defs d;
    d.list << field("F1", "姓名", 0, 20, 1) << field("F3", "Note", 3);
    FieldStore::ApplyFieldDefs(CatalogConnection, 1, d.list);
    EXPECT_EQ(storedDefs(), QStringList({"F1 姓名 0 20 1 0", "F3 Note 3 0 0 1"}));
    EXPECT_EQ(columnType("F2"), "<none>");
    EXPECT_EQ(columnType("F3"), "TEXT");
    EXPECT_TRUE(Messages::Shown().isEmpty());
}

TEST_P(FieldStoreTest, ShorteningACharFieldAltersItsColumn)
{
    applyThree();
    ASSERT_TRUE(
        CatalogConnection->Execute("INSERT INTO INFO1(BATCHID, IMAGEID, F1) VALUES(1, 1, '0123456789')"));
    Defs d;
    d.list << field("F1", "姓名", 0, 10, 1) << field("F2", "Age", 1) << field("F3", "Note", 3);
    FieldStore::ApplyFieldDefs(CatalogConnection, 1, d.list);
    EXPECT_EQ(columnType("F1"), "CHAR(10)");
    EXPECT_EQ(storedDefs().value(0), "F1 姓名 0 10 1 0");
    EXPECT_EQ(scalar("select F1 from INFO1"), "0123456789");
    EXPECT_TRUE(Messages::Shown().isEmpty());
}

TEST_P(FieldStoreTest, RefusedChangeKeepsColumnAndDefinitionAndIsReported)
{
    applyThree();
    ASSERT_TRUE(
        CatalogConnection->Execute("INSERT INTO INFO1(BATCHID, IMAGEID, F1) VALUES(1, 1, '0123456789AB')"));
    Defs d;
    // F1 no longer fits its values; F2 and F3 swap places and must still be stored.
    d.list << field("F1", "短名", 0, 10, 1) << field("F3", "Note", 3) << field("F2", "Age", 1);
    FieldStore::ApplyFieldDefs(CatalogConnection, 1, d.list);
    EXPECT_EQ(shownTexts(), QStringList{"修改字段短名不成功！"});
    EXPECT_EQ(Messages::Shown().value(0).caption, "提示");
    EXPECT_EQ(columnType("F1"), "CHAR(20)");
    EXPECT_EQ(storedDefs(), QStringList({"F1 姓名 0 20 1 0", "F3 Note 3 0 0 1", "F2 Age 1 0 0 2"}));
    EXPECT_EQ(scalar("select F1 from INFO1"), "0123456789AB");
}

TEST_P(FieldStoreTest, FailedAddLeavesNoDefinitionAndIsReported)
{
    // A column without a definition (left by an old file type) blocks the add.
    ASSERT_TRUE(CatalogConnection->Execute("ALTER TABLE INFO1 ADD COLUMN F9 int"));
    Defs d;
    d.list << field("F9", "编号", 1) << field("F1 int, x", "坏名", 1) << field("F2", "Age", 1);
    FieldStore::ApplyFieldDefs(CatalogConnection, 1, d.list);
    EXPECT_EQ(shownTexts(), QStringList({"增加字段编号不成功！", "增加字段坏名不成功！"}));
    EXPECT_EQ(storedDefs(), QStringList{"F2 Age 1 0 0 2"});
}

TEST_P(FieldStoreTest, DisplayNamesAreStoredIntact)
{
    const QStringList names{"O'Brien's", "100%_done", "a,b", "%1 %2 '%s'", "客户名称"};
    Defs d;
    for (int i = 0; i < names.size(); ++i)
        d.list << field(QStringLiteral("F%1").arg(i + 1), names[i], 0, 10);
    FieldStore::ApplyFieldDefs(CatalogConnection, 1, d.list);
    FieldStore::ApplyFieldDefs(CatalogConnection, 1, d.list); // the update statement too
    Defs loaded;
    FieldStore::LoadFieldDefs(CatalogConnection, 1, loaded.list, false);
    ASSERT_EQ(loaded.list.size(), names.size());
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(loaded.list[i]->OutName, names[i]);
    EXPECT_TRUE(Messages::Shown().isEmpty());
}

TEST_P(FieldStoreTest, RemarkEntryComesLastAndIsNeverStored)
{
    applyThree();
    Defs d;
    FieldStore::LoadFieldDefs(CatalogConnection, 1, d.list, true);
    ASSERT_EQ(d.list.size(), 4);
    const FieldRecord *r = d.list.last();
    EXPECT_EQ(r->InName, "BZ");
    EXPECT_EQ(r->OutName, "备注");
    EXPECT_EQ(r->FieldType, 3);
    EXPECT_EQ(r->FieldOrder, -1);

    // A list that carries the remark (as the entry panel's does) applies without touching it.
    FieldStore::ApplyFieldDefs(CatalogConnection, 1, d.list);
    EXPECT_TRUE(Messages::Shown().isEmpty());
    EXPECT_EQ(count("select count(*) from FIELDDEFINE"), 3);
    EXPECT_EQ(columnType("BZ"), "TEXT");
}

TEST_P(FieldStoreTest, LoadFailureIsReportedAndGivesAnEmptyList)
{
    ASSERT_TRUE(CatalogConnection->Execute("DROP TABLE FIELDDEFINE"));
    Defs d;
    d.list << field("F1", "x", 0, 5); // stale entry: cleared, not disposed (the caller frees it)
    std::unique_ptr<FieldRecord> stale(d.list.first());
    FieldStore::LoadFieldDefs(CatalogConnection, 1, d.list, false);
    EXPECT_TRUE(d.list.isEmpty());
    EXPECT_EQ(shownTexts(), QStringList{"查询资料夹数据库错误"});
}

TEST_P(FieldStoreTest, WritingCreatesTheRowThenUpdatesItAndReadingGivesRemarkLast)
{
    applyThree();
    Defs d;
    FieldStore::LoadFieldDefs(CatalogConnection, 1, d.list, true);
    QStringList values;
    FieldStore::ReadFieldValues(CatalogConnection, d.list, values, 7, 3, 1);
    EXPECT_EQ(values, QStringList({"", "", "", ""}));

    const QStringList first{"O'Neil, 100%_", "12", " long note ", "备注：'引号'"};
    ASSERT_TRUE(FieldStore::WriteFieldValues(CatalogConnection, d.list, first, 7, 3, 1));
    EXPECT_EQ(count("select count(*) from INFO1 where BATCHID=3 and IMAGEID=7"), 1);
    FieldStore::ReadFieldValues(CatalogConnection, d.list, values, 7, 3, 1);
    EXPECT_EQ(values, QStringList({"O'Neil, 100%_", "12", "long note", "备注：'引号'"}));

    const QStringList second{"李四", "", "", "改过"};
    ASSERT_TRUE(FieldStore::WriteFieldValues(CatalogConnection, d.list, second, 7, 3, 1));
    EXPECT_EQ(count("select count(*) from INFO1"), 1);
    FieldStore::ReadFieldValues(CatalogConnection, d.list, values, 7, 3, 1);
    EXPECT_EQ(values, second);
    EXPECT_EQ(values.last(), "改过");
}

TEST_P(FieldStoreTest, ValuesThatDoNotFitAreRefusedAndChangeNothing)
{
    applyThree();
    Defs d;
    FieldStore::LoadFieldDefs(CatalogConnection, 1, d.list, false);
    ASSERT_TRUE(FieldStore::WriteFieldValues(CatalogConnection, d.list, {"甲", "1", ""}, 7, 3, 1));
    const QList<QStringList> refused{
        {"甲", "twelve", ""},         // not an integer
        {QString(21, u'x'), "1", ""}, // longer than char(20)
        {"甲", "1"},                  // one value missing
    };
    for (const QStringList &v : refused)
        EXPECT_FALSE(FieldStore::WriteFieldValues(CatalogConnection, d.list, v, 7, 3, 1))
            << v.join('|').toStdString();
    QStringList values;
    FieldStore::ReadFieldValues(CatalogConnection, d.list, values, 7, 3, 1);
    EXPECT_EQ(values, QStringList({"甲", "1", ""}));
    EXPECT_EQ(count("select count(*) from INFO1"), 1);
}

} // namespace
