// Renaming catalogue items and the properties dialog of the root and of each item.
#include "TForm1.h"

#include "CatalogContext.h"
#include "FileHelpers.h"
#include "Globals.h"
#include "IniFile.h"
#include "BrowseText.h"
#include "Messages.h"
#include "PageListView.h"
#include "Quietly.h"
#include "TFormFieldDefine.h"
#include "TImageManager.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QStorageInfo>
#include <QTreeWidget>

void TForm1::MN_FILE_RENAMEClick()
{
    QTreeWidgetItem *node = TreeView1->currentItem();
    if (node && node->parent())
        TreeView1->editItem(node);
}

void TForm1::TreeView1Edited(QTreeWidgetItem *node, QString &name)
{
    ImageManager->RenameNode(node, name);
}

void TForm1::MN_FILE_PROPERTIESClick()
{
    QTreeWidgetItem *node = TreeView1->currentItem();
    if (WorkingFocus() != TreeView1 || !node)
        return;
    // The dialog's own failures end it quietly.
    arkavo::Quietly("properties", [&] {
        const int level = SelectedLevel();
        TFormFieldDefine dialog(this);
        static const char *const prefixes[] = {"", "文件类型 ", "文件夹 ", "文件 "};
        if (level == 0)
            dialog.SetRootMode();
        dialog.setWindowTitle(QString::fromUtf8(prefixes[qBound(0, level, 3)]) + node->text(0) +
                              QStringLiteral(" 属性"));
        dialog.edtName->setText(node->text(0));
        QString location;
        ImageManager->GetNodePath(node, true, location);
        dialog.edtLocation->setText(location);
        dialog.edtLocation->setCursorPosition(0); // a long path shows from its start
        dialog.edtLocation->setToolTip(location);

        auto grandChildren = [](QTreeWidgetItem *n) {
            int total = 0;
            for (int i = 0; i < n->childCount(); ++i)
                total += n->child(i)->childCount();
            return total;
        };
        switch (level) {
        case 0:
            dialog.LblfolderN->setText(QStringLiteral("文件类型 "));
            dialog.edtfolderN->setText(QString::number(node->childCount()) + QStringLiteral("个"));
            dialog.lblFileN->setText(QStringLiteral("文件夹 "));
            dialog.edtFileN->setText(QString::number(grandChildren(node)) + QStringLiteral("个"));
            TFormFieldDefine::ClearRow(dialog.lblPictureN, dialog.edtPicturen);
            break;
        case 1:
            dialog.edtfolderN->setText(QString::number(node->childCount()) + QStringLiteral("个"));
            dialog.edtFileN->setText(QString::number(grandChildren(node)) + QStringLiteral("份"));
            TFormFieldDefine::ClearRow(dialog.lblPictureN, dialog.edtPicturen);
            break;
        case 2:
            TFormFieldDefine::ClearRow(dialog.LblfolderN, dialog.edtfolderN);
            dialog.edtFileN->setText(QString::number(node->childCount()) + QStringLiteral("份"));
            dialog.edtPicturen->setText(QString::number(ListView1->count()) + QStringLiteral("页"));
            break;
        default:
            TFormFieldDefine::ClearRow(dialog.LblfolderN, dialog.edtfolderN);
            TFormFieldDefine::ClearRow(dialog.lblFileN, dialog.edtFileN);
            dialog.edtPicturen->setText(QString::number(ListView1->count()) + QStringLiteral("页"));
            break;
        }
        dialog.edtSpace->setText(FormatUsedSpace(DirectorySize(location)));
        // Free space of the repository's own disk, which is the one that fills up.
        dialog.edtSpaceLeave->setText(FormatFreeSpace(QStorageInfo(RootPath).bytesAvailable()));

        if (dialog.exec() != QDialog::Accepted)
            return;
        // Resolved as at start-up, and compared as folders: the shown RootPath ends in '/'.
        const QString dir = QDir::cleanPath(AbsoluteLocation(dialog.edtLocation->text(), AppPath));
        if (level == 0 && (dir.isEmpty() || dir != QDir::cleanPath(RootPath))) {
            QDir().mkpath(dir);
            const QString settings = SettingsFileIn(AppPath);
            if (!QFileInfo(dir).isDir()) {
                Messages::Show(QStringLiteral("位置输入错误！"), QStringLiteral("错误"), MsgIcon::Information,
                               MsgButtons::Ok, this);
            } else if (!IniFile(settings).writeString(QStringLiteral("SYSTEM"), QStringLiteral("ROOTPATH"),
                                                      dir)) {
                // Nothing changes on restart: asking for one would tell the operator otherwise.
                Messages::Show(QStringLiteral("无法写入设置文件 %1，位置未更改！").arg(settings),
                               QStringLiteral("错误"), MsgIcon::Error, MsgButtons::Ok, this);
            } else {
                if (Messages::Ask(
                        QStringLiteral("要使设置生效，必须关闭并重新启动本程序，要立即关闭程序吗？"), this)) {
                    close();
                    return;
                }
            }
        }
        QString name = dialog.edtName->text().trimmed();
        if (level > 0 && name != node->text(0)) {
            ImageManager->RenameNode(node, name);
            node->setText(0, name);
        }
    });
}
