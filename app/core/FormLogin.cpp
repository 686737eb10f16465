#include "FormLogin.h"

#include "CatalogSchema.h"
#include "Globals.h"
#include "Messages.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

const char *const kConnectFailed = "无法连接到服务器，请检查服务器是否开启或帐号是否正确！";

} // namespace

TFormLogin::TFormLogin(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormLogin"));
    setWindowTitle(QStringLiteral("系统登录"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    CreateCatalogObjects();

    auto makeRow = [this](QLabel *&label, QLineEdit *&edit, const char *labelName, const char *editName,
                          const QString &caption) {
        label = new QLabel(caption, this);
        label->setObjectName(QString::fromLatin1(labelName));
        edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(editName));
        label->setBuddy(edit);
    };
    makeRow(Label3, Edit3, "Label3", "Edit3", QStringLiteral("服务器(&S)"));
    makeRow(Label1, Edit1, "Label1", "Edit1", QStringLiteral("用户名(&U)"));
    makeRow(Label2, Edit2, "Label2", "Edit2", QStringLiteral("密码(&P)"));
    Edit2->setEchoMode(QLineEdit::Password);
    Edit2->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));

    Button1 = new QPushButton(QStringLiteral("登 录"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("退 出"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto *grid = new QGridLayout;
    grid->addWidget(Label3, 0, 0);
    grid->addWidget(Edit3, 0, 1);
    grid->addWidget(Label1, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(Edit2, 2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(320, 160)));

    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFormLogin::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormLogin::showFailure(const QString &text, QWidget *focus)
{
    show();
    Messages::Show(text, QStringLiteral("提示"), MsgIcon::Information, MsgButtons::Ok, nullptr);
    focus->setFocus();
}

bool TFormLogin::Button1Click()
{
    m_server = Edit3->text().trimmed();
    if (!CreateCatalogFile()) {
        Messages::Show(QStringLiteral("创建数据库错误！"), QStringLiteral("提示"), MsgIcon::Information);
        return false;
    }

    hide();
    switch (OpenCatalog(Edit1->text(), Edit2->text())) {
    case CatalogLogin::LoggedIn:
        setResult(QDialog::Accepted);
        accept();
        return true;
    case CatalogLogin::FileNotCreated: // vanished since it was made above
    case CatalogLogin::NotConnected:
        showFailure(QString::fromUtf8(kConnectFailed), Edit3);
        return false;
    case CatalogLogin::TablesNotCreated:
        return false;
    case CatalogLogin::UserNotRead:
        showFailure(QString::fromUtf8(kConnectFailed), Edit1);
        return false;
    case CatalogLogin::UnknownUser:
        showFailure(QStringLiteral("该帐号不存在，请检查输入是否正确！"), Edit1);
        return false;
    case CatalogLogin::WrongPassword:
        showFailure(QStringLiteral("帐号密码错误，请检查输入是否正确！"), Edit2);
        return false;
    }
    return false;
}
