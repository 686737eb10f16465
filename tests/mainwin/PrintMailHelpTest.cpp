// Printing pages to a PDF printer, handing them to the mail client, the help document,
// the new-version address and the about window.
#include "MainWindowFixture.h"

#include "GrayPage.h"
#include "PatternPage.h"
#include "PagePrinting.h"
#include "PageListView.h"
#include "TMailtoThread.h"
#include "codec.h"
#include "IniFile.h"
#include "FormFlash.h"
#include "CatalogContext.h"
#include "TForm5.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include <cstring>

namespace {

// A W × H grey page at Dpi (0 writes none, so the codec's default applies).
void writeGrayTiff(const QString &path, int w, int h, int dpi)
{
    arkavo::GlobalBlock block = arkavo::test::MakeGrayPage(w, h, [](int i) { return uint8_t(i % 251); });
    const TCodecImage image{dpi, dpi, block.get()};
    ASSERT_EQ(SaveTIF(&image, QFile::encodeName(path).constData(), 0, 0), 1);
}

// Output of a poppler tool, or empty when it cannot run.
QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// One pdfimages -list row: the PDF page it is on, its size in pixels and its placement in
// pixels per inch.
struct PdfImage {
    int page, width, height, xppi, yppi;
};
QList<PdfImage> pdfImages(const QString &pdf)
{
    QList<PdfImage> images;
    const QStringList lines = run("pdfimages", {"-list", pdf}).split('\n');
    for (const QString &line : lines.mid(2)) {
        const QStringList f = line.simplified().split(' ');
        if (f.size() < 14 || f[2] == "smask")
            continue;
        images << PdfImage{f[0].toInt(), f[3].toInt(), f[4].toInt(), f[12].toInt(), f[13].toInt()};
    }
    return images;
}
int pdfPages(const QString &pdf)
{
    const QRegularExpressionMatch m =
        QRegularExpression("^Pages:\\s+(\\d+)", QRegularExpression::MultilineOption)
            .match(run("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

class PrintMailHelp : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        QTreeWidgetItem *type = create(form->TreeView1->topLevelItem(0), "MN_FILE_NewFileType");
        folder = create(type, "MN_FILE_NewFolder");
        file = create(folder, "MN_FILE_NewFile");
        dir = RootPath + "Images/新建文件类型(1)/新建文件夹(1)/新建文件(1)/";
        pdf = QString::fromStdString((root / "out.pdf").string());
    }

    // Page files written straight into the file's folder, then the file shown again.
    void showPages(const std::function<void()> &write)
    {
        write();
        select(folder);
        select(file);
        ASSERT_GT(form->ListView1->count(), 0);
    }

    // Count grey pages, page n Width0 + 10 n pixels wide.
    void writePages(int count, int width0 = 100)
    {
        for (int n = 1; n <= count; ++n)
            writeGrayTiff(dir + QString("P%1.tif").arg(n, 7, 10, QChar('0')), width0 + 10 * n, 60, 300);
    }

    // Clicks the page items at Rows, with Ctrl held after the first, as a person selects.
    void clickPages(const QList<int> &rows)
    {
        form->ListView1->clearSelection();
        for (int i = 0; i < rows.size(); ++i) {
            const QRect r = form->ListView1->visualItemRect(form->ListView1->item(rows[i]));
            QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton,
                              i == 0 ? Qt::NoModifier : Qt::ControlModifier, r.center());
        }
    }

    // Prints with the dialog answered by Choose, to a 600 dpi PDF file without margins.
    void print(const std::function<void(QPrintDialog *, QPrinter *)> &choose)
    {
        form->RunPrintDialog = [&](QPrintDialog *dialog) {
            QPrinter *printer = dialog->printer();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            printer->setResolution(600);
            printer->setPageSize(QPageSize(QPageSize::A4));
            printer->setPageMargins(QMarginsF(0, 0, 0, 0));
            choose(dialog, printer);
            return true;
        };
        trigger("MN_FILE_PRINT");
    }

    QTreeWidgetItem *folder = nullptr, *file = nullptr;
    QString dir, pdf;
};

} // namespace

TEST_F(PrintMailHelp, DialogOffersPageNumbersForAFileOnlyAndTheSelectionOnlyWithSelectedPages)
{
    showPages([&] { writePages(3); });
    struct Seen {
        int min, max, from, to;
        bool range, selection;
        QPrinter::PrintRange chosen;
    };
    QList<Seen> seen;
    form->RunPrintDialog = [&](QPrintDialog *d) {
        seen << Seen{d->minPage(),
                     d->maxPage(),
                     d->printer()->fromPage(),
                     d->printer()->toPage(),
                     d->testOption(QAbstractPrintDialog::PrintPageRange),
                     d->testOption(QAbstractPrintDialog::PrintSelection),
                     d->printer()->printRange()};
        return false;
    };
    form->ListView1->clearSelection();
    trigger("MN_FILE_PRINT"); // a file, nothing selected
    clickPages({1});
    trigger("MN_FILE_PRINT"); // a file, one page selected
    select(folder);
    form->ListView1->clearSelection();
    trigger("MN_FILE_PRINT"); // a folder
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen[0].min, 1);
    EXPECT_EQ(seen[0].max, 3);
    EXPECT_EQ(seen[0].from, 1);
    EXPECT_EQ(seen[0].to, 3);
    EXPECT_TRUE(seen[0].range);
    EXPECT_FALSE(seen[0].selection);
    EXPECT_EQ(seen[0].chosen, QPrinter::AllPages); // the first print's selection is not there
    EXPECT_TRUE(seen[1].selection);
    EXPECT_EQ(seen[1].chosen, QPrinter::Selection);
    EXPECT_EQ(seen[2].min, 0);
    EXPECT_EQ(seen[2].max, 0);
    EXPECT_FALSE(seen[2].range);
}

TEST_F(PrintMailHelp, ThumbnailModeKeepsTheLastRangeChoiceAndSinglePageModePresetsTheSelection)
{
    showPages([&] { writePages(2); });
    clickPages({0});
    QList<QPrinter::PrintRange> offered;
    print([&](QPrintDialog *, QPrinter *printer) {
        offered << printer->printRange();
        printer->setPrintRange(QPrinter::PageRange);
    });
    print([&](QPrintDialog *, QPrinter *printer) { offered << printer->printRange(); });
    form->ConnectViewer(new TForm5(form->Context()));
    // A double-click opens the page; its second press is what the view reports as one.
    const QPoint at = form->ListView1->visualItemRect(form->ListView1->item(1)).center();
    QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(form->ListView1->viewport(), Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
    ASSERT_TRUE(form->Context()->Viewer().open);
    print([&](QPrintDialog *, QPrinter *printer) { offered << printer->printRange(); });
    EXPECT_EQ(offered,
              (QList<QPrinter::PrintRange>{QPrinter::Selection, QPrinter::PageRange, QPrinter::Selection}));
    EXPECT_EQ(pdfImages(pdf).size(), 1);
}

TEST_F(PrintMailHelp, ChosenPagesPrintOnePerSheetInListOrder)
{
    // Widths tell the pages apart on paper: page n is 100 + 10 n pixels wide.
    showPages([&] { writePages(5); });
    const struct {
        const char *name;
        QPrinter::PrintRange range;
        int from, to;
        QList<int> clicked, widths;
    } cases[] = {
        {"selection of pages 2 and 4, clicked the other way round",
         QPrinter::Selection,
         0,
         0,
         {3, 1},
         {120, 140}},
        {"page numbers 2 to 3", QPrinter::PageRange, 2, 3, {0}, {120, 130}},
        {"every page", QPrinter::AllPages, 0, 0, {4}, {110, 120, 130, 140, 150}},
    };
    for (const auto &c : cases) {
        clickPages(c.clicked);
        print([&](QPrintDialog *, QPrinter *printer) {
            printer->setPrintRange(c.range);
            if (c.range == QPrinter::PageRange)
                printer->setFromTo(c.from, c.to);
        });
        EXPECT_EQ(pdfPages(pdf), c.widths.size()) << c.name;
        QList<int> widths, sheets;
        for (const PdfImage &image : pdfImages(pdf)) {
            widths << image.width;
            sheets << image.page;
        }
        EXPECT_EQ(widths, c.widths) << c.name;
        for (int i = 0; i < sheets.size(); ++i)
            EXPECT_EQ(sheets[i], i + 1) << c.name;
    }
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(PrintMailHelp, A4PageAt300DpiPrintsAtItsPhysicalSize)
{
    showPages([&] {
        arkavo::GlobalBlock page = arkavo::test::MakeA4Page(1);
        const TCodecImage image{300, 300, page.get()};
        ASSERT_EQ(SaveTIF(&image, QFile::encodeName(dir + "P0000001.tif").constData(), 0, 0), 1);
        // No resolution stored: printed as at 200 dpi.
        writeGrayTiff(dir + "P0000002.tif", 400, 200, 0);
    });
    print([](QPrintDialog *, QPrinter *printer) { printer->setPrintRange(QPrinter::AllPages); });
    const QString info = run("pdfinfo", {pdf});
    EXPECT_TRUE(
        info.contains(QRegularExpression("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts \\(A4\\)")))
        << info.toStdString();
    const QList<PdfImage> images = pdfImages(pdf);
    ASSERT_EQ(images.size(), 2);
    EXPECT_EQ(images[0].width, 2480);
    EXPECT_EQ(images[0].height, 3508);
    EXPECT_EQ(images[0].xppi, 300);
    EXPECT_EQ(images[0].yppi, 300);
    EXPECT_EQ(images[1].xppi, 200);
}

TEST_F(PrintMailHelp, UndecodablePageGivesABlankSheetButNoneBeforeTheFirstPrintedPage)
{
    showPages([&] {
        for (int n : {1, 3})
            ASSERT_TRUE(QFile(dir + QString("P000000%1.tif").arg(n)).open(QIODevice::WriteOnly));
        writeGrayTiff(dir + "P0000002.tif", 120, 60, 300);
        writeGrayTiff(dir + "P0000004.tif", 140, 60, 300);
    });
    ASSERT_EQ(form->ListView1->count(), 4);
    print([](QPrintDialog *, QPrinter *printer) { printer->setPrintRange(QPrinter::AllPages); });
    EXPECT_EQ(pdfPages(pdf), 3); // page 2, a blank sheet for page 3, page 4
    const QList<PdfImage> images = pdfImages(pdf);
    ASSERT_EQ(images.size(), 2);
    EXPECT_EQ(images[0].page, 1);
    EXPECT_EQ(images[1].page, 3);
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(PrintMailHelp, PrinterThatCannotStartTheJobIsReported)
{
    showPages([&] { writeGrayTiff(dir + "P0000001.tif", 40, 50, 300); });
    pdf = QString::fromStdString((root / "no such folder" / "out.pdf").string());
    print([](QPrintDialog *, QPrinter *printer) { printer->setPrintRange(QPrinter::AllPages); });
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].caption, "错误");
    EXPECT_EQ(shown[0].icon, MsgIcon::Error);
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(PagePrinting, NaturalSizeTakesAMissingResolutionAsTheCodecsDefault)
{
    struct Case {
        int pixels, deviceDpi, pageDpi, expected;
    } cases[] = {{2480, 600, 300, 4960}, {100, 600, 0, 300}, {3, 600, 400, 5}, {1, 72, 300, 0}};
    for (const Case &c : cases)
        EXPECT_EQ(NaturalSize(c.pixels, c.deviceDpi, c.pageDpi), c.expected) << c.pixels << " " << c.pageDpi;
}

namespace {

// Puts a recording xdg-email first on PATH: it writes its arguments, one a line, to a file.
class FakeMailer {
public:
    explicit FakeMailer(const QString &dir, bool present = true)
        : m_dir(dir + "bin/"), m_record(dir + "mail.txt")
    {
        QDir().mkpath(m_dir);
        if (present) {
            QFile script(m_dir + "xdg-email");
            EXPECT_TRUE(script.open(QIODevice::WriteOnly));
            script.write(QString("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '%1.part'\n"
                                 "mv '%1.part' '%1'\n")
                             .arg(m_record)
                             .toUtf8());
            script.setPermissions(script.permissions() | QFile::ExeOwner);
        }
        m_oldPath = qgetenv("PATH");
        // Without the fake, no xdg-email anywhere on PATH either.
        qputenv("PATH", (m_dir + (present ? ":" + m_oldPath : QString())).toUtf8());
    }
    ~FakeMailer() { qputenv("PATH", m_oldPath.toUtf8()); }
    QString record() const { return m_record; }

private:
    QString m_dir, m_record, m_oldPath;
};

} // namespace

TEST_F(PrintMailHelp, MailAttachesTheSelectedPagesUnderCaptionAndExtension)
{
    QByteArray tiff, jpeg;
    showPages([&] {
        writeGrayTiff(dir + "P0000001.tif", 40, 50, 300);
        arkavo::GlobalBlock block = arkavo::test::MakeGrayPage(40, 50, [](int i) { return uint8_t(i); });
        const TCodecImage image{300, 300, block.get()};
        ASSERT_EQ(SaveJPG(&image, QFile::encodeName(dir + "P0000002.jpg").constData()), 1);
        writeGrayTiff(dir + "P0000003.tif", 40, 50, 300);
        QFile a(dir + "P0000001.tif"), b(dir + "P0000002.jpg");
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        tiff = a.readAll();
        jpeg = b.readAll();
    });
    TMailtoThread::SetMailFolderBase(RootPath);
    FakeMailer mailer(RootPath);
    clickPages({1, 0});
    trigger("PMN_FILE_EMAIL");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(mailer.record()); }, 10000));
    QFile record(mailer.record());
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QStringList args = QString::fromUtf8(record.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(args.size(), 4);
    EXPECT_EQ(args[0], "--attach");
    EXPECT_EQ(args[2], "--attach");
    EXPECT_EQ(QFileInfo(args[1]).fileName(), "新建文件(1)-1.tif");
    EXPECT_EQ(QFileInfo(args[3]).fileName(), "新建文件(1)-2.jpg");
    const auto bytes = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    EXPECT_EQ(bytes(args[1]), tiff);
    EXPECT_EQ(bytes(args[3]), jpeg);
    // A private folder of its own, kept for the mail client and removed once old.
    const QFileInfo folder(QFileInfo(args[1]).path());
    EXPECT_TRUE(folder.fileName().startsWith("arkavo-mail-"));
    EXPECT_EQ(folder.permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->MailThread.isNull(); }, 5000));
    TMailtoThread::RemoveOldMailFolders(3600);
    EXPECT_TRUE(folder.exists());
    TMailtoThread::RemoveOldMailFolders(-1);
    EXPECT_FALSE(QFileInfo::exists(folder.filePath()));
    EXPECT_TRUE(shown.isEmpty());
    TMailtoThread::SetMailFolderBase({});
}

TEST_F(PrintMailHelp, MailWhoseAttachmentsCannotBePreparedSaysSoAndStartsNoMailClient)
{
    showPages([&] { writePages(2); });
    FakeMailer mailer(RootPath);
    QFile plain(RootPath + "plain");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const struct {
        const char *name;
        QString base;
        std::function<void()> spoil;
    } cases[] = {
        {"no folder for the attachments", RootPath + "plain", [] {}},
        {"a page gone meanwhile", RootPath, [&] { QFile::remove(dir + "P0000002.tif"); }},
    };
    for (const auto &c : cases) {
        shown.clear();
        TMailtoThread::SetMailFolderBase(c.base);
        clickPages({0, 1});
        c.spoil();
        trigger("MN_FILE_EMAIL");
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->MailThread.isNull(); }, 5000)) << c.name;
        QCoreApplication::processEvents();
        ASSERT_EQ(shown.size(), 1) << c.name;
        EXPECT_EQ(shown[0].caption, "错误") << c.name;
        EXPECT_FALSE(QFile::exists(mailer.record())) << c.name;
        EXPECT_TRUE(QDir(RootPath).entryList({"arkavo-mail-*"}, QDir::Dirs).isEmpty()) << c.name;
    }
    TMailtoThread::SetMailFolderBase({});
}

TEST_F(PrintMailHelp, MailWithoutXdgEmailDoesNothing)
{
    showPages([&] { writeGrayTiff(dir + "P0000001.tif", 40, 50, 300); });
    TMailtoThread::SetMailFolderBase(RootPath);
    FakeMailer mailer(RootPath, false);
    clickPages({0});
    trigger("MN_FILE_EMAIL");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->MailThread.isNull(); }, 5000));
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_TRUE(QDir(RootPath).entryList({"arkavo-mail-*"}, QDir::Dirs).isEmpty());
    TMailtoThread::SetMailFolderBase({});
}

namespace {

// Records the addresses handed to the desktop.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder()
    {
        for (const char *scheme : {"file", "http", "https"})
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~UrlRecorder() override
    {
        for (const char *scheme : {"file", "http", "https"})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

} // namespace

TEST_F(PrintMailHelp, HelpOpensTheGuideBesideTheProgramOrSaysItIsMissing)
{
    UrlRecorder desktop;
    trigger("MN_HELP_CONTENT");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "帮助文件丢失！");
    EXPECT_EQ(shown[0].caption, "错误");
    EXPECT_EQ(shown[0].icon, MsgIcon::Information);
    EXPECT_TRUE(desktop.urls.isEmpty());

    QFile help(ResourcePath + "help.pdf");
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    QTest::keyClick(form.get(), Qt::Key_H, Qt::ControlModifier);
    ASSERT_EQ(desktop.urls.size(), 1);
    EXPECT_EQ(desktop.urls[0], QUrl::fromLocalFile(ResourcePath + "help.pdf"));
    EXPECT_EQ(shown.size(), 1);
}

TEST_F(PrintMailHelp, NewVersionOpensOnlyAConfiguredWebAddress)
{
    UrlRecorder desktop;
    IniFile settings(SettingsFileIn(AppPath));
    const struct {
        const char *value;
        bool opened;
    } cases[] = {{"", false},
                 {"file:///etc/passwd", false},
                 {"/usr/bin/xterm", false},
                 {"https://example.org/arkavo/", true}};
    for (const auto &c : cases) {
        desktop.urls.clear();
        ASSERT_TRUE(settings.writeString("SYSTEM", TForm1::kNewVersionKey, c.value));
        trigger("MN_HELP_CHECKNEWVERSION");
        EXPECT_EQ(desktop.urls.size(), c.opened ? 1 : 0) << c.value;
        if (c.opened && !desktop.urls.isEmpty()) {
            EXPECT_EQ(desktop.urls[0].toString(), c.value);
        }
    }
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(PrintMailHelp, AboutShowsTheSplashModallyUntilClicked)
{
    bool wasModal = false;
    QTimer::singleShot(100, [&] {
        auto *flash = form->findChild<TFormFlash *>();
        ASSERT_NE(flash, nullptr);
        wasModal = flash->isVisible() && QApplication::activeModalWidget() == flash;
        QTest::mouseClick(flash->Image1, Qt::LeftButton);
    });
    QTest::keyClick(form.get(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(form->findChild<TFormFlash *>(), nullptr);
}

#include "PrintMailHelpTest.moc"
