#include "Files.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace arkavo::codec {

MappedFile::MappedFile(const char *path)
{
    if (!path || !*path)
        return;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        void *p = ::mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) {
            m_data = static_cast<const std::uint8_t *>(p);
            m_size = std::size_t(st.st_size);
        }
    }
    ::close(fd);
}

MappedFile::~MappedFile()
{
    if (m_data)
        ::munmap(const_cast<std::uint8_t *>(m_data), m_size);
}

PendingFile::PendingFile(const char *target)
{
    if (!target || !*target)
        return;
    m_target = target;
    // A short hidden name in the target's folder, so that the rename stays within one
    // file system and a target name near the length limit still works.
    const std::size_t slash = m_target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : m_target.substr(0, slash + 1);
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 16 && m_fd < 0; ++attempt) {
        m_path = folder + ".codec-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    m_created = m_fd >= 0;
}

PendingFile::~PendingFile()
{
    closeFile();
    if (m_created && !m_committed)
        ::unlink(m_path.c_str());
}

int PendingFile::takeFd()
{
    if (m_stream || m_fd < 0)
        return -1;
    m_detached = true;
    return std::exchange(m_fd, -1);
}

std::FILE *PendingFile::stream()
{
    if (!m_stream && m_fd >= 0)
        m_stream = ::fdopen(m_fd, "wb");
    return m_stream;
}

bool PendingFile::write(const void *data, std::size_t size)
{
    const char *p = static_cast<const char *>(data);
    while (size > 0 && m_fd >= 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= std::size_t(n);
    }
    return m_fd >= 0;
}

bool PendingFile::closeFile()
{
    bool good = true;
    if (m_stream) {
        good = std::fflush(m_stream) == 0 && !std::ferror(m_stream);
        good = std::fclose(m_stream) == 0 && good;
        m_stream = nullptr;
        m_fd = -1;
    } else if (m_fd >= 0) {
        good = ::close(m_fd) == 0;
        m_fd = -1;
    }
    return good;
}

bool PendingFile::commit()
{
    if (!m_created || m_committed || (m_fd < 0 && !m_detached))
        return false;
    if (!closeFile())
        return false;
    if (::rename(m_path.c_str(), m_target.c_str()) != 0)
        return false;
    m_committed = true;
    return true;
}

FileType sniff(const std::uint8_t *data, std::size_t size)
{
    if (!data || size < 4)
        return FileType::Unknown;
    if ((data[0] == 'I' && data[1] == 'I' && (data[2] == 42 || data[2] == 43) && data[3] == 0) ||
        (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && (data[3] == 42 || data[3] == 43)))
        return FileType::Tiff;
    if (data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return FileType::Jpeg;
    if (data[0] == 'B' && data[1] == 'M')
        return FileType::Bmp;
    return FileType::Unknown;
}

} // namespace arkavo::codec
