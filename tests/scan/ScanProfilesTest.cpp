// Scan profiles in table SCANTYPE of a fresh catalogue: order, the stored form of each option,
// names with quotes, and failures that must leave the table as it was.
#include "ScanProfiles.h"

#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "Globals.h"
#include "Messages.h"

#include "QtApp.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <ostream>

// Readable failures: names and rows as text, profiles by their fields.
void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
void PrintTo(const QStringList &l, std::ostream *os)
{
    *os << '[' << l.join(QStringLiteral(", ")).toStdString() << ']';
}
void PrintTo(const ScanProfile &p, std::ostream *os)
{
    *os << "{deskew " << p.deskew << ", autoCrop " << p.autoCrop << ", cropBlackBox " << p.cropBlackBox
        << ", inverse " << p.inverse << ", rotate " << p.rotate << ", cutMode " << p.cutMode << '}';
}

namespace {

using arkavo::test::TempDir;

class ScanProfilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
        ASSERT_EQ(OpenCatalog(QStringLiteral("Admin"), QString()), CatalogLogin::LoggedIn);
    }
    void TearDown() override
    {
        Messages::SetResponder(nullptr);
        DestroyCatalogObjects();
    }

    static void exec(const QString &sql)
    {
        ASSERT_TRUE(CatalogConnection->Execute(sql)) << sql.toStdString();
    }

    // Every row as "name:order", in order of the rows' TYPEORDER and then name.
    static QStringList rows()
    {
        TCatalogQuery q(CatalogConnection);
        if (!q.Open(QStringLiteral("SELECT TYPENAME, TYPEORDER FROM SCANTYPE ORDER BY TYPEORDER, TYPENAME")))
            return {QStringLiteral("<error>")};
        QStringList out;
        for (; !q.Eof(); q.Next())
            out << q.FieldText(QStringLiteral("TYPENAME")) + u':' + q.FieldText(QStringLiteral("TYPEORDER"));
        return out;
    }

    // One stored column of the row of Name, exactly as stored; invalid when there is no row.
    static QVariant column(const QString &name, const QString &col)
    {
        TCatalogQuery q(CatalogConnection);
        if (!q.Open(QStringLiteral("SELECT * FROM SCANTYPE WHERE TYPENAME=:n"),
                    {{QStringLiteral(":n"), name}}) ||
            q.Eof())
            return {};
        return q.FieldByName(col);
    }

    // On the shared connection, which the login makes.
    static ScanProfiles profiles() { return ScanProfiles(CatalogConnection); }

    TempDir root;
};

ScanProfile Profile(bool deskew, bool autoCrop, bool cropBlackBox, bool inverse, int rotate, int cutMode)
{
    return {deskew, autoCrop, cropBlackBox, inverse, rotate, cutMode};
}

TEST_F(ScanProfilesTest, EmptyTableListsNothingAndFindsNothing)
{
    EXPECT_TRUE(profiles().Names().isEmpty());
    EXPECT_FALSE(profiles().Find(QStringLiteral("默认模板")).has_value());
}

TEST_F(ScanProfilesTest, SavedProfileComesFirstAndEveryOtherMovesDownOne)
{
    ScanProfiles p = profiles();
    p.Save(QStringLiteral("默认模板"), {});
    EXPECT_EQ(rows(), QStringList({"默认模板:1"}));

    p.Save(QStringLiteral("Letters"), {});
    p.Save(QStringLiteral("Invoices"), {});
    EXPECT_EQ(p.Names(), QStringList({"Invoices", "Letters", "默认模板"}));
    EXPECT_EQ(rows(), QStringList({"Invoices:1", "Letters:2", "默认模板:3"}));

    // Saving an existing name replaces its row and puts it first.
    const ScanProfile changed = Profile(true, false, true, false, 2, 5);
    p.Save(QStringLiteral("Letters"), changed);
    EXPECT_EQ(rows(), QStringList({"Letters:1", "Invoices:2", "默认模板:4"}));
    EXPECT_EQ(p.Find(QStringLiteral("Letters")), changed);
    EXPECT_EQ(p.Names(), QStringList({"Letters", "Invoices", "默认模板"}));
}

TEST_F(ScanProfilesTest, ProfilesReadBackAsSaved)
{
    const ScanProfile cases[] = {
        Profile(true, true, true, true, 3, 5),    Profile(false, false, false, false, 0, -1),
        Profile(false, true, false, false, 1, 0), Profile(false, false, false, true, 2, 999999),
        Profile(true, false, false, false, 0, 1),
    };
    ScanProfiles p = profiles();
    for (const ScanProfile &c : cases) {
        SCOPED_TRACE(testing::Message() << "rotate " << c.rotate << " cut " << c.cutMode);
        p.Save(QStringLiteral("Case"), c);
        EXPECT_EQ(p.Find(QStringLiteral("Case")), c);
        EXPECT_EQ(column(QStringLiteral("Case"), QStringLiteral("ROTATE")).toString(),
                  QString::number(c.rotate));
        EXPECT_EQ(column(QStringLiteral("Case"), QStringLiteral("CUTMODE")).toInt(), c.cutMode);
    }
    EXPECT_EQ(rows(), QStringList({"Case:1"}));
}

// A rotation the list does not have (no item chosen is -1) is saved as none rather than
// as text the one-character column refuses, which would lose the whole save.
TEST_F(ScanProfilesTest, RotationOutsideTheListIsSavedAsNone)
{
    ScanProfiles p = profiles();
    for (const int rotate : {-1, 4, 12}) {
        SCOPED_TRACE(rotate);
        p.Save(QStringLiteral("Odd"), Profile(true, false, false, false, rotate, 3));
        EXPECT_EQ(p.Find(QStringLiteral("Odd")), Profile(true, false, false, false, 0, 3));
        EXPECT_EQ(column(QStringLiteral("Odd"), QStringLiteral("ROTATE")).toString(), u"0");
    }
}

TEST_F(ScanProfilesTest, UncheckedOptionsAreStoredAsNull)
{
    profiles().Save(QStringLiteral("Half"), Profile(true, false, true, false, 0, -1));
    EXPECT_EQ(column(QStringLiteral("Half"), QStringLiteral("DESKEW")).toString(), u"T");
    EXPECT_EQ(column(QStringLiteral("Half"), QStringLiteral("CROPBLACKBOX")).toString(), u"T");
    for (const char *col : {"AUTOCROP", "INVERSE"}) {
        const QVariant v = column(QStringLiteral("Half"), QString::fromLatin1(col));
        EXPECT_TRUE(v.isValid() && v.isNull()) << col << " holds " << v.toString().toStdString();
    }
}

TEST_F(ScanProfilesTest, StoredValuesAreReadByTheirRules)
{
    // Rows as another program or an older version may have left them.
    struct Case {
        const char *option, *rotate, *cutMode; // SQL literals
        bool on;
        int rotateItem, cutModeValue;
    };
    const Case cases[] = {
        {"'T'", "'3'", "5", true, 3, 5},        {"'F'", "'0'", "-1", false, 0, -1},
        {"'t'", "'7'", "0", false, 0, 0},       {"NULL", "'x'", "NULL", false, 0, -1},
        {"'Y'", "NULL", "'abc'", false, 0, -1}, {"'1'", "'-'", "12", false, 0, 12},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.option << " " << c.rotate << " " << c.cutMode);
        exec(QStringLiteral("DELETE FROM SCANTYPE"));
        exec(QStringLiteral("INSERT INTO SCANTYPE VALUES('Stored', 1, %1, %1, %1, %1, %2, %3)")
                 .arg(QString::fromLatin1(c.option), QString::fromLatin1(c.rotate),
                      QString::fromLatin1(c.cutMode)));
        const auto found = profiles().Find(QStringLiteral("Stored"));
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(*found, Profile(c.on, c.on, c.on, c.on, c.rotateItem, c.cutModeValue));
    }
}

TEST_F(ScanProfilesTest, NamesAreTrimmedBothWays)
{
    ScanProfiles p = profiles();
    p.Save(QStringLiteral("  Office  "), Profile(true, false, false, false, 0, -1));
    EXPECT_EQ(rows(), QStringList({"Office:1"}));
    EXPECT_TRUE(p.Find(QStringLiteral(" Office ")).has_value());

    // A blank name saves nothing and moves nothing.
    p.Save(QStringLiteral("   "), {});
    EXPECT_EQ(rows(), QStringList({"Office:1"}));

    exec(QStringLiteral("INSERT INTO SCANTYPE (TYPENAME, TYPEORDER) VALUES(' Padded   ', 2)"));
    EXPECT_EQ(p.Names(), QStringList({"Office", "Padded"}));
}

// The key of SCANTYPE compares without regard to letter case, so Find does too, and saving
// a name in other letter case replaces the row rather than failing on the key.
TEST_F(ScanProfilesTest, LetterCaseDoesNotSeparateNames)
{
    ScanProfiles p = profiles();
    const ScanProfile office = Profile(false, true, false, false, 1, 0);
    p.Save(QStringLiteral("Office"), office);
    p.Save(QStringLiteral("Home"), {});
    EXPECT_EQ(p.Find(QStringLiteral("OFFICE")), office);

    const ScanProfile upper = Profile(true, false, false, false, 3, 2);
    p.Save(QStringLiteral("OFFICE"), upper);
    EXPECT_EQ(rows(), QStringList({"OFFICE:1", "Home:2"}));
    EXPECT_EQ(p.Find(QStringLiteral("office")), upper);
}

TEST_F(ScanProfilesTest, DeleteKeepsTheOthersOrderAndSavingAgainRecreatesTheRow)
{
    ScanProfiles p = profiles();
    for (const char *name : {"C", "B", "A"})
        p.Save(QString::fromLatin1(name), {});
    p.Delete(QStringLiteral(" B "));
    EXPECT_EQ(rows(), QStringList({"A:1", "C:3"}));
    EXPECT_FALSE(p.Find(QStringLiteral("B")).has_value());

    p.Delete(QStringLiteral("Unknown"));
    p.Delete(QStringLiteral("  "));
    EXPECT_EQ(rows(), QStringList({"A:1", "C:3"}));

    const ScanProfile again = Profile(false, false, true, false, 0, 4);
    p.Save(QStringLiteral("B"), again);
    EXPECT_EQ(rows(), QStringList({"B:1", "A:2", "C:4"}));
    EXPECT_EQ(p.Find(QStringLiteral("B")), again);
}

TEST_F(ScanProfilesTest, NamesWithQuotesAreStoredIntactAndTouchNothingElse)
{
    const QString names[] = {
        QStringLiteral("O'Brien"),
        QStringLiteral("'; DROP TABLE SCANTYPE; --"),
        QStringLiteral("x' OR '1'='1"),
        QStringLiteral("''"),
    };
    ScanProfiles p = profiles();
    const ScanProfile keep = Profile(true, true, false, false, 1, 3);
    p.Save(QStringLiteral("Keep"), keep);
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        const ScanProfile own = Profile(false, false, true, true, 2, 6);
        p.Save(name, own);
        EXPECT_EQ(p.Names(), QStringList({name, "Keep"}));
        EXPECT_EQ(p.Find(name), own);
        EXPECT_EQ(column(name, QStringLiteral("TYPENAME")).toString(), name);

        p.Delete(name);
        EXPECT_EQ(rows(), QStringList({"Keep:2"}));
        EXPECT_EQ(p.Find(QStringLiteral("Keep")), keep);
        p.Save(QStringLiteral("Keep"), keep);
    }
}

// A row that cannot be written must not cost the old row of that name or shift the others.
TEST_F(ScanProfilesTest, SaveThatCannotWriteItsRowChangesNothing)
{
    ScanProfiles p = profiles();
    const ScanProfile old = Profile(true, false, false, false, 1, -1);
    p.Save(QStringLiteral("Other"), {});
    p.Save(QStringLiteral("Letters"), old);
    // Stands in for a write the database refuses after the delete and the shift went through.
    exec(QStringLiteral("CREATE TRIGGER refuse_seven BEFORE INSERT ON SCANTYPE WHEN NEW.CUTMODE = 7 "
                        "BEGIN SELECT RAISE(ABORT, 'refused'); END"));

    p.Save(QStringLiteral("Letters"), Profile(false, true, true, true, 3, 7));
    EXPECT_EQ(rows(), QStringList({"Letters:1", "Other:2"}));
    EXPECT_EQ(p.Find(QStringLiteral("Letters")), old);

    // Longer than the column allows.
    p.Save(QString(51, u'n'), {});
    EXPECT_EQ(rows(), QStringList({"Letters:1", "Other:2"}));
    EXPECT_FALSE(CatalogConnection->InTransaction());

    // The connection is still usable for the next save.
    p.Save(QStringLiteral("Next"), {});
    EXPECT_EQ(rows(), QStringList({"Next:1", "Letters:2", "Other:3"}));
}

TEST_F(ScanProfilesTest, ClosedOrMissingConnectionYieldsNothingAndChangesNothing)
{
    profiles().Save(QStringLiteral("Kept"), Profile(true, false, false, false, 2, 5));

    const QString file = CatalogConnection->DatabaseFile();
    CatalogConnection->disconnect();
    for (TCatalogConnection *connection : {CatalogConnection, static_cast<TCatalogConnection *>(nullptr)}) {
        ScanProfiles p(connection);
        EXPECT_TRUE(p.Names().isEmpty());
        EXPECT_FALSE(p.Find(QStringLiteral("Kept")).has_value());
        p.Save(QStringLiteral("New"), {});
        p.Delete(QStringLiteral("Kept"));
    }
    ASSERT_TRUE(CatalogConnection->Connect(file));
    EXPECT_EQ(rows(), QStringList({"Kept:1"}));
    EXPECT_FALSE(CatalogConnection->InTransaction());
}

TEST_F(ScanProfilesTest, MissingTableYieldsNothing)
{
    exec(QStringLiteral("DROP TABLE SCANTYPE"));
    ScanProfiles p = profiles();
    EXPECT_TRUE(p.Names().isEmpty());
    EXPECT_FALSE(p.Find(QStringLiteral("Any")).has_value());
    p.Save(QStringLiteral("Any"), {});
    p.Delete(QStringLiteral("Any"));
    EXPECT_FALSE(CatalogConnection->InTransaction());
    EXPECT_FALSE(CatalogConnection->TableNames().contains(QStringLiteral("SCANTYPE"), Qt::CaseInsensitive));
}

} // namespace
