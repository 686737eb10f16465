#pragma once
// Start-up pieces shared by the program and its tests.
#include <QApplication>
#include <QString>

// The program folder for a program file in programDir: programDir itself when it can be
// written (a build folder, a copy carried around), otherwise "arkavo/" in the user's data
// folder: xdgDataHome when it is an absolute path, else home + "/.local/share". With
// neither, programDir. Every folder given back ends in '/'.
QString ProgramFolderFor(const QString &programDir, bool programDirWritable, const QString &xdgDataHome,
                         const QString &home);

// Sets ResourcePath to the folder of the program file and AppPath to the program folder
// (ProgramFolderFor, created when missing), reads ROOTPATH from the settings file, sets
// RootPath and creates AppPath + "Thumbnail/". Always returns 1.
int LoadStartupSettings();
// The same with an explicit program folder (ending in '/') that holds the resources too.
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
