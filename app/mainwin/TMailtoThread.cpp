#include "TMailtoThread.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

QString &BaseOverride()
{
    static QString base;
    return base;
}

const QLatin1String kFolderPrefix("arkavo-mail-");

} // namespace

TMailtoThread::TMailtoThread(QStringList paths, QStringList names)
    : Paths(std::move(paths)), Names(std::move(names))
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

QString TMailtoThread::MailFolderBase()
{
    return BaseOverride().isEmpty() ? QDir::tempPath() : BaseOverride();
}

void TMailtoThread::SetMailFolderBase(const QString &base)
{
    BaseOverride() = base;
}

void TMailtoThread::RemoveOldMailFolders(qint64 maxAgeSecs)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDir base(MailFolderBase());
    const QFileInfoList folders =
        base.entryInfoList({kFolderPrefix + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo &folder : folders) {
        if (folder.ownerId() != uint(getuid()))
            continue;
        if (folder.lastModified().toUTC().secsTo(now) < maxAgeSecs)
            continue;
        QDir(folder.absoluteFilePath()).removeRecursively();
    }
}

void TMailtoThread::run()
{
    const QString mailer = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (mailer.isEmpty() || Paths.isEmpty())
        return;
    // Created with owner-only access; left behind for the mail client, removed later.
    QTemporaryDir folder(MailFolderBase() + u'/' + kFolderPrefix + QStringLiteral("XXXXXX"));
    if (!folder.isValid()) {
        emit Failed(QStringLiteral("无法创建邮件附件的临时文件夹。"));
        return;
    }
    QStringList arguments;
    for (int i = 0; i < Paths.size(); ++i) {
        // Two pages of one name (never in one listing, but cheap to guard) go into
        // numbered subfolders so neither replaces the other.
        QString dir = folder.path();
        for (int n = 2; QFileInfo::exists(dir + u'/' + Names.value(i)); ++n) {
            dir = folder.path() + u'/' + QString::number(n);
            QDir().mkpath(dir);
        }
        const QString attachment = dir + u'/' + Names.value(i);
        if (!QFile::copy(Paths[i], attachment)) {
            emit Failed(QStringLiteral("无法准备邮件附件“%1”。").arg(Names.value(i)));
            return; // the folder goes with the failure
        }
        arguments << QStringLiteral("--attach") << attachment;
    }
    // The mail client may keep running long after the command; it is not waited for.
    if (!QProcess::startDetached(mailer, arguments)) {
        emit Failed(QStringLiteral("无法启动邮件程序。"));
        return;
    }
    folder.setAutoRemove(false);
}
