// The wake at the end of a phase: the worker that finishes a phase's last unit calls the wake
// installed for its search state, so that a front end with an event loop handles the end at
// once instead of at its next poll of the countdown. Plain C++: the window installs a queued
// call onto its own thread.
#pragma once

#include <mutex>

namespace tarsel {

// Runs on a worker thread; must not block and must not touch the search state.
using PhaseEndWake = void (*)(void* context);

// The one wake of a search state. The wake is called under the lock, so that removing it waits
// for a call in progress: a front end can then be destroyed safely.
class PhaseEndWakeSlot {
  public:
    // Installs the wake (replacing any other) for calls from now on.
    void Set(PhaseEndWake wake, void* context);
    // Removes the wake installed with context, if it is still the one installed. Once this
    // returns the wake is neither running nor called again, so context may go.
    void Clear(void* context);
    // The last unit of a phase has finished: calls the installed wake, if any.
    void Wake();

  private:
    std::mutex mutex_;
    PhaseEndWake wake_ = nullptr;
    void* context_ = nullptr;
};

}  // namespace tarsel
