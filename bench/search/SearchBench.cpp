// The search on a generated catalogue of 10 file types with 5 index fields each, 100 files per
// folder, and 10 or 100 folders per file type (10,000 or 100,000 files, every file with values):
// the quick search with two keywords in one file type and in one folder, the catalogue-wide
// count, the statement behind one result line, and the result grid's first and last block of
// a line with every file of one file type (1,000 or 10,000 hits). The second argument puts the
// catalogue in an SQLite file (0) or on a PostgreSQL server over its Unix socket (1).
#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "FieldStore.h"
#include "Globals.h"
#include "SearchQueries.h"
#include "SearchResultGrid.h"

#include "CatalogBackends.h"
#include "QtApp.h"
#include "TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

namespace {

constexpr int kFileTypes = 10;
constexpr int kFilesPerFolder = 100;
constexpr int kFields = 5;

const char *const kTowns[] = {"Harbour", "Hillside",  "Riverbank", "Oldtown",
                              "Meadow",  "Northgate", "Eastfield"};
const char *const kKinds[] = {"invoice", "letter", "contract", "receipt", "notice"};

// A catalogue written with plain inserts in one transaction, the way a long-used one looks:
// every file has its row in its file type's value table.
class Catalogue {
public:
    Catalogue(int files, bool onServer) : m_files(files)
    {
        arkavo::test::EnsureApp();
        if (onServer) {
            std::string whyNot;
            bool skip = false;
            m_server = arkavo::test::NewServerCatalog(&whyNot, &skip);
            if (m_server.isEmpty()) {
                std::fprintf(stderr, "no PostgreSQL server: %s\n", whyNot.c_str());
                std::exit(1);
            }
        }
        open();
        const int folders = files / (kFileTypes * kFilesPerFolder);
        TCatalogConnection *db = CatalogConnection;
        db->RunInTransaction([&] {
            TCatalogQuery q(db);
            int batchId = 0;
            for (int app = 1; app <= kFileTypes; ++app) {
                db->Execute(QStringLiteral("INSERT INTO APP VALUES(%1, 'Type %1', 0, %1)").arg(app));
                QString columns;
                for (int f = 1; f <= kFields; ++f) {
                    db->Execute(
                        QStringLiteral("INSERT INTO FIELDDEFINE VALUES(%1, 'F%2', 'Field %2', 0, 50, 0, %3)")
                            .arg(app)
                            .arg(f)
                            .arg(f - 1));
                    columns += QStringLiteral(", F%1 CHAR(50) NULL").arg(f);
                }
                db->Execute(
                    QStringLiteral("CREATE TABLE INFO%1(BATCHID INTEGER, IMAGEID INTEGER, BZ MEMO NULL%2)")
                        .arg(app)
                        .arg(columns));
                db->Execute(CatalogSchema::CreateInfoIndexSql(app));
                for (int folder = 1; folder <= folders; ++folder) {
                    ++batchId;
                    db->Execute(
                        QStringLiteral("INSERT INTO BATCH (APPID, BATCHID, BATCHNAME, BATCHORDER, STATUS) "
                                       "VALUES(%1, %2, 'Folder %3', %3, 1)")
                            .arg(app)
                            .arg(batchId)
                            .arg(folder));
                    db->Execute(CatalogSchema::CreateImgTableSql(app, batchId));
                    const QString img = QStringLiteral("INSERT INTO %1 VALUES(:id, :name, :id)")
                                            .arg(CatalogSchema::ImgTableName(app, batchId));
                    const QString info =
                        QStringLiteral("INSERT INTO INFO%1 VALUES(:b, :id, :bz, :f1, :f2, :f3, "
                                       ":f4, :f5)")
                            .arg(app);
                    for (int id = 1; id <= kFilesPerFolder; ++id) {
                        const int n = batchId * kFilesPerFolder + id;
                        q.ExecSQL(img, {{"id", id}, {"name", QStringLiteral("file %1").arg(id)}});
                        q.ExecSQL(info, {{"b", batchId},
                                         {"id", id},
                                         {"bz", n % 13 == 0 ? QStringLiteral("checked by Meyer") : QString()},
                                         {"f1", QStringLiteral("Person %1").arg(n % 997)},
                                         {"f2", QString::fromLatin1(kTowns[n % 7])},
                                         {"f3", QString::fromLatin1(kKinds[n % 5])},
                                         {"f4", QStringLiteral("%1-%2").arg(2000 + n % 25).arg(n % 12 + 1)},
                                         {"f5", QStringLiteral("Ref %1").arg(n)}});
                    }
                }
            }
            return true;
        });
    }

    // Makes this catalogue the one the program works on.
    void open()
    {
        AppPath = RootPath = QString::fromStdString(m_root.str());
        CatalogServer = m_server;
        OpenCatalog(QStringLiteral("Admin"), QString());
    }

private:
    arkavo::test::TempDir m_root;
    QString m_server;
    int m_files;
};

// One catalogue per size and engine, made on first use and kept for the whole run.
Catalogue &catalogue(const benchmark::State &state)
{
    static std::map<std::pair<int, bool>, std::unique_ptr<Catalogue>> made;
    static std::pair<int, bool> current{0, false};
    const std::pair<int, bool> key{static_cast<int>(state.range(0)), state.range(1) != 0};
    auto &c = made[key];
    if (!c)
        c = std::make_unique<Catalogue>(key.first, key.second);
    else if (current != key)
        c->open();
    current = key;
    return *c;
}

const QStringList kKeywords{QStringLiteral("harbour"), QStringLiteral("invoice")};

void QuickSearch(benchmark::State &state, int batchId)
{
    catalogue(state);
    size_t lines = 0;
    for (auto _ : state) {
        FieldDefList defs;
        FieldStore::LoadFieldDefs(CatalogConnection, 1, defs, true);
        const QString condition = SearchQueries::QuickCondition(kKeywords, defs);
        lines = SearchQueries::CountPerFolder(CatalogConnection, 1, defs, condition, batchId).size();
        FieldStore::FreeFieldDefs(defs);
    }
    state.counters["lines"] = static_cast<double>(lines);
}

void BM_QuickSearchInOneFileType(benchmark::State &state)
{
    QuickSearch(state, -1);
}

void BM_QuickSearchInOneFolder(benchmark::State &state)
{
    QuickSearch(state, 1);
}

void BM_CatalogueWideCount(benchmark::State &state)
{
    catalogue(state);
    size_t lines = 0;
    for (auto _ : state) {
        const auto types = SearchQueries::FileTypesInTreeOrder(CatalogConnection);
        lines = SearchQueries::CountPerFileType(CatalogConnection, types, kKeywords).size();
    }
    state.counters["lines"] = static_cast<double>(lines);
}

// The grid's statement behind one folder's line, as choosing the line opens it.
void BM_ListOneResultLine(benchmark::State &state)
{
    catalogue(state);
    FieldDefList defs;
    FieldStore::LoadFieldDefs(CatalogConnection, 1, defs, true);
    const auto lines = SearchQueries::CountPerFolder(CatalogConnection, 1, defs,
                                                     SearchQueries::QuickCondition(kKeywords, defs));
    FieldStore::FreeFieldDefs(defs);
    if (lines.isEmpty()) {
        state.SkipWithError("no result line");
        return;
    }
    int rows = 0;
    for (auto _ : state) {
        TCatalogQuery q(CatalogConnection);
        q.Open(lines.last().query);
        rows = q.RecordCount();
    }
    state.counters["rows"] = rows;
}

// The catalogue-wide line of the first file type without keywords: every one of its files.
SearchQueries::SearchLine WholeFileTypeLine()
{
    const auto lines = SearchQueries::CountPerFileType(
        CatalogConnection, SearchQueries::FileTypesInTreeOrder(CatalogConnection), QStringList());
    return lines.value(0);
}

// Choosing the line: the grid's first block, what the first screen shows.
void BM_GridFirstBlock(benchmark::State &state)
{
    catalogue(state);
    const SearchQueries::SearchLine line = WholeFileTypeLine();
    TSearchResultModel model(CatalogConnection);
    for (auto _ : state) {
        model.Open(line.query);
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.counters["hits"] = line.count.toDouble();
    state.counters["rows"] = model.rowCount();
}

// Scrolling to the end: the last block the grid reads, the deepest offset.
void BM_GridLastBlock(benchmark::State &state)
{
    catalogue(state);
    const SearchQueries::SearchLine line = WholeFileTypeLine();
    TSearchResultModel model(CatalogConnection);
    model.Open(line.query);
    while (model.rowCount() + TSearchResultModel::kBlockRows < line.count.toInt() && model.canFetchMore())
        model.fetchMore();
    const int before = model.rowCount();
    for (auto _ : state) {
        state.PauseTiming();
        model.Open(line.query);
        while (model.rowCount() < before && model.canFetchMore())
            model.fetchMore();
        state.ResumeTiming();
        model.fetchMore();
    }
    state.counters["rows"] = model.rowCount();
}

BENCHMARK(BM_QuickSearchInOneFileType)->ArgsProduct({{10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickSearchInOneFolder)->ArgsProduct({{10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CatalogueWideCount)->ArgsProduct({{10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListOneResultLine)->ArgsProduct({{10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridFirstBlock)->ArgsProduct({{10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridLastBlock)->ArgsProduct({{10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);

} // namespace
