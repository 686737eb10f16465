#pragma once
// Folders without write permission refuse writes only to ordinary users, and the tests
// may run as root: while an AsOrdinaryUser lives, the process checks file access as user
// "nobody". The folders the test reads must then be open to everybody.
#include <filesystem>
#include <system_error>

#include <sys/fsuid.h>
#include <unistd.h>

namespace arkavo::test {

class AsOrdinaryUser {
public:
    // Opens every folder from Root down for reading by everybody first.
    explicit AsOrdinaryUser(const std::filesystem::path &root)
    {
        namespace fs = std::filesystem;
        using P = fs::perms;
        const P open = P::owner_all | P::group_read | P::group_exec | P::others_read | P::others_exec;
        fs::permissions(root, open, fs::perm_options::add);
        // Files may come and go meanwhile (a thumbnail being written): those are passed over.
        std::error_code ignored;
        for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied,
                                                        ignored);
             it != fs::recursive_directory_iterator(); it.increment(ignored)) {
            const bool folder = it->is_directory(ignored);
            fs::permissions(it->path(), folder ? open : P::owner_read | P::group_read | P::others_read,
                            fs::perm_options::add, ignored);
        }
        if (geteuid() == 0)
            m_switched = seteuid(65534) == 0;
    }
    ~AsOrdinaryUser()
    {
        if (m_switched)
            (void)seteuid(0);
    }
    AsOrdinaryUser(const AsOrdinaryUser &) = delete;
    AsOrdinaryUser &operator=(const AsOrdinaryUser &) = delete;

private:
    bool m_switched = false;
};

// The same for the calling thread only, without touching any permission: while it lives,
// that thread's file access is checked as user "nobody"'s.
class FileAccessAsNobody {
public:
    FileAccessAsNobody()
    {
        if (::geteuid() == 0)
            m_old = ::setfsuid(65534);
    }
    ~FileAccessAsNobody()
    {
        if (m_old >= 0)
            ::setfsuid(m_old);
    }
    FileAccessAsNobody(const FileAccessAsNobody &) = delete;
    FileAccessAsNobody &operator=(const FileAccessAsNobody &) = delete;

private:
    int m_old = -1;
};

} // namespace arkavo::test
