// Loaded into the installed program (LD_PRELOAD) by the package test: writes every message
// box the program shows to $ARKAVO_PROBE_LOG and answers it, notes when the main window is
// up and then ends the program.
#include <QApplication>
#include <QFile>
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

void watch()
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                note(QStringLiteral("message: ") + box->text());
                box->done(QMessageBox::Ok);
            } else if (qstrcmp(w->metaObject()->className(), "TForm1") == 0) {
                note(QStringLiteral("main window"));
                timer->stop();
                QTimer::singleShot(500, qApp, [] { QCoreApplication::exit(0); });
                return;
            }
        }
    });
    timer->start(100);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watch)
