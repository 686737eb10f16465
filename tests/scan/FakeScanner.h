#pragma once
// A scanner control that delivers prepared pages: each Scan hands the queued sheets to
// the page handler one by one, as the real control does, and checks afterwards that the
// handler left every block it was given intact (the control owns them).
#include "capteon/CapteonInterface.h"

#include <arkavo/GlobalBlock.h>

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace arkavo::test {

class FakeScanner : public CapteonControl {
public:
    explicit FakeScanner(QWidget *parent) : m_widget(new QWidget(parent)) { m_widget->hide(); }

    // Sheets for the next Scan, in feeder order.
    std::vector<GlobalBlock> Sheets;
    int Delivered = 0;  // pages handed to the handler in the last scan
    bool Intact = true; // every block was still whole after the handler returned
    int Scans = 0;

    QWidget *widget() override { return m_widget; }
    int imagewidth() const override { return 0; }
    int imageheight() const override { return 0; }
    bool Duplex() const override { return false; }
    void setDuplex(bool) override {}
    int XResolution() const override { return m_dpi; }
    void setXResolution(int dpi) override { m_dpi = dpi; }
    int YResolution() const override { return m_dpi; }
    void setYResolution(int dpi) override { m_dpi = dpi; }
    short PageCount() const override { return 0; }
    QString ImagePath() const override { return {}; }
    void setImagePath(const QString &) override {}
    QString PaperSize() const override { return {}; }
    void setPaperSize(const QString &) override {}
    QString Feeder() const override { return {}; }
    void setFeeder(const QString &) override {}
    short Brightness() const override { return 0; }
    void setBrightness(short) override {}
    short Contrast() const override { return 0; }
    void setContrast(short) override {}
    short Threshold() const override { return 0; }
    void setThreshold(short) override {}
    bool ShowUI() const override { return m_showUI; }
    void setShowUI(bool show) override { m_showUI = show; }
    QString Scanner() const override { return m_scanner; }
    void setScanner(const QString &scanner) override { m_scanner = scanner; }
    QWidget *Parent() const override { return m_parent; }
    void setParentWindow(QWidget *window) override { m_parent = window; }
    void setDeviceOption(const QString &, const QString &) override {}

    void Scan() override
    {
        ++Scans;
        Delivered = 0;
        std::vector<GlobalBlock> sheets = std::move(Sheets);
        Sheets.clear();
        for (std::size_t i = 0; i < sheets.size(); ++i) {
            const std::size_t size = sheets[i].size();
            try {
                if (m_handler)
                    m_handler(sheets[i].get());
            } catch (const std::exception &e) {
                throw std::runtime_error(std::string(e.what()) + " (" + std::to_string(sheets.size() - i) +
                                         " sheets read but not delivered)");
            }
            ++Delivered;
            Intact = Intact && sheets[i].size() == size;
        }
    }
    void SelectScanner() override { m_scanner = QStringLiteral("Test Scanner"); }
    void onPageDone(QObject *, std::function<void(HGLOBAL)> handler) override
    {
        m_handler = std::move(handler);
    }
    void onScanDone(QObject *, std::function<void()>) override {}

private:
    QWidget *m_widget;
    QWidget *m_parent = nullptr;
    int m_dpi = 300;
    bool m_showUI = true;
    QString m_scanner;
    std::function<void(HGLOBAL)> m_handler;
};

} // namespace arkavo::test
