#pragma once
// "功能面板": the scan panel. It holds the scanner control, the scan profiles, the cleaning
// options applied to every incoming page, the way the page stream is split into files,
// and the three scan commands; each delivered page is cleaned, written to a temporary
// file and filed into the catalogue through the store.
#include "PageCleaning.h"

#include "globalmem.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class CapteonControl;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TFormImgProcSetting;
class TImageManager;
class TPageListView;

// What the panel works on: the main window's store, tree and page list, the window it
// disables while pages arrive, and the cleaning settings in force.
struct TScanTargets {
    TImageManager *store = nullptr;
    QTreeWidget *tree = nullptr;
    TPageListView *list = nullptr;
    QWidget *mainWindow = nullptr;
    TFormImgProcSetting *settings = nullptr;
    QLabel *status = nullptr; // where a running scan shows its pace; may be null
};

class TForm3 : public QWidget {
    Q_OBJECT
public:
    // Scanner is the control to use; null takes one from the scanner plugin when it is
    // loaded (and none otherwise: the scan commands then do nothing).
    explicit TForm3(const TScanTargets &targets, CapteonControl *scanner = nullptr,
                    QWidget *parent = nullptr);
    ~TForm3() override;

    // Handlers of the panel's controls; the main window's scan commands run the same.
    void btn_scan_appendClick();
    void btn_scan_insertClick();
    void btn_scan_replaceClick();
    void btn_selectscanerClick();
    void SpeedButton2Click(); // save the profile
    void SpeedButton3Click(); // delete the profile
    void ComboBox_TYPENAMEChange();
    void ComboBox_CUTMODEChange();
    void chkbox_ShowScanSetupClick();
    // One page delivered by the scanner: cleaned, split, written to its temporary file and
    // filed. Incoming stays the control's.
    void Capteon1PageDone(HGLOBAL incoming);

    // The options as the panel's controls show them.
    CleaningOptions Cleaning() const;
    CutMode Cut() const;
    // Where scanned pages wait before they are filed (AppPath + "temp/").
    QString TempDir() const;

    // Scan state: set by a scan command, advanced by each filed page.
    uint8_t ScanMode = 1; // 0 insert, 1 append, 2 replace
    QString ScanAppName, ScanBatchName, ScanFileName;
    int32_t ScanPageNo = 0;
    int32_t PagesPerFile = 999999;

    CapteonControl *Capteon1 = nullptr;
    QTabWidget *PageControl1;
    QWidget *TabSheet1;
    QLineEdit *edtScanerName;
    QPushButton *btn_selectscaner;
    QGroupBox *GroupBox1;
    QComboBox *ComboBox_TYPENAME;
    QToolButton *SpeedButton2, *SpeedButton3;
    QCheckBox *chkbox_CROPBLACKBOX, *chkbox_DESKEW, *chkbox_AUTOCROP, *chkbox_INVERSE;
    QComboBox *ComboBox_ROTATE, *ComboBox_CUTMODE;
    QSpinBox *SpinEdit1;
    QLabel *Label1;
    QCheckBox *chkbox_ShowScanSetup;
    QPushButton *btn_scan_replace, *btn_scan_insert, *btn_scan_append;

signals:
    // The panel was shown or hidden (the main window's check mark and layout follow).
    void VisibilityChanged(bool shown);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildControls();
    void loadProfiles();
    void showScannerName();
    // The scan frame: the list takes the focus, the window is disabled while Scan runs.
    void runScan();
    // Files the page waiting at Path; MadeFile is the file node made for it, if any.
    void filePage(const QString &path, QTreeWidgetItem *madeFile);

    // Runs Job on the panel's worker thread while the window keeps painting.
    void awayFromTheWindow(const std::function<void()> &job);
    class PageWorker;
    struct PageWorkerEnd {
        void operator()(PageWorker *worker) const;
    };
    std::unique_ptr<PageWorker, PageWorkerEnd> m_worker;
    // Pages filed by the running scan and the time since it began, for its pace.
    void showPace();
    TScanTargets m_targets;
    int m_filedThisScan = 0;
    QElapsedTimer m_scanClock;
};
