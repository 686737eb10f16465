#include "TFormBrightContrast.h"

#include "TForm5.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TFormBrightContrast::TFormBrightContrast(TForm5 *viewer, QWidget *parent) : QDialog(parent), m_viewer(viewer)
{
    setObjectName(QStringLiteral("FormBrightContrast"));
    setWindowTitle(QStringLiteral("亮度与对比度调节"));
    // Dialog border without border icons, above the other windows.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setModal(false);
    auto *layout = new QVBoxLayout(this);
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(Panel1, 1);
    auto *buttons = new QHBoxLayout;
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &TFormBrightContrast::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFormBrightContrast::Button2Click);
}

void TFormBrightContrast::Button1Click()
{
    m_viewer->SettleBrightContrast(true);
    hide();
}

void TFormBrightContrast::Button2Click()
{
    m_viewer->SettleBrightContrast(false);
    hide();
}

// Escape counts as "取消".
void TFormBrightContrast::reject()
{
    Button2Click();
}

void TFormBrightContrast::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}
