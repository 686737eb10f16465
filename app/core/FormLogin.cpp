#include "FormLogin.h"

#include "CatalogDatabase.h"
#include "FileHelpers.h"
#include "Globals.h"
#include "Messages.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

struct TableDef {
    const char *name;
    const char *create;
};

// The catalogue's global tables, created in this order when missing.
const TableDef kTables[] = {
    {"APP",
     "CREATE TABLE APP(APPID INTEGER PRIMARY KEY, APPNAME CHAR(50), FIELDTYPE INTEGER, APPORDER INTEGER)"},
    {"BATCH",
     "CREATE TABLE BATCH(APPID INTEGER, BATCHID INTEGER PRIMARY KEY, BATCHNAME CHAR(50), BATCHORDER "
     "INTEGER, SCANNER CHAR(20) NULL, ARCHIVER CHAR(20) NULL, STATUS INTEGER, CDRLABEL CHAR(30) NULL)"},
    {"SCANTYPE",
     "CREATE TABLE SCANTYPE(TYPENAME CHAR(50) PRIMARY KEY,TYPEORDER INTEGER, DESKEW CHAR(1),AUTOCROP "
     "CHAR(1),CROPBLACKBOX CHAR(1),INVERSE CHAR(1),ROTATE CHAR(1), CUTMODE INTEGER)"},
    {"FIELDDEFINE", "CREATE TABLE FIELDDEFINE(APPID INTEGER , INNAME CHAR(10), OUTNAME CHAR(50), FIELDTYPE "
                    "INTEGER, FIELDLENGTH INTEGER, ISREQUIRED INTEGER, FIELDORDER INTEGER)"},
    {"USERS",
     "Create table USERS(USERNAME CHAR(20) PRIMARY KEY, CIPHER CHAR(20), DESCRIPTION CHAR(50), USERTYPE "
     "CHAR(20), STATUS INTEGER, IPADDR CHAR(20), COMPUTERNAME CHAR(20))"},
    {"AUTH", "Create table AUTH(APPID INTEGER, BATCHID INTEGER, USERNAME CHAR(20), INVISIBLE INTEGER, "
             "CONFIDELEVEL INTEGER NULL)"},
    {"CONFIDE", "Create table CONFIDE(ID INTEGER, NAME CHAR(20))"},
};

const char *const kInitialUser = "INSERT INTO USERS VALUES('ADMIN', '', '', '系统管理员', 0, '', '')";
const char *const kConnectFailed = "无法连接到服务器，请检查服务器是否开启或帐号是否正确！";

} // namespace

QString CatalogDatabaseFile()
{
    return RootPath + QStringLiteral("data/imaging.mdb");
}

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

bool TFormLogin::createMissingTables()
{
    for (const TableDef &t : kTables) {
        if (TableExists(QString::fromLatin1(t.name)))
            continue;
        if (!CatalogQuery->ExecSQL(QString::fromUtf8(t.create)))
            return false;
        if (qstrcmp(t.name, "USERS") == 0 && !CatalogQuery->ExecSQL(QString::fromUtf8(kInitialUser)))
            return false;
    }
    return true;
}

bool TFormLogin::Button1Click()
{
    const QString user = Edit1->text().trimmed().toUpper();
    const QString password = Edit2->text().trimmed().toUpper();
    m_server = Edit3->text().trimmed();

    const QString dbFile = CatalogDatabaseFile();
    if (!QFileInfo::exists(dbFile)) {
        QDir().mkdir(RootPath + QStringLiteral("data"));
        if (!TCatalogConnection::CreateDatabaseFile(dbFile)) {
            Messages::Show(QStringLiteral("创建数据库错误！"), QStringLiteral("提示"), MsgIcon::Information);
            return false;
        }
    }

    CatalogConnection->disconnect();
    hide();
    if (!CatalogConnection->Connect(dbFile)) {
        showFailure(QString::fromUtf8(kConnectFailed), Edit3);
        return false;
    }

    if (user == u"ADMIN") {
        CatalogQuery->setExpectsNoRecords(true);
        const bool created = createMissingTables();
        CatalogQuery->setExpectsNoRecords(false);
        if (!created) {
            CatalogConnection->disconnect();
            return false;
        }
    }

    // The user name is bound, never pasted into the statement.
    if (!CatalogQuery->Open(QStringLiteral("select * from users where username = :p1"),
                            {{QStringLiteral(":p1"), user}})) {
        showFailure(QString::fromUtf8(kConnectFailed), Edit1);
        return false;
    }
    if (CatalogQuery->Eof()) {
        CatalogQuery->Close();
        showFailure(QStringLiteral("该帐号不存在，请检查输入是否正确！"), Edit1);
        return false;
    }
    const QString cipher = CatalogQuery->FieldText(QStringLiteral("Cipher"));
    CatalogQuery->Close();
    if (cipher != TrimRight(password)) {
        showFailure(QStringLiteral("帐号密码错误，请检查输入是否正确！"), Edit2);
        return false;
    }
    setResult(QDialog::Accepted);
    accept();
    return true;
}
