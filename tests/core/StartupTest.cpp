#include "FormFlash.h"
#include "FormLogin.h"
#include "Globals.h"
#include "Messages.h"
#include "Startup.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <stdexcept>

#include <gtest/gtest.h>

namespace {

TApplication *app()
{
    static int argc = 1;
    static char name[] = "arkavo-test";
    static char *argv[] = {name, nullptr};
    static auto *instance = new TApplication(argc, argv);
    return instance;
}

class Thrower : public QObject {
protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("页面文件不可读");
        return QObject::event(e);
    }
};

} // namespace

TEST(Startup, EscapedExceptionIsShownAndTheProgramGoesOn)
{
    app();
    Messages::ClearShown();
    Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
    Thrower t;
    QEvent ev(QEvent::User);
    QCoreApplication::sendEvent(&t, &ev);
    ASSERT_EQ(Messages::Shown().size(), 1);
    EXPECT_EQ(Messages::Shown()[0].text, "页面文件不可读");
    EXPECT_EQ(Messages::Shown()[0].caption, "错误");
    EXPECT_EQ(Messages::Shown()[0].icon, MsgIcon::Error);
    Messages::SetResponder(nullptr);
}

TEST(Startup, SplashIsItsPictureAndClosesOnClick)
{
    app();
    TFormFlash flash;
    flash.show();
    EXPECT_EQ(flash.size(), QSize(530, 410));
    EXPECT_EQ(flash.Image1->pixmap().size(), QSize(530, 410));
    EXPECT_TRUE(flash.windowFlags() & Qt::FramelessWindowHint);
    QTest::mouseClick(flash.Image1, Qt::LeftButton);
    EXPECT_FALSE(flash.isVisible());
}

TEST(Startup, LoginWindowControls)
{
    app();
    TFormLogin login;
    EXPECT_EQ(login.windowTitle(), "系统登录");
    EXPECT_EQ(login.Label3->text(), "服务器(&S)");
    EXPECT_EQ(login.Label1->text(), "用户名(&U)");
    EXPECT_EQ(login.Label2->text(), "密码(&P)");
    EXPECT_EQ(login.Label1->buddy(), login.Edit1);
    EXPECT_EQ(login.Edit2->echoMode(), QLineEdit::Password);
    EXPECT_EQ(login.Button1->text(), "登 录");
    EXPECT_TRUE(login.Button1->isDefault());
    EXPECT_EQ(login.Button2->text(), "退 出");
    EXPECT_TRUE(login.Edit1->text().isEmpty());
    EXPECT_TRUE(login.Edit3->text().isEmpty());
    EXPECT_FALSE(login.windowFlags() & Qt::WindowCloseButtonHint);

    login.show();
    QTest::keyClick(login.Edit1, Qt::Key_Escape);
    EXPECT_FALSE(login.isVisible());
    EXPECT_EQ(login.result(), QDialog::Rejected);
    DestroyCatalogObjects();
}
