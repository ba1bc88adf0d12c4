#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace tarvix::test {

// A fresh folder for one test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // Writes `bytes` to `name` inside the folder and returns its full path.
    std::filesystem::path write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);

// Every file and folder below `root`, relative, with file contents ("<dir>" for folders).
std::map<std::string, std::string> Snapshot(const std::filesystem::path& root);

}  // namespace tarvix::test
