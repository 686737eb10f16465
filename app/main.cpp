// Arkavo's entry point: splash, controls, settings, login, windows, message loop.
#include "Controls.h"
#include "FormFlash.h"
#include "FormLogin.h"
#include "Globals.h"
#include "Startup.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm5.h"
#include "TFormSearch.h"
#include "TFormExport.h"
#include "TMailtoThread.h"

#include <QEventLoop>
#include <QIcon>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QTimer>
#include <QTranslator>

#include <exception>
#include <memory>

namespace {

// Holds the splash for up to three seconds; a click on it ends the wait at once.
void HoldSplash(TFormFlash *flash)
{
    for (int counter = 3; counter > 0; --counter) {
        QCoreApplication::processEvents();
        if (!flash->isVisible())
            return;
        QEventLoop wait;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &wait, [&] {
            if (!flash->isVisible())
                wait.quit();
        });
        QTimer::singleShot(1000, &wait, &QEventLoop::quit);
        tick.start(50);
        wait.exec();
    }
}

} // namespace

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Arkavo"));
    app.setWindowIcon(QIcon(QStringLiteral(":/arkavo/arkavo.png")));
    // The program speaks Chinese; Qt's own dialogs (file choosers, standard buttons) too.
    auto *qtTexts = new QTranslator(&app);
    if (qtTexts->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts);

    std::unique_ptr<TForm1> form1;
    try {
        auto flash = std::make_unique<TFormFlash>();
        flash->show();
        QCoreApplication::processEvents();
        try {
            ControlRegistry::RegisterControls(QCoreApplication::applicationDirPath() + u'/');
            LoadStartupSettings();
            {
                TFormLogin login;
                login.Edit1->setText(QStringLiteral("Admin"));
                login.Edit2->clear();
                login.Button1Click();
            }
        } catch (...) {
            HoldSplash(flash.get());
            throw;
        }
        HoldSplash(flash.get());
        flash.reset();
        // Attachments handed to the mail client long ago are no longer read.
        TMailtoThread::RemoveOldMailFolders();

        form1 = std::make_unique<TForm1>();
        form1->setWindowTitle(QStringLiteral("Arkavo v2.2文档扫描管理系统"));
        // The scan panel, then the viewer (with its brightness and contrast dialog).
        form1->ConnectScanPanel(new TForm3({form1->ImageManager, form1->TreeView1, form1->ListView1,
                                            form1.get(), form1->FormImgProcSetting, form1->StatusPanels[1]},
                                           nullptr, form1.get()));
        form1->ConnectViewer(new TForm5(form1->Context()));
        form1->ConnectSearch(new TFormSearch(form1->ImageManager, form1.get()));
        form1->FormExport = new TFormExport(form1->Context(), form1.get());
        // Without a window manager "maximised" means nothing: cover the screen ourselves.
        if (QScreen *screen = QGuiApplication::primaryScreen())
            form1->setGeometry(screen->availableGeometry());
        form1->showMaximized();
    } catch (const std::exception &e) {
        ShowException(&e);
    } catch (...) {
        ShowException(nullptr);
    }
    if (!form1)
        return 1;
    return app.exec();
}
