#include "ScanProgressWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

namespace arkavo::capteon {

void attachToOwner(QWidget *window, QWidget *owner)
{
    if (!owner || !owner->window())
        return;
    window->winId(); // creates the native window so it can have a transient parent
    QWidget *top = owner->window();
    if (window->windowHandle() && top->windowHandle())
        window->windowHandle()->setTransientParent(top->windowHandle());
}

ScanProgressWindow::ScanProgressWindow(QWidget *owner) : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    // Parentless on purpose: the host disables its main window during a scan, and a
    // child window would be disabled with it.
    setObjectName(QStringLiteral("CapteonProgress"));
    setWindowTitle(QStringLiteral("扫描"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto *layout = new QVBoxLayout(this);
    m_pages = new QLabel(QStringLiteral("正在扫描第 1 页…"), this);
    m_pages->setObjectName(QStringLiteral("lblPages"));
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    layout->addWidget(m_pages);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    connect(m_cancel, &QPushButton::clicked, this, &ScanProgressWindow::cancelRequested);
    setMinimumWidth(260);
    attachToOwner(this, owner);
}

void ScanProgressWindow::setSheet(int sheet, int percent)
{
    if (!m_cancel->isEnabled())
        return;
    m_pages->setText(QStringLiteral("正在扫描第 %1 页…（已完成 %2 页）").arg(sheet).arg(m_delivered));
    m_bar->setValue(percent);
}

void ScanProgressWindow::setPagesDelivered(int pages)
{
    m_delivered = pages;
    if (!m_cancel->isEnabled())
        return;
    m_pages->setText(QStringLiteral("已扫描 %1 页").arg(pages));
}

void ScanProgressWindow::setCancelling()
{
    m_cancel->setEnabled(false);
    m_pages->setText(QStringLiteral("正在取消…（已完成 %1 页）").arg(m_delivered));
}

} // namespace arkavo::capteon
