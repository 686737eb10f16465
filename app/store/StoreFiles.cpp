#include "StoreFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TStoreFiles g_plainFiles;
TStoreFiles *g_files = &g_plainFiles;

QByteArray native(const QString &name)
{
    return QFile::encodeName(name);
}

// A name in Dst's directory that no page listing picks up.
QString scratchNameBeside(const QString &dst)
{
    return QFileInfo(dst).absolutePath() + "/.part-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

bool syncFile(const QString &name)
{
    const int fd = ::open(native(name).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void keepModificationTime(const QString &src, const QString &dst)
{
    struct stat st {};
    if (::stat(native(src).constData(), &st) != 0)
        return;
    const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    ::utimensat(AT_FDCWD, native(dst).constData(), times, 0);
}

} // namespace

bool TStoreFiles::Rename(const QString &oldName, const QString &newName)
{
    // renameat2 with RENAME_NOREPLACE refuses to overwrite; where the file system does not
    // support it, a hard link plus unlink gives the same guarantee.
    if (::renameat2(AT_FDCWD, native(oldName).constData(), AT_FDCWD, native(newName).constData(),
                    RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::link(native(oldName).constData(), native(newName).constData()) != 0)
        return false;
    return ::unlink(native(oldName).constData()) == 0;
}

bool TStoreFiles::Copy(const QString &src, const QString &dst)
{
    const QFileInfo source(src);
    if (!source.isFile())
        return false;
    const QString scratch = scratchNameBeside(dst);
    if (!QFile::copy(src, scratch))
        return false;
    // A thumbnail is current while its time equals its page's, so the copy keeps the
    // source's time; failing that only costs the thumbnail being made again.
    keepModificationTime(src, scratch);
    if (QFileInfo(scratch).size() != source.size() || !syncFile(scratch)) {
        QFile::remove(scratch);
        return false;
    }
    // rename() replaces Dst in one step: a reader sees the old file or the whole copy.
    if (::rename(native(scratch).constData(), native(dst).constData()) != 0) {
        QFile::remove(scratch);
        return false;
    }
    return QFileInfo(dst).size() == source.size();
}

bool TStoreFiles::Remove(const QString &name)
{
    return ::unlink(native(name).constData()) == 0;
}

bool TStoreFiles::WriteFile(const QString &name, const QByteArray &data)
{
    const QString scratch = scratchNameBeside(name);
    QFile file(scratch);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const bool written = file.write(data) == data.size() && file.flush();
    file.close();
    if (!written || !syncFile(scratch) ||
        ::rename(native(scratch).constData(), native(name).constData()) != 0) {
        QFile::remove(scratch);
        return false;
    }
    return true;
}

TStoreFiles &StoreFiles()
{
    return *g_files;
}

void SetStoreFiles(TStoreFiles *files)
{
    g_files = files ? files : &g_plainFiles;
}
