#pragma once
// Pictures of the commands, shared by the main window's menus and tool bars and the
// viewer's buttons.
#include <QIcon>
#include <QString>

// Picture for a command: the desktop's icon theme where it has a fitting one,
// otherwise one drawn here.
QIcon CommandIcon(const QString &name);
