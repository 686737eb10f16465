#pragma once
// File access for the codec: whole files mapped for reading, and output written under
// a temporary name that replaces the target only once it is complete.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace arkavo::codec {

class MappedFile {
public:
    explicit MappedFile(const char *path);
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    // Null for a missing, unreadable, empty or non-regular file.
    const std::uint8_t *data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    const std::uint8_t *m_data = nullptr;
    std::size_t m_size = 0;
};

// A temporary file beside `target`. commit() renames it over the target; otherwise the
// destructor removes it.
class PendingFile {
public:
    explicit PendingFile(const char *target);
    ~PendingFile();
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    bool ok() const { return m_fd >= 0; }
    const std::string &path() const { return m_path; }
    // Hands the descriptor to a library that closes it itself (libtiff).
    int takeFd();
    // A stdio stream over the file; closed by the PendingFile.
    std::FILE *stream();
    bool write(const void *data, std::size_t size);
    // Flushes and closes the file, then renames it over the target.
    bool commit();

private:
    bool closeFile();

    std::string m_target;
    std::string m_path;
    int m_fd = -1;
    std::FILE *m_stream = nullptr;
    bool m_created = false;
    bool m_detached = false;
    bool m_committed = false;
};

// Content type by the file's first bytes.
enum class FileType { Unknown, Tiff, Jpeg, Bmp };
FileType sniff(const std::uint8_t *data, std::size_t size);

} // namespace arkavo::codec
