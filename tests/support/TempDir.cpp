#include "TempDir.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace arkavo::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "arkavo-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary directory");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable so removal works.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

} // namespace arkavo::test
