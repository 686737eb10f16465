#pragma once
// The export dialog "文件导出": where the pages of the selected folder or file go, in
// which layout and formats, and with which index listing.
#include "RadioGroup.h"

#include <QDialog>

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class TCatalogContext;
struct ExportOptions;

class TFormExport : public QDialog {
    Q_OBJECT
public:
    TFormExport(TCatalogContext *context, QWidget *parent = nullptr);

    QLabel *lblExporttype;
    QLineEdit *edtSourceFiles;
    QLineEdit *edtExportPath;
    QPushButton *SpeedButton1;
    TRadioGroup *RGExportType;
    TRadioGroup *RGIndex;
    std::array<QComboBox *, 3> CBFileType;     // CBFileType2, CBFileType8, CBFileType24
    std::array<QComboBox *, 3> CBCompressType; // CBCompressType2, CBCompressType8, CBCompressType24
    QPushButton *btn_Ok;
    QPushButton *btn_Cancel;
    QProgressBar *ProgressBar1;

    void FormShow();
    void SpeedButton1Click();
    void RGExportTypeClick();
    // A format list changed: its compression list follows.
    void CBFileTypeChange(int depth);
    void btn_OkClick();

    // The choices as the export takes them.
    ExportOptions Options() const;
    // Whether an export is running (btn_Cancel then cancels it).
    bool Exporting() const { return m_exporting; }

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    void setFixedText(int depth, const QString &text);
    int compressionCode(int depth) const;
    bool refusesDirectory(const QString &dir);
    void runExport();

    TCatalogContext *m_context;
    std::array<bool, 3> m_fixed{false, false, false};
    bool m_exporting = false;
    bool m_cancel = false;
};
