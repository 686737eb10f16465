#pragma once
// The main window with the viewer embedded, logged in on a temporary catalogue that holds
// one file type with folder "F" and its files "A" and "B" (no pages yet). Messages are
// recorded in Asked and answered with Answer.
#include "CatalogDatabase.h"
#include "Controls.h"
#include "CatalogSchema.h"
#include "Globals.h"
#include "Messages.h"
#include "TForm1.h"
#include "TForm5.h"
#include "TImageManager.h"

#include "QtApp.h"
#include "TempDir.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QStringList>

#include <memory>

#include <gtest/gtest.h>

class ViewerWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        arkavo::test::EnsureApp();
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
        ControlRegistry::RegisterControls(QCoreApplication::applicationDirPath() + u'/');
        Messages::SetResponder(nullptr);
    }

    void SetUp() override
    {
        ASSERT_NE(ControlRegistry::Ovisco(), nullptr) << "libovisco.so beside the test";
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        Messages::ClearShown();
        Messages::SetResponder([this](const MessageRecord &m) {
            asked << m.text;
            return answer;
        });
        ASSERT_EQ(OpenCatalog("Admin", ""), CatalogLogin::LoggedIn);
        BeforeWindows();
        form = std::make_unique<TForm1>();
        viewer = new TForm5(form->Context());
        form->ConnectViewer(viewer);
        form->resize(1000, 700);
        form->show();
        QCoreApplication::processEvents();
        store = form->ImageManager;
        type = store->NewFileType(true);
        folder = store->NewFolder(type, "F", true);
        fileA = store->NewFile(folder, "A", true);
        fileB = store->NewFile(folder, "B", true);
        ASSERT_TRUE(type && folder && fileA && fileB);
    }

    void TearDown() override
    {
        // The main window must not lose the focus while it is being destroyed.
        if (form)
            form->hide();
        form.reset();
        Messages::SetResponder(nullptr);
        DestroyCatalogObjects();
    }

    // Runs after the login, before the windows exist.
    virtual void BeforeWindows() {}

    QAction *act(const char *name) const { return form->Action(QString::fromLatin1(name)); }
    OviscoControl *picture() const { return viewer->OviscoPicture; }

    arkavo::test::TempDir root;
    std::unique_ptr<TForm1> form;
    TForm5 *viewer = nullptr;
    TImageManager *store = nullptr;
    QTreeWidgetItem *type = nullptr, *folder = nullptr, *fileA = nullptr, *fileB = nullptr;
    MsgAnswer answer = MsgAnswer::Yes;
    QStringList asked;
};
