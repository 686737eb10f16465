#pragma once
// A fresh catalogue in a temporary repository, created by the login.
#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "Globals.h"
#include "Messages.h"

#include "QtApp.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace arkavo::test {

class CatalogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        Messages::ClearShown();
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
        ASSERT_EQ(OpenCatalog(QStringLiteral("Admin"), QString()), CatalogLogin::LoggedIn);
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
