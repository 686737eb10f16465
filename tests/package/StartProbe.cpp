// Loaded into the installed program (LD_PRELOAD) by the package test: writes every message
// box the program shows to $ARKAVO_PROBE_LOG and answers it, notes when the main window is
// up and then ends the program. With $ARKAVO_PROBE_IMPORT naming an image file it first
// works as a user would: a new file type, a new folder in it, and the image imported at the
// end of a new file through the program's own open dialog; it ends once the page's thumbnail
// is on disk (or after 20 seconds).
#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

namespace {

void note(const QString &line)
{
    QFile log(qEnvironmentVariable("ARKAVO_PROBE_LOG"));
    if (log.open(QIODevice::Append))
        log.write((line + u'\n').toUtf8());
}

// Answers what the program asks: message boxes, and the open dialog with the image.
void answerDialogs()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible())
            continue;
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            note(QStringLiteral("message: ") + box->text());
            box->done(QMessageBox::Ok);
        } else if (auto *open = qobject_cast<QFileDialog *>(w); open && open->objectName() == u"OpenDialog1") {
            note(QStringLiteral("open dialog"));
            // Typed into the name box, as a user would.
            const QString image = qEnvironmentVariable("ARKAVO_PROBE_IMPORT");
            for (const QString &filter : open->nameFilters())
                if (filter.contains(QStringLiteral("*.") + QFileInfo(image).suffix()))
                    open->selectNameFilter(filter);
            if (auto *name = open->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                name->setText(image);
            QMetaObject::invokeMethod(open, "accept", Qt::QueuedConnection);
        }
    }
}

void trigger(QWidget *window, const char *name)
{
    if (auto *action = window->findChild<QAction *>(QString::fromLatin1(name))) {
        note(QStringLiteral("command: ") + QString::fromLatin1(name));
        action->trigger();
    } else {
        note(QStringLiteral("no command ") + QString::fromLatin1(name));
    }
}

bool thumbnailMade()
{
    const QString folder = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/arkavo/Thumbnail");
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext();
}

void importPage(QWidget *window)
{
    trigger(window, "MN_FILE_NewFileType");
    QTimer::singleShot(300, window, [window] {
        trigger(window, "MN_FILE_NewFolder");
        QTimer::singleShot(300, window, [window] {
            trigger(window, "MN_FILE_AppendImport");
            auto *wait = new QTimer(window);
            auto started = std::make_shared<int>(0);
            QObject::connect(wait, &QTimer::timeout, [wait, started] {
                if (thumbnailMade() || ++*started > 100) {
                    note(thumbnailMade() ? QStringLiteral("thumbnail") : QStringLiteral("no thumbnail"));
                    wait->stop();
                    QCoreApplication::exit(0);
                }
            });
            wait->start(200);
        });
    });
}

void watch()
{
    auto *timer = new QTimer(qApp);
    auto seen = std::make_shared<bool>(false);
    QObject::connect(timer, &QTimer::timeout, [seen] {
        answerDialogs();
        if (*seen)
            return;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && qstrcmp(w->metaObject()->className(), "TForm1") == 0) {
                *seen = true;
                note(QStringLiteral("main window"));
                if (qEnvironmentVariableIsSet("ARKAVO_PROBE_IMPORT"))
                    QTimer::singleShot(300, w, [w] { importPage(w); });
                else
                    QTimer::singleShot(500, qApp, [] { QCoreApplication::exit(0); });
                return;
            }
        }
    });
    timer->start(100);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watch)
