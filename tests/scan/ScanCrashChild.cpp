// A scan into file "A" of folder "F" of file type "T" in the catalogue of the folder given
// (made on first use), from the scanner library's test device: two feeder batches of ten
// sheets appended to the file. Every page that has been filed is noted at once in
// filed.log beside the catalogue, so that whoever kills this program knows what was
// filed when it died.
#include "CatalogSchema.h"
#include "Controls.h"
#include "Globals.h"
#include "Messages.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TImageManager.h"

#include "capteon/CapteonInterface.h"

#include <QApplication>
#include <QTreeWidget>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    AppPath = RootPath = ResourcePath = QString::fromLocal8Bit(argv[1]);
    Messages::SetResponder([](const MessageRecord &) { return MsgAnswer::Ok; });
    ControlRegistry::RegisterControls(QCoreApplication::applicationDirPath() + u'/');
    if (OpenCatalog("Admin", "") != CatalogLogin::LoggedIn)
        return 3;
    TForm1 form;
    auto *panel = new TForm3(
        {form.ImageManager, form.TreeView1, form.ListView1, &form, form.FormImgProcSetting}, nullptr, &form);
    form.ConnectScanPanel(panel);
    if (!panel->Capteon1)
        return 4;
    form.show();
    TImageManager *store = form.ImageManager;
    QTreeWidgetItem *type = store->NewFileType(true);
    QTreeWidgetItem *folder = store->NewFolder(type, "F", true);
    QTreeWidgetItem *file = store->NewFile(folder, "A", true);
    if (!file)
        return 5;

    CapteonControl *scanner = panel->Capteon1;
    scanner->widget()->setProperty("SettingsFile", AppPath + "Capteon.ini");
    scanner->setShowUI(false);
    scanner->setScanner(QStringLiteral("test:0"));
    scanner->setXResolution(100);
    scanner->setYResolution(100);
    scanner->setFeeder(QStringLiteral("ADF"));
    const QByteArray log = (AppPath + "filed.log").toLocal8Bit();
    // Runs after the panel's own handler, which has filed the page by then.
    scanner->onPageDone(&form, [&log](HGLOBAL) {
        const int fd = ::open(log.constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) {
            (void)!::write(fd, "filed\n", 6);
            ::fsync(fd);
            ::close(fd);
        }
    });
    for (int batch = 0; batch < 2; ++batch) {
        form.TreeView1->setCurrentItem(file);
        QCoreApplication::processEvents();
        panel->btn_scan_appendClick();
    }
    return 0;
}
