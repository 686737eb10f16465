#include "CatalogFixture.h"

#include "FieldStore.h"
#include "FileHelpers.h"
#include "PageListView.h"
#include "TImageManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTreeWidget>

#include <memory>

namespace {

using arkavo::test::CatalogFixture;

class CatalogOps : public CatalogFixture {
protected:
    void SetUp() override
    {
        CatalogFixture::SetUp();
        tree = std::make_unique<QTreeWidget>();
        list = std::make_unique<TPageListView>();
        m = std::make_unique<TImageManager>(tree.get(), CatalogConnection, list.get());
        m->LoadTree(QStringLiteral("0,1,2,3,4,5,6"));
        if (tree->topLevelItemCount() == 0)
            m->AddNode(nullptr, QStringLiteral("文件库"), 0, 0, 0);
    }
    void TearDown() override
    {
        m.reset();
        list.reset();
        tree.reset();
        CatalogFixture::TearDown();
    }

    QTreeWidgetItem *root() const { return tree->topLevelItem(0); }

    static QStringList captions(QTreeWidgetItem *parent)
    {
        QStringList c;
        for (int i = 0; i < parent->childCount(); ++i)
            c << parent->child(i)->text(0);
        return c;
    }
    static QList<int> orders(QTreeWidgetItem *parent)
    {
        QList<int> o;
        for (int i = 0; i < parent->childCount(); ++i)
            o << NodeData(parent->child(i))->Order;
        return o;
    }
    static int idOf(QTreeWidgetItem *node) { return NodeData(node)->Id; }

    // A file type "Type" with folder "Folder" holding files "A" and "B".
    QTreeWidgetItem *makeType(const QString &name)
    {
        QTreeWidgetItem *t = m->NewFileType(true);
        EXPECT_NE(t, nullptr);
        if (!t)
            return nullptr;
        QString n = name;
        m->RenameNode(t, n);
        EXPECT_EQ(t->text(0), name);
        return t;
    }

    QString pages(const QString &rel) const { return m->ImagesPath + rel + "/"; }
    QString thumbs(const QString &rel) const { return m->ThumbnailPath + rel + "/"; }

    // Writes page files P0000001.. with recognisable contents, and their thumbnails.
    void writePages(const QString &rel, int count)
    {
        QDir().mkpath(pages(rel));
        QDir().mkpath(thumbs(rel));
        for (int n = 1; n <= count; ++n) {
            const QString name = QStringLiteral("P%1").arg(n, 7, 10, QChar('0'));
            QFile f(pages(rel) + name + ".tif");
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write((rel + "#" + QString::number(n)).toUtf8());
            QFile t(thumbs(rel) + name + ".bmp");
            ASSERT_TRUE(t.open(QIODevice::WriteOnly));
            t.write("thumb");
        }
    }
    // The contents of the page files in a directory, in name order.
    QStringList pageContents(const QString &rel) const
    {
        QStringList c;
        for (const QString &name : QDir(pages(rel)).entryList({"P*.tif"}, QDir::Files, QDir::Name)) {
            QFile f(pages(rel) + name);
            if (f.open(QIODevice::ReadOnly))
                c << QString::fromUtf8(f.readAll());
        }
        return c;
    }
    bool dirExists(const QString &path) const { return QFileInfo(path).isDir(); }

    // Shows the given file's pages in the list the way the store does.
    void showFile(QTreeWidgetItem *file, int pageCount)
    {
        list->clear();
        for (int n = 1; n <= pageCount; ++n)
            list->addItem(TPageListView::MakePageItem(file->text(0), n, NodeData(file)->Order, ".tif"));
        m->ShownAppId = idOf(file->parent()->parent());
        m->ShownAppName = file->parent()->parent()->text(0);
        m->ShownBatchId = idOf(file->parent());
        m->ShownBatchName = file->parent()->text(0);
        m->ShownImageId = idOf(file);
        m->ShownFileName = file->text(0);
    }

    std::unique_ptr<QTreeWidget> tree;
    std::unique_ptr<TPageListView> list;
    std::unique_ptr<TImageManager> m;
};

INSTANTIATE_TEST_SUITE_P(Backends, CatalogOps, arkavo::test::CatalogBackends(),
                         arkavo::test::CatalogBackendName);

TEST_P(CatalogOps, NewFileTypesTakeTheSmallestFreeNumber)
{
    QList<QTreeWidgetItem *> types;
    for (int i = 0; i < 3; ++i)
        types << m->NewFileType(true);
    EXPECT_EQ(captions(root()), QStringList({"新建文件类型(1)", "新建文件类型(2)", "新建文件类型(3)"}));
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(types[i], nullptr);
        EXPECT_EQ(idOf(types[i]), i + 1);
        EXPECT_EQ(NodeData(types[i])->Order, i + 1);
        EXPECT_TRUE(TableExists(QStringLiteral("INFO%1").arg(i + 1)));
        EXPECT_TRUE(dirExists(pages(types[i]->text(0))));
        EXPECT_TRUE(dirExists(thumbs(types[i]->text(0))));
    }
    EXPECT_EQ(scalar("select APPNAME from APP where APPID=2"), "新建文件类型(2)");

    writePages("新建文件类型(2)/lost", 1);
    m->DeleteFileType(2, nullptr, true);
    EXPECT_EQ(captions(root()), QStringList({"新建文件类型(1)", "新建文件类型(3)"}));
    EXPECT_FALSE(TableExists("INFO2"));
    EXPECT_EQ(count("select count(*) from APP"), 2);
    EXPECT_FALSE(dirExists(pages("新建文件类型(2)")));
    EXPECT_FALSE(dirExists(thumbs("新建文件类型(2)")));

    QTreeWidgetItem *again = m->NewFileType(true);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->text(0), "新建文件类型(2)");
    EXPECT_EQ(idOf(again), 4);
    EXPECT_EQ(captions(root()).last(), "新建文件类型(2)");
}

TEST_P(CatalogOps, DeletingAFileTypeRemovesEverythingInIt)
{
    QTreeWidgetItem *t = makeType("Letters");
    QTreeWidgetItem *f = m->NewFolder(t, "2024", true);
    QTreeWidgetItem *file = m->NewFile(f, "", true);
    ASSERT_TRUE(t && f && file);
    EXPECT_EQ(file->text(0), "新建文件(1)");
    FieldDefList defs;
    auto *def = new FieldRecord{idOf(t), "F1", "Name", 0, 20, 0, 0};
    defs << def;
    m->ApplyFieldDefs(idOf(t), defs);
    m->FreeFieldDefs(defs);
    ASSERT_EQ(count("select count(*) from FIELDDEFINE"), 1);
    writePages("Letters/2024/新建文件(1)", 2);
    showFile(file, 2);

    m->DeleteFileType(idOf(t), t, true);
    EXPECT_EQ(root()->childCount(), 0);
    EXPECT_EQ(count("select count(*) from BATCH"), 0);
    EXPECT_EQ(count("select count(*) from FIELDDEFINE"), 0);
    EXPECT_FALSE(TableExists("IMG1_1"));
    EXPECT_FALSE(TableExists("INFO1"));
    EXPECT_FALSE(dirExists(pages("Letters")));
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(m->ShownAppId, 0);

    // The next file type receives the same id and starts without any field.
    QTreeWidgetItem *next = m->NewFileType(true);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(idOf(next), 1);
    m->LoadFieldDefs(1, defs, false);
    EXPECT_TRUE(defs.isEmpty());
    m->FreeFieldDefs(defs);
}

TEST_P(CatalogOps, FolderNamesAreUniqueWithinAFileTypeAndRenamesAcrossAll)
{
    QTreeWidgetItem *a = makeType("A");
    QTreeWidgetItem *b = makeType("B");
    QTreeWidgetItem *letters = m->NewFolder(a, "Letters", true);
    ASSERT_NE(letters, nullptr);
    EXPECT_TRUE(dirExists(pages("A/Letters")));
    EXPECT_EQ(count("select STATUS from BATCH where BATCHNAME='Letters'"), 1);
    EXPECT_TRUE(TableExists(QStringLiteral("IMG%1_%2").arg(idOf(a)).arg(idOf(letters))));

    EXPECT_EQ(m->NewFolder(a, "Letters", true), nullptr);
    EXPECT_EQ(m->NewFolder(letters, "LETTERS", true), nullptr);
    EXPECT_EQ(captions(a), QStringList{"Letters"});
    QTreeWidgetItem *other = m->NewFolder(b, "Letters", true);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(idOf(other), idOf(letters) + 1);

    QTreeWidgetItem *bills = m->NewFolder(b, "", true);
    ASSERT_NE(bills, nullptr);
    EXPECT_EQ(bills->text(0), "新建文件夹(1)");
    for (const QString &taken : QStringList{"Letters", "letters", "新建文件夹(1)"}) {
        Messages::ClearShown();
        QString name = taken;
        m->RenameNode(bills, name);
        EXPECT_EQ(name, "新建文件夹(1)");
        EXPECT_EQ(shownTexts(), QStringList{"无法重命名 新建文件夹(1),指定的文件夹名与现有文件夹重名！"});
        EXPECT_EQ(Messages::Shown().value(0).caption, "提示");
    }
    EXPECT_EQ(bills->text(0), "新建文件夹(1)");
    EXPECT_TRUE(dirExists(pages("B/新建文件夹(1)")));
}

TEST_P(CatalogOps, RenameRefusesNamesThatCannotBeDirectories)
{
    QTreeWidgetItem *t = makeType("T");
    QTreeWidgetItem *file = m->NewFile(m->NewFolder(t, "F", true), "Old", true);
    ASSERT_NE(file, nullptr);
    const QString forbidden = "名称不能包括以下字符:/\\:*?<>|";
    const struct {
        QString name;
        QString message; // empty: refused without a message
    } cases[] = {
        {"a/b", forbidden},
        {"..\\x", forbidden},
        {"x:y", forbidden},
        {"a*", forbidden},
        {"what?", forbidden},
        {"<b>", forbidden},
        {"a|b", forbidden},
        {"line\nbreak", "名称不能包括控制字符！"},
        {".", "名称不能是“.”或“..”！"},
        {" .. ", "名称不能是“.”或“..”！"},
        {QString(51, QChar(u'档')), "名称不能超过50个字符！"},
        {"   ", ""},
    };
    for (const auto &c : cases) {
        Messages::ClearShown();
        QString name = c.name;
        m->RenameNode(file, name);
        EXPECT_EQ(name, "Old") << c.name.toStdString();
        EXPECT_EQ(shownTexts(), c.message.isEmpty() ? QStringList() : QStringList{c.message})
            << c.name.toStdString();
    }
    EXPECT_EQ(file->text(0), "Old");
    EXPECT_EQ(scalar("select IMAGENAME from IMG1_1"), "Old");
    EXPECT_EQ(QDir(pages("T/F")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"Old"});

    // Fifty characters fit the column and are accepted.
    QString longest(50, QChar(u'档'));
    m->RenameNode(file, longest);
    EXPECT_EQ(file->text(0), longest);
    EXPECT_EQ(scalar("select IMAGENAME from IMG1_1"), longest);
    EXPECT_TRUE(dirExists(pages("T/F/" + longest)));
}

TEST_P(CatalogOps, RenameMovesDirectoriesAndUpdatesShownFile)
{
    QTreeWidgetItem *t = makeType("T");
    QTreeWidgetItem *folder = m->NewFolder(t, "F", true);
    QTreeWidgetItem *file = m->NewFile(folder, "Old", true);
    ASSERT_NE(file, nullptr);
    writePages("T/F/Old", 2);
    showFile(file, 2);

    QString name = "  O'Neil 100%_,档案  ";
    m->RenameNode(file, name);
    const QString renamed = "O'Neil 100%_,档案";
    EXPECT_EQ(name, renamed);
    EXPECT_TRUE(Messages::Shown().isEmpty());
    EXPECT_EQ(file->text(0), renamed);
    EXPECT_EQ(scalar("select IMAGENAME from IMG1_1"), renamed);
    EXPECT_EQ(pageContents("T/F/" + renamed), QStringList({"T/F/Old#1", "T/F/Old#2"}));
    EXPECT_FALSE(dirExists(pages("T/F/Old")));
    EXPECT_TRUE(QFileInfo::exists(thumbs("T/F/" + renamed) + "P0000002.bmp"));
    EXPECT_EQ(m->ShownFileName, renamed);
    EXPECT_EQ(list->item(1)->text(), renamed + "-2");
    EXPECT_EQ(TPageListView::SubItem(list->item(1), 0), renamed);

    // The file type and folder renames move the directories above the file.
    name = "类型 'x'";
    m->RenameNode(t, name);
    name = "F%1";
    m->RenameNode(folder, name);
    EXPECT_EQ(m->ShownAppName, "类型 'x'");
    EXPECT_EQ(m->ShownBatchName, "F%1");
    EXPECT_EQ(pageContents("类型 'x'/F%1/" + renamed).size(), 2);
    EXPECT_EQ(scalar("select APPNAME from APP"), "类型 'x'");
    EXPECT_EQ(scalar("select BATCHNAME from BATCH"), "F%1");
    EXPECT_TRUE(Messages::Shown().isEmpty());
}

TEST_P(CatalogOps, RenameOfAFileTypeWithoutDirectoryIsRefused)
{
    QTreeWidgetItem *t = makeType("T");
    ASSERT_TRUE(QDir(pages("T")).removeRecursively());
    QString name = "U";
    m->RenameNode(t, name);
    EXPECT_EQ(name, "T");
    EXPECT_EQ(t->text(0), "T");
    EXPECT_EQ(shownTexts(), QStringList{"重命名文件目录失败！"});
    EXPECT_EQ(scalar("select APPNAME from APP"), "T");
}

TEST_P(CatalogOps, FailedRenameUpdatePutsTheDirectoryBack)
{
    QTreeWidgetItem *t = makeType("T");
    writePages("T/F/A", 1);
    ASSERT_TRUE(refuse("no_rename", "UPDATE", "APP"));
    QString name = "U";
    m->RenameNode(t, name);
    EXPECT_EQ(name, "T");
    EXPECT_EQ(t->text(0), "T");
    EXPECT_EQ(scalar("select APPNAME from APP"), "T");
    EXPECT_EQ(pageContents("T/F/A"), QStringList{"T/F/A#1"});
    EXPECT_FALSE(dirExists(pages("U")));
}

TEST_P(CatalogOps, DraggingTheLastFileTypeOntoTheFirstReordersAll)
{
    for (const QString &n : QStringList{"A", "B", "C", "D"})
        makeType(n);
    m->MoveFileTypeNode(root()->child(3), root()->child(0));
    EXPECT_EQ(captions(root()), QStringList({"D", "A", "B", "C"}));
    EXPECT_EQ(orders(root()), QList<int>({1, 2, 3, 4}));
    TCatalogQuery q(CatalogConnection);
    ASSERT_TRUE(q.Open("select APPNAME, APPORDER from APP order by APPORDER"));
    QStringList stored;
    for (; !q.Eof(); q.Next())
        stored << q.FieldText("APPNAME") + q.FieldText("APPORDER");
    EXPECT_EQ(stored, QStringList({"D1", "A2", "B3", "C4"}));

    // Then A onto C: A takes C's order, C and everything after it move up by one.
    m->MoveFileTypeNode(root()->child(1), root()->child(3));
    EXPECT_EQ(captions(root()), QStringList({"D", "B", "A", "C"}));
    EXPECT_EQ(orders(root()), QList<int>({1, 3, 4, 5}));
    EXPECT_EQ(scalar("select APPORDER from APP where APPNAME='A'"), "4");
    EXPECT_EQ(scalar("select APPORDER from APP where APPNAME='C'"), "5");
}

TEST_P(CatalogOps, MovingAFileKeepsItsValuesWithinTheFileTypeOnly)
{
    QTreeWidgetItem *a = makeType("A");
    QTreeWidgetItem *b = makeType("B");
    QTreeWidgetItem *a1 = m->NewFolder(a, "F1", true);
    QTreeWidgetItem *a2 = m->NewFolder(a, "F2", true);
    QTreeWidgetItem *b1 = m->NewFolder(b, "G1", true);
    QTreeWidgetItem *file = m->NewFile(a1, "Doc, 'one'", true);
    m->NewFile(a2, "Other", true);
    ASSERT_TRUE(file && b1);
    writePages("A/F1/Doc, 'one'", 3);
    ASSERT_TRUE(CatalogConnection->Execute("INSERT INTO INFO1(BATCHID, IMAGEID, BZ) VALUES(1, 1, 'kept')"));
    showFile(file, 3);

    ASSERT_TRUE(m->MoveFileNode(file, a2));
    EXPECT_EQ(file->parent(), a2);
    EXPECT_EQ(captions(a2), QStringList({"Other", "Doc, 'one'"}));
    EXPECT_EQ(idOf(file), 2);
    EXPECT_EQ(a1->childCount(), 0);
    EXPECT_EQ(count("select count(*) from IMG1_1"), 0);
    EXPECT_EQ(scalar("select IMAGENAME from IMG1_2 where IMAGEID=2"), "Doc, 'one'");
    EXPECT_EQ(scalar("select BZ from INFO1 where BATCHID=2 and IMAGEID=2"), "kept");
    EXPECT_EQ(count("select count(*) from INFO1"), 1);
    EXPECT_EQ(pageContents("A/F2/Doc, 'one'").size(), 3);
    EXPECT_FALSE(dirExists(pages("A/F1/Doc, 'one'")));
    EXPECT_TRUE(QFileInfo::exists(thumbs("A/F2/Doc, 'one'") + "P0000003.bmp"));
    EXPECT_EQ(m->ShownBatchId, idOf(a2));
    EXPECT_EQ(m->ShownImageId, 2);
    EXPECT_EQ(m->ShownBatchName, "F2");

    ASSERT_TRUE(m->MoveFileNode(file, b1));
    EXPECT_EQ(file->parent(), b1);
    EXPECT_EQ(count("select count(*) from INFO1"), 0);
    EXPECT_EQ(count("select count(*) from INFO2"), 0);
    EXPECT_EQ(pageContents("B/G1/Doc, 'one'"),
              QStringList({"A/F1/Doc, 'one'#1", "A/F1/Doc, 'one'#2", "A/F1/Doc, 'one'#3"}));
    EXPECT_EQ(m->ShownAppName, "B");
    EXPECT_TRUE(Messages::Shown().isEmpty());
}

TEST_P(CatalogOps, MovingOntoAFileOfAnotherFolderMovesAndReorders)
{
    QTreeWidgetItem *t = makeType("T");
    QTreeWidgetItem *f1 = m->NewFolder(t, "F1", true);
    QTreeWidgetItem *f2 = m->NewFolder(t, "F2", true);
    QTreeWidgetItem *moving = m->NewFile(f1, "M", true);
    QTreeWidgetItem *x = m->NewFile(f2, "X", true);
    m->NewFile(f2, "Y", true);
    ASSERT_TRUE(m->MoveFileNode(moving, x));
    EXPECT_EQ(captions(f2), QStringList({"M", "X", "Y"}));
    EXPECT_EQ(orders(f2), QList<int>({1, 2, 3}));
    EXPECT_EQ(scalar("select IMAGEORDER from IMG1_2 where IMAGENAME='M'"), "1");
    EXPECT_EQ(scalar("select IMAGEORDER from IMG1_2 where IMAGENAME='Y'"), "3");

    // A file of the same name in the target folder stops the move.
    QTreeWidgetItem *clash = m->NewFile(f1, "X", true);
    EXPECT_FALSE(m->MoveFileNode(clash, f2));
    EXPECT_EQ(shownTexts(), QStringList{"无法移动文件”X“,文件夹下已含有相同名称的文件!"});
    EXPECT_EQ(clash->parent(), f1);
    EXPECT_EQ(count("select count(*) from IMG1_1"), 1);
}

TEST_P(CatalogOps, MovingAFolderToAnotherFileTypeCarriesItsFilesButNotItsValues)
{
    QTreeWidgetItem *a = makeType("A");
    QTreeWidgetItem *b = makeType("B");
    QTreeWidgetItem *folder = m->NewFolder(a, "Letters", true);
    QTreeWidgetItem *file = m->NewFile(folder, "Doc", true);
    m->NewFile(folder, "Doc2", true);
    QTreeWidgetItem *existing = m->NewFolder(b, "First", true);
    ASSERT_TRUE(file && existing);
    writePages("A/Letters/Doc", 2);
    ASSERT_TRUE(
        CatalogConnection->Execute("INSERT INTO INFO1(BATCHID, IMAGEID, BZ) VALUES(1, 1, 'dropped')"));
    showFile(file, 2);

    ASSERT_TRUE(m->MoveFolderNode(folder, existing));
    EXPECT_EQ(captions(b), QStringList({"Letters", "First"}));
    EXPECT_EQ(captions(folder), QStringList({"Doc", "Doc2"}));
    EXPECT_EQ(a->childCount(), 0);
    const int newId = idOf(folder);
    EXPECT_EQ(newId, 3);
    EXPECT_EQ(count("select count(*) from BATCH"), 2);
    EXPECT_EQ(scalar("select APPID from BATCH where BATCHNAME='Letters'"), "2");
    EXPECT_FALSE(TableExists("IMG1_1"));
    EXPECT_EQ(count("select count(*) from IMG2_3"), 2);
    EXPECT_EQ(count("select count(*) from INFO1"), 0);
    EXPECT_EQ(pageContents("B/Letters/Doc"), QStringList({"A/Letters/Doc#1", "A/Letters/Doc#2"}));
    EXPECT_FALSE(dirExists(pages("A/Letters")));
    EXPECT_TRUE(QFileInfo::exists(thumbs("B/Letters/Doc") + "P0000001.bmp"));
    EXPECT_EQ(scalar("select BATCHORDER from BATCH where BATCHID=3"),
              QString::number(NodeData(folder)->Order));
    EXPECT_LT(NodeData(folder)->Order, NodeData(existing)->Order);
    EXPECT_EQ(m->ShownAppId, 2);
    EXPECT_EQ(m->ShownAppName, "B");
    EXPECT_EQ(m->ShownBatchId, 3);
    EXPECT_EQ(m->ShownFileName, "Doc");

    // A folder of the same name in the target file type stops the move.
    QTreeWidgetItem *again = m->NewFolder(a, "Letters", true);
    EXPECT_FALSE(m->MoveFolderNode(again, b));
    EXPECT_EQ(shownTexts(), QStringList{"无法移动文件夹”Letters“,文件类型下已含有相同名称的文件夹!"});
    EXPECT_EQ(again->parent(), a);
}

TEST_P(CatalogOps, ABlockedDirectoryMoveLosesNothing)
{
    QTreeWidgetItem *a = makeType("A");
    QTreeWidgetItem *b = makeType("B");
    QTreeWidgetItem *folder = m->NewFolder(a, "Letters", true);
    QTreeWidgetItem *target = m->NewFolder(a, "Target", true);
    QTreeWidgetItem *file = m->NewFile(folder, "Doc", true);
    ASSERT_TRUE(file && target);
    writePages("A/Letters/Doc", 2);
    ASSERT_TRUE(CatalogConnection->Execute("INSERT INTO INFO1(BATCHID, IMAGEID, BZ) VALUES(1, 1, 'kept')"));

    // Plain files stand where the moved directories would go.
    for (const QString &blocker : QStringList{pages("A/Target/Doc"), pages("B/Letters")}) {
        QFile f(blocker.chopped(1));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    EXPECT_FALSE(m->MoveFileNode(file, target));
    EXPECT_EQ(shownTexts(), QStringList{"无法移动文件”Doc“,文件保持不变。"});
    EXPECT_EQ(file->parent(), folder);
    EXPECT_EQ(target->childCount(), 0);
    EXPECT_EQ(count("select count(*) from IMG1_2"), 0);
    EXPECT_EQ(scalar("select IMAGENAME from IMG1_1"), "Doc");
    EXPECT_EQ(scalar("select BZ from INFO1"), "kept");
    EXPECT_EQ(pageContents("A/Letters/Doc"), QStringList({"A/Letters/Doc#1", "A/Letters/Doc#2"}));

    Messages::ClearShown();
    EXPECT_FALSE(m->MoveFolderNode(folder, b));
    EXPECT_EQ(shownTexts(), QStringList{"无法移动文件夹”Letters“,文件夹保持不变。"});
    EXPECT_EQ(folder->parent(), a);
    EXPECT_EQ(b->childCount(), 0);
    EXPECT_EQ(count("select count(*) from BATCH where APPID=2"), 0);
    EXPECT_EQ(CatalogConnection->TableNames().filter("IMG2_").size(), 0);
    EXPECT_EQ(scalar("select IMAGENAME from IMG1_1"), "Doc");
    EXPECT_EQ(scalar("select BZ from INFO1"), "kept");
    EXPECT_EQ(pageContents("A/Letters/Doc"), QStringList({"A/Letters/Doc#1", "A/Letters/Doc#2"}));
    EXPECT_TRUE(QFileInfo::exists(thumbs("A/Letters/Doc") + "P0000002.bmp"));
}

TEST_P(CatalogOps, DeletingAFileOfTheShownFolderRemovesOnlyItsPages)
{
    QTreeWidgetItem *t = makeType("T");
    QTreeWidgetItem *folder = m->NewFolder(t, "F", true);
    QTreeWidgetItem *a = m->NewFile(folder, "A", true);
    QTreeWidgetItem *b = m->NewFile(folder, "B", true);
    writePages("T/F/A", 2);
    writePages("T/F/B", 1);
    ASSERT_TRUE(CatalogConnection->Execute("INSERT INTO INFO1(BATCHID, IMAGEID, BZ) VALUES(1, 1, 'gone')"));
    showFile(a, 2);
    list->addItem(TPageListView::MakePageItem("B", 1, 2, ".tif"));
    m->ShownImageId = 0;
    m->ShownFileName.clear();

    m->DeleteFile(1, 1, true, nullptr, idOf(a));
    EXPECT_EQ(captions(folder), QStringList{"B"});
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(TPageListView::SubItem(list->item(0), 0), "B");
    EXPECT_EQ(count("select count(*) from INFO1"), 0);
    EXPECT_EQ(count("select count(*) from IMG1_1"), 1);
    EXPECT_FALSE(dirExists(pages("T/F/A")));
    EXPECT_EQ(pageContents("T/F/B").size(), 1);

    m->DeleteFolder(1, idOf(folder), true, nullptr);
    EXPECT_EQ(t->childCount(), 0);
    EXPECT_EQ(list->count(), 0);
    EXPECT_FALSE(TableExists("IMG1_1"));
    EXPECT_FALSE(dirExists(pages("T/F")));
    EXPECT_TRUE(dirExists(pages("T")));
    (void)b;
}

TEST_P(CatalogOps, MovingPagesToAFolderMakesANewFileForThem)
{
    QTreeWidgetItem *t = makeType("T");
    QTreeWidgetItem *folder = m->NewFolder(t, "F", true);
    QTreeWidgetItem *source = m->NewFile(folder, "Src", true);
    ASSERT_NE(source, nullptr);
    writePages("T/F/Src", 3);
    QStringList moving{pages("T/F/Src") + "P0000001.tif", pages("T/F/Src") + "P0000003.tif"};

    m->MovePagesToFile(folder, &moving, 0);
    EXPECT_EQ(captions(folder), QStringList({"Src", "新建文件(1)"}));
    EXPECT_EQ(scalar("select IMAGENAME from IMG1_1 where IMAGEID=2"), "新建文件(1)");
    EXPECT_EQ(pageContents("T/F/新建文件(1)"), QStringList({"T/F/Src#1", "T/F/Src#3"}));
    EXPECT_EQ(pageContents("T/F/Src"), QStringList{"T/F/Src#2"});
    EXPECT_TRUE(QFileInfo::exists(pages("T/F/Src") + "P0000001.tif"));
}

TEST_P(CatalogOps, AFolderWhoseTableCannotBeMadeLeavesNoTrace)
{
    QTreeWidgetItem *t = makeType("T");
    // A stray table takes the name the next folder's table would get.
    ASSERT_TRUE(CatalogConnection->Execute("CREATE TABLE IMG1_1(X INTEGER)"));
    EXPECT_EQ(m->NewFolder(t, "F", true), nullptr);
    EXPECT_EQ(count("select count(*) from BATCH"), 0);
    EXPECT_EQ(t->childCount(), 0);
    EXPECT_FALSE(dirExists(pages("T/F")));
    EXPECT_FALSE(CatalogConnection->InTransaction());
}

TEST_P(CatalogOps, AFileTypeWhoseTableCannotBeMadeLeavesNoTrace)
{
    // A stray table takes the name the next file type's value table would get.
    ASSERT_TRUE(CatalogConnection->Execute("CREATE TABLE INFO1(X INTEGER)"));
    EXPECT_EQ(m->NewFileType(true), nullptr);
    EXPECT_EQ(count("select count(*) from APP"), 0);
    EXPECT_EQ(root()->childCount(), 0);
    EXPECT_FALSE(dirExists(pages("新建文件类型(1)")));
    EXPECT_FALSE(CatalogConnection->InTransaction());
}

TEST_P(CatalogOps, ARefusedDeleteKeepsRowsTablesPagesAndNodes)
{
    QTreeWidgetItem *t = makeType("T");
    QTreeWidgetItem *folder = m->NewFolder(t, "F", true);
    QTreeWidgetItem *file = m->NewFile(folder, "A", true);
    ASSERT_NE(file, nullptr);
    writePages("T/F/A", 2);
    ASSERT_TRUE(CatalogConnection->Execute("INSERT INTO INFO1(BATCHID, IMAGEID, BZ) VALUES(1, 1, 'kept')"));
    // The database refuses the last statement of the file and folder deletes, and one in the
    // middle of the file type delete.
    ASSERT_TRUE(refuse("keep", "DELETE", "INFO1"));
    m->DeleteFile(1, 1, true, file, idOf(file));
    m->DeleteFolder(1, idOf(folder), true, folder);
    ASSERT_TRUE(refuse("keep_folders", "DELETE", "BATCH"));
    m->DeleteFileType(idOf(t), t, true);

    EXPECT_EQ(captions(root()), QStringList{"T"});
    EXPECT_EQ(captions(folder), QStringList{"A"});
    EXPECT_EQ(scalar("select IMAGENAME from IMG1_1"), "A");
    EXPECT_EQ(scalar("select BZ from INFO1"), "kept");
    EXPECT_EQ(count("select count(*) from BATCH"), 1);
    EXPECT_EQ(count("select count(*) from APP"), 1);
    EXPECT_EQ(pageContents("T/F/A"), QStringList({"T/F/A#1", "T/F/A#2"}));
}

TEST_P(CatalogOps, MovingAFileOutOfTheShownFolderTakesItsPagesOffTheList)
{
    QTreeWidgetItem *t = makeType("T");
    QTreeWidgetItem *f1 = m->NewFolder(t, "F1", true);
    QTreeWidgetItem *f2 = m->NewFolder(t, "F2", true);
    QTreeWidgetItem *a = m->NewFile(f1, "A", true);
    QTreeWidgetItem *b = m->NewFile(f1, "B", true);
    writePages("T/F1/A", 2);
    writePages("T/F1/B", 1);
    showFile(a, 2);
    list->addItem(TPageListView::MakePageItem("B", 1, 2, ".tif"));
    m->ShownImageId = 0;
    m->ShownFileName.clear();

    ASSERT_TRUE(m->MoveFileNode(a, f2));
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(TPageListView::SubItem(list->item(0), 0), "B");
    EXPECT_EQ(m->ShownBatchId, idOf(f1));
    EXPECT_EQ(m->ShownBatchName, "F1");
    EXPECT_EQ(m->ShownAppName, "T");
    EXPECT_EQ(pageContents("T/F2/A").size(), 2);
    (void)b;
}

} // namespace
