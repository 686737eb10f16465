#pragma once
// A fresh catalogue in a temporary repository, created by the login: an SQLite file or a
// database of its own on the test server. Suites instantiate it with
// INSTANTIATE_TEST_SUITE_P(Backends, Suite, CatalogBackends(), CatalogBackendName).
#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "Globals.h"
#include "Messages.h"

#include "CatalogBackends.h"
#include "QtApp.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace arkavo::test {

class CatalogFixture : public ::testing::TestWithParam<CatalogBackend> {
protected:
    void SetUp() override
    {
        EnsureApp();
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        Messages::ClearShown();
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
        if (GetParam() == CatalogBackend::Postgres)
            ARKAVO_NEW_SERVER_CATALOG(CatalogServer);
        ASSERT_EQ(OpenCatalog(QStringLiteral("Admin"), QString()), CatalogLogin::LoggedIn);
    }
    void TearDown() override
    {
        Messages::SetResponder(nullptr);
        DestroyCatalogObjects();
        CatalogServer.clear();
    }

    // A trigger Name that makes the database refuse every Event ("UPDATE", "DELETE") on Table.
    static bool refuse(const QString &name, const QString &event, const QString &table)
    {
        if (GetParam() == CatalogBackend::Sqlite)
            return CatalogConnection->Execute(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 BEGIN SELECT "
                                                             "RAISE(ABORT, 'locked'); END")
                                                  .arg(name, event, table));
        return CatalogConnection->Execute(
                   QStringLiteral("CREATE OR REPLACE FUNCTION refuse() RETURNS trigger "
                                  "LANGUAGE plpgsql AS 'BEGIN RAISE EXCEPTION ''locked''; END'")) &&
               CatalogConnection->Execute(
                   QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW EXECUTE "
                                  "FUNCTION refuse()")
                       .arg(name, event, table));
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
