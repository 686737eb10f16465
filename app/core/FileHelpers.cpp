#include "FileHelpers.h"

#include "CatalogDatabase.h"
#include "Globals.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QFileInfo>

#include <arkavo/Dib.h>

#include <cstdint>

bool TableExists(const QString &name)
{
    if (!CatalogConnection)
        return false;
    return CatalogConnection->TableNames().contains(name, Qt::CaseSensitive);
}

qint64 DirectorySize(const QString &dir)
{
    qint64 total = 0;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

void EmptyDirectory(const QString &dir)
{
    QDir d(dir);
    const QFileInfoList entries =
        d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &e : entries) {
        if (e.isDir() && !e.isSymLink())
            QDir(e.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(e.absoluteFilePath());
    }
}

QString AbsoluteLocation(const QString &location, const QString &appPath)
{
    if (location.isEmpty() || QDir::isAbsolutePath(location))
        return location;
    if (location == u"~" || location.startsWith(u"~/"))
        return QDir::cleanPath(QDir::homePath() + location.mid(1));
    return QDir::cleanPath(appPath + u'/' + location);
}

int DibBitCount(HGLOBAL dib)
{
    if (!dib)
        return 24;
    const auto *p = static_cast<const uint8_t *>(GlobalLock(dib));
    if (!p)
        return 24;
    const int bits =
        GlobalSize(dib) >= arkavo::dib::BitCount + 2 ? arkavo::readLe16(p + arkavo::dib::BitCount) : 24;
    GlobalUnlock(dib);
    return bits;
}

namespace {
std::function<bool(const QString &, const QString &, QString &)> &selectHook()
{
    static std::function<bool(const QString &, const QString &, QString &)> hook;
    return hook;
}
} // namespace

void SetSelectDirectoryHook(std::function<bool(const QString &, const QString &, QString &)> hook)
{
    selectHook() = std::move(hook);
}

bool SelectDirectory(const QString &title, const QString &root, QString &dir)
{
    if (!QFileInfo(dir).isDir())
        dir.clear();
    if (selectHook())
        return selectHook()(title, root, dir);

    QFileDialog dialog(QApplication::activeWindow(), title, dir.isEmpty() ? root : dir);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.move(150, 130);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    dir = dialog.selectedFiles().constFirst();
    return true;
}
