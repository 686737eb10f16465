#pragma once
// Small rules shared by the main window's source files.
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>

#include "Clipboard.h"

namespace mainwin {

// The menu bar takes the keyboard while its menus are worked with Alt and the arrow keys;
// menus and the bar never count as the place the user works in.
inline bool isMenuWidget(const QWidget *w)
{
    return qobject_cast<const QMenuBar *>(w) || qobject_cast<const QMenu *>(w);
}

inline bool mimeHasFiles(const QMimeData *mime)
{
    return !LocalFilesIn(mime).isEmpty();
}

} // namespace mainwin
