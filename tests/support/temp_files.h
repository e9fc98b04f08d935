// Test support: temporary files and directories, and the hostile files that make error paths
// run (unreadable, vanishing, oversized, FIFOs).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarsel::test {

// A directory under the system's temporary directory, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes a file of these bytes and returns its path.
    std::filesystem::path Write(const std::string& name, std::string_view bytes) const;
    // A sparse file of the given size (reads as NUL bytes).
    std::filesystem::path Sparse(const std::string& name, std::uint64_t size) const;
    // A FIFO with nobody writing to it.
    std::filesystem::path Fifo(const std::string& name) const;
    // A file the process cannot read (mode 000); as root, reads still succeed.
    std::filesystem::path Unreadable(const std::string& name, std::string_view bytes) const;

  private:
    std::filesystem::path path_;
};

// Bytes of a file, for checking that a search left it unchanged.
std::string ReadAll(const std::filesystem::path& path);

}  // namespace tarsel::test
