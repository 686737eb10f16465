#pragma once
// A catalogue in a temporary repository with a tree, a page list and the store on them.
#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "Globals.h"
#include "Messages.h"
#include "PageListView.h"
#include "StoreFiles.h"
#include "TImageManager.h"

#include "QtApp.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTreeWidget>

#include "CatalogBackends.h"

#include <gtest/gtest.h>

#include <memory>

namespace store_test {

// Every suite on it runs on an SQLite file and on a database of the test server; instantiate with
// INSTANTIATE_TEST_SUITE_P(Backends, Suite, CatalogBackends(), CatalogBackendName).
class StoreTest : public ::testing::TestWithParam<arkavo::test::CatalogBackend> {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        Messages::ClearShown();
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
        if (GetParam() == arkavo::test::CatalogBackend::Postgres)
            ARKAVO_NEW_SERVER_CATALOG(CatalogServer);
        ASSERT_EQ(OpenCatalog("Admin", ""), CatalogLogin::LoggedIn);
        tree = std::make_unique<QTreeWidget>();
        list = std::make_unique<TPageListView>();
        list->resize(1000, 800);
        store = std::make_unique<TImageManager>(tree.get(), CatalogConnection, list.get());
    }
    void TearDown() override
    {
        SetStoreFiles(nullptr);
        store.reset();
        list.reset();
        tree.reset();
        Messages::SetResponder(nullptr);
        DestroyCatalogObjects();
        CatalogServer.clear();
    }

    void exec(const QString &sql) { ASSERT_TRUE(CatalogConnection->Execute(sql)) << sql.toStdString(); }
    void addType(int id, const QString &name, int order)
    {
        exec(QString("INSERT INTO APP VALUES(%1, %2, 0, %3)").arg(id).arg(QuotedSqlText(name)).arg(order));
    }
    // Status "NULL" stores no status.
    void addFolder(int appId, int id, const QString &name, int order, const QString &status = "1")
    {
        exec(QString("INSERT INTO BATCH (APPID, BATCHID, BATCHNAME, BATCHORDER, STATUS) VALUES(%1, %2, %3, "
                     "%4, %5)")
                 .arg(appId)
                 .arg(id)
                 .arg(QuotedSqlText(name))
                 .arg(order)
                 .arg(status));
        exec(CatalogSchema::CreateImgTableSql(appId, id));
    }
    void addFile(int appId, int batchId, int id, const QString &name, int order)
    {
        exec(QString("INSERT INTO %1 VALUES(%2, %3, %4)")
                 .arg(CatalogSchema::ImgTableName(appId, batchId))
                 .arg(id)
                 .arg(QuotedSqlText(name))
                 .arg(order));
    }

    QString imagesDir(const QString &rel) const { return RootPath + "Images/" + rel; }

    static void writeFile(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(content);
    }
    static QByteArray readFile(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The directory's file names (sorted by name) each followed by "=" and its content.
    static QStringList dirContent(const QString &dir)
    {
        QStringList out;
        for (const QString &name : QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name))
            out << name + "=" + QString::fromUtf8(readFile(dir + "/" + name));
        return out;
    }

    QTreeWidgetItem *rootNode() const { return tree->topLevelItem(0); }
    QStringList captions() const
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

    arkavo::test::TempDir root;
    std::unique_ptr<QTreeWidget> tree;
    std::unique_ptr<TPageListView> list;
    std::unique_ptr<TImageManager> store;
};

} // namespace store_test
