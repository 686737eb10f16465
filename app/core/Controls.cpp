#include "Controls.h"

#include "Quietly.h"

#include "Messages.h"

#include <QFileInfo>
#include <QPluginLoader>

namespace {

QPluginLoader *&loaderSlot(int which)
{
    static QPluginLoader *loaders[2] = {nullptr, nullptr};
    return loaders[which];
}

QObject *loadControl(int which, const QString &file, const char *failureText)
{
    QPluginLoader *&loader = loaderSlot(which);
    if (!loader)
        loader = new QPluginLoader(file);
    else
        loader->setFileName(file);
    QObject *root = QFileInfo::exists(file) ? loader->instance() : nullptr;
    if (!root)
        Messages::Show(QString::fromUtf8(failureText), QStringLiteral("错误"), MsgIcon::Information);
    return root;
}

} // namespace

void ControlRegistry::RegisterControls(const QString &dir)
{
    // A control that throws while loading is treated like one that is missing.
    arkavo::Quietly("registering the controls", [&] {
        loadControl(0, dir + QStringLiteral("libovisco.so"), "无法注册控件Ovisco.ocx！");
        loadControl(1, dir + QStringLiteral("libcapteon.so"), "无法注册控件Capteon.ocx！");
    });
}

QObject *ControlRegistry::Ovisco()
{
    QPluginLoader *l = loaderSlot(0);
    return l && l->isLoaded() ? l->instance() : nullptr;
}

QObject *ControlRegistry::Capteon()
{
    QPluginLoader *l = loaderSlot(1);
    return l && l->isLoaded() ? l->instance() : nullptr;
}
