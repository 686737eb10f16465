#pragma once
// The main window with its scan panel and the real scanner control from the plugin
// beside the test, on a fresh catalogue below root, with one file type and a folder
// "F" to append into. Any message box fails the test.
#include "CatalogSchema.h"
#include "Controls.h"
#include "Globals.h"
#include "Messages.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TImageManager.h"

#include "TempDir.h"

#include "capteon/CapteonInterface.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace arkavo::test {

class DeviceScanWindow {
public:
    // Fatal failures end only this call: wrap it in ASSERT_NO_FATAL_FAILURE.
    void open(const TempDir &root)
    {
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        Messages::SetResponder([](const MessageRecord &m) {
            ADD_FAILURE() << m.text.toStdString();
            return MsgAnswer::Ok;
        });
        ControlRegistry::RegisterControls(QCoreApplication::applicationDirPath() + u'/');
        ASSERT_NE(ControlRegistry::Capteon(), nullptr) << "libcapteon.so beside the test";
        ASSERT_EQ(OpenCatalog("Admin", ""), CatalogLogin::LoggedIn);
        form = std::make_unique<TForm1>();
        panel = new TForm3(
            {form->ImageManager, form->TreeView1, form->ListView1, form.get(), form->FormImgProcSetting},
            nullptr, form.get());
        form->ConnectScanPanel(panel);
        ASSERT_NE(panel->Capteon1, nullptr);
        scanner = panel->Capteon1;
        scanner->widget()->setProperty("SettingsFile",
                                       QString::fromStdString((root / "Capteon.ini").string()));
        form->resize(1200, 800);
        form->show();
        store = form->ImageManager;
        type = store->NewFileType(true);
        folder = store->NewFolder(type, "F", true);
    }

    ~DeviceScanWindow()
    {
        if (form)
            form->hide();
        form.reset();
        Messages::SetResponder(nullptr);
        DestroyCatalogObjects();
    }

    // Selects the folder and presses "添加扫描" as the operator does.
    void appendToFolder()
    {
        form->TreeView1->setCurrentItem(folder);
        QCoreApplication::processEvents();
        form->UpdateCommandStates();
        ASSERT_TRUE(panel->btn_scan_append->isEnabled());
        QTest::mouseClick(panel->btn_scan_append, Qt::LeftButton);
    }

    // The directory of the folder's i-th file.
    QString fileDir(int i) const
    {
        return store->ImagesPath + type->text(0) + "/F/" + folder->child(i)->text(0) + "/";
    }

    std::unique_ptr<TForm1> form;
    TForm3 *panel = nullptr;
    CapteonControl *scanner = nullptr;
    TImageManager *store = nullptr;
    QTreeWidgetItem *type = nullptr;
    QTreeWidgetItem *folder = nullptr;
};

} // namespace arkavo::test
