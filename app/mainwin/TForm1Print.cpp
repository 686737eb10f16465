// The main window's print, mail and help commands.
#include "TForm1.h"

#include "BusyCursor.h"
#include "CatalogContext.h"
#include "FormFlash.h"
#include "Globals.h"
#include "IniFile.h"
#include "Messages.h"
#include "PageListView.h"
#include "PagePrinting.h"
#include "Startup.h"
#include "TForm5.h"
#include "TImageManager.h"
#include "TMailtoThread.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QTreeWidget>
#include <QUrl>

#include <exception>

namespace {

PrintRangeKind KindOf(QPrinter::PrintRange range)
{
    switch (range) {
    case QPrinter::Selection:
        return PrintRangeKind::Selection;
    case QPrinter::PageRange:
        return PrintRangeKind::PageRange;
    default:
        return PrintRangeKind::AllPages;
    }
}

} // namespace

void TForm1::MN_FILE_PRINTClick()
{
    const int count = ListView1->count();
    if (count == 0)
        return;
    const bool singlePage = Viewer && m_context->Viewer().open;
    if (singlePage && m_context->Viewer().page >= 0)
        Viewer->ShowPage(m_context->Viewer().page); // settles pending brightness and contrast

    if (!PrintDialog1) {
        auto *printer = new QPrinter(QPrinter::HighResolution);
        PrintDialog1 = new QPrintDialog(printer, this);
        PrintDialog1->setObjectName(QStringLiteral("PrintDialog1"));
        connect(PrintDialog1, &QObject::destroyed, this, [printer] { delete printer; });
    }
    QPrinter *printer = PrintDialog1->printer();

    QList<int> selectedRows;
    for (int row = 0; row < count; ++row)
        if (ListView1->item(row)->isSelected())
            selectedRows << row;
    const PrintRangeOffer offer = PrintRangeFor(SelectedLevel(), count, int(selectedRows.size()));
    PrintDialog1->setMinMax(offer.minPage, offer.maxPage);
    printer->setFromTo(offer.fromPage, offer.toPage);
    PrintDialog1->setOption(QAbstractPrintDialog::PrintPageRange, offer.pageRange);
    PrintDialog1->setOption(QAbstractPrintDialog::PrintSelection, offer.selection);
    // Single-page mode prints the shown page unless told otherwise; thumbnail mode keeps
    // the last print's choice, the selection at first. A choice the dialog cannot offer
    // this time becomes every page.
    auto range = singlePage || m_printRange < 0 ? QPrinter::Selection : QPrinter::PrintRange(m_printRange);
    if ((range == QPrinter::Selection && !offer.selection) ||
        (range == QPrinter::PageRange && !offer.pageRange))
        range = QPrinter::AllPages;
    printer->setPrintRange(range);
    PrintDialog1->setPrintRange(QAbstractPrintDialog::PrintRange(range));

    const bool accepted =
        RunPrintDialog ? RunPrintDialog(PrintDialog1) : PrintDialog1->exec() == QDialog::Accepted;
    if (!accepted)
        return;
    m_printRange = printer->printRange();

    QStringList paths;
    for (int row : RowsToPrint(KindOf(printer->printRange()), printer->fromPage(), printer->toPage(),
                               ListView1->count(), selectedRows))
        paths << ImageManager->GetPagePath(row);
    BusyCursor busy;
    try {
        TPagePrinter(*printer).Print(paths);
    } catch (const std::exception &e) {
        ShowException(&e);
    }
}

void TForm1::MN_FILE_EMAILClick()
{
    QStringList paths, names;
    for (int row = 0; row < ListView1->count(); ++row) {
        QListWidgetItem *item = ListView1->item(row);
        if (!item->isSelected())
            continue;
        const QString path = ImageManager->GetPagePath(row);
        // The caption is a catalogue name and a number; a separator would make it a path.
        QString name = item->text() + u'.' + QFileInfo(path).suffix();
        name.replace(u'/', u'_');
        paths << path;
        names << name;
    }
    if (paths.isEmpty())
        return;
    TMailtoThread::RemoveOldMailFolders();
    auto *thread = new TMailtoThread(paths, names);
    connect(thread, &TMailtoThread::Failed, this,
            [this](const QString &reason) { Messages::Error(reason, this); });
    MailThread = thread;
    thread->start();
}

void TForm1::MN_HELP_CONTENTClick()
{
    // The guide ships with the program, beside the program file.
    const QString help = ResourcePath + QStringLiteral("help.pdf");
    if (QFileInfo(help).isFile())
        QDesktopServices::openUrl(QUrl::fromLocalFile(help));
    else
        Messages::Show(QStringLiteral("帮助文件丢失！"), QStringLiteral("错误"), MsgIcon::Information,
                       MsgButtons::Ok, this);
}

void TForm1::MN_HELP_CHECKNEWVERSIONClick()
{
    const QString address = IniFile(SettingsFileIn(AppPath))
                                .readString(QStringLiteral("SYSTEM"), QString::fromLatin1(kNewVersionKey))
                                .trimmed();
    // Only a web page: the address is handed to whatever the desktop opens it with.
    const QUrl url(address, QUrl::StrictMode);
    if (url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https") && !url.host().isEmpty())
        QDesktopServices::openUrl(url);
}

void TForm1::MN_HELP_ABOUTClick()
{
    TFormFlash flash(this);
    flash.setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    struct Closed : QObject {
        QEventLoop *loop;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Hide)
                loop->quit();
            return false;
        }
    } closed;
    closed.loop = &loop;
    flash.installEventFilter(&closed);
    flash.show();
    loop.exec();
}
