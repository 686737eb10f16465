#include "Startup.h"

#include "FileHelpers.h"
#include "Globals.h"
#include "IniFile.h"
#include "Messages.h"

#include <QCoreApplication>
#include <QDir>

#include <exception>

int LoadStartupSettingsFrom(const QString &appPath)
{
    AppPath = appPath.endsWith(u'/') ? appPath : appPath + u'/';
    const QString root =
        IniFile(SettingsFileIn(AppPath)).readString(QStringLiteral("SYSTEM"), QStringLiteral("ROOTPATH"));
    // Plain concatenation: a value that already ends in '/' gives a doubled separator, which works.
    RootPath = root.isEmpty() ? AppPath : AbsoluteLocation(root, AppPath) + u'/';
    QDir().mkdir(AppPath + QStringLiteral("Thumbnail"));
    return 1;
}

int LoadStartupSettings()
{
    return LoadStartupSettingsFrom(QCoreApplication::applicationDirPath() + u'/');
}

void ShowException(const std::exception *e)
{
    const QString text = e ? QString::fromUtf8(e->what()) : QStringLiteral("未知错误");
    Messages::Show(text, QStringLiteral("错误"), MsgIcon::Error);
}

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        ShowException(&e);
    } catch (...) {
        ShowException(nullptr);
    }
    return false;
}
