#pragma once
// Hands page files to the desktop's mail client as attachments, off the user-interface
// thread: the files are copied under their attachment names ("A-3.tif") into a private
// folder of their own, and xdg-email gets one --attach for each. The thread frees itself.
#include <QString>
#include <QStringList>
#include <QThread>

class TMailtoThread : public QThread {
    Q_OBJECT
public:
    // Paths are the page files, Names their attachment names, in the same order. The
    // lists are kept whole rather than joined, since catalogue names may hold ';'.
    TMailtoThread(QStringList paths, QStringList names);

    const QStringList Paths;
    const QStringList Names;

    // Where the attachment folders go, one "arkavo-mail-XXXXXX" per mail; the system's
    // temporary folder unless a test says otherwise.
    static QString MailFolderBase();
    static void SetMailFolderBase(const QString &base);
    // Removes this user's attachment folders older than MaxAgeSecs. The mail client reads
    // the files when it sends, so they are left alone until well after that.
    static void RemoveOldMailFolders(qint64 maxAgeSecs = 24 * 3600);

signals:
    // The attachments could not be prepared (a full disk, an unreadable page).
    void Failed(const QString &reason);

protected:
    void run() override;
};
