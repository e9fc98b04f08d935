// The one installed wake at the end of a phase. The wake is called under the lock, so that
// removing it waits for a call in progress: a front end can then be destroyed safely.
#include "engine/phase_end_wake.h"

#include <mutex>

namespace tarsel {

namespace {

std::mutex g_wakeMutex;
PhaseEndWake g_wake = nullptr;
void* g_wakeContext = nullptr;

}  // namespace

void SetPhaseEndWake(PhaseEndWake wake, void* context) {
    std::lock_guard lock(g_wakeMutex);
    g_wake = wake;
    g_wakeContext = context;
}

void ClearPhaseEndWake(void* context) {
    std::lock_guard lock(g_wakeMutex);
    if (g_wakeContext == context) {
        g_wake = nullptr;
        g_wakeContext = nullptr;
    }
}

void WakeAtPhaseEnd() {
    std::lock_guard lock(g_wakeMutex);
    if (g_wake != nullptr) {
        g_wake(g_wakeContext);
    }
}

}  // namespace tarsel
