#pragma once
// A logged-in main window on a temporary catalogue, driven through its menu commands. The
// messages it shows are recorded in Shown and answered with Answer.
#include "CatalogSchema.h"
#include "Globals.h"
#include "Messages.h"
#include "TForm1.h"

#include "QtApp.h"
#include "TempDir.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include <gtest/gtest.h>

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        Messages::ClearShown();
        Messages::SetResponder([this](const MessageRecord &m) {
            shown << m;
            return answer;
        });
        ASSERT_EQ(OpenCatalog("Admin", ""), CatalogLogin::LoggedIn);
        form = std::make_unique<TForm1>();
        form->resize(1200, 800);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void TearDown() override
    {
        form.reset();
        Messages::SetResponder(nullptr);
    }

    // Runs a menu command, which must be enabled.
    void trigger(const char *name)
    {
        QAction *a = form->Action(QString::fromLatin1(name));
        ASSERT_NE(a, nullptr) << name;
        form->UpdateCommandStates();
        ASSERT_TRUE(a->isEnabled()) << name;
        a->trigger();
        // New nodes open their caption for editing; keep the default name.
        if (auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget()))
            QTest::keyClick(editor, Qt::Key_Escape);
        QCoreApplication::processEvents();
    }

    void select(QTreeWidgetItem *node)
    {
        form->TreeView1->setFocus();
        form->TreeView1->setCurrentItem(node);
    }

    // Selects Node with the tree focused and runs a creating command; returns the new node.
    QTreeWidgetItem *create(QTreeWidgetItem *node, const char *command)
    {
        select(node);
        trigger(command);
        return form->TreeView1->currentItem();
    }

    QStringList shownTexts() const
    {
        QStringList texts;
        for (const MessageRecord &m : shown)
            texts << m.text;
        return texts;
    }

    arkavo::test::TempDir root;
    std::unique_ptr<TForm1> form;
    QList<MessageRecord> shown;
    MsgAnswer answer = MsgAnswer::Yes;
};
