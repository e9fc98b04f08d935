// The mapping of the loaded file and its guard against a file that shrinks while mapped.
#include "engine/file_mapping.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#define TARSEL_NO_MAPPING 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARSEL_NO_MAPPING 1
#endif
#endif

namespace tarsel {
namespace {

// Read by the signal handler, so plain lock-free atomics.
std::atomic<char*> g_mapBase{nullptr};
std::atomic<std::size_t> g_mapLength{0};
struct sigaction g_previousBus {};

// A read of a mapped page past the file's current end raises SIGBUS. Such a page is replaced
// by private blanks, as a read that came up short reads as blanks, and the read goes on.
// Any other SIGBUS gets the disposition that was there before.
void OnBusError(int signal, siginfo_t* info, void* context) {
    char* const base = g_mapBase.load(std::memory_order_relaxed);
    const std::size_t length = g_mapLength.load(std::memory_order_relaxed);
    auto* const at = static_cast<char*>(info->si_addr);
    if (base != nullptr && at >= base && at < base + length) {
        const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        auto* const first =
            reinterpret_cast<char*>(reinterpret_cast<std::uintptr_t>(at) & ~(page - 1));
        void* const p = ::mmap(first, page, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (p != MAP_FAILED) {
            std::memset(first, ' ', page);
            return;
        }
    }
    if ((g_previousBus.sa_flags & SA_SIGINFO) != 0 && g_previousBus.sa_sigaction != nullptr) {
        g_previousBus.sa_sigaction(signal, info, context);
        return;
    }
    ::sigaction(SIGBUS, &g_previousBus, nullptr);  // the fault repeats under the old disposition
}

void InstallGuard() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = &OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previousBus);
    });
}

}  // namespace

const char* MapLoadFile(int fd, std::uint64_t size) {
    UnmapLoadFile();
#if defined(TARSEL_NO_MAPPING)
    // Sanitizer builds copy every chunk into the arena, whose unloaded bytes stay off limits.
    (void)fd;
    (void)size;
    return nullptr;
#else
    if (size == 0) {
        return nullptr;
    }
    InstallGuard();
    void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
        return nullptr;
    }
    ::madvise(p, size, MADV_SEQUENTIAL);
    g_mapLength.store(size);
    g_mapBase.store(static_cast<char*>(p));
    return static_cast<const char*>(p);
#endif
}

void UnmapLoadFile() {
    char* const base = g_mapBase.exchange(nullptr);
    const std::size_t length = g_mapLength.exchange(0);
    if (base != nullptr) {
        ::munmap(base, length);
    }
}

}  // namespace tarsel
