#include "TFormSetAngle.h"

#include "Messages.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TFormSetAngle::TFormSetAngle(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormSetAngle"));
    setWindowTitle(QStringLiteral("请输入旋转角度"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("角度"), this);
    label->setObjectName(QStringLiteral("Label1"));
    EdtAngle = new QLineEdit(this);
    EdtAngle->setObjectName(QStringLiteral("EdtAngle"));
    row->addWidget(label);
    row->addWidget(EdtAngle, 1);
    layout->addLayout(row);
    auto *buttons = new QHBoxLayout;
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);
    connect(BitBtn1, &QPushButton::clicked, this, &TFormSetAngle::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TFormSetAngle::BitBtn1Click()
{
    bool ok = false;
    EdtAngle->text().trimmed().toDouble(&ok);
    if (ok) {
        accept();
        return;
    }
    Messages::Show(QStringLiteral("请输入旋转角度"), QStringLiteral("提示"), MsgIcon::Information,
                   MsgButtons::Ok, this);
}

double TFormSetAngle::Angle() const
{
    return EdtAngle->text().trimmed().toDouble();
}
