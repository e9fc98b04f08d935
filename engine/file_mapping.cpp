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

// One view. Written by the thread that maps and unmaps it, read by the guard on any thread:
// the view's address is published last and withdrawn first.
struct ViewSlot {
    std::atomic<bool> taken{false};
    std::atomic<char*> view{nullptr};  // the mapping's first byte: a page of the file
    std::atomic<std::size_t> length{0};
    std::atomic<std::uint64_t> offset{0};     // the file offset of the mapping's first byte
    std::atomic<const char*> shown{nullptr};  // what MapLoadFile returned, within the mapping
    std::atomic<int> fd{-1};                  // the mapped file, kept open so the guard can read it
    std::atomic<bool> failed{false};
};
ViewSlot g_views[kLoadFileViews];
int g_blankFd = -1;  // one page of blanks that the guard maps over a page that vanished
std::size_t g_pageSize = 4096;
struct sigaction g_previous {};
std::atomic<void (*)()> g_faultHook{nullptr};

// Whether the file's bytes of a page that failed can still be read. The file may have been cut
// short and grown back since the fault, so its size says nothing about why the page failed; a
// read of the page's first byte does: it finds the end of the file, or bytes that are there now,
// unless the disk itself fails. pread is safe in a signal handler.
bool PageStillReadable(int fd, std::uint64_t offset) {
    char byte;
    ssize_t got;
    do {
        got = ::pread(fd, &byte, 1, static_cast<off_t>(offset));
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
    for (ViewSlot& slot : g_views) {
        const auto view = reinterpret_cast<std::uintptr_t>(slot.view.load());
        const std::size_t length = slot.length.load();
        if (view == 0 || at < view || at - view >= length) {
            continue;
        }
        const std::uintptr_t page = at & ~std::uintptr_t{g_pageSize - 1};
        if (void (*hook)() = g_faultHook.load()) {
            hook();
        }
        if (!PageStillReadable(slot.fd.load(), slot.offset.load() + (page - view))) {
            slot.failed = true;  // the bytes are there but cannot be read: the disk failed
        }
        if (::mmap(reinterpret_cast<void*>(page), g_pageSize, PROT_READ, MAP_PRIVATE | MAP_FIXED,
                   g_blankFd, 0) != MAP_FAILED) {
            errno = savedErrno;
            return;
        }
        break;
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

ViewSlot* SlotOf(const char* view) {
    for (ViewSlot& slot : g_views) {
        if (view != nullptr && slot.shown.load() == view) {
            return &slot;
        }
    }
    return nullptr;
}

}  // namespace

const char* MapLoadFile(int fd, std::uint64_t size, std::uint64_t offset) {
    if (size == 0 || !PrepareGuard()) {
        return nullptr;
    }
    ViewSlot* slot = nullptr;
    for (ViewSlot& candidate : g_views) {
        if (!candidate.taken.exchange(true)) {
            slot = &candidate;
            break;
        }
    }
    if (slot == nullptr) {
        return nullptr;
    }
    const std::uint64_t first = offset / g_pageSize * g_pageSize;
    const std::size_t lead = static_cast<std::size_t>(offset - first);
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    void* p = own < 0 ? MAP_FAILED
                      : ::mmap(nullptr, size + lead, PROT_READ, MAP_PRIVATE, own,
                               static_cast<off_t>(first));
    if (p == MAP_FAILED) {
        if (own >= 0) {
            ::close(own);
        }
        slot->taken = false;
        return nullptr;
    }
    slot->failed = false;
    slot->fd = own;
    slot->length = size + lead;
    slot->offset = first;
    slot->shown = static_cast<const char*>(p) + lead;
    slot->view = static_cast<char*>(p);
    return slot->shown.load();
}

void UnmapLoadFile(const char* view) {
    ViewSlot* slot = SlotOf(view);
    if (slot == nullptr) {
        return;
    }
    char* mapped = slot->view.exchange(nullptr);
    slot->shown = nullptr;
    ::munmap(mapped, slot->length.exchange(0));
    ::close(slot->fd.exchange(-1));
    slot->taken = false;
}

bool InLoadFileView(const char* p) {
    for (const ViewSlot& slot : g_views) {
        const char* view = slot.view.load();
        if (view != nullptr && p >= view && p < view + slot.length.load()) {
            return true;
        }
    }
    return false;
}

void SetViewFaultHookForTesting(void (*hook)()) {
    g_faultHook = hook;
}

bool LoadFileViewFailed(const char* view) {
    const ViewSlot* slot = SlotOf(view);
    return slot != nullptr && slot->failed.load();
}

bool LoadFileViewCached(const char* view) {
    constexpr std::size_t kSamples = 16;
    const ViewSlot* slot = SlotOf(view);
    if (slot == nullptr) {
        return false;
    }
    const std::size_t pages = (slot->length.load() + g_pageSize - 1) / g_pageSize;
    for (std::size_t sample = 0; sample < kSamples; ++sample) {
        unsigned char resident = 0;
        const std::size_t page = pages * sample / kSamples;
        void* at = slot->view.load() + page * g_pageSize;
        if (::mincore(at, 1, &resident) != 0 || (resident & 1) == 0) {
            return false;
        }
    }
    return true;
}

}  // namespace tarsel
