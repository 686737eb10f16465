// The export dialog in the main window: its lists and radio groups as the operator
// clicks them, and exports of a folder and a file with their index listings.
#include "CatalogSchema.h"
#include "ExportRun.h"
#include "FieldStore.h"
#include "FileHelpers.h"
#include "Globals.h"
#include "Messages.h"
#include "TForm1.h"
#include "TFormExport.h"
#include "TImageManager.h"

#include "../mainwin/MainWindowFixture.h"
#include "ExportSupport.h"

#include "AsOrdinaryUser.h"
#include "QtApp.h"
#include "TempDir.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

using namespace exporttest;

namespace {

class ExportDialog : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        if (HasFatalFailure())
            return;
        store = form->ImageManager;
        type = store->NewFileType(true);
        folder = store->NewFolder(type, "F", true);
        fileA = store->NewFile(folder, "A", true);
        fileB = store->NewFile(folder, "B", true);
        const int appId = NodeData(type)->Id;
        FieldDefList defs{new FieldRecord{appId, "F1", "编号", 0, 20, 0, 0}};
        FieldStore::ApplyFieldDefs(CatalogConnection, appId, defs);
        FieldStore::FreeFieldDefs(defs);
        FieldStore::LoadFieldDefs(CatalogConnection, appId, defs, true);
        ASSERT_TRUE(FieldStore::WriteFieldValues(CatalogConnection, defs, {"001", "第一, \"份\""},
                                                 NodeData(fileA)->Id, NodeData(folder)->Id, appId));
        FieldStore::FreeFieldDefs(defs);
        addPages("A", {1, 8});
        addPages("B", {24});
        target = RootPath + "out";
        QDir().mkpath(target);
        SetSelectDirectoryHook([this](const QString &title, const QString &, QString &dir) {
            titles << title;
            dir = target;
            return !target.isEmpty();
        });
    }
    void TearDown() override
    {
        SetSelectDirectoryHook(nullptr);
        MainWindowFixture::TearDown();
    }

    void addPages(const QString &file, const QList<int> &depths)
    {
        QStringList sources;
        for (int i = 0; i < depths.size(); ++i)
            sources << WritePage(
                RootPath + QString("in/%1%2%3").arg(file).arg(i).arg(depths[i] == 24 ? ".jpg" : ".tif"),
                depths[i], i);
        store->AddPages(&sources, type->text(0), true, 0, file, "F");
    }

    void clickNode(QTreeWidgetItem *node)
    {
        QTreeWidget *tree = form->TreeView1;
        tree->scrollToItem(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
        QCoreApplication::processEvents();
    }

    // Opens the dialog with Ctrl+E on Node and lets Drive work it while it is shown.
    void exportFrom(QTreeWidgetItem *node, const std::function<void(TFormExport *)> &drive)
    {
        // The window is active again once an earlier dialog has closed, as on a desktop.
        QApplication::setActiveWindow(form.get());
        clickNode(node);
        form->UpdateCommandStates();
        ASSERT_TRUE(form->Action("MN_FILE_EXPORT")->isEnabled());
        bool driven = false;
        QTimer::singleShot(0, [&] {
            TFormExport *dialog = form->findChild<TFormExport *>("FormExport");
            ASSERT_NE(dialog, nullptr);
            EXPECT_TRUE(dialog->isVisible());
            drive(dialog);
            driven = true;
            if (dialog->isVisible())
                QTest::mouseClick(dialog->btn_Cancel, Qt::LeftButton);
        });
        QTest::keyClick(form->TreeView1, Qt::Key_E, Qt::ControlModifier);
        EXPECT_TRUE(driven);
    }

    static void choose(QRadioButton *item)
    {
        QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(6, item->height() / 2));
    }
    static void choose(QComboBox *list, int index)
    {
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(list, Qt::Key_Down);
    }
    static void pickDirectoryAndExport(TFormExport *d)
    {
        QTest::mouseClick(d->SpeedButton1, Qt::LeftButton);
        QTest::mouseClick(d->btn_Ok, Qt::LeftButton);
    }

    TImageManager *store = nullptr;
    QTreeWidgetItem *type = nullptr, *folder = nullptr, *fileA = nullptr, *fileB = nullptr;
    QString target;
    QStringList titles;
};

TEST_F(ExportDialog, ListsAndRadioGroupsFollowTheRules)
{
    exportFrom(folder, [&](TFormExport *d) {
        EXPECT_EQ(d->windowTitle(), "文件导出");
        EXPECT_EQ(d->lblExporttype->text(), "导出文件夹");
        EXPECT_EQ(d->edtSourceFiles->text(), type->text(0) + "/F");
        EXPECT_FALSE(d->btn_Ok->isEnabled());
        EXPECT_FALSE(d->ProgressBar1->isVisible());
        const auto state = [&](int depth) {
            return QString("%1 %2 %3 %4 %5")
                .arg(d->CBFileType[depth]->currentText())
                .arg(d->CBFileType[depth]->isEnabled())
                .arg(d->CBCompressType[depth]->currentText())
                .arg(d->CBCompressType[depth]->isEnabled())
                .arg(d->CBCompressType[depth]->count());
        };
        EXPECT_EQ(state(0), "TIFF文件 1 CCITT Group 4 1 3");
        EXPECT_EQ(state(1), "TIFF文件 1 Packbits 1 3");
        EXPECT_EQ(state(2), "TIFF文件 1 JPEG 1 3");

        // Format lists: the compression list shows a fixed text, or its default again.
        const struct {
            int depth, format;
            QString expected;
        } changes[] = {
            {2, 1, "BMP文件 1 不压缩 0 1"}, {2, 2, "JPG文件 1 JPEG 0 1"},
            {2, 3, "PDF文件 1 默认 0 1"},   {2, 0, "TIFF文件 1 JPEG 1 3"},
            {0, 2, "JPG文件 1 JPEG 0 1"},   {0, 0, "TIFF文件 1 CCITT Group 4 1 3"},
            {1, 1, "BMP文件 1 不压缩 0 1"},
        };
        for (const auto &c : changes) {
            choose(d->CBFileType[c.depth], c.format);
            EXPECT_EQ(state(c.depth), c.expected);
        }
        choose(d->CBCompressType[0], 2);
        EXPECT_EQ(d->Options().compressions[BilevelPages], 32773);

        // Export types: TIFF and PDF set and lock the format lists.
        choose(d->RGExportType->Item(1));
        EXPECT_EQ(state(0), "TIFF文件 0 Packbits 1 3");
        EXPECT_EQ(state(1), "TIFF文件 0 Packbits 1 3");
        EXPECT_EQ(state(2), "TIFF文件 0 JPEG 1 3");
        EXPECT_EQ(d->Options().compressions, (std::array<int, 3>{32773, 32773, 7}));
        choose(d->RGExportType->Item(2));
        for (int depth = 0; depth < 3; ++depth)
            EXPECT_EQ(state(depth), "PDF文件 0 默认 0 1");
        choose(d->RGExportType->Item(0));
        for (int depth = 0; depth < 3; ++depth) {
            EXPECT_TRUE(d->CBFileType[depth]->isEnabled());
            EXPECT_TRUE(d->CBCompressType[depth]->isEnabled());
        }

        // No directory, no export.
        target.clear();
        QTest::mouseClick(d->SpeedButton1, Qt::LeftButton);
        EXPECT_FALSE(d->btn_Ok->isEnabled());
        target = RootPath + "out";
        QTest::mouseClick(d->SpeedButton1, Qt::LeftButton);
        EXPECT_TRUE(d->btn_Ok->isEnabled());
        EXPECT_EQ(d->edtExportPath->text(), target);
    });
    EXPECT_EQ(titles, (QStringList{"选择目录", "选择目录"}));
    EXPECT_TRUE(FilesBelow(target).isEmpty());
}

TEST_F(ExportDialog, FolderWithTextIndexThenXmlIndexTwice)
{
    exportFrom(folder, [&](TFormExport *d) {
        choose(d->RGIndex->Item(1));
        pickDirectoryAndExport(d);
        EXPECT_FALSE(d->isVisible());
    });
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(FilesBelow(target),
              (QStringList{"A/0000001.tif", "A/0000002.tif", "B/0000001.tif", "Index.txt"}));
    EXPECT_EQ(Bytes(target + "/Index.txt"), QString("文件名称,文件序号,编号,备注\r\n"
                                                    "A,0000001,001,\"第一, \"\"份\"\"\"\r\n"
                                                    "B,0000002,,\r\n")
                                                .toUtf8());

    QByteArray first;
    for (int round = 0; round < 2; ++round) {
        target = RootPath + "xml";
        QDir().mkpath(target);
        exportFrom(folder, [&](TFormExport *d) {
            choose(d->RGIndex->Item(2));
            choose(d->RGExportType->Item(1));
            pickDirectoryAndExport(d);
        });
        const QByteArray xml = Bytes(target + "/Index.xml");
        if (round == 0)
            first = xml;
        EXPECT_EQ(xml, first);
    }
    EXPECT_EQ(first.count("<文件 "), 2);
    EXPECT_TRUE(first.contains("<文件 名称=\"A\" 序号=\"0000001\">"));
    EXPECT_EQ(TiffCompressions(target + "/A/A.tif"), (std::vector<int>{4, 32773}));
    if (HasTool("xmllint")) {
        EXPECT_FALSE(RunTool("xmllint", {"--noout", target + "/Index.xml"}).isNull());
    }
}

TEST_F(ExportDialog, FileAsPdf)
{
    exportFrom(fileA, [&](TFormExport *d) {
        EXPECT_EQ(d->lblExporttype->text(), "导出文件");
        EXPECT_EQ(d->edtSourceFiles->text(), type->text(0) + "/F/A");
        choose(d->RGExportType->Item(2));
        pickDirectoryAndExport(d);
    });
    EXPECT_EQ(FilesBelow(target), QStringList{"A.pdf"});
    if (HasTool("qpdf")) {
        EXPECT_EQ(RunTool("qpdf", {"--show-npages", target + "/A.pdf"}).trimmed(), "2");
    }
}

TEST_F(ExportDialog, RepositoryDirectoriesAreRefused)
{
    for (const QString &inside :
         {store->ImagesPath + type->text(0), store->ThumbnailPath, store->ImagesPath}) {
        target = inside;
        QDir().mkpath(target);
        // Thumbnails of the shown pages may come meanwhile; nothing else may.
        const auto files = [&] {
            QStringList all = FilesBelow(RootPath);
            // (and the codec's temporary file of one being written)
            all.removeIf([](const QString &f) {
                return f.startsWith("Thumbnail/") && (f.endsWith(".bmp") || f.contains("/.codec-"));
            });
            return all;
        };
        const QStringList before = files();
        shown.clear();
        exportFrom(folder, [&](TFormExport *d) {
            pickDirectoryAndExport(d);
            EXPECT_TRUE(d->isVisible());
        });
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].caption, "错误");
        EXPECT_TRUE(shown[0].text.contains("Images"));
        EXPECT_EQ(files(), before);
    }
}

TEST_F(ExportDialog, ReadOnlyTargetTellsHowManyOutputsFailed)
{
    {
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                              QFile::ReadOther | QFile::ExeOther;
        QFile::setPermissions(target, readOnly);
        arkavo::test::AsOrdinaryUser nobody(root.path());
        if (::geteuid() != 65534)
            QFile::setPermissions(target, readOnly);
        exportFrom(folder, [&](TFormExport *d) {
            choose(d->RGExportType->Item(1));
            pickDirectoryAndExport(d);
        });
    }
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].caption, "错误");
    EXPECT_EQ(shown[0].text, "有2个导出文件未能写入，第一个是：\n" + target + "/A/A.tif");
    EXPECT_TRUE(FilesBelow(target).isEmpty());
}

} // namespace

namespace {

TEST_F(ExportDialog, CloseDuringTheExportCancelsAfterTheCurrentPage)
{
    addPages("B", {1, 1, 1, 1});
    exportFrom(folder, [&](TFormExport *d) {
        choose(d->RGExportType->Item(1));
        QTimer canceller;
        int clicks = 0;
        QObject::connect(&canceller, &QTimer::timeout, [&] {
            if (d->Exporting() && d->ProgressBar1->value() == 1 && clicks++ == 0) {
                EXPECT_EQ(d->btn_Cancel->text(), "取消");
                EXPECT_FALSE(d->btn_Ok->isEnabled());
                EXPECT_TRUE(d->ProgressBar1->isVisible());
                EXPECT_EQ(d->ProgressBar1->maximum(), 7);
                QTest::mouseClick(d->btn_Cancel, Qt::LeftButton);
            }
        });
        canceller.start(0);
        pickDirectoryAndExport(d);
        EXPECT_EQ(clicks, 1);
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(d->btn_Cancel->text(), "关闭");
    });
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].caption, "提示");
    // A's TIFF was being built: it is dropped whole.
    EXPECT_TRUE(FilesBelow(target).isEmpty());
}

} // namespace
