#pragma once
// One QApplication for a whole test program (widget tests run on the offscreen platform).
#include <QApplication>

namespace arkavo::test {

inline QApplication *EnsureApp()
{
    if (auto *existing = qobject_cast<QApplication *>(QCoreApplication::instance()))
        return existing;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "arkavo-test";
    static char *argv[] = {name, nullptr};
    return new QApplication(argc, argv);
}

} // namespace arkavo::test
