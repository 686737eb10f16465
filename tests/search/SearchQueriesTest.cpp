#include "SearchQueries.h"

#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "FieldStore.h"
#include "Globals.h"
#include "Messages.h"

#include "CatalogBackends.h"
#include "QtApp.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace SearchQueries;

// Owns a definition list for the length of a test.
struct Defs {
    FieldDefList list;
    Defs() = default;
    Defs(const Defs &) = delete;
    Defs &operator=(const Defs &) = delete;
    ~Defs() { FieldStore::FreeFieldDefs(list); }
    void add(const QString &in, const QString &out, int type = 0, int length = 0)
    {
        auto *f = new FieldRecord;
        f->InName = in;
        f->OutName = out;
        f->FieldType = type;
        f->FieldLength = length;
        f->FieldOrder = static_cast<int>(list.size());
        list << f;
    }
};

QStringList captions(const QList<SearchLine> &lines)
{
    QStringList t;
    for (const SearchLine &l : lines)
        t << l.caption + u':' + l.count;
    return t;
}

TEST(SearchText, KeywordsAreSplitAtBlanks)
{
    const struct {
        QString typed;
        QStringList keywords;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"ab", {"ab"}},
        {"  ab   cd ", {"ab", "cd"}},
        {"a'b %_ --;", {"a'b", "%_", "--;"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SplitKeywords(c.typed), c.keywords) << c.typed.toStdString();
}

TEST(SearchText, ConditionsReadCharacterForCharacter)
{
    Defs two;
    two.add("F1", "Name");
    two.add("BZ", "备注");
    Defs three;
    three.add("F1", "A");
    three.add("F2", "B");
    three.add("F3", "C");
    const struct {
        QString got, expected;
    } cases[] = {
        {QuickCondition({}, two.list), "(1=1)"},
        {QuickCondition({"ab"}, two.list), "((F1 like '%ab%'  Or BZ like '%ab%' ))"},
        {QuickCondition({"ab", "cd"}, two.list),
         "((F1 like '%ab%'  Or BZ like '%ab%' ) And (F1 like '%cd%'  Or BZ like '%cd%' ))"},
        {QuickCondition({"x'y"}, two.list), "((F1 like '%x''y%'  Or BZ like '%x''y%' ))"},
        {QuickCondition({"5%_"}, two.list), "((F1 like '%5%_%'  Or BZ like '%5%_%' ))"},
        {AdvancedCondition(three.list, {"ab", "  ", "x'y"}), "(1=1 And F1 like '%ab%' And F3 like '%x''y%')"},
        {AdvancedCondition(three.list, {" ab ", "", ""}), "(1=1 And F1 like '%ab%')"},
        {AdvancedCondition(three.list, {"", "", ""}), "(1=1)"},
        {ListingQuery(4, two.list),
         "Select 4 As APPID,BATCHID,IMAGEID,F1 As \"Name\",BZ As \"备注\" From INFO4"},
        {CountPerFolderQuery(4, "(1=1)"),
         "Select BATCHNAME,MIN(INfo.BATCHID) As BATCHID, Count(*) As C From INFO4 "
         "as Info,BATCH Where (1=1) And BATCH.BATCHID=Info.BATCHID Group By BATCHNAME"},
        {CountPerFolderQuery(4, "(1=1)", 12),
         "Select BATCHNAME,MIN(INfo.BATCHID) As BATCHID, Count(*) As C From INFO4 as Info,BATCH Where (1=1) "
         "And BATCH.BATCHID=Info.BATCHID And Info.BATCHID=12 Group By BATCHNAME"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.got, c.expected);
}

TEST(SearchText, AdvancedSearchKeepsTheValuesAndTheirFieldNames)
{
    Defs d;
    d.add("F1", "备注");
    d.add("F2", "Age", 1);
    d.add("BZ", "备注");
    QStringList terms{"stale"}, names{"stale"};
    AdvancedCondition(d.list, {" x ", "", "y"}, &terms, &names);
    EXPECT_EQ(terms, QStringList({"x", "y"}));
    EXPECT_EQ(names, QStringList({"备注", "备注"}));
}

// A catalogue in a temporary repository with file types, folders, files and their values, as an
// SQLite file or on the test server.
class SearchTest : public ::testing::TestWithParam<arkavo::test::CatalogBackend> {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        AppPath = RootPath = QString::fromStdString(root.str());
        Messages::ClearShown();
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
        if (GetParam() == arkavo::test::CatalogBackend::Postgres)
            ARKAVO_NEW_SERVER_CATALOG(CatalogServer);
        ASSERT_EQ(OpenCatalog("Admin", ""), CatalogLogin::LoggedIn);
    }
    void TearDown() override
    {
        Messages::SetResponder(nullptr);
        DestroyCatalogObjects();
        CatalogServer.clear();
    }

    static int addType(const QString &name)
    {
        const auto row = CatalogSchema(CatalogConnection).AddFileType(name);
        EXPECT_TRUE(row);
        return row ? row->id : -1;
    }
    static int addFolder(int appId, const QString &name)
    {
        const auto row = CatalogSchema(CatalogConnection).AddFolder(appId, name);
        EXPECT_TRUE(row);
        return row ? row->id : -1;
    }
    // Character fields of 50 under the given display names, F1, F2, … in order.
    static void defineFields(int appId, const QStringList &names)
    {
        Defs d;
        for (const QString &n : names)
            d.add(QStringLiteral("F%1").arg(d.list.size() + 1), n, 0, 50);
        for (FieldRecord *f : d.list)
            f->AppId = appId;
        FieldStore::ApplyFieldDefs(CatalogConnection, appId, d.list);
    }
    // A new file in the folder with one value per field, the remark last; returns its IMAGEID.
    static int addFile(int appId, int batchId, const QStringList &values)
    {
        const auto row = CatalogSchema(CatalogConnection).AddFile(appId, batchId, QStringLiteral("file"));
        EXPECT_TRUE(row);
        if (!row)
            return -1;
        Defs d;
        FieldStore::LoadFieldDefs(CatalogConnection, appId, d.list, true);
        EXPECT_TRUE(FieldStore::WriteFieldValues(CatalogConnection, d.list, values, row->id, batchId, appId));
        return row->id;
    }

    static QList<SearchLine> quick(int appId, const QString &typed, int batchId = -1)
    {
        Defs d;
        FieldStore::LoadFieldDefs(CatalogConnection, appId, d.list, true);
        return CountPerFolder(CatalogConnection, appId, d.list, QuickCondition(SplitKeywords(typed), d.list),
                              batchId);
    }

    // The IMAGEIDs a result line's statement lists; {-1} when it fails.
    static std::set<int> listed(const SearchLine &line)
    {
        TCatalogQuery q(CatalogConnection);
        if (!q.Open(line.query))
            return {-1};
        std::set<int> ids;
        for (; !q.Eof(); q.Next())
            ids.insert(q.FieldByName("IMAGEID").toInt());
        return ids;
    }

    arkavo::test::TempDir root;
};

INSTANTIATE_TEST_SUITE_P(Backends, SearchTest, arkavo::test::CatalogBackends(),
                         arkavo::test::CatalogBackendName);

TEST_P(SearchTest, EmptyKeywordsListEveryFolderWithStoredValues)
{
    const int app = addType("Letters");
    defineFields(app, {"Name"});
    const int a = addFolder(app, "A  ");
    const int b = addFolder(app, "B");
    const int empty = addFolder(app, "C");
    const int a1 = addFile(app, a, {"x", ""});
    const int a2 = addFile(app, a, {"", ""}); // a stored row, even without values
    const int b1 = addFile(app, b, {"", "note"});
    ASSERT_TRUE(CatalogSchema(CatalogConnection).AddFile(app, empty, "no values"));

    const QList<SearchLine> lines = quick(app, "   ");
    ASSERT_EQ(captions(lines), QStringList({"A:2", "B:1"}));
    EXPECT_EQ(listed(lines[0]), std::set<int>({a1, a2}));
    EXPECT_EQ(listed(lines[1]), std::set<int>({b1}));
    EXPECT_TRUE(lines[0].query.endsWith(" Where (1=1) And BATCHID=" + QString::number(a)));
}

TEST_P(SearchTest, EveryKeywordMustOccurInSomeField)
{
    const int app = addType("Letters");
    defineFields(app, {"Name", "Town"});
    const int f = addFolder(app, "A");
    const int split = addFile(app, f, {"xaby", "", "cd"});
    const int together = addFile(app, f, {"", "cdab", ""});
    addFile(app, f, {"ab", "ab", "ab"});
    addFile(app, f, {"", "cd", ""});
    addFile(app, f, {"a b", "c d", ""});

    const QList<SearchLine> lines = quick(app, "ab cd");
    ASSERT_EQ(captions(lines), QStringList({"A:2"}));
    EXPECT_EQ(listed(lines[0]), std::set<int>({split, together}));
    // Letter case does not matter, as in the catalogue's text comparisons.
    EXPECT_EQ(captions(quick(app, "AB Cd")), QStringList({"A:2"}));
}

TEST_P(SearchTest, TypedTextStaysInsideItsPattern)
{
    const int app = addType("Letters");
    defineFields(app, {"Name"});
    const int f = addFolder(app, "A");
    const int obrien = addFile(app, f, {"O'Brien", ""});
    const int percent = addFile(app, f, {"50%", ""});
    const int plain = addFile(app, f, {"5000", ""});
    const int underscore = addFile(app, f, {"a_c", ""});
    const int abc = addFile(app, f, {"abc", ""});
    const int dashes = addFile(app, f, {"x--y", ""});
    const int semicolon = addFile(app, f, {"", "p;q"});

    // "%" and "_" keep their meaning in the pattern; everything else is the text itself.
    const struct {
        QString typed;
        std::set<int> found;
    } cases[] = {
        {"O'Brien", {obrien}},
        {"'", {obrien}},
        {"''", {}},
        {"50%", {percent, plain}},
        {"a_c", {underscore, abc}},
        {"--", {dashes}},
        {";", {semicolon}},
        {"x'--", {}},
        {"');DROP", {}},
        {"'Or'1'='1", {}},
    };
    for (const auto &c : cases) {
        const QList<SearchLine> lines = quick(app, c.typed);
        const std::set<int> found = lines.isEmpty() ? std::set<int>() : listed(lines[0]);
        EXPECT_EQ(found, c.found) << c.typed.toStdString();
        EXPECT_LE(lines.size(), 1);
    }
    // The statements ran and changed nothing: every file still has its row.
    EXPECT_EQ(captions(quick(app, "")), QStringList({"A:7"}));
}

TEST_P(SearchTest, AFolderLimitsTheListToThatFolder)
{
    const int app = addType("Letters");
    defineFields(app, {"Name"});
    const int a = addFolder(app, "A");
    const int b = addFolder(app, "B");
    const int c = addFolder(app, "C");
    addFile(app, a, {"hit", ""});
    const int b1 = addFile(app, b, {"hit", ""});
    const int b2 = addFile(app, b, {"", "hit"});
    addFile(app, b, {"miss", ""});
    addFile(app, c, {"miss", ""});

    EXPECT_EQ(captions(quick(app, "hit")), QStringList({"A:1", "B:2"}));
    const QList<SearchLine> inB = quick(app, "hit", b);
    ASSERT_EQ(captions(inB), QStringList({"B:2"}));
    EXPECT_EQ(listed(inB[0]), std::set<int>({b1, b2}));
    EXPECT_TRUE(quick(app, "hit", c).isEmpty());
}

TEST_P(SearchTest, TheWholeCatalogueListsFileTypesWithHitsInTreeOrder)
{
    const int letters = addType("Letters");
    const int bills = addType("Bills");
    const int maps = addType("Maps");
    const int deeds = addType("Deeds");
    defineFields(letters, {"Name"});
    defineFields(bills, {"Payee", "Sum"});
    defineFields(maps, {"Area"});
    const int l1 = addFile(letters, addFolder(letters, "L"), {"harbour", ""});
    const int bf = addFolder(bills, "B");
    const int b1 = addFile(bills, bf, {"", "", "harbour fee"});
    const int b2 = addFile(bills, addFolder(bills, "B2"), {"harbour", "3", ""});
    addFile(maps, addFolder(maps, "M"), {"hills", ""});
    addFile(deeds, addFolder(deeds, "D"), {"harbour"});
    // The tree shows Bills first.
    ASSERT_TRUE(
        CatalogConnection->Execute("Update APP Set APPORDER=0 Where APPID=" + QString::number(bills)));

    const QList<FileTypeEntry> types = FileTypesInTreeOrder(CatalogConnection);
    const QList<SearchLine> lines = CountPerFileType(CatalogConnection, types, {"harbour"});
    ASSERT_EQ(captions(lines), QStringList({"Bills:2", "Letters:1", "Deeds:1"}));
    EXPECT_EQ(listed(lines[0]), std::set<int>({b1, b2}));
    EXPECT_EQ(listed(lines[1]), std::set<int>({l1}));
    EXPECT_EQ(captions(CountPerFileType(CatalogConnection, types, {})),
              QStringList({"Bills:2", "Letters:1", "Maps:1", "Deeds:1"}));

    // A file type whose values cannot be read ends the scan; those before it stay.
    ASSERT_TRUE(CatalogConnection->Execute("DROP TABLE INFO" + QString::number(letters)));
    EXPECT_EQ(captions(CountPerFileType(CatalogConnection, types, {"harbour"})), QStringList({"Bills:2"}));
}

TEST_P(SearchTest, AFieldNamedLikeTheRemarkAndTheRemarkEachSearchTheirOwnValue)
{
    const int app = addType("Letters");
    defineFields(app, {"备注"});
    const int f = addFolder(app, "A");
    const int both = addFile(app, f, {"field", "remark"});
    addFile(app, f, {"remark", "field"});
    addFile(app, f, {"field", ""});

    Defs d;
    FieldStore::LoadFieldDefs(CatalogConnection, app, d.list, true);
    ASSERT_EQ(d.list.size(), 2);
    QStringList terms, names;
    const QString condition = AdvancedCondition(d.list, {"field", "remark"}, &terms, &names);
    EXPECT_EQ(names, QStringList({"备注", "备注"}));
    const QList<SearchLine> lines = CountPerFolder(CatalogConnection, app, d.list, condition);
    ASSERT_EQ(captions(lines), QStringList({"A:1"}));
    EXPECT_EQ(listed(lines[0]), std::set<int>({both}));

    TCatalogQuery q(CatalogConnection);
    ASSERT_TRUE(q.Open(lines[0].query));
    ASSERT_EQ(q.FieldNames(), QStringList({"APPID", "BATCHID", "IMAGEID", "备注", "备注"}));
    EXPECT_EQ(q.FieldByName("APPID").toInt(), app);
    EXPECT_EQ(q.FieldByName("BATCHID").toInt(), f);
}

TEST_P(SearchTest, AnyAcceptedDisplayNameListsItsResults)
{
    const QStringList names{"First name",       "1st", "Order", "say \"hi\"", "O'Neil", "Select",
                            "a,b) From APP --", "[x]"};
    const int app = addType("Letters");
    defineFields(app, names);
    const int f = addFolder(app, "A");
    QStringList values;
    for (qsizetype i = 0; i < names.size(); ++i)
        values << QStringLiteral("v%1").arg(i);
    values << "r";
    const int file = addFile(app, f, values);

    const QList<SearchLine> lines = quick(app, "v7");
    ASSERT_EQ(captions(lines), QStringList({"A:1"}));
    TCatalogQuery q(CatalogConnection);
    ASSERT_TRUE(q.Open(lines[0].query)) << q.LastError().toStdString();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("IMAGEID").toInt(), file);
    // Each field's value in its own column, in the definitions' order (the grid titles its
    // columns from the definitions).
    const QStringList columns = q.FieldNames();
    ASSERT_EQ(columns.size(), 3 + names.size() + 1);
    for (qsizetype i = 0; i < values.size(); ++i)
        EXPECT_EQ(q.FieldText(columns[3 + i]), values[i]) << names.value(i).toStdString();

    const QList<SearchLine> wide =
        CountPerFileType(CatalogConnection, FileTypesInTreeOrder(CatalogConnection), {"r"});
    ASSERT_EQ(captions(wide), QStringList({"Letters:1"}));
    EXPECT_EQ(listed(wide[0]), std::set<int>({file}));
}

} // namespace
