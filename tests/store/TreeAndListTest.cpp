#include "StoreFixture.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QTimer>

#include <stdexcept>

using namespace store_test;

namespace {

class Tree : public StoreTest {};

QStringList treeLines(QTreeWidgetItem *node, int depth = 0)
{
    QStringList out;
    const TCatalogNodeData *d = NodeData(node);
    out << QString(depth * 2, ' ') + node->text(0) +
               QString(" [%1]").arg(node->data(0, TCatalogNode::ImageIndexRole).toInt()) +
               (d ? QString(" %1/%2").arg(d->Id).arg(d->Order) : QString());
    for (int i = 0; i < node->childCount(); ++i)
        out << treeLines(node->child(i), depth + 1);
    return out;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Backends, Tree, arkavo::test::CatalogBackends(), arkavo::test::CatalogBackendName);

TEST_P(Tree, EmptyCatalogueLoadsAsTheRootAlone)
{
    store->LoadTree("0,1,2,3,4,5,6");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(treeLines(rootNode()), QStringList{"文件库 [0]"});
    EXPECT_EQ(NodeData(rootNode()), nullptr);
    EXPECT_TRUE(Messages::Shown().isEmpty());
}

TEST_P(Tree, LevelsFollowTheOrderColumnsAndTheStatusList)
{
    addType(1, "Letters  ", 2);
    addType(2, "Bills", 1);
    addFolder(1, 10, "2024", 2);
    addFolder(1, 11, "2023 ", 1, "0");
    addFolder(1, 12, "Archived", 3, "7");
    addFolder(1, 13, "NoStatus", 4, "NULL");
    addFile(1, 10, 1, "B", 2);
    addFile(1, 10, 2, "A  ", 1);

    store->LoadTree("0,1,2,3,4,5,6");
    EXPECT_EQ(treeLines(rootNode()),
              (QStringList{"文件库 [0]", "  Bills [1] 2/1", "  Letters [1] 1/2", "    2023 [2] 11/1",
                           "    2024 [2] 10/2", "      A [3] 2/1", "      B [3] 1/2"}));

    // Without a status list every folder is shown.
    store->LoadTree("");
    EXPECT_EQ(rootNode()->child(1)->childCount(), 4);
    EXPECT_EQ(store->NodeKind(rootNode()->child(1)->child(1)->child(0)), 3);
    EXPECT_EQ(store->NodeKind(nullptr), 0);
}

TEST_P(Tree, QueryFailuresEndTheLoad)
{
    addType(1, "Letters", 1);
    exec("DROP TABLE BATCH");
    store->LoadTree("1");
    ASSERT_EQ(Messages::Shown().size(), 1);
    EXPECT_EQ(Messages::Shown()[0].text, "查询资料夹数据库错误");
    EXPECT_EQ(Messages::Shown()[0].caption, "提示");
    EXPECT_EQ(Messages::Shown()[0].icon, MsgIcon::Information);
    EXPECT_EQ(treeLines(rootNode()), (QStringList{"文件库 [0]", "  Letters [1] 1/1"}));

    // A folder without its file table is a database error for the general handler.
    exec("CREATE TABLE BATCH(APPID INTEGER, BATCHID INTEGER PRIMARY KEY, BATCHNAME CHAR(50), BATCHORDER "
         "INTEGER, SCANNER CHAR(20) NULL, ARCHIVER CHAR(20) NULL, STATUS INTEGER, CDRLABEL CHAR(30) NULL)");
    exec("INSERT INTO BATCH (APPID, BATCHID, BATCHNAME, BATCHORDER, STATUS) VALUES(1, 5, 'F', 1, 1)");
    EXPECT_THROW(store->LoadTree("1"), std::runtime_error);
}

TEST_P(Tree, PathsOfNodesAndPages)
{
    addType(1, "Type", 1);
    addFolder(1, 1, "Folder", 1);
    addFile(1, 1, 1, "File", 1);
    store->LoadTree("1");
    QTreeWidgetItem *file = rootNode()->child(0)->child(0)->child(0);
    QString path;
    store->GetNodePath(file, false, path);
    EXPECT_EQ(path, "Type/Folder/File");
    store->GetNodePath(file, true, path);
    EXPECT_EQ(path, store->ImagesPath + "Type/Folder/File");
    store->GetNodePath(rootNode(), true, path);
    EXPECT_EQ(path, RootPath);
    store->GetNodePath(nullptr, true, path);
    EXPECT_EQ(path, "");
    tree->setCurrentItem(file->parent());
    store->GetNodePath(nullptr, false, path);
    EXPECT_EQ(path, "Type/Folder");

    EXPECT_EQ(store->ImagesPath, RootPath + "Images/");
    EXPECT_TRUE(QFileInfo(store->ThumbnailPath).isDir());
    const QString upper = store->ImagesPath.toUpper();
    const struct {
        QString page, thumb;
    } cases[] = {
        {store->ImagesPath + "T/F/A/P0000001.tif", store->ThumbnailPath + "T/F/A/P0000001.bmp"},
        {upper + "T/F/A/P0000001.jpeg", store->ThumbnailPath + "T/F/A/P0000001.jpeg"},
        {"/elsewhere/x.jpg", "/elsewhere/x.bmp"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(store->ThumbnailPathOf(c.page), c.thumb) << c.page.toStdString();
}

TEST_P(Tree, NamesThatLeaveTheRepositoryAreRefused)
{
    for (const QString &bad : {QString(".."), QString("."), QString("a/b"), QString(), QString("a\\b")})
        EXPECT_FALSE(TImageManager::IsValidCatalogName(bad)) << bad.toStdString();
    for (const QString &good : {QString("O'Brien, 合同 2024"), QString("..x"), QString("a.b")})
        EXPECT_TRUE(TImageManager::IsValidCatalogName(good)) << good.toStdString();

    EXPECT_FALSE(store->ForceRepositoryDir(store->ImagesPath + "../escape"));
    EXPECT_FALSE(store->ForceRepositoryDir(RootPath + "elsewhere"));
    EXPECT_FALSE(QFileInfo::exists(RootPath + "escape"));
    writeFile(RootPath + "keep/P0000001.tif", "x");
    EXPECT_FALSE(store->RemoveRepositoryDir(store->ImagesPath + "../keep"));
    EXPECT_FALSE(store->DeletePageFile(store->ImagesPath + "../keep/P0000001.tif"));
    EXPECT_FALSE(store->RenumberPages("../keep/", nullptr, nullptr, false));
    QStringList sources{RootPath + "keep/P0000001.tif"};
    store->AddPages(&sources, "..", false, 0, "x", "y");
    EXPECT_TRUE(sources.isEmpty());
    EXPECT_EQ(dirContent(RootPath + "keep"), QStringList{"P0000001.tif=x"});

    // A catalogue whose names climb out of the repository shows nothing and creates nothing.
    addType(1, "..", 1);
    addFolder(1, 1, "..", 1);
    addFile(1, 1, 1, "keep", 1);
    store->LoadTree("1");
    store->ShowNode(rootNode()->child(0)->child(0)->child(0), nullptr);
    store->ShowNode(rootNode()->child(0)->child(0), nullptr);
    EXPECT_EQ(list->count(), 0);
    EXPECT_TRUE(QDir(RootPath + "keep").entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_EQ(dirContent(RootPath + "keep"), QStringList{"P0000001.tif=x"});
    EXPECT_EQ(dirContent(RootPath), QStringList{});
}

class Show : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        addType(1, "Type", 1);
        addFolder(1, 1, "Folder", 1);
        addFile(1, 1, 1, "A", 1);
        addFile(1, 1, 2, "B", 2);
        store->LoadTree("1");
        folder = rootNode()->child(0)->child(0);
    }
    QString fileDir(const QString &name) const { return imagesDir("Type/Folder/" + name + "/"); }
    void pages(const QString &file, const QStringList &names)
    {
        for (const QString &n : names)
            writeFile(fileDir(file) + n, n.toUtf8());
    }
    QTreeWidgetItem *folder = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Backends, Show, arkavo::test::CatalogBackends(), arkavo::test::CatalogBackendName);

TEST_P(Show, ShowingAFileRenumbersItsPagesAndListsThem)
{
    pages("A", {"P0000001.tif", "P0000003.jpg", "P0000007.bmp"});
    QTreeWidgetItem *a = folder->child(0);
    tree->setCurrentItem(a);
    store->ShowNode(a, nullptr);

    EXPECT_EQ(captions(), (QStringList{"A-1", "A-2", "A-3"}));
    const QStringList subItems = {list->SubItem(1, 0), list->SubItem(1, 1), list->SubItem(1, 2),
                                  list->SubItem(1, 3)};
    EXPECT_EQ(subItems, (QStringList{"A", "2", "1", ".jpg"}));
    EXPECT_EQ(TPageListView::ImageIndex(list->item(2)), -1);
    EXPECT_EQ(dirContent(fileDir("A")), (QStringList{"P0000001.tif=P0000001.tif", "P0000002.jpg=P0000003.jpg",
                                                     "P0000003.bmp=P0000007.bmp"}));
    EXPECT_EQ(store->GetPagePath(2), fileDir("A") + "P0000003.bmp");
    EXPECT_EQ(store->ShownAppId, 1);
    EXPECT_EQ(store->ShownBatchId, 1);
    EXPECT_EQ(store->ShownImageId, 1);
    EXPECT_EQ(store->ShownFileName, "A");
    EXPECT_EQ(store->ShownBatchName, "Folder");
    EXPECT_FALSE(store->Loading);
    EXPECT_EQ(store->FindPageItem("A", "2", 0), 1);
    EXPECT_EQ(store->FindPageItem("A", "2", 2), -1);
    EXPECT_EQ(store->GetItemFileIndex(0), 0);
    EXPECT_EQ(store->GetItemImageId(0), 1);
    EXPECT_TRUE(store->IsShownDir(fileDir("A").toUpper()));
    EXPECT_FALSE(store->IsShownDir(fileDir("B")));
}

TEST_P(Show, LeftoverTemporaryNamesAndUpperCaseNamesAreRepaired)
{
    pages("A", {"P0000001.tif", "P0000002.jpg{0c1d2e3f-0000-4000-8000-000000000001}.jpg", "P0000003.TIF",
                "p0000004.bmp"});
    store->ShowNode(folder->child(0), nullptr);
    EXPECT_EQ(dirContent(fileDir("A")),
              (QStringList{"P0000001.tif=P0000001.tif",
                           "P0000002.jpg=P0000002.jpg{0c1d2e3f-0000-4000-8000-000000000001}.jpg",
                           "P0000003.tif=P0000003.TIF", "P0000004.bmp=p0000004.bmp"}));
    EXPECT_EQ(list->SubItem(2, 3), ".tif");
}

TEST_P(Show, AFolderShowsEveryFileAndIsNotRefilledWhenSelectedAgain)
{
    pages("A", {"P0000001.tif", "P0000002.tif"});
    pages("B", {"P0000001.jpg"});
    tree->setCurrentItem(folder);
    store->ShowNode(folder, nullptr);
    EXPECT_EQ(captions(), (QStringList{"A-1", "A-2", "B-1"}));
    EXPECT_EQ(store->ShownImageId, 0);
    EXPECT_EQ(store->ShownFileName, "");
    EXPECT_EQ(list->SubItem(2, 2), "2");
    EXPECT_EQ(store->GetItemFileIndex(2), 1);
    EXPECT_EQ(store->GetItemImageId(2), 2);
    EXPECT_TRUE(store->IsShownDir(fileDir("B")));

    pages("B", {"P0000002.jpg"});
    store->ShowNode(folder, nullptr);
    EXPECT_EQ(list->count(), 3);
    store->ShowNode(folder->child(1), nullptr);
    EXPECT_EQ(captions(), (QStringList{"B-1", "B-2"}));

    store->ShowNode(folder->parent(), nullptr);
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(store->ShownAppName, "Type");
    EXPECT_EQ(store->ShownAppId, 1);
    EXPECT_EQ(store->ShownBatchName, "");
    store->ShowNode(rootNode(), nullptr);
    EXPECT_EQ(store->ShownAppName, "");
    EXPECT_EQ(store->ShownAppId, 0);
}

TEST_P(Show, AFileWithoutDirectoryGetsOneAndItsThumbnailMirror)
{
    store->ShowNode(folder->child(1), nullptr);
    EXPECT_TRUE(QFileInfo(fileDir("B")).isDir());
    EXPECT_TRUE(QFileInfo(store->ThumbnailPath + "Type/Folder/B").isDir());
    EXPECT_EQ(list->count(), 0);
}

TEST_P(Show, PagesRunLeftToRightWrapAndEveryFileStartsANewRow)
{
    pages("A", {"P0000001.tif", "P0000002.tif", "P0000003.tif"});
    pages("B", {"P0000001.tif", "P0000002.tif"});
    list->resize(420, 600);
    store->ShowNode(folder, nullptr);
    // Width 135 plus 40 between pages; 390 + 135 does not fit 420 minus the frame.
    const QList<QPoint> expected = {{40, 0}, {215, 0}, {40, 200}, {40, 440}, {215, 440}};
    ASSERT_EQ(list->count(), expected.size());
    for (int i = 0; i < list->count(); ++i) {
        EXPECT_EQ(list->ItemPosition(i), expected[i]) << i;
        EXPECT_EQ(list->visualItemRect(list->item(i)).topLeft(), expected[i]) << i;
    }
}

TEST_P(Show, TheProgressBarFollowsFilesOrPagesAndIsHiddenAfterwards)
{
    QStringList many;
    for (int i = 1; i <= 12; ++i)
        many << QString("P%1.tif").arg(i, 7, 10, QChar('0'));
    pages("A", many);
    QProgressBar bar;
    bar.show();
    store->ShowNode(folder->child(0), &bar);
    EXPECT_EQ(bar.maximum(), 12);
    EXPECT_EQ(bar.value(), 12);
    EXPECT_TRUE(bar.isHidden());

    bar.show();
    store->ShowNode(folder, &bar);
    EXPECT_EQ(bar.maximum(), 2);
    EXPECT_EQ(bar.value(), 2);
    EXPECT_TRUE(bar.isHidden());
    EXPECT_EQ(list->count(), 12);
}

TEST_P(Show, ANestedShowNodeCancelsTheOuterOne)
{
    pages("A", {"P0000001.tif", "P0000002.tif", "P0000003.tif"});
    pages("B", {"P0000001.tif"});
    bool nested = false;
    QTimer::singleShot(0, [&] {
        nested = true;
        store->ShowNode(folder->child(1), nullptr);
    });
    store->ShowNode(folder->child(0), nullptr);
    EXPECT_TRUE(nested);
    EXPECT_EQ(captions(), QStringList{"B-1"});
    EXPECT_EQ(store->ShownFileName, "B");
    EXPECT_EQ(store->ShownImageId, 2);
    EXPECT_FALSE(store->Loading);
    EXPECT_FALSE(list->isHidden());
}
