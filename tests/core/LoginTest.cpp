#include "CatalogDatabase.h"
#include "FileHelpers.h"
#include "FormLogin.h"
#include "Globals.h"
#include "Messages.h"

#include "CatalogBackends.h"
#include "QtApp.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

const QStringList kTables = {"APP", "BATCH", "SCANTYPE", "FIELDDEFINE", "USERS", "AUTH", "CONFIDE"};

class Login : public ::testing::Test {
protected:
    void SetUp() override
    {
        arkavo::test::EnsureApp();
        AppPath = RootPath = ResourcePath = QString::fromStdString(root.str());
        Messages::ClearShown();
        Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
    }
    void TearDown() override
    {
        Messages::SetResponder(nullptr);
        DestroyCatalogObjects();
        CatalogServer.clear();
    }

    // Runs the login action the way start-up does, or with the given entries.
    bool login(const QString &user = "Admin", const QString &password = "")
    {
        TFormLogin form;
        form.Edit1->setText(user);
        form.Edit2->setText(password);
        const bool ok = form.Button1Click();
        focus = form.focusWidget() ? form.focusWidget()->objectName() : QString();
        return ok;
    }

    int count(const QString &sql)
    {
        TCatalogQuery q(CatalogConnection);
        return q.Open(sql) && !q.Eof() ? q.FieldByName(q.FieldNames().value(0)).toInt() : -1;
    }

    arkavo::test::TempDir root;
    QString focus;
};

} // namespace

TEST_F(Login, FirstStartCreatesCatalogAndSecondStartAddsNothing)
{
    ASSERT_TRUE(login());
    EXPECT_TRUE(QFile::exists(RootPath + "data/imaging.mdb"));
    for (const QString &t : kTables)
        EXPECT_TRUE(TableExists(t)) << t.toStdString();
    EXPECT_EQ(CatalogConnection->TableNames().size(), kTables.size());
    EXPECT_EQ(count("select count(*) from USERS"), 1);
    EXPECT_EQ(count("select count(*) from USERS where USERNAME='ADMIN' and USERTYPE='系统管理员'"), 1);
    EXPECT_TRUE(Messages::Shown().isEmpty());

    ASSERT_TRUE(login());
    EXPECT_EQ(count("select count(*) from USERS"), 1);
    EXPECT_TRUE(Messages::Shown().isEmpty());
}

TEST_F(Login, MissingTableComesBackAndNothingElseChanges)
{
    ASSERT_TRUE(login());
    ASSERT_TRUE(CatalogConnection->Execute("INSERT INTO APP VALUES(1, 'Letters', 0, 1)"));
    ASSERT_TRUE(CatalogConnection->Execute("DROP TABLE AUTH"));
    ASSERT_FALSE(TableExists("AUTH"));

    ASSERT_TRUE(login("admin"));
    EXPECT_TRUE(TableExists("AUTH"));
    EXPECT_EQ(count("select count(*) from APP"), 1);
    EXPECT_EQ(count("select count(*) from USERS"), 1);
}

TEST_F(Login, OtherUsersNeverCreateTables)
{
    ASSERT_TRUE(login());
    ASSERT_TRUE(CatalogConnection->Execute("INSERT INTO USERS VALUES('CLERK', 'PW', '', '', 0, '', '')"));
    ASSERT_TRUE(CatalogConnection->Execute("DROP TABLE CONFIDE"));
    ASSERT_TRUE(login("clerk", "pw")); // both upper-cased before the check
    EXPECT_FALSE(TableExists("CONFIDE"));
}

TEST_F(Login, FailuresShowTheirMessageAndMoveFocus)
{
    ASSERT_TRUE(login());
    ASSERT_TRUE(CatalogConnection->Execute("INSERT INTO USERS VALUES('CLERK', 'SECRET', '', '', 0, '', '')"));
    ASSERT_TRUE(CatalogConnection->Execute("INSERT INTO USERS VALUES('MIXED', 'Secret', '', '', 0, '', '')"));

    struct Case {
        QString user, password, text, focus;
    };
    const Case cases[] = {
        {"nobody", "", "该帐号不存在，请检查输入是否正确！", "Edit1"},
        {"clerk", "wrong", "帐号密码错误，请检查输入是否正确！", "Edit2"},
        // A stored password with lower-case letters can never match: the entry is upper-cased.
        {"mixed", "Secret", "帐号密码错误，请检查输入是否正确！", "Edit2"},
        // A quote in the name is data, not SQL.
        {"x' or '1'='1", "", "该帐号不存在，请检查输入是否正确！", "Edit1"},
    };
    for (const Case &c : cases) {
        Messages::ClearShown();
        EXPECT_FALSE(login(c.user, c.password));
        ASSERT_EQ(Messages::Shown().size(), 1);
        EXPECT_EQ(Messages::Shown()[0].text, c.text);
        EXPECT_EQ(Messages::Shown()[0].caption, "提示");
        EXPECT_EQ(Messages::Shown()[0].icon, MsgIcon::Information);
        EXPECT_EQ(focus, c.focus) << c.user.toStdString();
    }
    Messages::ClearShown();
    EXPECT_TRUE(login("clerk", " secret "));
    EXPECT_TRUE(Messages::Shown().isEmpty());
}

TEST_F(Login, DamagedCatalogFailsAndStaysAsItWas)
{
    QDir().mkpath(RootPath + "data");
    const QByteArray junk = "this is not a catalogue";
    {
        QFile f(RootPath + "data/imaging.mdb");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(junk);
    }
    EXPECT_FALSE(login());
    ASSERT_EQ(Messages::Shown().size(), 1);
    EXPECT_EQ(Messages::Shown()[0].text, "无法连接到服务器，请检查服务器是否开启或帐号是否正确！");
    EXPECT_EQ(focus, "Edit3");
    QFile f(RootPath + "data/imaging.mdb");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), junk);
}

TEST_F(Login, UncreatableCatalogIsReported)
{
    // A plain file where the data directory should be: the catalogue cannot be created.
    QFile blocker(RootPath + "data");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(login());
    ASSERT_EQ(Messages::Shown().size(), 1);
    EXPECT_EQ(Messages::Shown()[0].text, "创建数据库错误！");
    EXPECT_EQ(Messages::Shown()[0].caption, "提示");
}

// With a catalogue server the first login makes the tables in the empty database and no file; a
// server that cannot be reached gives the connection message and leaves everything as it was.
TEST_F(Login, ServerCatalogIsMadeOnFirstLogin)
{
    ARKAVO_NEW_SERVER_CATALOG(CatalogServer);
    ASSERT_TRUE(login());
    EXPECT_TRUE(CatalogConnection->OnServer());
    for (const QString &t : kTables)
        EXPECT_TRUE(TableExists(t)) << t.toStdString();
    EXPECT_EQ(CatalogConnection->TableNames().size(), kTables.size());
    ASSERT_TRUE(CatalogConnection->Execute("INSERT INTO USERS VALUES('CLERK', 'PW', '', '', 0, '', '')"));
    ASSERT_TRUE(login("clerk", "pw"));
    ASSERT_TRUE(login());
    EXPECT_EQ(count("select count(*) from USERS"), 2);
    EXPECT_EQ(count("select count(*) from USERS where USERNAME='admin' and USERTYPE='系统管理员'"), 1);
    EXPECT_TRUE(Messages::Shown().isEmpty());

    DestroyCatalogObjects();
    CatalogServer = "host=" + RootPath + "nowhere dbname=catalog";
    EXPECT_FALSE(login());
    ASSERT_EQ(Messages::Shown().size(), 1);
    EXPECT_EQ(Messages::Shown()[0].text, "无法连接到服务器，请检查服务器是否开启或帐号是否正确！");
    EXPECT_EQ(focus, "Edit3");
    EXPECT_FALSE(CatalogConnection->Connected());
    EXPECT_TRUE(QDir(RootPath).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}
