// The index values panel driven as the operator does: clicks in the catalogue tree, double
// clicks and typing in the grid, switching tabs, on a temporary catalogue.
#include "TformFieldInput.h"

#include "CatalogContext.h"
#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "FieldStore.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "TImageManager.h"

#include "CatalogBackends.h"
#include "QtApp.h"
#include "TempDir.h"

#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable values in failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

struct FieldSpec {
    QString name;
    int type;
    int length;
};

class FieldInput : public ::testing::TestWithParam<arkavo::test::CatalogBackend> {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        Messages::ClearShown();
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
        if (GetParam() == arkavo::test::CatalogBackend::Postgres)
            ARKAVO_NEW_SERVER_CATALOG(CatalogServer);
        ASSERT_EQ(OpenCatalog(QStringLiteral("Admin"), QString()), CatalogLogin::LoggedIn);

        window = std::make_unique<QWidget>();
        window->resize(900, 500);
        tree = new QTreeWidget(window.get());
        pageControl = new QTabWidget(window.get());
        auto *layout = new QHBoxLayout(window.get());
        layout->addWidget(tree);
        layout->addWidget(pageControl);
        list = std::make_unique<TPageListView>();
        store = std::make_unique<TImageManager>(tree, CatalogConnection, list.get());
        store->LoadTree(QStringLiteral("0,1,2,3,4,5,6"));
        if (tree->topLevelItemCount() == 0)
            store->AddNode(nullptr, QStringLiteral("文件库"), 0, 0, 0);
        context = std::make_unique<TCatalogContext>(store.get(), tree, list.get());

        // Runs before the panel loads: what the table holds when the next file is shown.
        QObject::connect(context.get(), &TCatalogContext::NodeShown, [this](QTreeWidgetItem *) {
            if (probe)
                probe();
        });
        pageControl->addTab(new QWidget, QStringLiteral("扫描"));
        panel = new TformFieldInput(store.get());
        panel->Follow(context.get());
        panel->Beep = [this] { ++beeps; };
        pageControl->addTab(panel, QStringLiteral("索引"));
        pageControl->setCurrentWidget(panel);

        // The main window's order around a change of the tree selection.
        QObject::connect(tree, &QTreeWidget::currentItemChanged, [this](QTreeWidgetItem *node) {
            context->AnnounceNodeLeaving();
            store->ShowNode(node, nullptr);
            context->AnnounceNodeShown(node);
        });
    }
    void TearDown() override
    {
        window.reset();
        context.reset();
        store.reset();
        list.reset();
        Messages::SetResponder(nullptr);
        DestroyCatalogObjects();
        CatalogServer.clear();
    }

    QTreeWidgetItem *rootNode() const { return tree->topLevelItem(0); }
    static int idOf(QTreeWidgetItem *node) { return NodeData(node)->Id; }

    // A file type with the given fields and one folder "2024".
    QTreeWidgetItem *makeFolder(const QString &typeName, const QList<FieldSpec> &fields)
    {
        QTreeWidgetItem *type = store->NewFileType(true);
        EXPECT_NE(type, nullptr);
        QString name = typeName;
        store->RenameNode(type, name);
        FieldDefList defs;
        for (int i = 0; i < fields.size(); ++i)
            defs << new FieldRecord{idOf(type),
                                    QStringLiteral("F%1").arg(i + 1),
                                    fields[i].name,
                                    fields[i].type,
                                    fields[i].length,
                                    0,
                                    i};
        store->ApplyFieldDefs(idOf(type), defs);
        store->FreeFieldDefs(defs);
        QTreeWidgetItem *folder = store->NewFolder(type, QStringLiteral("2024"), true);
        EXPECT_NE(folder, nullptr);
        return folder;
    }
    QTreeWidgetItem *makeFile(QTreeWidgetItem *folder, const QString &name)
    {
        QTreeWidgetItem *file = store->NewFile(folder, name, true);
        EXPECT_NE(file, nullptr);
        return file;
    }

    void show()
    {
        tree->expandAll();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void click(QTreeWidgetItem *node)
    {
        tree->scrollToItem(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
        ASSERT_EQ(tree->currentItem(), node);
    }

    QTableWidget *grid() const { return panel->ValueListEditor1; }
    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < grid()->rowCount(); ++r)
            out << (grid()->item(r, c) ? grid()->item(r, c)->text() : QStringLiteral("<no item>"));
        return out;
    }
    // Double-clicks the value of Row and returns the cell editor.
    QLineEdit *openEditor(int row)
    {
        const QPoint at = grid()->visualItemRect(grid()->item(row, 1)).center();
        // A press and release, then a second press that the view reports as a double-click.
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, at);
        auto *editor = qobject_cast<QLineEdit *>(grid()->indexWidget(grid()->model()->index(row, 1)));
        EXPECT_NE(editor, nullptr) << "no editor on row " << row;
        return editor;
    }
    // The view takes the value from the editor on its next turn of the event loop.
    static void pressEnter(QWidget *editor)
    {
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    // Keys for ASCII characters; anything else arrives as an input method's commit does.
    static void typeText(QWidget *editor, const QString &text)
    {
        for (QChar c : text) {
            if (c.unicode() < 128) {
                QTest::keyClicks(editor, QString(c));
            } else {
                QInputMethodEvent commit;
                commit.setCommitString(QString(c));
                QApplication::sendEvent(editor, &commit);
            }
        }
    }
    // Types into the value of Row; "\b" is Backspace. Enter ends the edit when asked.
    void type(int row, const QString &keys, bool enter = true)
    {
        QLineEdit *editor = openEditor(row);
        if (!editor)
            return;
        for (QChar c : keys) {
            if (c == u'\b')
                QTest::keyClick(editor, Qt::Key_Backspace);
            else
                typeText(editor, QString(c));
        }
        if (enter)
            pressEnter(editor);
    }

    static QString stored(QTreeWidgetItem *file, const QString &column)
    {
        const int appId = idOf(file->parent()->parent());
        TCatalogQuery q(CatalogConnection);
        if (!q.Open(QStringLiteral("Select %1 From %2 Where BATCHID=%3 And IMAGEID=%4")
                        .arg(column, CatalogSchema::InfoTableName(appId))
                        .arg(idOf(file->parent()))
                        .arg(idOf(file))))
            return QStringLiteral("<error>");
        return q.Eof() ? QStringLiteral("<no row>") : q.FieldByName(column).toString();
    }
    static void storeValues(QTreeWidgetItem *file, const QStringList &values)
    {
        const int appId = idOf(file->parent()->parent());
        FieldDefList defs;
        FieldStore::LoadFieldDefs(CatalogConnection, appId, defs, true);
        ASSERT_TRUE(FieldStore::WriteFieldValues(CatalogConnection, defs, values, idOf(file),
                                                 idOf(file->parent()), appId));
        FieldStore::FreeFieldDefs(defs);
    }
    static QStringList shownTexts()
    {
        QStringList out;
        for (const MessageRecord &m : Messages::Shown())
            out << m.text;
        return out;
    }

    arkavo::test::TempDir root;
    std::unique_ptr<QWidget> window;
    QTreeWidget *tree = nullptr;
    QTabWidget *pageControl = nullptr;
    std::unique_ptr<TPageListView> list;
    std::unique_ptr<TImageManager> store;
    std::unique_ptr<TCatalogContext> context;
    TformFieldInput *panel = nullptr;
    std::function<void()> probe;
    int beeps = 0;
};

const QList<FieldSpec> LetterFields{{"姓名", 0, 10}, {"份数", 1, 0}, {"金额", 2, 0}, {"摘要", 3, 0}};

INSTANTIATE_TEST_SUITE_P(Backends, FieldInput, arkavo::test::CatalogBackends(),
                         arkavo::test::CatalogBackendName);

TEST_P(FieldInput, AFileShowsItsFieldsWithTheRemarkLastAndOtherNodesAnEmptyReadOnlyGrid)
{
    QTreeWidgetItem *folder = makeFolder("信函", LetterFields);
    QTreeWidgetItem *filed = makeFile(folder, "A");
    QTreeWidgetItem *blank = makeFile(folder, "B");
    storeValues(filed, {"张三", "3", "1.5", "第一封", "备注一"});
    show();

    EXPECT_EQ(grid()->horizontalHeaderItem(0)->text(), "字段");
    EXPECT_EQ(grid()->horizontalHeaderItem(1)->text(), "内容");
    for (QTreeWidgetItem *node : {rootNode(), folder->parent(), folder}) {
        click(node);
        EXPECT_EQ(grid()->rowCount(), 0) << node->text(0).toStdString();
        EXPECT_EQ(grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
        EXPECT_FALSE(panel->btn_save->isEnabled());
    }

    click(filed);
    EXPECT_EQ(column(0), QStringList({"姓名", "份数", "金额", "摘要", "备注"}));
    EXPECT_EQ(column(1), QStringList({"张三", "3", "1.5", "第一封", "备注一"}));
    EXPECT_FALSE(panel->btn_save->isEnabled());
    // A file without a stored row still shows every field.
    click(blank);
    EXPECT_EQ(column(0), QStringList({"姓名", "份数", "金额", "摘要", "备注"}));
    EXPECT_EQ(column(1), QStringList({"", "", "", "", ""}));
    // The names are not values.
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {},
                       grid()->visualItemRect(grid()->item(0, 0)).center());
    EXPECT_EQ(grid()->indexWidget(grid()->model()->index(0, 0)), nullptr);

    click(folder);
    EXPECT_EQ(grid()->rowCount(), 0);
    QTest::keyClicks(grid(), "x");
    EXPECT_EQ(grid()->rowCount(), 0);
    EXPECT_FALSE(panel->btn_save->isEnabled());
}

TEST_P(FieldInput, AnEditIsSavedToItsFileBeforeTheNextFileIsShown)
{
    QTreeWidgetItem *folder = makeFolder("信函", LetterFields);
    QTreeWidgetItem *first = makeFile(folder, "A");
    QTreeWidgetItem *second = makeFile(folder, "B");
    storeValues(second, {"李四", "7", "", "", ""});
    show();
    click(first);

    // Typed and left open: clicking the tree takes the edit along.
    type(0, "王五", false);
    QString firstWhenSecondShown;
    QStringList gridWhenSecondShown;
    probe = [&] {
        firstWhenSecondShown = stored(first, "F1");
        gridWhenSecondShown = column(1);
    };
    click(second);
    EXPECT_EQ(firstWhenSecondShown, "王五");
    EXPECT_EQ(gridWhenSecondShown.value(0), "王五");
    EXPECT_EQ(column(1).value(0), "李四");
    EXPECT_EQ(stored(second, "F1"), "李四");
    EXPECT_FALSE(panel->HasUnsavedChanges());
    probe = nullptr;

    click(first);
    EXPECT_EQ(column(1).value(0), "王五");
    EXPECT_TRUE(shownTexts().isEmpty()) << shownTexts().join(" | ").toStdString();
}

TEST_P(FieldInput, AnEditIsSavedWhenTheTabIsLeftOrTheWindowCloses)
{
    const QList<std::pair<const char *, std::function<void()>>> ways{
        {"other tab", [this] { pageControl->setCurrentIndex(0); }},
        {"window closed", [this] { window->close(); }},
    };
    QTreeWidgetItem *folder = makeFolder("信函", LetterFields);
    for (const auto &[way, leave] : ways) {
        SCOPED_TRACE(way);
        QTreeWidgetItem *file = makeFile(folder, way);
        show();
        pageControl->setCurrentWidget(panel);
        click(file);
        type(3, way);
        EXPECT_TRUE(panel->HasUnsavedChanges());
        leave();
        EXPECT_EQ(stored(file, "F4"), way);
        EXPECT_FALSE(panel->HasUnsavedChanges());
    }
    // Coming back to the tab shows the current file again.
    show();
    pageControl->setCurrentIndex(0);
    pageControl->setCurrentWidget(panel);
    EXPECT_EQ(column(1).value(3), "window closed");
}

TEST_P(FieldInput, NumberRowsTakeOnlyDigitsSignsAndForRealsThePoint)
{
    struct Case {
        int row;
        QString keys;
        QString shown;
        int beeps;
        QString stored;
    };
    const QList<Case> cases{
        {1, "12a", "12", 1, "12"},      {1, "+7", "+7", 0, "7"},
        {1, "12\b", "12", 1, "12"}, // Backspace is a typed character there
        {1, "1.5", "15", 1, "15"},      {2, "-3.25", "-3.25", 0, "-3.25"},
        {2, "2,5e", "25", 2, "25"},     {2, "４", "", 1, ""}, // a full-width digit is no digit of the field
        {0, "a1+.\b", "a1+", 0, "a1+"}, {3, "x-y.", "x-y.", 0, "x-y."},
    };
    QTreeWidgetItem *folder = makeFolder("信函", LetterFields);
    QTreeWidgetItem *file = makeFile(folder, "A");
    QTreeWidgetItem *other = makeFile(folder, "B");
    show();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.keys.toStdString());
        click(file);
        beeps = 0;
        type(c.row, c.keys);
        EXPECT_EQ(grid()->item(c.row, 1)->text(), c.shown);
        EXPECT_EQ(beeps, c.beeps);
        click(other);
        const QString value = stored(file, QStringLiteral("F%1").arg(c.row + 1));
        EXPECT_EQ(c.row == 2 && !value.isEmpty() ? QString::number(value.toDouble()) : value, c.stored);
        // Clear the row for the next case.
        click(file);
        QLineEdit *editor = openEditor(c.row);
        editor->clear();
        pressEnter(editor);
    }
    EXPECT_TRUE(shownTexts().isEmpty()) << shownTexts().join(" | ").toStdString();
}

TEST_P(FieldInput, ACharacterRowTakesNoMoreThanItsLength)
{
    QTreeWidgetItem *folder = makeFolder("信函", LetterFields);
    QTreeWidgetItem *file = makeFile(folder, "A");
    show();
    click(file);
    type(0, "abcdefghijk");
    EXPECT_EQ(grid()->item(0, 1)->text(), "abcdefghij");
    QLineEdit *editor = openEditor(0);
    editor->selectAll();
    editor->insert("一二三四五六七八九十十一"); // as a paste does
    pressEnter(editor);
    EXPECT_EQ(grid()->item(0, 1)->text(), "一二三四五六七八九十");
    // Memo rows have no limit.
    type(3, QString(300, u'm'));
    EXPECT_EQ(grid()->item(3, 1)->text().size(), 300);
    panel->SaveIfChanged();
    EXPECT_EQ(stored(file, "F1"), "一二三四五六七八九十");
    EXPECT_EQ(stored(file, "F4"), QString(300, u'm'));
}

TEST_P(FieldInput, AFieldNamedLikeTheRemarkKeepsItsOwnColumn)
{
    QTreeWidgetItem *folder = makeFolder("合同", {{"备注", 0, 20}});
    QTreeWidgetItem *file = makeFile(folder, "A");
    show();
    click(file);
    EXPECT_EQ(column(0), QStringList({"备注", "备注"}));
    type(0, "own");
    type(1, "built-in");
    QTest::mouseClick(panel->btn_save, Qt::LeftButton);
    EXPECT_FALSE(panel->btn_save->isEnabled());
    EXPECT_EQ(stored(file, "F1"), "own");
    EXPECT_EQ(stored(file, "BZ"), "built-in");
}

TEST_P(FieldInput, AFailedWriteIsReportedAndNotRetried)
{
    const QList<std::pair<const char *, std::function<void()>>> failures{
        {"not a number", [this] { type(1, "1-2"); }},
        {"value table gone",
         [this] {
             type(0, "x");
             ASSERT_TRUE(CatalogConnection->Execute("DROP TABLE INFO1"));
         }},
    };
    QTreeWidgetItem *folder = makeFolder("信函", LetterFields);
    ASSERT_EQ(idOf(folder->parent()), 1);
    QTreeWidgetItem *file = makeFile(folder, "A");
    QTreeWidgetItem *other = makeFile(folder, "B");
    show();
    for (const auto &[why, change] : failures) {
        SCOPED_TRACE(why);
        click(file);
        Messages::ClearShown();
        change();
        const QStringList edited = column(1);
        QTest::mouseClick(panel->btn_save, Qt::LeftButton);
        ASSERT_EQ(Messages::Shown().size(), 1);
        EXPECT_EQ(Messages::Shown()[0].text, "保存失败！");
        EXPECT_EQ(Messages::Shown()[0].caption, "错误");
        EXPECT_EQ(Messages::Shown()[0].icon, MsgIcon::Error);
        EXPECT_EQ(column(1), edited);
        EXPECT_FALSE(panel->btn_save->isEnabled());
        click(other);
        EXPECT_EQ(Messages::Shown().size(), 1);
        EXPECT_EQ(stored(file, "F1"), QString(why) == "value table gone" ? "<error>" : "<no row>");
    }
}

TEST_P(FieldInput, ValuesWithQuotesWildcardsAndChineseAreStoredExactly)
{
    QString longValue;
    while (longValue.size() < 255)
        longValue += QStringLiteral("它's 100%_;");
    longValue.truncate(255);
    const QStringList values{"O'Brien",      "100%",  "a_b",          "x'; DROP TABLE INFO1; --",
                             "'' OR 1=1 --", "%1 %2", "档案：甲乙丙", longValue};
    QTreeWidgetItem *folder = makeFolder("信函", {{"名称", 0, 255}});
    QTreeWidgetItem *file = makeFile(folder, "A");
    QTreeWidgetItem *neighbour = makeFile(folder, "B");
    storeValues(neighbour, {"邻居", "不变"});
    show();
    for (const QString &value : values) {
        SCOPED_TRACE(value.toStdString());
        click(file);
        for (int row : {0, 1}) {
            QLineEdit *editor = openEditor(row);
            editor->clear();
            typeText(editor, value);
            pressEnter(editor);
        }
        click(neighbour);
        EXPECT_EQ(stored(file, "F1"), value);
        EXPECT_EQ(stored(file, "BZ"), value);
        EXPECT_EQ(column(1), QStringList({"邻居", "不变"}));
        click(file);
        EXPECT_EQ(column(1), QStringList({value, value}));
    }
    EXPECT_TRUE(CatalogConnection->TableNames().contains("INFO1", Qt::CaseInsensitive));
    EXPECT_TRUE(shownTexts().isEmpty()) << shownTexts().join(" | ").toStdString();
}

TEST_P(FieldInput, AnEditNeverLandsInAnotherTypesColumns)
{
    QTreeWidgetItem *letters = makeFolder("信函", {{"姓名", 0, 20}});
    QTreeWidgetItem *contracts = makeFolder("合同", {{"编号", 0, 20}});
    QTreeWidgetItem *file = makeFile(letters, "A");
    show();
    click(file);
    type(0, "张三");
    // The shown file goes to another file type with the edit still unsaved, and the panel
    // is not told before it saves.
    {
        const QSignalBlocker quiet(tree);
        ASSERT_TRUE(store->MoveFileNode(file, contracts));
    }
    ASSERT_EQ(store->ShownAppId, idOf(contracts->parent()));
    Messages::ClearShown();
    panel->SaveIfChanged();
    EXPECT_EQ(shownTexts(), QStringList{"保存失败！"});
    EXPECT_EQ(stored(file, "F1"), "<no row>");
}

} // namespace
