#include "FileIdentity.h"

#include <QFile>

#include <sys/stat.h>

FileIdentity FileIdentity::Of(const QString &path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return {true,
            uint64_t(st.st_dev),
            uint64_t(st.st_ino),
            int64_t(st.st_size),
            st.st_mtim.tv_sec,
            st.st_mtim.tv_nsec};
}
