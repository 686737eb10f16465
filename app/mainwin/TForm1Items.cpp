// Creating file types, folders and files, and deleting them or pages.
#include "TForm1.h"

#include "CatalogContext.h"
#include "Messages.h"
#include "PageListView.h"
#include "Quietly.h"
#include "TImageManager.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>

#include <algorithm>

// ---- Creating and deleting ----

void TForm1::selectAndEdit(QTreeWidgetItem *node)
{
    if (!node)
        return;
    TreeView1->setCurrentItem(node);
    TreeView1->setFocus();
    TreeView1->editItem(node);
}

void TForm1::MN_FILE_NewFileTypeClick()
{
    QCoreApplication::processEvents();
    selectAndEdit(ImageManager->NewFileType(true));
}

void TForm1::MN_FILE_NewFolderClick()
{
    QCoreApplication::processEvents();
    if (QTreeWidgetItem *node = TreeView1->currentItem())
        selectAndEdit(ImageManager->NewFolder(node, QString(), true));
}

void TForm1::MN_FILE_NewFileClick()
{
    QCoreApplication::processEvents();
    if (QTreeWidgetItem *node = TreeView1->currentItem())
        selectAndEdit(ImageManager->NewFile(node, QString(), true));
}

void TForm1::MN_FILE_DELETEClick()
{
    UpdateCommandStates();
    if (!Action(QStringLiteral("MN_FILE_DELETE"))->isEnabled())
        return;
    // Failures end the command quietly.
    arkavo::Quietly("delete", [&] {
        QTreeWidgetItem *node = TreeView1->currentItem();
        if (WorkingFocus() == TreeView1 && node) {
            const int level = SelectedLevel();
            static const char *const kinds[] = {"", "文件类型 ", "文件夹 ", "文件 "};
            if (level < 1 || level > 3)
                return;
            const QString question =
                QStringLiteral("确定要删除%1“%2”吗?").arg(QString::fromUtf8(kinds[level]), node->text(0));
            if (Messages::Show(question, QStringLiteral("提示"), MsgIcon::Question, MsgButtons::YesNo,
                               this) != MsgAnswer::Yes)
                return;
            const TCatalogNodeData *data = NodeData(node);
            if (!data)
                return;
            if (level == 1) {
                ImageManager->DeleteFileType(data->Id, node, true);
            } else if (level == 2) {
                ImageManager->DeleteFolder(NodeData(node->parent())->Id, data->Id, true, node);
            } else {
                QTreeWidgetItem *folder = node->parent();
                ImageManager->DeleteFile(NodeData(folder->parent())->Id, NodeData(folder)->Id, true, node,
                                         data->Id);
            }
            return;
        }
        if (WorkingFocus() == ListView1 && !ListView1->selectedItems().isEmpty()) {
            if (Messages::Show(QStringLiteral("确定要删除选中图像吗?"), QStringLiteral("提示"),
                               MsgIcon::Question, MsgButtons::YesNo, this) != MsgAnswer::Yes)
                return;
            int k = ListView1->count();
            for (QListWidgetItem *item : ListView1->selectedItems())
                k = std::min(k, ListView1->row(item));
            QStringList paths = PathsOf(ImageManager->SelectedPages());
            ImageManager->DeletePages(&paths, true);
            markAfterPageDelete(k);
        }
    });
    UpdateCommandStates();
}
