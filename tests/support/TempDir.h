#pragma once
// A fresh directory below the system temporary folder, removed with its contents
// when the object goes out of scope.
#include <filesystem>
#include <string>

namespace arkavo::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return m_path; }
    // The directory as a string ending in '/', the way the program's paths end.
    std::string str() const { return m_path.string() + "/"; }
    std::filesystem::path operator/(const std::string &name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

} // namespace arkavo::test
