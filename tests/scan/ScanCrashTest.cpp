// A scan killed at any moment loses and doubles no filed page: the program is killed at
// many points of a twenty-sheet scan from the test device, and the catalogue opened again
// lists every page that was filed, in order, with at most the interrupted one beyond them
// (or that one still waiting in its temporary file).
#include "CatalogSchema.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "TForm1.h"
#include "TImageManager.h"

#include "QtApp.h"
#include "SaneTestDevice.h"
#include "TempDir.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {

[[maybe_unused]] const auto *g_sane = ::testing::AddGlobalTestEnvironment(new arkavo::test::SaneEnvironment);

int linesIn(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
}

} // namespace

TEST(ScanCrash, AKilledScanLosesOrDoublesNoFiledPage)
{
    const QString child = QCoreApplication::applicationDirPath() + "/scan_crash_child";
    ASSERT_TRUE(QFile::exists(child));
    // A whole run first, to know how long the program takes from its start to the last
    // page; the kill points are spread over that time.
    int whole = 0;
    {
        arkavo::test::TempDir dir;
        QProcess scan;
        QElapsedTimer clock;
        clock.start();
        scan.start(child, {QString::fromStdString(dir.str())});
        ASSERT_TRUE(scan.waitForFinished(120000));
        whole = int(clock.elapsed());
        ASSERT_EQ(linesIn(QString::fromStdString(dir.str()) + "filed.log"), 20)
            << "a whole run files every sheet";
    }
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> delay(whole / 4, whole);
    int killedWhileFiling = 0;
    for (int round = 0; round < 20; ++round) {
        arkavo::test::TempDir dir;
        const QString root = QString::fromStdString(dir.str());
        const int ms = delay(random);
        QProcess scan;
        scan.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        scan.start(child, {root});
        ASSERT_TRUE(scan.waitForStarted());
        if (!scan.waitForFinished(ms))
            scan.kill();
        scan.waitForFinished();
        const int filed = linesIn(root + "filed.log");
        std::printf("killed after %d of %d ms: %d filed\n", ms, whole, filed);
        if (filed > 0 && filed < 20)
            ++killedWhileFiling;

        // The program started again on the same catalogue.
        AppPath = RootPath = ResourcePath = root;
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
        if (!QFile::exists(root + "data/imaging.mdb") || OpenCatalog("Admin", "") != CatalogLogin::LoggedIn) {
            EXPECT_EQ(filed, 0) << "killed after " << ms << " ms";
            Messages::SetResponder(nullptr);
            continue;
        }
        {
            TForm1 form;
            form.show();
            QCoreApplication::processEvents();
            QTreeWidgetItem *file = nullptr;
            for (QTreeWidgetItemIterator it(form.TreeView1); *it; ++it)
                if ((*it)->text(0) == "A" && form.ImageManager->NodeKind(*it) == 3)
                    file = *it;
            if (!file) {
                EXPECT_EQ(filed, 0) << "killed after " << ms << " ms";
            } else {
                form.TreeView1->setCurrentItem(file);
                QCoreApplication::processEvents();
                QString dirPath;
                form.ImageManager->GetNodePath(file, true, dirPath);
                const QStringList pages = QDir(dirPath).entryList(QDir::Files, QDir::Name);
                const int listed = form.ListView1->count();
                const QStringList waiting = QDir(root + "temp").entryList(QDir::Files);
                SCOPED_TRACE(QString("killed after %1 ms: %2 filed, %3 listed, files %4, waiting %5")
                                 .arg(ms)
                                 .arg(filed)
                                 .arg(listed)
                                 .arg(pages.join(' '))
                                 .arg(waiting.join(' '))
                                 .toStdString());
                // Every page file is a listed page, numbered without a gap.
                EXPECT_EQ(pages.size(), listed);
                for (int n = 0; n < pages.size(); ++n)
                    EXPECT_EQ(pages[n], QString("P%1.tif").arg(n + 1, 7, 10, QChar('0')));
                // What was filed is there, the interrupted page at most once more.
                EXPECT_GE(listed, filed);
                EXPECT_LE(listed, filed + 1);
                EXPECT_LE(waiting.size(), 1);
            }
            form.hide();
        }
        Messages::SetResponder(nullptr);
    }
    // The points chosen fell inside the scans, not only before or after them.
    EXPECT_GT(killedWhileFiling, 0);
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
