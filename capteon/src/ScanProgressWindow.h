#pragma once
// The small window shown while pages arrive: the page count and a Cancel button.
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace arkavo::capteon {

class ScanProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit ScanProgressWindow(QWidget *owner);

    void setSheet(int sheet, int percent);
    void setPagesDelivered(int pages);
    void setCancelling();

signals:
    void cancelRequested();

private:
    QLabel *m_pages;
    QProgressBar *m_bar;
    QPushButton *m_cancel;
    int m_delivered = 0;
};

// Ties a parentless window to its owner's window, so it stays above it without
// being disabled with it.
void attachToOwner(QWidget *window, QWidget *owner);

} // namespace arkavo::capteon
