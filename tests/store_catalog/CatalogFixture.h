#pragma once
// A fresh catalogue in a temporary repository, created by the start-up login.
#include "CatalogDatabase.h"
#include "FormLogin.h"
#include "Globals.h"
#include "Messages.h"

#include "QtApp.h"
#include <QLineEdit>
#include "TempDir.h"

#include <gtest/gtest.h>

namespace arkavo::test {

class CatalogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        AppPath = RootPath = QString::fromStdString(root.str());
        Messages::ClearShown();
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
        TFormLogin form;
        form.Edit1->setText(QStringLiteral("Admin"));
        ASSERT_TRUE(form.Button1Click());
    }
    void TearDown() override
    {
        Messages::SetResponder(nullptr);
        DestroyCatalogObjects();
    }

    // First column of the first row as text; "<none>" without a row, "<error>" when it fails.
    static QString scalar(const QString &sql)
    {
        TCatalogQuery q(CatalogConnection);
        if (!q.Open(sql))
            return QStringLiteral("<error>");
        if (q.Eof())
            return QStringLiteral("<none>");
        return q.FieldText(q.FieldNames().value(0));
    }
    static int count(const QString &sql) { return scalar(sql).toInt(); }

    static QStringList shownTexts()
    {
        QStringList t;
        for (const MessageRecord &m : Messages::Shown())
            t << m.text;
        return t;
    }

    TempDir root;
};

} // namespace arkavo::test
