#include "Startup.h"

#include "FileHelpers.h"
#include "Globals.h"
#include "IniFile.h"
#include "Messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <exception>

namespace {

QString withSlash(const QString &dir)
{
    return dir.endsWith(u'/') ? dir : dir + u'/';
}

int loadSettings(const QString &programFolder, const QString &resourceFolder)
{
    AppPath = withSlash(programFolder);
    ResourcePath = withSlash(resourceFolder);
    const IniFile settings(SettingsFileIn(AppPath));
    const QString root = settings.readString(QStringLiteral("SYSTEM"), QStringLiteral("ROOTPATH"));
    CatalogServer = settings.readString(QStringLiteral("SYSTEM"), QStringLiteral("CATALOGSERVER")).trimmed();
    // Plain concatenation: a value that already ends in '/' gives a doubled separator, which works.
    RootPath = root.isEmpty() ? AppPath : AbsoluteLocation(root, AppPath) + u'/';
    QDir().mkdir(AppPath + QStringLiteral("Thumbnail"));
    return 1;
}

} // namespace

QString ProgramFolderFor(const QString &programDir, bool programDirWritable, const QString &xdgDataHome,
                         const QString &home)
{
    if (programDirWritable)
        return withSlash(programDir);
    // A relative data folder means nothing to the desktop's other programs either: ignored.
    if (!xdgDataHome.isEmpty() && QDir::isAbsolutePath(xdgDataHome))
        return withSlash(xdgDataHome) + QStringLiteral("arkavo/");
    if (!home.isEmpty())
        return withSlash(home) + QStringLiteral(".local/share/arkavo/");
    return withSlash(programDir);
}

int LoadStartupSettingsFrom(const QString &appPath)
{
    return loadSettings(appPath, appPath);
}

int LoadStartupSettings()
{
    const QString programDir = QCoreApplication::applicationDirPath() + u'/';
    // An installed copy is never written to, whoever may write there (root can anywhere).
    const bool installed = QFileInfo::exists(programDir + QStringLiteral("arkavo.installed"));
    const QString folder =
        ProgramFolderFor(programDir, QFileInfo(programDir).isWritable() && !installed,
                         qEnvironmentVariable("XDG_DATA_HOME"), qEnvironmentVariable("HOME"));
    QDir().mkpath(folder);
    return loadSettings(folder, programDir);
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
