#pragma once
// "图像处理设置": the cleaning parameters of the image commands and the scan pipeline.
// Created once at start-up; its fields are the values in force, the file is read when it
// is created and on Cancel, and written on OK.
#include "ImageProcSettings.h"

#include <QDialog>

class QGroupBox;
class QPushButton;
class TSpinEdit;

class TFormImgProcSetting : public QDialog {
    Q_OBJECT
public:
    // Reads the settings file of AppPath into the fields.
    explicit TFormImgProcSetting(QWidget *parent = nullptr);

    // The fields' current values, each clamped to its range.
    ImageProcSettings Values() const;
    TSpinEdit *Field(ImageProcSettings::Key key) const;

    // The file into the fields (defaults for missing keys); failures leave the fields as they are.
    void ReadSettings();
    // All seven fields to the file; failures are passed over.
    void WriteSettings();

    void btn_OkClick();
    void btn_CancelClick();

    TSpinEdit *spinedt_Noise_S, *spinedt_Noise_M, *spinedt_Noise_L;
    TSpinEdit *spinedt_AutoCrop_EdgeWidth;
    TSpinEdit *spinedt_BlankPage_Threshold, *spinedt_BlankPage_MaxBlack;
    TSpinEdit *spinedt_RemoveBlackBorder_Threshold;
    QGroupBox *GroupBox1, *GroupBox2, *GroupBox3, *GroupBox4;
    QPushButton *btn_Ok, *btn_Cancel;

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override; // Escape and the close box: as Cancel

private:
    void SetFields(const ImageProcSettings &values);

    // The values in force when the dialog was last opened or confirmed: what Cancel returns to.
    ImageProcSettings m_committed;
};
