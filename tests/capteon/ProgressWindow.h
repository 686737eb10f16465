#pragma once
// The control's progress window during a scan, as the operator sees and uses it.
#include <QApplication>
#include <QPushButton>
#include <QWidget>

namespace arkavo::test {

inline QWidget *VisibleTopLevel(const char *name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            return w;
    return nullptr;
}

// Clicks Cancel in the progress window; false when the window or its button is
// missing or disabled.
inline bool ClickProgressCancel()
{
    QWidget *progress = VisibleTopLevel("CapteonProgress");
    auto *cancel = progress ? progress->findChild<QPushButton *>(QStringLiteral("btnCancel")) : nullptr;
    if (!cancel || !cancel->isEnabled())
        return false;
    cancel->click();
    return true;
}

} // namespace arkavo::test
