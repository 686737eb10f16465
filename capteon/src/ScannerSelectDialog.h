#pragma once
// Lists every scanner the library finds, local and on the network, with vendor,
// model and type; the current choice starts selected.
#include "SaneDevice.h"

#include <QDialog>

#include <functional>

class QPushButton;
class QTreeWidget;

namespace arkavo::capteon {

class ScannerSelectDialog : public QDialog {
    Q_OBJECT
public:
    using Lister = std::function<std::vector<DeviceInfo>()>;

    ScannerSelectDialog(Lister lister, const QString &currentName, QWidget *parent = nullptr);

    // The chosen device; empty name when none.
    DeviceInfo selected() const;

    void refresh();

private:
    Lister m_lister;
    QString m_current;
    std::vector<DeviceInfo> m_devices;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace arkavo::capteon
