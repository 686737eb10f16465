// Where the result window lives: docked in its strip under the page area, or floating on
// top of the main window; and the search panel's own events.
#include "TFormSearch.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSplitter>
#include <QTimer>

namespace {

const QPoint kGrip(20, 10); // where a floating window is held, from its frame's corner

} // namespace

void TFormSearch::PlaceResultStrip(QSplitter *pageSplitter)
{
    m_pageSplitter = pageSplitter;
    PanelResult = new QWidget(pageSplitter);
    PanelResult->setObjectName(QStringLiteral("PanelResult"));
    auto *layout = new QVBoxLayout(PanelResult);
    layout->setContentsMargins(0, 0, 0, 0);
    pageSplitter->addWidget(PanelResult);
    pageSplitter->setCollapsible(pageSplitter->indexOf(PanelResult), false);
    PanelResult->hide();
    Dock();
    hide();
}

bool TFormSearch::Docked() const
{
    return PanelResult && parentWidget() == PanelResult;
}

void TFormSearch::ShowResults()
{
    if (Docked()) {
        const bool stripShown = PanelResult->isVisible();
        PanelResult->show();
        PanelTitle->show();
        show();
        if (!stripShown && m_pageSplitter) {
            const int total = m_pageSplitter->height();
            m_pageSplitter->setSizes(
                {std::max(0, total - m_pageSplitter->handleWidth() - StripHeight), StripHeight});
        }
    } else {
        show();
        raise();
    }
}

void TFormSearch::Dock()
{
    if (!PanelResult)
        return;
    const bool wasShown = isVisible();
    m_placing = true;
    setParent(PanelResult, Qt::Widget);
    PanelResult->layout()->addWidget(this);
    m_placing = false;
    PanelTitle->show();
    if (wasShown)
        ShowResults();
}

void TFormSearch::FloatAt(QPoint at)
{
    if (!PanelResult || !Docked())
        return;
    const QSize size(std::max(width(), 600), std::max(height(), 240));
    m_placing = true;
    PanelResult->layout()->removeWidget(this);
    setParent(PanelResult->window(),
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // The window has a title bar of its own.
    PanelTitle->hide();
    resize(size);
    move(at);
    show();
    m_placing = false;
    // The strip leaves the layout while the window floats.
    PanelResult->hide();
}

void TFormSearch::hideResults()
{
    hide();
    if (PanelResult)
        PanelResult->hide();
}

void TFormSearch::closeEvent(QCloseEvent *event)
{
    event->accept();
    hideResults();
}

void TFormSearch::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (m_placing || Docked() || !isWindow() || !isVisible() || !m_pageSplitter)
        return;
    // Dropped over its own strip at the bottom of the page area: docked again. Nothing else
    // takes the window, and the strip takes no other.
    const QRect area(m_pageSplitter->mapToGlobal(QPoint(0, m_pageSplitter->height() - StripHeight)),
                     QSize(m_pageSplitter->width(), StripHeight));
    if (area.contains(frameGeometry().topLeft() + kGrip))
        QMetaObject::invokeMethod(this, &TFormSearch::Dock, Qt::QueuedConnection);
}

bool TFormSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == PanelSearch && event->type() == QEvent::Show) {
        RefreshForNode(selectedNode());
    } else if (watched == EdtKeyword && event->type() == QEvent::FocusIn && !m_keywordTouched) {
        // The prompt text is selected so that typing replaces it.
        m_keywordTouched = true;
        QTimer::singleShot(0, EdtKeyword, [edit = EdtKeyword] { edit->selectAll(); });
    } else if (watched == PanelTitle) {
        switch (event->type()) {
        case QEvent::MouseButtonDblClick:
            m_titlePressed = false;
            FloatAt(mapToGlobal(QPoint(0, 0)) - QPoint(0, 30));
            return true;
        case QEvent::MouseButtonPress: {
            auto *mouse = static_cast<QMouseEvent *>(event);
            m_titlePressed = mouse->button() == Qt::LeftButton;
            m_pressAt = mouse->globalPosition().toPoint();
            break;
        }
        case QEvent::MouseButtonRelease:
            m_titlePressed = false;
            break;
        case QEvent::MouseMove: {
            if (!m_titlePressed || !Docked())
                break;
            const QPoint at = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
            const QRect strip(PanelResult->mapToGlobal(QPoint(0, 0)), PanelResult->size());
            // Pulled out of the strip by more than a drag's distance: the window comes loose.
            if ((at - m_pressAt).manhattanLength() > QApplication::startDragDistance() &&
                !strip.contains(at)) {
                m_titlePressed = false;
                FloatAt(at - kGrip);
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
