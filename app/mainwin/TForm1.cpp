#include "TForm1.h"

#include "Globals.h"

#include <QLabel>
#include <QStatusBar>

TForm1::TForm1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setMinimumSize(800, 600);
    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(status);
}

TForm1::~TForm1()
{
    DestroyCatalogObjects();
}
