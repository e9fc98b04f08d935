// The view of the file being loaded and the guard that keeps its vanished pages readable.
#include "engine/file_mapping.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

namespace tarsel {
namespace {

// Written by the thread that maps, read by the guard on any thread.
std::atomic<char*> g_view{nullptr};
std::atomic<std::size_t> g_viewLength{0};
std::atomic<int> g_viewFd{-1};  // the mapped file, kept open so the guard can measure it
std::atomic<bool> g_viewFailed{false};
int g_blankFd = -1;  // one page of blanks that the guard maps over a page that vanished
std::size_t g_pageSize = 4096;
struct sigaction g_previous {};
std::atomic<void (*)()> g_faultHook{nullptr};

// Whether the file's bytes of a page that failed can still be read. The file may have been cut
// short and grown back since the fault, so its size says nothing about why the page failed; a
// read of the page's first byte does: it finds the end of the file, or bytes that are there now,
// unless the disk itself fails. pread is safe in a signal handler.
bool PageStillReadable(std::uint64_t offset) {
    char byte;
    ssize_t got;
    do {
        got = ::pread(g_viewFd.load(), &byte, 1, static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    return got >= 0;
}

// A page of the view could not be read. When it is ours, the page is replaced by blanks and
// the access repeats; otherwise the previous disposition is restored and the access repeats
// under it, so a fault that is not ours ends the process as it would have.
void OnBusError(int signal, siginfo_t* info, void* context) {
    (void)signal;
    (void)context;
    const int savedErrno = errno;
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    const auto view = reinterpret_cast<std::uintptr_t>(g_view.load());
    const std::size_t length = g_viewLength.load();
    if (view != 0 && at >= view && at - view < length) {
        const std::uintptr_t page = at & ~std::uintptr_t{g_pageSize - 1};
        if (void (*hook)() = g_faultHook.load()) {
            hook();
        }
        if (!PageStillReadable(page - view)) {
            g_viewFailed = true;  // the bytes are there but cannot be read: the disk failed
        }
        if (::mmap(reinterpret_cast<void*>(page), g_pageSize, PROT_READ, MAP_PRIVATE | MAP_FIXED,
                   g_blankFd, 0) != MAP_FAILED) {
            errno = savedErrno;
            return;
        }
    }
    ::sigaction(SIGBUS, &g_previous, nullptr);
    errno = savedErrno;
}

// The page of blanks and the guard, once per process. False when either is unavailable.
bool PrepareGuard() {
    static const bool ready = [] {
        g_pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        g_blankFd = ::memfd_create("tarsel-blanks", MFD_CLOEXEC);
        if (g_blankFd < 0) {
            return false;
        }
        const std::string blanks(g_pageSize, ' ');
        if (::write(g_blankFd, blanks.data(), blanks.size()) !=
            static_cast<ssize_t>(blanks.size())) {
            ::close(g_blankFd);
            return false;
        }
        struct sigaction guard {};
        guard.sa_sigaction = &OnBusError;
        guard.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&guard.sa_mask);
        return ::sigaction(SIGBUS, &guard, &g_previous) == 0;
    }();
    return ready;
}

}  // namespace

const char* MapLoadFile(int fd, std::uint64_t size) {
    UnmapLoadFile();
    if (size == 0 || !PrepareGuard()) {
        return nullptr;
    }
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
        return nullptr;
    }
    void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, own, 0);
    if (p == MAP_FAILED) {
        ::close(own);
        return nullptr;
    }
    g_viewFailed = false;
    g_viewFd = own;
    g_viewLength = size;
    g_view = static_cast<char*>(p);
    return static_cast<const char*>(p);
}

void UnmapLoadFile() {
    char* view = g_view.exchange(nullptr);
    if (view == nullptr) {
        return;
    }
    ::munmap(view, g_viewLength.exchange(0));
    ::close(g_viewFd.exchange(-1));
}

bool InLoadFileView(const char* p) {
    const char* view = g_view.load();
    return view != nullptr && p >= view && p < view + g_viewLength.load();
}

void SetViewFaultHookForTesting(void (*hook)()) {
    g_faultHook = hook;
}

bool LoadFileViewFailed() {
    return g_viewFailed.load();
}

bool LoadFileViewCached() {
    constexpr std::size_t kSamples = 16;
    char* const view = g_view.load();
    if (view == nullptr) {
        return false;
    }
    const std::size_t pages = (g_viewLength.load() + g_pageSize - 1) / g_pageSize;
    for (std::size_t sample = 0; sample < kSamples; ++sample) {
        unsigned char resident = 0;
        const std::size_t page = pages * sample / kSamples;
        if (::mincore(view + page * g_pageSize, 1, &resident) != 0 || (resident & 1) == 0) {
            return false;
        }
    }
    return true;
}

}  // namespace tarsel
