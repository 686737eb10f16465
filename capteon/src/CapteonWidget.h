#pragma once
// The scanner control: no pixels of its own, only properties, the two methods and
// the page events. The scan itself runs in ScanWorker; this class sets up the
// device, shows the dialogs and hands pages to the host on the GUI thread.
#include "capteon/CapteonInterface.h"
#include "ScanWorker.h"

#include <QMap>
#include <QPointer>
#include <QWidget>

#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace arkavo::capteon {

class ScanProgressWindow;

class CapteonWidget : public QWidget, public CapteonControl {
    Q_OBJECT
    Q_PROPERTY(int imagewidth READ imagewidth)
    Q_PROPERTY(int imageheight READ imageheight)
    Q_PROPERTY(bool Duplex READ Duplex WRITE setDuplex)
    Q_PROPERTY(int XResolution READ XResolution WRITE setXResolution)
    Q_PROPERTY(int YResolution READ YResolution WRITE setYResolution)
    Q_PROPERTY(short PageCount READ PageCount)
    Q_PROPERTY(QString ImagePath READ ImagePath WRITE setImagePath)
    Q_PROPERTY(QString PaperSize READ PaperSize WRITE setPaperSize)
    Q_PROPERTY(QString Feeder READ Feeder WRITE setFeeder)
    Q_PROPERTY(short Brightness READ Brightness WRITE setBrightness)
    Q_PROPERTY(short Contrast READ Contrast WRITE setContrast)
    Q_PROPERTY(short Threshold READ Threshold WRITE setThreshold)
    Q_PROPERTY(bool ShowUI READ ShowUI WRITE setShowUI)
    Q_PROPERTY(QString Scanner READ Scanner WRITE setScanner)
    Q_PROPERTY(QWidget *Parent READ Parent WRITE setParentWindow)
    // Where the control keeps its choices; by default Capteon.ini beside the program.
    Q_PROPERTY(QString SettingsFile READ settingsFile WRITE setSettingsFile)

public:
    explicit CapteonWidget(QWidget *parent = nullptr);
    ~CapteonWidget() override;

    QWidget *widget() override { return this; }

    int imagewidth() const override { return m_imageWidth; }
    int imageheight() const override { return m_imageHeight; }
    bool Duplex() const override { return m_duplex; }
    void setDuplex(bool duplex) override;
    int XResolution() const override { return m_xDpi; }
    void setXResolution(int dpi) override;
    int YResolution() const override { return m_yDpi; }
    void setYResolution(int dpi) override;
    short PageCount() const override { return short(std::min(m_pageCount, 32767)); }
    QString ImagePath() const override { return m_imagePath; }
    void setImagePath(const QString &path) override;
    QString PaperSize() const override { return m_paperSize; }
    void setPaperSize(const QString &name) override;
    QString Feeder() const override { return m_feeder; }
    void setFeeder(const QString &source) override;
    short Brightness() const override { return m_brightness.value_or(0); }
    void setBrightness(short value) override;
    short Contrast() const override { return m_contrast.value_or(0); }
    void setContrast(short value) override;
    short Threshold() const override { return m_threshold.value_or(0); }
    void setThreshold(short value) override;
    bool ShowUI() const override { return m_showUI; }
    void setShowUI(bool show) override;
    QString Scanner() const override;
    void setScanner(const QString &scanner) override;
    QWidget *Parent() const override { return m_parentWindow; }
    void setParentWindow(QWidget *window) override { m_parentWindow = window; }
    void setDeviceOption(const QString &name, const QString &value) override;

    Q_INVOKABLE void Scan() override;
    Q_INVOKABLE void SelectScanner() override;

    void onPageDone(QObject *context, std::function<void(HGLOBAL)> handler) override;
    void onScanDone(QObject *context, std::function<void()> handler) override;

    QString settingsFile() const { return m_settingsFile; }
    void setSettingsFile(const QString &path);
    // Runs on the worker thread before each sheet; for diagnostics of the device.
    void setSheetHook(ScanWorker::SheetHook hook) { m_sheetHook = std::move(hook); }
    // The device name (not the display name) of the chosen scanner.
    QString deviceName() const { return m_deviceName; }

signals:
    void PageDone(quintptr hBitmap);
    void ScanDone();

private:
    void loadSettings();
    void saveSettings() const;
    SaneLease &lease();
    void configure(SaneDevice &device) const;
    void applyPaper(SaneDevice &device, const QString &paper) const;
    void takeOverDeviceState(const SaneDevice &device);
    void runBatch(std::unique_ptr<SaneDevice> device, bool feeder);
    void onPageReady(quintptr page);
    void deliver(const GlobalBlock &page);
    void stopDelivery();
    [[noreturn]] void rethrowDeliveryError();
    QWidget *owner() const;

    QString m_settingsFile;
    std::unique_ptr<SaneLease> m_lease;

    // Choices, kept in the settings file.
    QString m_deviceName;
    QString m_deviceTitle;
    bool m_showUI = true;
    bool m_duplex = false;
    int m_xDpi = 0;
    int m_yDpi = 0;
    QString m_imagePath;
    QString m_paperSize;
    QString m_feeder;
    std::optional<short> m_brightness;
    std::optional<short> m_contrast;
    std::optional<short> m_threshold;
    QMap<QString, QMap<QString, QString>> m_deviceOptions; // device name -> option -> value

    QPointer<QWidget> m_parentWindow;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    int m_pageCount = 0;

    template <typename F> struct Handler {
        QPointer<QObject> context;
        F function;
    };
    std::vector<Handler<std::function<void(HGLOBAL)>>> m_pageHandlers;
    std::vector<Handler<std::function<void()>>> m_doneHandlers;

    // State of the scan in progress.
    bool m_scanning = false;
    bool m_delivering = false;
    bool m_stopped = false; // a handler failed: later pages are counted, not delivered
    bool m_cancelRequested = false;
    std::deque<GlobalBlock> m_pending;
    std::exception_ptr m_deliveryError;
    int m_unfiled = 0;      // pages read but not filed since a handler failed
    int m_firstUnfiled = 0; // the failed page's number in the batch
    ScanWorker *m_worker = nullptr;
    ScanProgressWindow *m_progress = nullptr;
    ScanWorker::SheetHook m_sheetHook;
};

} // namespace arkavo::capteon
