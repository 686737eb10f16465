// The page list of a folder of 200 files with 5 pages each, the renumbering of an
// in-order 1,000-page file, and thumbnails of A4 pages at 300 dpi next to the bare
// load, reduce and save calls they are made of.
#include "CatalogDatabase.h"
#include "FormLogin.h"
#include "Globals.h"
#include "PageImport.h"
#include "PageListView.h"
#include "TImageManager.h"

#include "PatternPage.h"
#include "QtApp.h"
#include "TempDir.h"

#include "codec.h"
#include "pixolve.h"
#include <arkavo/GlobalBlock.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

using arkavo::GlobalBlock;

namespace {

QString pageName(int n, const QString &ext = ".tif")
{
    return QString("P%1").arg(n, 7, 10, QChar('0')) + ext;
}

void touch(const QString &name)
{
    QFile f(name);
    if (f.open(QIODevice::WriteOnly))
        f.write("page");
}

// A catalogue with one folder of 200 files of 5 pages each.
struct Repository {
    arkavo::test::TempDir root;
    std::unique_ptr<QTreeWidget> tree;
    std::unique_ptr<TPageListView> list;
    std::unique_ptr<TImageManager> store;

    Repository()
    {
        arkavo::test::EnsureApp();
        AppPath = RootPath = QString::fromStdString(root.str());
        {
            TFormLogin login;
            login.Edit1->setText("Admin");
            login.Button1Click();
        }
        CatalogConnection->Execute("INSERT INTO APP VALUES(1, 'Type', 0, 1)");
        CatalogConnection->Execute(
            "INSERT INTO BATCH (APPID, BATCHID, BATCHNAME, BATCHORDER, STATUS) VALUES(1, 1, 'Folder', 1, 1)");
        CatalogConnection->Execute(
            "Create Table IMG1_1 (IMAGEID INTEGER PRIMARY KEY, IMAGENAME CHAR(50), IMAGEORDER INTEGER)");
        CatalogConnection->BeginTrans();
        for (int f = 1; f <= 200; ++f) {
            const QString name = QString("File %1").arg(f, 3, 10, QChar('0'));
            CatalogConnection->Execute(QString("INSERT INTO IMG1_1 VALUES(%1, '%2', %1)").arg(f).arg(name));
            const QString dir = RootPath + "Images/Type/Folder/" + name + "/";
            QDir().mkpath(dir);
            for (int p = 1; p <= 5; ++p)
                touch(dir + pageName(p));
        }
        CatalogConnection->CommitTrans();
        tree = std::make_unique<QTreeWidget>();
        list = std::make_unique<TPageListView>();
        list->resize(1200, 900);
        store = std::make_unique<TImageManager>(tree.get(), CatalogConnection, list.get());
        store->LoadTree("1");
    }
    ~Repository()
    {
        store.reset();
        DestroyCatalogObjects();
    }
};

void BM_ShowNodeFolderOf1000Pages(benchmark::State &state)
{
    Repository repo;
    QTreeWidgetItem *root = repo.tree->topLevelItem(0);
    QTreeWidgetItem *folder = root->child(0)->child(0);
    for (auto _ : state) {
        state.PauseTiming();
        repo.store->ShowNode(root, nullptr);
        state.ResumeTiming();
        repo.store->ShowNode(folder, nullptr);
    }
    state.counters["items"] = repo.list->count();
}
BENCHMARK(BM_ShowNodeFolderOf1000Pages)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RenumberInOrder1000Pages(benchmark::State &state)
{
    Repository repo;
    const QString dir = RootPath + "Images/Type/Folder/Big/";
    QDir().mkpath(dir);
    for (int p = 1; p <= 1000; ++p)
        touch(dir + pageName(p, p % 3 == 0 ? ".jpg" : ".tif"));
    QStringList exts;
    for (auto _ : state)
        benchmark::DoNotOptimize(repo.store->RenumberPages("Type/Folder/Big/", &exts, nullptr, false));
    state.counters["pages"] = exts.size();
}
BENCHMARK(BM_RenumberInOrder1000Pages)->Unit(benchmark::kMillisecond);

struct PageFile {
    arkavo::test::TempDir dir;
    QString page, thumb;
};

std::unique_ptr<PageFile> writePage(int kind)
{
    auto f = std::make_unique<PageFile>();
    f->page = QString::fromStdString(f->dir.str()) + (kind == 24 ? "P0000001.jpg" : "P0000001.tif");
    f->thumb = QString::fromStdString(f->dir.str()) + "P0000001.bmp";
    GlobalBlock dib = arkavo::test::MakeA4Page(kind);
    const TCodecImage image{300, 300, dib.get()};
    const QByteArray name = QFile::encodeName(f->page);
    if (kind == 24)
        SaveJPG(&image, name.constData());
    else
        SaveTIF(&image, name.constData(), kind == 1 ? CODEC_TIFF_G4 : CODEC_TIFF_DEFAULT, 0);
    return f;
}

void BM_MakeThumbnail(benchmark::State &state)
{
    arkavo::test::EnsureApp();
    auto f = writePage(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(MakeThumbnail(f->page, f->thumb, nullptr, 135, 160));
}
BENCHMARK(BM_MakeThumbnail)->Arg(1)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

// The three calls a thumbnail is made of, without the store around them.
void BM_LoadReduceSave(benchmark::State &state)
{
    auto f = writePage(int(state.range(0)));
    const QByteArray page = QFile::encodeName(f->page);
    const QByteArray thumb = QFile::encodeName(f->thumb);
    for (auto _ : state) {
        TCodecImage image{};
        LoadFile(page.constData(), &image, 0);
        GlobalBlock loaded(image.Dib);
        GlobalBlock reduced(Thumbnail(loaded.get(), 135, 160));
        const TCodecImage out{image.XResolution, image.YResolution, reduced.get()};
        benchmark::DoNotOptimize(SaveBMP(&out, thumb.constData()));
    }
}
BENCHMARK(BM_LoadReduceSave)->Arg(1)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

} // namespace
