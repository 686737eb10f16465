#pragma once
// Start-up pieces shared by the program and its tests.
#include <QApplication>
#include <QString>

// Sets AppPath to the program's folder, reads ROOTPATH from the settings file,
// sets RootPath and creates AppPath + "Thumbnail/". Always returns 1.
int LoadStartupSettings();
// The same with an explicit program folder (ending in '/').
int LoadStartupSettingsFrom(const QString &appPath);

// Shows an exception that escaped an event handler ("错误", error icon) and lets the program go on.
void ShowException(const std::exception *e);

// The application object: every exception escaping an event handler is shown and the program goes on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
