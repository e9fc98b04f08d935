// The wake at the end of a phase: the worker that finishes a phase's last unit calls the one
// installed wake, so that a front end with an event loop handles the end at once instead of
// at its next poll of the countdown. Plain C++: the window installs a queued call onto its
// own thread.
#pragma once

namespace tarsel {

// Runs on a worker thread; must not block and must not touch the search state.
using PhaseEndWake = void (*)(void* context);

// Installs the wake (replacing any other) for calls from now on.
void SetPhaseEndWake(PhaseEndWake wake, void* context);
// Removes the wake installed with context, if it is still the one installed. Once this
// returns the wake is neither running nor called again, so context may go.
void ClearPhaseEndWake(void* context);

// The last unit of a phase has finished: calls the installed wake, if any.
void WakeAtPhaseEnd();

}  // namespace tarsel
