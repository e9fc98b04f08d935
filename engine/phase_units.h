// What every work unit does at its end.
#pragma once

#include "engine/search_state.h"

namespace tarsel {

// The last act of every unit of a phase of state: count down the phase and wake a front end
// that waits for it; the last unit of a phase also calls the state's phase-end wake.
void FinishUnit(SearchState& state);

}  // namespace tarsel
