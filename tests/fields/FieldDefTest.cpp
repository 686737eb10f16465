#include "TFormFieldDef.h"

#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "FieldStore.h"
#include "Globals.h"
#include "Messages.h"

#include "CatalogBackends.h"
#include "QtApp.h"
#include "TempDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failures: texts print as UTF-8.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

using arkavo::test::TempDir;

// ---- the list rules on their own ------------------------------------------------------

FieldRecord *stored(const QString &in, const QString &out, int type = 0, int length = 24, int required = 0)
{
    auto *f = new FieldRecord;
    f->InName = in;
    f->OutName = out;
    f->FieldType = type;
    f->FieldLength = length;
    f->IsRequired = required;
    return f;
}

FieldDefTable loadedTable(const QStringList &inNames)
{
    FieldDefList list;
    for (const QString &in : inNames)
        list << stored(in, QStringLiteral("名") + in);
    FieldDefTable table;
    table.Load(list);
    FieldStore::FreeFieldDefs(list);
    return table;
}

TEST(FieldDefTable, NextInternalNameFollowsTheHighestNumberOfBothLists)
{
    const struct {
        QStringList loaded;
        QString next;
    } cases[] = {
        {{}, "F1"},
        {{"F1", "F2", "F3"}, "F4"},
        {{"F10", "F2"}, "F11"},    // numbers, not text order
        {{"F3", "Fx", "F"}, "F4"}, // names that are no number count as 0
    };
    for (const auto &c : cases) {
        FieldDefTable table = loadedTable(c.loaded);
        EXPECT_EQ(table.NextInName(), c.next) << c.loaded.join(',').toStdString();
    }
}

TEST(FieldDefTable, NumbersOfDeletedRowsAreNeverTakenAgain)
{
    FieldDefTable table = loadedTable({"F1", "F2", "F3"});
    EXPECT_EQ(table.Delete(2), 1);
    int row = -1;
    ASSERT_EQ(table.Add({{}, QStringLiteral("新"), 0, 24, false}, row), FieldDefTable::Outcome::Done);
    EXPECT_EQ(table.Rows().at(row).InName, "F4");

    // A field added and deleted again, for example after it was saved, keeps its number: a new
    // field given the same name would take over the dropped field's column and values.
    table.Delete(row);
    ASSERT_EQ(table.Add({{}, QStringLiteral("又一个"), 1, 0, false}, row), FieldDefTable::Outcome::Done);
    EXPECT_EQ(table.Rows().at(row).InName, "F5");

    // Loading again (the dialog shown a second time) does not hand out old numbers either.
    table.Load({});
    EXPECT_EQ(table.NextInName(), "F6");
}

// ---- the dialog -----------------------------------------------------------------------

class FieldDefDialogTest : public ::testing::TestWithParam<arkavo::test::CatalogBackend> {
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
        const auto row = CatalogSchema(CatalogConnection).AddFileType(QStringLiteral("合同"));
        ASSERT_TRUE(row);
        appId = row->id;
    }
    void TearDown() override
    {
        dialog.reset();
        Messages::SetResponder(nullptr);
        DestroyCatalogObjects();
        CatalogServer.clear();
    }

    // Stores definitions the way an earlier save did: "F1 姓名 0 20 1" is InName, OutName,
    // type, length and required.
    void storeFields(const QStringList &lines)
    {
        FieldDefList list;
        for (const QString &line : lines) {
            const QStringList p = line.split(' ');
            list << stored(p[0], p[1], p[2].toInt(), p[3].toInt(), p.value(4).toInt());
        }
        FieldStore::ApplyFieldDefs(CatalogConnection, appId, list);
        FieldStore::FreeFieldDefs(list);
        ASSERT_TRUE(Messages::Shown().isEmpty());
    }

    void open()
    {
        dialog = std::make_unique<TFormFieldDef>(CatalogConnection, QStringLiteral("合同"), appId);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }

    // Plain characters as key presses, Chinese the way an input method commits it.
    static void typeText(QWidget *widget, const QString &text)
    {
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(widget, char(c.unicode()));
            } else {
                QInputMethodEvent commit;
                commit.setCommitString(c);
                QApplication::sendEvent(widget, &commit);
            }
        }
    }
    void typeName(const QString &text)
    {
        QTest::keyClick(dialog->Edit1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(dialog->Edit1, Qt::Key_Delete);
        typeText(dialog->Edit1, text);
    }
    void typeLength(const QString &text)
    {
        QTest::keyClick(dialog->SpinEdit1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog->SpinEdit1, text);
    }
    // Moves through the drop-down list with the arrow keys, as from the keyboard.
    void chooseType(int type)
    {
        QComboBox *combo = dialog->ComboBox1;
        while (combo->currentIndex() != type)
            QTest::keyClick(combo, combo->currentIndex() < type ? Qt::Key_Down : Qt::Key_Up);
    }
    static void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void clickRow(int row)
    {
        QTreeWidget *view = dialog->ListView1;
        QTreeWidgetItem *item = view->topLevelItem(row);
        ASSERT_TRUE(item) << row;
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(item).center());
    }
    void addField(const QString &name, int type = 0, const QString &length = {}, bool required = false)
    {
        typeName(name);
        chooseType(type);
        if (!length.isEmpty())
            typeLength(length);
        dialog->CheckBox1->setChecked(required);
        click(dialog->btn_AddField);
    }

    // The list as "name|type|length|required" lines.
    QStringList rows() const
    {
        QStringList out;
        QTreeWidget *view = dialog->ListView1;
        for (int i = 0; i < view->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = view->topLevelItem(i);
            out << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join('|');
        }
        return out;
    }
    int selectedRow() const
    {
        const QList<QTreeWidgetItem *> selected = dialog->ListView1->selectedItems();
        return selected.isEmpty() ? -1 : dialog->ListView1->indexOfTopLevelItem(selected.first());
    }
    // The editor as "name|type|length|enabled|required".
    QString editor() const
    {
        return QStringList{dialog->Edit1->text(), dialog->ComboBox1->currentText(),
                           QString::number(dialog->SpinEdit1->value()),
                           dialog->SpinEdit1->isEnabled() ? "on" : "off",
                           dialog->CheckBox1->isChecked() ? "是" : ""}
            .join('|');
    }
    QStringList inNames() const
    {
        QStringList out;
        for (const FieldDefRow &r : dialog->Table().Rows())
            out << r.InName;
        return out;
    }

    // The stored definitions as "INNAME OUTNAME TYPE LENGTH REQUIRED ORDER" lines.
    QStringList storedDefs() const
    {
        FieldDefList list;
        FieldStore::LoadFieldDefs(CatalogConnection, appId, list, false);
        QStringList lines;
        for (const FieldRecord *f : list)
            lines << QStringLiteral("%1 %2 %3 %4 %5 %6")
                         .arg(f->InName, f->OutName)
                         .arg(f->FieldType)
                         .arg(f->FieldLength)
                         .arg(f->IsRequired)
                         .arg(f->FieldOrder);
        FieldStore::FreeFieldDefs(list);
        return lines;
    }
    static QString scalar(const QString &sql)
    {
        TCatalogQuery q(CatalogConnection);
        if (!q.Open(sql))
            return QStringLiteral("<error>");
        if (q.Eof())
            return QStringLiteral("<none>");
        return q.FieldText(q.FieldNames().value(0));
    }
    QString infoTable() const { return CatalogSchema::InfoTableName(appId); }
    QString columnType(const QString &column) const
    {
        return arkavo::test::DeclaredColumnType(infoTable(), column);
    }
    static QStringList shown()
    {
        QStringList out;
        for (const MessageRecord &m : Messages::Shown())
            out << m.caption + ": " + m.text;
        return out;
    }

    TempDir root;
    int appId = 0;
    std::unique_ptr<TFormFieldDef> dialog;
};

const QString kSaved = QStringLiteral("提示: 索引字段定义成功，完成数据库修改操作");

INSTANTIATE_TEST_SUITE_P(Backends, FieldDefDialogTest, arkavo::test::CatalogBackends(),
                         arkavo::test::CatalogBackendName);

TEST_P(FieldDefDialogTest, NewFileTypeStartsEmptyAndItsFieldsAreNumberedFromF1)
{
    open();
    EXPECT_EQ(dialog->windowTitle(), "定制索引字段");
    EXPECT_EQ(dialog->Label1->text(), "合同");
    EXPECT_TRUE(dialog->Label1->font().bold());
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(editor(), "字段名称|字符型|24|on|");

    addField(QStringLiteral("合同号"), 0, "12", true);
    addField(QStringLiteral("金额"), 2);
    EXPECT_EQ(rows(), QStringList({"合同号|字符型|12|是", "金额|实数型|0|"}));
    EXPECT_EQ(inNames(), QStringList({"F1", "F2"}));
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_EQ(editor(), "金额|实数型|0|off|");
    // Nothing is written before "保存".
    EXPECT_TRUE(storedDefs().isEmpty());
    EXPECT_EQ(columnType("F1"), "<none>");

    click(dialog->btn_OK);
    EXPECT_EQ(storedDefs(), QStringList({"F1 合同号 0 12 1 0", "F2 金额 2 0 0 1"}));
    EXPECT_EQ(columnType("F1"), "CHAR(12)");
    EXPECT_EQ(columnType("F2"), "DOUBLE");
    EXPECT_EQ(shown(), QStringList{kSaved});
    EXPECT_EQ(Messages::Shown().value(0).icon, MsgIcon::Information);
    EXPECT_TRUE(dialog->isVisible()); // saving keeps the dialog open

    click(dialog->SpeedButton1);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_P(FieldDefDialogTest, NewFieldNeverTakesOverADeletedFieldsColumn)
{
    storeFields({"F1 甲 0 10", "F2 乙 0 10", "F3 丙 0 10"});
    open();
    EXPECT_EQ(rows(), QStringList({"甲|字符型|10|", "乙|字符型|10|", "丙|字符型|10|"}));
    clickRow(2);
    click(dialog->btn_DeleteField);
    addField(QStringLiteral("丁"));
    EXPECT_EQ(inNames(), QStringList({"F1", "F2", "F4"}));
    click(dialog->btn_OK);
    ASSERT_TRUE(CatalogConnection->Execute("INSERT INTO " + infoTable() +
                                           "(BATCHID, IMAGEID, F1, F4) VALUES(1, 1, 'a', '丁的值')"));

    // Deleting the saved field and adding another in the same session: the new field gets a
    // column of its own instead of the old one with the old values.
    clickRow(2);
    click(dialog->btn_DeleteField);
    addField(QStringLiteral("戊"));
    EXPECT_EQ(inNames(), QStringList({"F1", "F2", "F5"}));
    click(dialog->btn_OK);
    EXPECT_EQ(storedDefs(), QStringList({"F1 甲 0 10 0 0", "F2 乙 0 10 0 1", "F5 戊 0 10 0 2"}));
    EXPECT_EQ(columnType("F4"), "<none>");
    EXPECT_EQ(scalar("select coalesce(F5, '<null>') from " + infoTable()), "<null>");
    EXPECT_EQ(shown(), QStringList({kSaved, kSaved}));
}

TEST_P(FieldDefDialogTest, NamesAreTrimmedAndDuplicatesRefusedWithTheCommandsCaption)
{
    open();
    addField(QStringLiteral("  甲  "));
    addField(QStringLiteral("乙"));
    const QStringList before{"甲|字符型|24|", "乙|字符型|24|"};
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(editor(), "乙|字符型|24|on|");

    const struct {
        const char *command;
        QString name;
        QString caption;
    } cases[] = {
        {"btn_AddField", " 甲", "错误"},
        {"Btn_InsertField", "甲  ", "提示"},
        {"btn_editField", "  甲 ", "错误"}, // row 乙 is selected
    };
    for (const auto &c : cases) {
        Messages::ClearShown();
        clickRow(1);
        typeName(c.name);
        click(dialog->findChild<QPushButton *>(c.command));
        EXPECT_EQ(shown(), QStringList{c.caption + ": 该字段已经存在"}) << c.command;
        EXPECT_EQ(Messages::Shown().value(0).icon, MsgIcon::Information);
        EXPECT_EQ(rows(), before) << c.command;
    }

    // A row may keep its own name; a different case is a different name.
    Messages::ClearShown();
    clickRow(1);
    typeName(QStringLiteral(" 乙 "));
    chooseType(3);
    click(dialog->btn_editField);
    addField("a");
    addField("A");
    EXPECT_TRUE(Messages::Shown().isEmpty());
    EXPECT_EQ(rows(), QStringList({"甲|字符型|24|", "乙|备注型|0|", "a|字符型|24|", "A|字符型|24|"}));

    // An empty name: add and insert do nothing, change says so.
    clickRow(0);
    for (QPushButton *b : {dialog->btn_AddField, dialog->Btn_InsertField, dialog->btn_editField}) {
        typeName("   ");
        click(b);
    }
    EXPECT_EQ(shown(), QStringList{"提示: 字段名称不能为空"});
    EXPECT_EQ(rows().size(), 4);
    EXPECT_EQ(rows().value(0), "甲|字符型|24|");
}

TEST_P(FieldDefDialogTest, EditorFollowsTheSelectedRow)
{
    storeFields({"F1 编号 0 8 1", "F2 数量 1 0", "F3 说明 3 0"});
    open();
    EXPECT_EQ(selectedRow(), -1);
    const QString expected[] = {"编号|字符型|8|on|是", "数量|整数型|0|off|", "说明|备注型|0|off|"};
    for (int row : {1, 0, 2}) {
        clickRow(row);
        EXPECT_EQ(editor(), expected[row]) << row;
    }
    dialog->ListView1->clearSelection();
    EXPECT_EQ(editor(), "字段名称|字符型|24|on|");
}

TEST_P(FieldDefDialogTest, ChoosingATypeSetsTheLength)
{
    open();
    typeLength("40");
    chooseType(1);
    EXPECT_EQ(editor(), "字段名称|整数型|0|off|");
    chooseType(0);
    EXPECT_EQ(editor(), "字段名称|字符型|24|on|");
    chooseType(3);
    EXPECT_EQ(editor(), "字段名称|备注型|0|off|");

    // Changing a stored character field to integer stores length 0 with it.
    chooseType(0);
    addField(QStringLiteral("数量"), 0, "30");
    chooseType(1);
    click(dialog->btn_editField);
    EXPECT_EQ(rows(), QStringList{"数量|整数型|0|"});
    EXPECT_EQ(editor(), "数量|整数型|0|off|");
}

TEST_P(FieldDefDialogTest, TypedLengthOfACharacterFieldIsKeptWithin1To255)
{
    open();
    const struct {
        const char *typed;
        int length;
    } cases[] = {{"300", 255}, {"0", 1}, {"255", 255}, {"1", 1}, {"99999", 255}, {"80", 80}};
    for (const auto &c : cases) {
        typeLength(c.typed);
        EXPECT_EQ(dialog->SpinEdit1->value(), c.length) << c.typed;
        EXPECT_EQ(dialog->SpinEdit1->text(), QString::number(c.length)) << c.typed;
    }
    typeLength("300");
    typeName(QStringLiteral("长名"));
    click(dialog->btn_AddField);
    EXPECT_EQ(rows(), QStringList{"长名|字符型|255|"});
}

TEST_P(FieldDefDialogTest, DeletingAndInsertingMoveTheSelection)
{
    open();
    for (const char *name : {"a", "b", "c"})
        addField(name);

    clickRow(2);
    click(dialog->btn_DeleteField);
    EXPECT_EQ(rows(), QStringList({"a|字符型|24|", "b|字符型|24|"}));
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_EQ(editor(), "b|字符型|24|on|");

    // Inserted before the selected row, and selected in its place.
    typeName("x");
    chooseType(1);
    click(dialog->Btn_InsertField);
    EXPECT_EQ(rows(), QStringList({"a|字符型|24|", "x|整数型|0|", "b|字符型|24|"}));
    EXPECT_EQ(selectedRow(), 1);

    clickRow(0);
    click(dialog->btn_DeleteField);
    EXPECT_EQ(selectedRow(), 0); // the row now in its place
    EXPECT_EQ(editor(), "x|整数型|0|off|");
    click(dialog->btn_DeleteField);
    click(dialog->btn_DeleteField);
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(editor(), "字段名称|字符型|24|on|");

    // Without a selection an inserted row goes to the end.
    addField("p");
    dialog->ListView1->clearSelection();
    typeName("q");
    click(dialog->Btn_InsertField);
    EXPECT_EQ(rows(), QStringList({"p|字符型|24|", "q|字符型|24|"}));
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_TRUE(Messages::Shown().isEmpty());
}

TEST_P(FieldDefDialogTest, SavingRenamesConvertsAndDropsColumnsOfTheValueTable)
{
    storeFields({"F1 姓名 0 20 1", "F2 数量 0 10", "F3 附注 3 0"});
    ASSERT_TRUE(CatalogConnection->Execute("INSERT INTO " + infoTable() +
                                           "(BATCHID, IMAGEID, F1, F2, F3) VALUES(1, 1, '张三', '12', 'x')"));
    open();
    clickRow(0);
    typeName(QStringLiteral("客户"));
    click(dialog->btn_editField);
    clickRow(1);
    chooseType(1);
    click(dialog->btn_editField);
    clickRow(2);
    click(dialog->btn_DeleteField);
    EXPECT_EQ(storedDefs().size(), 3); // still as before "保存"

    click(dialog->btn_OK);
    EXPECT_EQ(shown(), QStringList{kSaved});
    EXPECT_EQ(storedDefs(), QStringList({"F1 客户 0 20 1 0", "F2 数量 1 0 0 1"}));
    EXPECT_EQ(columnType("F3"), "<none>");
    EXPECT_EQ(columnType("F2"), "INTEGER");
    // The stored value is a number now, not text.
    const QString typeOf = GetParam() == arkavo::test::CatalogBackend::Sqlite
                               ? "typeof(F2)"
                               : "(case when pg_typeof(F2) = 'bigint'::regtype then 'integer' end)";
    EXPECT_EQ(scalar("select F1 || '/' || " + typeOf + " || ':' || F2 from " + infoTable()),
              "张三/integer:12");

    // The database refuses to make "张三" a number: the store reports it, the definition and the
    // values stay, and the dialog does not claim success.
    Messages::ClearShown();
    clickRow(0);
    chooseType(1);
    click(dialog->btn_editField);
    click(dialog->btn_OK);
    EXPECT_EQ(shown(), QStringList{"提示: 修改字段客户不成功！"});
    EXPECT_EQ(storedDefs(), QStringList({"F1 客户 0 20 1 0", "F2 数量 1 0 0 1"}));
    EXPECT_EQ(scalar("select F1 from " + infoTable()), "张三");

    // Put back, the next save succeeds again.
    Messages::ClearShown();
    chooseType(0);
    typeLength("20");
    click(dialog->btn_editField);
    click(dialog->btn_OK);
    EXPECT_EQ(shown(), QStringList{kSaved});
}

TEST_P(FieldDefDialogTest, DisplayNamesWithQuotesAndWildcardsReachTheStoreIntact)
{
    const QStringList names{"O'Brien's", "100%_done", "a;b", "x'); DROP TABLE APP; --", "%1 %s", "客户名称"};
    open();
    for (const QString &name : names)
        addField(name);
    click(dialog->btn_OK);
    // Again, through the store's update of existing definitions.
    clickRow(0);
    click(dialog->btn_editField);
    click(dialog->btn_OK);

    EXPECT_EQ(shown(), QStringList({kSaved, kSaved}));
    FieldDefList list;
    FieldStore::LoadFieldDefs(CatalogConnection, appId, list, false);
    QStringList storedNames;
    for (const FieldRecord *f : list)
        storedNames << f->OutName;
    FieldStore::FreeFieldDefs(list);
    EXPECT_EQ(storedNames, names);
    EXPECT_EQ(scalar("select APPNAME from APP where APPID=" + QString::number(appId)), "合同");
    EXPECT_EQ(columnType("F6"), "CHAR(24)");

    // Shown again, the list reads back the same.
    dialog.reset();
    open();
    EXPECT_EQ(rows().value(3), "x'); DROP TABLE APP; --|字符型|24|");
    EXPECT_EQ(rows().size(), names.size());

    // The name box takes no more than a stored display name can hold.
    Messages::ClearShown();
    addField(QString(60, u'长'));
    click(dialog->btn_OK);
    EXPECT_EQ(shown(), QStringList{kSaved});
    EXPECT_EQ(storedDefs().value(names.size()), "F7 " + QString(50, u'长') + " 0 24 0 6");
}

} // namespace
