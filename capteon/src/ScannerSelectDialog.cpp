#include "ScannerSelectDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScopeGuard>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace arkavo::capteon {

ScannerSelectDialog::ScannerSelectDialog(Lister lister, const QString &currentName, QWidget *parent)
    : QDialog(parent), m_lister(std::move(lister)), m_current(currentName)
{
    setObjectName(QStringLiteral("CapteonSelect"));
    setWindowTitle(QStringLiteral("选择扫描仪"));
    auto *layout = new QVBoxLayout(this);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("DeviceList"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels(
        {QStringLiteral("厂商"), QStringLiteral("型号"), QStringLiteral("类型"), QStringLiteral("设备")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list, 1);

    auto *row = new QHBoxLayout;
    auto *refreshButton = new QPushButton(QStringLiteral("刷新"), this);
    refreshButton->setObjectName(QStringLiteral("btnRefresh"));
    row->addWidget(refreshButton);
    row->addStretch(1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setText(QStringLiteral("确定"));
    m_ok->setObjectName(QStringLiteral("btnOk"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    row->addWidget(buttons);
    layout->addLayout(row);

    connect(refreshButton, &QPushButton::clicked, this, &ScannerSelectDialog::refresh);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        m_ok->setEnabled(item && item->data(0, Qt::UserRole).isValid());
    });
    resize(560, 300);
    refresh();
}

void ScannerSelectDialog::refresh()
{
    // Keep what the operator picked across a refresh.
    if (DeviceInfo d = selected(); !d.name.isEmpty())
        m_current = d.name;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        m_devices = m_lister();
    }
    m_list->clear();
    QTreeWidgetItem *current = nullptr;
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        const DeviceInfo &d = m_devices[i];
        auto *item = new QTreeWidgetItem(m_list, {d.vendor, d.model, d.type, d.name});
        item->setData(0, Qt::UserRole, int(i));
        if (d.name == m_current || (!current && i == 0))
            current = item;
    }
    if (m_devices.empty()) {
        auto *item = new QTreeWidgetItem(m_list, {QStringLiteral("没有找到扫描仪")});
        item->setFlags(Qt::NoItemFlags);
    }
    m_list->setCurrentItem(current);
    m_ok->setEnabled(current != nullptr);
}

DeviceInfo ScannerSelectDialog::selected() const
{
    QTreeWidgetItem *item = m_list ? m_list->currentItem() : nullptr;
    if (!item || !item->data(0, Qt::UserRole).isValid())
        return {};
    const int i = item->data(0, Qt::UserRole).toInt();
    return i >= 0 && std::size_t(i) < m_devices.size() ? m_devices[std::size_t(i)] : DeviceInfo{};
}

} // namespace arkavo::capteon
