// Several stations on one catalogue at the same moment: each is a process of its own with its own
// connection, as on separate machines.
#include "CatalogDatabase.h"
#include "CatalogSchema.h"

#include "CatalogBackends.h"
#include "QtApp.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace {

using arkavo::test::CatalogBackend;

constexpr int kStations = 4;
constexpr int kEach = 25;

class Stations : public ::testing::TestWithParam<CatalogBackend> {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        if (GetParam() == CatalogBackend::Postgres) {
            ARKAVO_NEW_SERVER_CATALOG(server);
        } else {
            file = QString::fromStdString((dir / "imaging.mdb").string());
            ASSERT_TRUE(TCatalogConnection::CreateDatabaseFile(file));
        }
        TCatalogConnection db;
        ASSERT_TRUE(connect(db)) << db.LastError().toStdString();
        CatalogSchema schema(&db);
        ASSERT_TRUE(schema.EnsureTables());
        ASSERT_TRUE(schema.AddFileType("Shared"));
        ASSERT_TRUE(schema.AddFolder(1, "Shared"));
    }

    bool connect(TCatalogConnection &db) const
    {
        return server.isEmpty() ? db.Connect(file) : db.ConnectServer(server);
    }

    // One station: a folder and a file in the shared folder, kEach times. Exits with the number
    // of changes that failed, and never returns to the test program.
    [[noreturn]] void station(int number) const
    {
        int failed = 0;
        {
            TCatalogConnection db;
            if (!connect(db))
                ::_exit(100);
            CatalogSchema schema(&db);
            for (int i = 0; i < kEach; ++i) {
                const QString name = QStringLiteral("S%1-%2").arg(number).arg(i);
                failed += !schema.AddFolder(1, name);
                failed += !schema.AddFile(1, 1, name);
            }
        }
        ::_exit(failed);
    }

    arkavo::test::TempDir dir;
    QString file, server;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Backends, Stations, arkavo::test::CatalogBackends(),
                         arkavo::test::CatalogBackendName);

TEST_P(Stations, AddingAtOnceNeverGivesOutAnIdentifierTwice)
{
    std::vector<pid_t> children;
    for (int s = 0; s < kStations; ++s) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            station(s);
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "changes failed at one station";
    }

    TCatalogConnection db;
    ASSERT_TRUE(connect(db));
    const auto number = [&db](const QString &sql) {
        TCatalogQuery q(&db);
        return q.Open(sql) && !q.Eof() ? q.FieldByName(q.FieldNames().value(0)).toInt() : -1;
    };
    const int folders = kStations * kEach + 1;
    EXPECT_EQ(number("select count(*) from BATCH"), folders);
    EXPECT_EQ(number("select count(distinct BATCHID) from BATCH"), folders);
    EXPECT_EQ(number("select count(distinct BATCHORDER) from BATCH"), folders);
    EXPECT_EQ(number("select MAX(BATCHID) from BATCH"), folders);
    EXPECT_EQ(number("select count(distinct IMAGEID) from IMG1_1"), kStations * kEach);
    EXPECT_EQ(number("select count(distinct IMAGEORDER) from IMG1_1"), kStations * kEach);
    // Every folder got its own table of files.
    int tables = 0;
    for (const QString &t : db.TableNames())
        tables += t.startsWith("IMG1_");
    EXPECT_EQ(tables, folders);
}
