#include "TFormImgProcSetting.h"

#include "Globals.h"
#include "Quietly.h"
#include "TSpinEdit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int kFieldWidth = 70;

QLabel *newLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

} // namespace

TFormImgProcSetting::TFormImgProcSetting(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormImgProcSetting"));
    setWindowTitle(QStringLiteral("图像处理设置"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    TSpinEdit **fields[] = {&spinedt_Noise_S,
                            &spinedt_Noise_M,
                            &spinedt_Noise_L,
                            &spinedt_AutoCrop_EdgeWidth,
                            &spinedt_BlankPage_Threshold,
                            &spinedt_BlankPage_MaxBlack,
                            &spinedt_RemoveBlackBorder_Threshold};
    for (int k = 0; k < ImageProcSettings::KeyCount; ++k) {
        const auto &rule = ImageProcSettings::RuleOf(ImageProcSettings::Key(k));
        auto *field = new TSpinEdit(this);
        field->setObjectName(QString::fromLatin1(rule.field));
        field->SetRange(rule.minimum, rule.maximum);
        field->SetValue(rule.defaultValue);
        field->setFixedWidth(kFieldWidth);
        *fields[k] = field;
    }

    // Every group is a grid whose first column holds the captions. The captions are made as
    // wide as the speck size caption together with its "小", so that the first field of
    // every group sits in one column.
    GroupBox1 = new QGroupBox(QStringLiteral("去污渍"), this);
    GroupBox2 = new QGroupBox(QStringLiteral("智能裁减"), this);
    GroupBox3 = new QGroupBox(QStringLiteral("搜索空白页"), this);
    GroupBox4 = new QGroupBox(QStringLiteral("去黑边"), this);
    QList<QLabel *> captions;
    auto groupGrid = [](QGroupBox *group) {
        auto *grid = new QGridLayout(group);
        grid->setHorizontalSpacing(8);
        grid->setVerticalSpacing(8);
        grid->setContentsMargins(12, 10, 12, 12);
        return grid;
    };
    auto addRow = [&](QGridLayout *grid, int row, const QString &caption, TSpinEdit *field) {
        QLabel *label = newLabel(caption, grid->parentWidget());
        label->setBuddy(field);
        captions.append(label);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        grid->setColumnStretch(grid->columnCount(), 1);
    };

    QGridLayout *noise = groupGrid(GroupBox1);
    QLabel *speckSize = newLabel(QStringLiteral("污渍尺寸（像素）"), GroupBox1);
    QLabel *smallLabel = nullptr;
    noise->addWidget(speckSize, 0, 0);
    const std::pair<const char16_t *, TSpinEdit *> sizes[] = {
        {u"小", spinedt_Noise_S}, {u"中", spinedt_Noise_M}, {u"大", spinedt_Noise_L}};
    int column = 1;
    for (const auto &[name, field] : sizes) {
        QLabel *label = newLabel(QString::fromUtf16(name), GroupBox1);
        label->setBuddy(field);
        if (!smallLabel)
            smallLabel = label;
        else
            label->setContentsMargins(10, 0, 0, 0); // apart from the field before it
        noise->addWidget(label, 0, column++);
        noise->addWidget(field, 0, column++);
    }
    noise->setColumnStretch(column, 1);

    addRow(groupGrid(GroupBox2), 0, QStringLiteral("保留边缘宽度（像素）"), spinedt_AutoCrop_EdgeWidth);
    QGridLayout *blank = groupGrid(GroupBox3);
    addRow(blank, 0, QStringLiteral("灰度阈值"), spinedt_BlankPage_Threshold);
    addRow(blank, 1, QStringLiteral("黑点最大千分比"), spinedt_BlankPage_MaxBlack);
    addRow(groupGrid(GroupBox4), 0, QStringLiteral("灰度阈值"), spinedt_RemoveBlackBorder_Threshold);

    const int spacing = noise->horizontalSpacing();
    int captionWidth = speckSize->sizeHint().width() + spacing + smallLabel->sizeHint().width();
    for (QLabel *label : captions)
        captionWidth = std::max(captionWidth, label->sizeHint().width());
    for (QLabel *label : captions)
        label->setMinimumWidth(captionWidth);
    speckSize->setMinimumWidth(captionWidth - spacing - smallLabel->sizeHint().width());

    btn_Ok = new QPushButton(QStringLiteral("确定"), this);
    btn_Cancel = new QPushButton(QStringLiteral("取消"), this);
    btn_Ok->setObjectName(QStringLiteral("btn_Ok"));
    btn_Cancel->setObjectName(QStringLiteral("btn_Cancel"));
    for (QPushButton *button : {btn_Ok, btn_Cancel}) {
        button->setFlat(true);
        button->setMinimumWidth(80);
    }
    btn_Ok->setDefault(true);
    connect(btn_Ok, &QPushButton::clicked, this, &TFormImgProcSetting::btn_OkClick);
    connect(btn_Cancel, &QPushButton::clicked, this, &TFormImgProcSetting::btn_CancelClick);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btn_Ok);
    buttons->addWidget(btn_Cancel);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(10);
    layout->setContentsMargins(14, 14, 14, 14);
    for (QGroupBox *group : {GroupBox1, GroupBox2, GroupBox3, GroupBox4})
        layout->addWidget(group);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    // The layout fixes the dialog's size: a dialog border, not a resizable frame.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ReadSettings();
    m_committed = Values();
}

ImageProcSettings TFormImgProcSetting::Values() const
{
    ImageProcSettings s;
    for (int k = 0; k < ImageProcSettings::KeyCount; ++k)
        s.SetValue(ImageProcSettings::Key(k), Field(ImageProcSettings::Key(k))->Value());
    return s;
}

TSpinEdit *TFormImgProcSetting::Field(ImageProcSettings::Key key) const
{
    TSpinEdit *const fields[] = {spinedt_Noise_S,
                                 spinedt_Noise_M,
                                 spinedt_Noise_L,
                                 spinedt_AutoCrop_EdgeWidth,
                                 spinedt_BlankPage_Threshold,
                                 spinedt_BlankPage_MaxBlack,
                                 spinedt_RemoveBlackBorder_Threshold};
    return fields[key];
}

void TFormImgProcSetting::SetFields(const ImageProcSettings &values)
{
    for (int k = 0; k < ImageProcSettings::KeyCount; ++k)
        Field(ImageProcSettings::Key(k))->SetValue(values.Value(ImageProcSettings::Key(k)));
}

void TFormImgProcSetting::ReadSettings()
{
    arkavo::Quietly("TFormImgProcSetting::ReadSettings", [this] {
        ImageProcSettings read;
        if (read.Read(ImageProcSettings::FileIn(AppPath)))
            SetFields(read);
    });
}

void TFormImgProcSetting::WriteSettings()
{
    arkavo::Quietly("TFormImgProcSetting::WriteSettings", [this] {
        const QString file = ImageProcSettings::FileIn(AppPath);
        if (!Values().Write(file))
            qCDebug(lcQuiet, "TFormImgProcSetting::WriteSettings: %s could not be written", qPrintable(file));
    });
}

void TFormImgProcSetting::btn_OkClick()
{
    // A field still holding what was typed (OK by Enter, without leaving it) shows the
    // value in force, the one that goes to the file.
    const ImageProcSettings values = Values();
    SetFields(values);
    WriteSettings();
    m_committed = values;
    accept();
}

void TFormImgProcSetting::btn_CancelClick()
{
    // The edits are discarded even when the file cannot be read back: the fields return to
    // what they held when the dialog opened, then take the file's values.
    SetFields(m_committed);
    ReadSettings();
    m_committed = Values();
    QDialog::reject();
}

void TFormImgProcSetting::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_committed = Values();
    if (const QScreen *shownOn = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(shownOn->availableGeometry().center());
        move(frame.topLeft());
    }
    spinedt_AutoCrop_EdgeWidth->setFocus(Qt::OtherFocusReason);
    spinedt_AutoCrop_EdgeWidth->selectAll();
}

void TFormImgProcSetting::reject()
{
    btn_CancelClick();
}
