// Timing a whole run of another program: wall time, processor time and peak memory.
#include "bench/run_timing.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tarsel::bench {
namespace {

// RssAnon of a running process in KB, or 0 when it is gone.
long AnonKb(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    char text[4096];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) {
        return 0;
    }
    text[n] = '\0';
    const char* field = std::strstr(text, "RssAnon:");
    return field != nullptr ? std::strtol(field + 8, nullptr, 10) : 0;
}

RunResult Spawn(const std::vector<std::string>& args, const std::string& outPath, bool pollMemory) {
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // Each run writes a new file. Truncating the last run's output inside the timed span would
    // charge the next command (whichever tool it is) with freeing that output, and the file
    // system flushes a file rewritten after a truncation when it is closed, which would charge
    // the writer with starting its write-back: neither is the tool's own time. Only a regular
    // file is removed: the output may be a device such as /dev/null.
    struct stat out {};
    if (::lstat(outPath.c_str(), &out) == 0 && S_ISREG(out.st_mode)) {
        ::unlink(outPath.c_str());
    }
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return RunResult{0, 0, 0, -1, 0};
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    long peakAnonKb = 0;
    if (pollMemory) {
        // A poll every 2 ms costs the machine a few microseconds each: far below the noise
        // of the runs it watches, and short enough to catch the peak of a table's growth.
        while (wait4(pid, &status, WNOHANG, &usage) == 0) {
            peakAnonKb = std::max(peakAnonKb, AnonKb(pid));
            ::usleep(2000);
        }
    } else {
        wait4(pid, &status, 0, &usage);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return RunResult{took.count(), seconds(usage.ru_utime) + seconds(usage.ru_stime),
                     usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1, peakAnonKb};
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n <= 0 && errno != EINTR) {
            return false;
        }
        if (n > 0) {
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
    }
    return true;
}

bool ReadAll(int fd, void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, bytes, size);
        if (n <= 0 && (n == 0 || errno != EINTR)) {
            return false;
        }
        if (n > 0) {
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
    }
    return true;
}

bool WriteString(int fd, const std::string& text) {
    const std::size_t size = text.size();
    return WriteAll(fd, &size, sizeof size) && WriteAll(fd, text.data(), size);
}

bool ReadString(int fd, std::string& text) {
    std::size_t size = 0;
    if (!ReadAll(fd, &size, sizeof size)) {
        return false;
    }
    text.resize(size);
    return ReadAll(fd, text.data(), size);
}

// Starts the commands. A command started by the bench itself would report the bench's own
// memory in its peak: a spawned child runs on its parent's memory until it execs, and the
// kernel keeps that memory's high-water mark as the child's. So the commands are started by
// this launcher, forked before main while the bench is still small, and their figures come
// back through a socket.
class Launcher {
  public:
    Launcher() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            Serve(fds[1]);
            ::_exit(0);
        }
        ::close(fds[1]);
        fd_ = pid_ > 0 ? fds[0] : -1;
        if (fd_ < 0) {
            ::close(fds[0]);
        }
    }
    ~Launcher() {
        if (fd_ >= 0) {
            ::close(fd_);  // the launcher ends at the end of its requests
            ::waitpid(pid_, nullptr, 0);
        }
    }

    RunResult Run(const std::vector<std::string>& args, const std::string& outPath,
                  bool pollMemory) {
        if (fd_ < 0) {
            return Spawn(args, outPath,
                         pollMemory);  // no launcher: the figures may hold the bench's
        }
        const std::size_t count = args.size();
        bool sent = WriteAll(fd_, &count, sizeof count) &&
                    WriteAll(fd_, &pollMemory, sizeof pollMemory) && WriteString(fd_, outPath);
        for (const std::string& arg : args) {
            sent = sent && WriteString(fd_, arg);
        }
        RunResult result{0, 0, 0, -1, 0};
        if (!sent || !ReadAll(fd_, &result, sizeof result)) {
            return RunResult{0, 0, 0, -1, 0};
        }
        return result;
    }

  private:
    static void Serve(int fd) {
        for (;;) {
            std::size_t count = 0;
            bool pollMemory = false;
            std::string outPath;
            if (!ReadAll(fd, &count, sizeof count) ||
                !ReadAll(fd, &pollMemory, sizeof pollMemory) || !ReadString(fd, outPath)) {
                return;
            }
            std::vector<std::string> args(count);
            for (std::string& arg : args) {
                if (!ReadString(fd, arg)) {
                    return;
                }
            }
            const RunResult result = Spawn(args, outPath, pollMemory);
            if (!WriteAll(fd, &result, sizeof result)) {
                return;
            }
        }
    }

    pid_t pid_ = -1;
    int fd_ = -1;
};

Launcher g_launcher;

}  // namespace

RunResult TimeCommand(const std::vector<std::string>& args, const std::string& outPath) {
    return g_launcher.Run(args, outPath, false);
}

RunResult TimeCommandPollingMemory(const std::vector<std::string>& args,
                                   const std::string& outPath) {
    return g_launcher.Run(args, outPath, true);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace tarsel::bench
