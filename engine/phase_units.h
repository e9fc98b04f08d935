// What every work unit does at its end, and the stop flag used when the window closes.
#pragma once

#include <atomic>

namespace tarsel {

// Set while a closing controller drains the pool: units then skip their work.
extern std::atomic<bool> g_cancelUnits;

// The last act of every unit: count down the phase and wake a front end that waits for it;
// the last unit of a phase also calls the installed phase-end wake.
void FinishUnit();

}  // namespace tarsel
