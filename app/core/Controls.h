#pragma once
// The two embedded controls (page view and scanner), loaded from the program's
// folder at start-up. Either may be missing; its window then works without it.
#include <QObject>
#include <QString>

class QPluginLoader;

class ControlRegistry {
public:
    // Loads libovisco.so, then libcapteon.so, from Dir; reports each failure with
    // its message and goes on.
    static void RegisterControls(const QString &dir);

    // The plugins' root objects; null when a control could not be loaded.
    static QObject *Ovisco();
    static QObject *Capteon();
};
