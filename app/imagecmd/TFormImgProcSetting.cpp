#include "TFormImgProcSetting.h"

#include "TSpinEdit.h"

#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

TFormImgProcSetting::TFormImgProcSetting(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormImgProcSetting"));
    setWindowTitle(QStringLiteral("图像处理设置"));
    auto *layout = new QVBoxLayout(this);
    TSpinEdit **fields[] = {&spinedt_Noise_S, &spinedt_Noise_M, &spinedt_Noise_L, &spinedt_AutoCrop_EdgeWidth,
                            &spinedt_BlankPage_Threshold, &spinedt_BlankPage_MaxBlack,
                            &spinedt_RemoveBlackBorder_Threshold};
    for (int k = 0; k < ImageProcSettings::KeyCount; ++k) {
        const auto &rule = ImageProcSettings::RuleOf(ImageProcSettings::Key(k));
        *fields[k] = new TSpinEdit(this);
        (*fields[k])->setObjectName(QString::fromLatin1(rule.field));
        (*fields[k])->SetRange(rule.minimum, rule.maximum);
        (*fields[k])->SetValue(rule.defaultValue);
        layout->addWidget(*fields[k]);
    }
    GroupBox1 = GroupBox2 = GroupBox3 = GroupBox4 = nullptr;
    btn_Ok = new QPushButton(QStringLiteral("确定"), this);
    btn_Cancel = new QPushButton(QStringLiteral("取消"), this);
    layout->addWidget(btn_Ok);
    layout->addWidget(btn_Cancel);
    connect(btn_Ok, &QPushButton::clicked, this, &TFormImgProcSetting::btn_OkClick);
    connect(btn_Cancel, &QPushButton::clicked, this, &TFormImgProcSetting::btn_CancelClick);
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
    TSpinEdit *const fields[] = {spinedt_Noise_S, spinedt_Noise_M, spinedt_Noise_L, spinedt_AutoCrop_EdgeWidth,
                                 spinedt_BlankPage_Threshold, spinedt_BlankPage_MaxBlack,
                                 spinedt_RemoveBlackBorder_Threshold};
    return fields[key];
}

void TFormImgProcSetting::ReadSettings() {}
void TFormImgProcSetting::WriteSettings() {}
void TFormImgProcSetting::btn_OkClick() { accept(); }
void TFormImgProcSetting::btn_CancelClick() { QDialog::reject(); }
void TFormImgProcSetting::showEvent(QShowEvent *event) { QDialog::showEvent(event); }
void TFormImgProcSetting::reject() { btn_CancelClick(); }
