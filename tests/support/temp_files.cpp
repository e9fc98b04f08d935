// Test support: temporary files and hostile files.
#include "tests/support/temp_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tarsel::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarsel-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::Write(const std::string& name, std::string_view bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
    return file;
}

std::filesystem::path TempDir::Sparse(const std::string& name, std::uint64_t size) const {
    const auto file = path_ / name;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        throw std::runtime_error("cannot make sparse file " + file.string());
    }
    ::close(fd);
    return file;
}

std::filesystem::path TempDir::Fifo(const std::string& name) const {
    const auto file = path_ / name;
    if (::mkfifo(file.c_str(), 0600) != 0) {
        throw std::runtime_error("mkfifo failed");
    }
    return file;
}

std::filesystem::path TempDir::Unreadable(const std::string& name, std::string_view bytes) const {
    const auto file = Write(name, bytes);
    std::filesystem::permissions(file, std::filesystem::perms::none);
    return file;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace tarsel::test
