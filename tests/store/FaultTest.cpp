// Every page operation is interrupted at each of its file-system calls in turn, either by
// one failing call or by all calls failing from that point on (as when the process dies
// or the disk fills). The next renumbering must then give every page back, in order.
#include "StoreFixture.h"

#include <functional>
#include <map>

using namespace store_test;

namespace {

class FailingFiles : public TStoreFiles {
public:
    int calls = 0;
    int failAt = 0;    // 0: never fail
    bool stop = false; // fail every call from failAt on
    bool Rename(const QString &a, const QString &b) override { return !fails() && TStoreFiles::Rename(a, b); }
    bool Copy(const QString &a, const QString &b) override { return !fails() && TStoreFiles::Copy(a, b); }
    bool Remove(const QString &a) override { return !fails() && TStoreFiles::Remove(a); }
    bool WriteFile(const QString &a, const QByteArray &d) override
    {
        return !fails() && TStoreFiles::WriteFile(a, d);
    }

private:
    bool fails()
    {
        ++calls;
        return failAt > 0 && (calls == failAt || (stop && calls > failAt));
    }
};

struct Page {
    QString name; // file name in the directory before the operation
    QString content;
};

class Faults : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        SetStoreFiles(&files);
    }
    QString dir(const QString &file) const { return imagesDir("T/F/" + file + "/"); }
    QString thumbDir(const QString &file) const { return store->ThumbnailPath + "T/F/" + file + "/"; }

    void layOut(const QString &file, const QList<Page> &pages)
    {
        QDir(dir(file)).removeRecursively();
        QDir(thumbDir(file)).removeRecursively();
        QDir().mkpath(dir(file));
        QDir().mkpath(thumbDir(file));
        for (const Page &p : pages) {
            writeFile(dir(file) + p.name, p.content.toUtf8());
            writeFile(thumbDir(file) + p.name.left(p.name.size() - 4) + ".bmp", "thumb");
            extOf[p.content] = p.name.right(4).toLower();
        }
    }

    // After a clean renumbering the directory holds exactly P0000001.. in page order, each
    // page once, in the order of Full, with every page of Required among them.
    void expectRecovered(const QString &file, const QStringList &full, const QStringList &required,
                         const std::string &where)
    {
        files.failAt = 0;
        EXPECT_TRUE(store->RenumberPages("T/F/" + file + "/", nullptr, nullptr, false)) << where;
        const QStringList entries = dirContent(dir(file));
        QStringList got;
        for (int i = 0; i < entries.size(); ++i) {
            const QString name = entries[i].section('=', 0, 0);
            const QString content = entries[i].section('=', 1);
            EXPECT_EQ(name, QString("P%1").arg(i + 1, 7, 10, QChar('0')) + extOf[content]) << where;
            got << content;
        }
        int at = 0;
        for (const QString &c : got) {
            while (at < full.size() && full[at] != c)
                ++at;
            EXPECT_LT(at, full.size()) << where << " out of order or twice: " << c.toStdString() << " in "
                                       << got.join(' ').toStdString();
            ++at;
        }
        for (const QString &c : required)
            EXPECT_TRUE(got.contains(c))
                << where << " lost " << c.toStdString() << " in " << got.join(' ').toStdString();
    }

    // Runs Setup and Operation once to count the calls, then once per call k in both modes.
    void forEveryInterruption(const std::function<void()> &setup, const std::function<void()> &operation,
                              const std::function<void(const std::string &)> &check)
    {
        setup();
        files.calls = 0;
        files.failAt = 0;
        operation();
        const int total = files.calls;
        ASSERT_GT(total, 0);
        check("clean run");
        for (int k = 1; k <= total; ++k) {
            for (bool stop : {false, true}) {
                setup();
                files.calls = 0;
                files.failAt = k;
                files.stop = stop;
                operation();
                files.failAt = 0;
                check((stop ? "stopped at call " : "failed call ") + std::to_string(k));
            }
        }
    }

    FailingFiles files;
    std::map<QString, QString> extOf;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Backends, Faults, arkavo::test::CatalogBackends(), arkavo::test::CatalogBackendName);

TEST_P(Faults, RenumberingNeverLosesOrReordersAPage)
{
    const QList<Page> start = {{"P0000001.tif", "a1"},       {"P0000002.jpg", "a2"},
                               {"P0000002-00001.tif", "n1"}, {"P0000002-00002.jpg", "n2"},
                               {"P0000004.bmp", "a3"},       {"P0000009.TIF", "a4"},
                               {"PZ00001.bmp", "z1"}};
    const QStringList order = {"a1", "a2", "n1", "n2", "a3", "a4", "z1"};
    forEveryInterruption([&] { layOut("A", start); },
                         [&] { store->RenumberPages("T/F/A/", nullptr, nullptr, false); },
                         [&](const std::string &where) { expectRecovered("A", order, order, where); });
}

TEST_P(Faults, AddingPagesNeverLosesOrReordersAPage)
{
    const QList<Page> start = {{"P0000001.tif", "a1"}, {"P0000002.tif", "a2"}, {"P0000003.jpg", "a3"}};
    writeFile(RootPath + "in/s1.tif", "s1");
    writeFile(RootPath + "in/s2.jpg", "s2");
    writeFile(RootPath + "in/s3.bmp", "s3");
    extOf["s1"] = ".tif";
    extOf["s2"] = ".jpg";
    extOf["s3"] = ".bmp";
    forEveryInterruption(
        [&] { layOut("A", start); },
        [&] {
            QStringList sources{RootPath + "in/s1.tif", RootPath + "in/s2.jpg", RootPath + "in/s3.bmp"};
            store->AddPages(&sources, "T", true, 2, "A", "F");
        },
        [&](const std::string &where) {
            expectRecovered("A", {"a1", "s1", "s2", "s3", "a2", "a3"}, {"a1", "a2", "a3"}, where);
            EXPECT_EQ(readFile(RootPath + "in/s2.jpg"), "s2") << where;
        });
}

TEST_P(Faults, MovingPagesNeverLosesAPage)
{
    const QList<Page> a = {
        {"P0000001.tif", "a1"}, {"P0000002.jpg", "a2"}, {"P0000003.tif", "a3"}, {"P0000004.bmp", "a4"}};
    const QList<Page> b = {{"P0000001.tif", "b1"}, {"P0000002.tif", "b2"}};
    forEveryInterruption(
        [&] {
            layOut("A", a);
            layOut("B", b);
        },
        [&] {
            QStringList sources{dir("A") + "P0000002.jpg", dir("A") + "P0000004.bmp"};
            store->MovePages(&sources, "T", true, 2, "B", "F");
        },
        [&](const std::string &where) {
            expectRecovered("A", {"a1", "a2", "a3", "a4"}, {"a1", "a3"}, where);
            expectRecovered("B", {"b1", "a2", "a4", "b2"}, {"b1", "b2"}, where);
            const QStringList all = dirContent(dir("A")) + dirContent(dir("B"));
            for (const QString &moved : {QString("a2"), QString("a4")})
                EXPECT_TRUE(all.filter("=" + moved).size() >= 1) << where << " lost " << moved.toStdString();
        });
}

TEST_P(Faults, MovingPagesInsideAFileNeverDuplicatesOrLosesOne)
{
    const QList<Page> a = {
        {"P0000001.tif", "a1"}, {"P0000002.jpg", "a2"}, {"P0000003.tif", "a3"}, {"P0000004.bmp", "a4"}};
    forEveryInterruption(
        [&] { layOut("A", a); },
        [&] {
            QStringList sources{dir("A") + "P0000004.bmp", dir("A") + "P0000003.tif"};
            store->MovePages(&sources, "T", true, 2, "A", "F");
        },
        [&](const std::string &where) {
            expectRecovered("A", {"a1", "a4", "a3", "a2", "a3", "a4"}, {"a1", "a2", "a3", "a4"}, where);
            EXPECT_EQ(dirContent(dir("A")).size(), 4) << where;
        });
}

TEST_P(Faults, DeletingPagesRemovesOnlyThoseAsked)
{
    const QList<Page> a = {{"P0000001.tif", "a1"},
                           {"P0000002.jpg", "a2"},
                           {"P0000003.tif", "a3"},
                           {"P0000004.bmp", "a4"},
                           {"P0000005.tif", "a5"}};
    forEveryInterruption([&] { layOut("A", a); },
                         [&] {
                             QStringList paths{dir("A") + "P0000004.bmp", dir("A") + "P0000002.jpg"};
                             store->DeletePages(&paths, true);
                         },
                         [&](const std::string &where) {
                             expectRecovered("A", {"a1", "a2", "a3", "a4", "a5"}, {"a1", "a3", "a5"}, where);
                         });
}

TEST_P(Faults, ARenamingThatCannotBeFinishedRenamesNothingElseButStillListsThePages)
{
    const QString temp = "P0000002.tif{0c1d2e3f-0000-4000-8000-000000000001}.tif";
    layOut("A", {{"P0000001.tif", "a1"}, {temp, "a2"}, {"P0000009.jpg", "a3"}});
    writeFile(dir("A") + ".renumber", (temp + "\tP0000001.tif\n").toUtf8());
    QStringList exts;
    EXPECT_FALSE(store->RenumberPages("T/F/A/", &exts, nullptr, false));
    EXPECT_EQ(exts, (QStringList{".tif", ".tif", ".jpg"}));
    EXPECT_EQ(dirContent(dir("A")), (QStringList{".renumber=" + temp + "\tP0000001.tif\n", "P0000001.tif=a1",
                                                 temp + "=a2", "P0000009.jpg=a3"}));
}
