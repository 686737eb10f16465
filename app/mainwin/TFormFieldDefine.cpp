#include "TFormFieldDefine.h"

#include "FileHelpers.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

TFormFieldDefine::TFormFieldDefine(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormFieldDefine"));
    setWindowTitle(QStringLiteral("文件类型属性"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    auto *page = new QWidget(PageControl1);
    page->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(page, QStringLiteral("属性"));

    auto *grid = new QGridLayout(page);
    int row = 0;
    auto addRow = [&](QLabel *&label, QLineEdit *&edit, const char *labelName, const char *editName,
                      const QString &caption, bool readOnly) {
        label = new QLabel(caption, page);
        label->setObjectName(QString::fromLatin1(labelName));
        edit = new QLineEdit(page);
        edit->setObjectName(QString::fromLatin1(editName));
        if (readOnly) {
            edit->setReadOnly(true);
            edit->setFrame(false);
            edit->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
        }
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
    };
    addRow(lblname, edtName, "lblname", "edtName", QStringLiteral("名称"), false);
    addRow(lblLoaction, edtLocation, "lblLoaction", "edtLocation", QStringLiteral("位置"), true);
    SpeedButton10 = new QPushButton(QStringLiteral("选择..."), page);
    SpeedButton10->setObjectName(QStringLiteral("SpeedButton10"));
    SpeedButton10->hide();
    grid->addWidget(SpeedButton10, row - 1, 2);
    addRow(LblfolderN, edtfolderN, "LblfolderN", "edtfolderN", QStringLiteral("文件夹"), true);
    addRow(lblFileN, edtFileN, "lblFileN", "edtFileN", QStringLiteral("文件"), true);
    addRow(lblPictureN, edtPicturen, "lblPictureN", "edtPicturen", QStringLiteral("页面"), true);
    addRow(lblSpace, edtSpace, "lblSpace", "edtSpace", QStringLiteral("占用空间"), true);
    addRow(lblSpaceLeave, edtSpaceLeave, "lblSpaceLeave", "edtSpaceLeave", QStringLiteral("剩余磁盘空间"),
           true);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(1, 280);

    SpeedButton6 = new QPushButton(QStringLiteral("确认"), this);
    SpeedButton6->setObjectName(QStringLiteral("SpeedButton6"));
    SpeedButton6->setDefault(true);
    SpeedButton7 = new QPushButton(QStringLiteral("取消"), this);
    SpeedButton7->setObjectName(QStringLiteral("SpeedButton7"));
    connect(SpeedButton6, &QPushButton::clicked, this, &QDialog::accept);
    connect(SpeedButton7, &QPushButton::clicked, this, &QDialog::reject);
    connect(SpeedButton10, &QPushButton::clicked, this, &TFormFieldDefine::SpeedButton10Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SpeedButton6);
    buttons->addWidget(SpeedButton7);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(440, 320)));
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFormFieldDefine::SetRootMode()
{
    edtName->setReadOnly(true);
    edtName->setFrame(false);
    edtName->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    SpeedButton10->show();
}

void TFormFieldDefine::ClearRow(QLabel *label, QLineEdit *box)
{
    label->clear();
    box->clear();
}

void TFormFieldDefine::SpeedButton10Click()
{
    QString dir = edtLocation->text();
    if (SelectDirectory(QStringLiteral("选择目录"), QString(), dir))
        edtLocation->setText(dir);
}
