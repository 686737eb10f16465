// Creating a folder, a file in it and filing one page into it, with the catalogue in an SQLite
// file (argument 0) and on a PostgreSQL server reached over its Unix socket (argument 1).
#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "Globals.h"
#include "PageListView.h"
#include "TImageManager.h"

#include "CatalogBackends.h"
#include "QtApp.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void BM_NewFolderFileAndPage(benchmark::State &state)
{
    arkavo::test::EnsureApp();
    arkavo::test::TempDir root;
    AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
    CatalogServer.clear();
    if (state.range(0) == 1) {
        std::string whyNot;
        bool skip = false;
        CatalogServer = arkavo::test::NewServerCatalog(&whyNot, &skip);
        if (CatalogServer.isEmpty()) {
            state.SkipWithError(whyNot.c_str());
            return;
        }
    }
    if (OpenCatalog("Admin", "") != CatalogLogin::LoggedIn) {
        state.SkipWithError("the catalogue did not open");
        return;
    }
    {
        QTreeWidget tree;
        TPageListView list;
        TImageManager store(&tree, CatalogConnection, &list);
        CatalogSchema schema(CatalogConnection);
        const auto type = schema.AddFileType("Type");
        const QString page = RootPath + "page.tif";
        QFile f(page);
        if (!type || !f.open(QIODevice::WriteOnly) || f.write("page") != 4) {
            state.SkipWithError("no file type");
            return;
        }
        f.close();
        int n = 0;
        for (auto _ : state) {
            const QString name = QString("F%1").arg(++n);
            const auto folder = schema.AddFolder(type->id, name);
            const auto file = folder ? schema.AddFile(type->id, folder->id, "File") : std::nullopt;
            if (!file) {
                state.SkipWithError("a folder or file was not made");
                break;
            }
            QDir().mkpath(RootPath + "Images/Type/" + name + "/File");
            QStringList sources{page};
            store.AddPages(&sources, "Type", false, 0, "File", name);
        }
        state.counters["pages"] =
            static_cast<double>(QDir(RootPath + "Images/Type/F1/File").entryList(QDir::Files).size());
    }
    DestroyCatalogObjects();
    CatalogServer.clear();
}
BENCHMARK(BM_NewFolderFileAndPage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);

} // namespace
