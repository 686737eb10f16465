#pragma once
// Pictures of the program's own windows for the user's guide, taken offscreen on a small
// catalogue made for the purpose. Each window is one entry of a table: what to do before
// the picture (select a node, switch a mode), and either the widget to photograph or the
// command that opens the dialog to photograph.
#include <QImage>
#include <QMap>
#include <QString>

// Every picture by its name ("main", "scan", ...); a window that cannot be shown is
// missing from the map and reported on standard error.
QMap<QString, QImage> TakeGuideShots(const QString &scratchDir);
