// The wake of one search state at the end of its phases.
#include "engine/phase_end_wake.h"

namespace tarsel {

void PhaseEndWakeSlot::Set(PhaseEndWake wake, void* context) {
    std::lock_guard lock(mutex_);
    wake_ = wake;
    context_ = context;
}

void PhaseEndWakeSlot::Clear(void* context) {
    std::lock_guard lock(mutex_);
    if (context_ == context) {
        wake_ = nullptr;
        context_ = nullptr;
    }
}

void PhaseEndWakeSlot::Wake() {
    std::lock_guard lock(mutex_);
    if (wake_ != nullptr) {
        wake_(context_);
    }
}

}  // namespace tarsel
