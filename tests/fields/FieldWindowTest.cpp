// The index fields in the main window: the value panel on the scan panel's "索引" tab, saved
// as the operator moves on or closes the window, and the definition dialog of the tree's
// pop-up.
#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "FieldStore.h"
#include "Globals.h"
#include "Messages.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TFormFieldDef.h"
#include "TImageManager.h"
#include "TformFieldInput.h"

#include "CatalogDrag.h"
#include "QtApp.h"
#include "TempDir.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

class FieldWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
        ASSERT_EQ(OpenCatalog("Admin", ""), CatalogLogin::LoggedIn);
        form = std::make_unique<TForm1>();
        form->ConnectScanPanel(new TForm3(
            {form->ImageManager, form->TreeView1, form->ListView1, form.get(), form->FormImgProcSetting},
            nullptr, form.get()));
        form->resize(1200, 800);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        store = form->ImageManager;
        type = store->NewFileType(true);
        folder = store->NewFolder(type, "F", true);
        fileA = store->NewFile(folder, "A", true);
        fileB = store->NewFile(folder, "B", true);
        appId = NodeData(type)->Id;
        FieldDefList defs{new FieldRecord{appId, "F1", "编号", 0, 20, 0, 0}};
        FieldStore::ApplyFieldDefs(CatalogConnection, appId, defs);
        FieldStore::FreeFieldDefs(defs);
    }
    void TearDown() override
    {
        form.reset();
        Messages::SetResponder(nullptr);
    }

    void clickNode(QTreeWidgetItem *node)
    {
        QTreeWidget *tree = form->TreeView1;
        tree->scrollToItem(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
        QCoreApplication::processEvents();
    }
    // Shows the "索引" tab and types Text as the first field's value.
    void typeValue(const QString &text)
    {
        form->ScanPanel->PageControl1->setCurrentWidget(form->FieldInput);
        QCoreApplication::processEvents();
        QTableWidget *grid = form->FieldInput->ValueListEditor1;
        const QPoint at = grid->visualItemRect(grid->item(0, 1)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        auto *editor = qobject_cast<QLineEdit *>(grid->indexWidget(grid->model()->index(0, 1)));
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, text);
    }
    QString stored(QTreeWidgetItem *file) const
    {
        return storedFor(NodeData(file)->Id, NodeData(folder)->Id);
    }
    QString storedFor(int imageId, int batchId) const
    {
        FieldDefList defs;
        FieldStore::LoadFieldDefs(CatalogConnection, appId, defs, false);
        QStringList values;
        FieldStore::ReadFieldValues(CatalogConnection, defs, values, imageId, batchId, appId);
        FieldStore::FreeFieldDefs(defs);
        return values.value(0);
    }

    arkavo::test::TempDir root;
    std::unique_ptr<TForm1> form;
    TImageManager *store = nullptr;
    QTreeWidgetItem *type = nullptr, *folder = nullptr, *fileA = nullptr, *fileB = nullptr;
    int appId = 0;
};

} // namespace

TEST_F(FieldWindow, TheValuePanelSitsOnTheIndexTabAndSavesWhenTheOperatorMovesOn)
{
    ASSERT_NE(form->FieldInput, nullptr);
    EXPECT_EQ(
        form->ScanPanel->PageControl1->tabText(form->ScanPanel->PageControl1->indexOf(form->FieldInput)),
        "索引");
    clickNode(fileA);
    typeValue("A-17");
    clickNode(fileB); // an edit still open in its cell counts too
    EXPECT_EQ(stored(fileA), "A-17");
    typeValue("B'9");
    // Closing the window saves what is still unsaved.
    const int imageId = NodeData(fileB)->Id, batchId = NodeData(folder)->Id;
    form.reset();
    ASSERT_EQ(OpenCatalog("Admin", ""), CatalogLogin::LoggedIn);
    EXPECT_EQ(storedFor(imageId, batchId), "B'9");
    DestroyCatalogObjects();
}

TEST_F(FieldWindow, TheTreePopupDefinesTheSelectedFileTypesFields)
{
    clickNode(type);
    form->UpdateCommandStates();
    QAction *define = form->Action("PMN_FILE_FIELDDEFINE");
    ASSERT_TRUE(define->isVisible());
    QString title, label;
    QTimer::singleShot(0, form.get(), [&] {
        if (auto *dialog = qobject_cast<TFormFieldDef *>(QApplication::activeModalWidget())) {
            title = dialog->windowTitle();
            label = dialog->Label1->text();
            dialog->reject();
        }
    });
    define->trigger();
    EXPECT_EQ(title, "定制索引字段");
    EXPECT_TRUE(label.contains(type->text(0))) << label.toStdString();
}

TEST_F(FieldWindow, AFileDraggedToAnotherFolderKeepsTheValueBeingTyped)
{
    QTreeWidgetItem *other = store->NewFolder(type, "G", true);
    form->TreeView1->expandAll();
    clickNode(fileA);
    typeValue("A-17");
    // The cell editor is still open when the file is dragged onto the other folder.
    QTreeWidget *tree = form->TreeView1;
    const arkavo::test::DragResult d = arkavo::test::DragWithMouse(
        *form, tree, tree->visualItemRect(fileA).center(), tree, tree->visualItemRect(other).center());
    EXPECT_TRUE(d.dropped);
    ASSERT_EQ(fileA->parent(), other);
    EXPECT_EQ(storedFor(NodeData(fileA)->Id, NodeData(other)->Id), "A-17");
    EXPECT_FALSE(form->FieldInput->HasUnsavedChanges());
    EXPECT_EQ(form->FieldInput->ValueListEditor1->item(0, 1)->text(), "A-17");
}
