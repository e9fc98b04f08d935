// The count phase: every mail mark 0x7F 0x20 0x7F, one unit per chunk.
#include <algorithm>

#include "engine/chunk_scan.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"

namespace tarsel {
bool CSearchController::StartMailCount() {
    if (m_bPhaseRunning) {
        return false;
    }
    SearchState& state = *m_state;
    state.m_pattern.assign("\x7F\x20\x7F", 3);
    m_nSelRow = -1;
    state.m_mailCount = 0;
    std::fill_n(state.m_mailRuns, state.m_chunkCount, ScanRun{});
    BeginPhase(kStateCounting, state.m_chunkCount);
    if (m_pPanes != nullptr) {
        m_pPanes->SetProgress(0);
    }
    WorkerPool::Shared().Post(&CSearchController::CountUnit, this, state.m_chunkCount);
    return true;
}

void CSearchController::CountUnit(void* context, int c) {
    auto* self = static_cast<CSearchController*>(context);
    SearchState& state = *self->m_state;
    if (!state.m_cancelUnits.load()) {
        if (ScanChunk(state, c,
                      ScanTable{state.m_mailStarts, &state.m_mailCount, kMailCapacity,
                                state.m_mailRuns})) {
            state.m_unitsDone.fetch_add(1);
        } else {
            self->m_nState = kStateMailCapacity;
        }
    }
    FinishUnit(state);
}

void CSearchController::SortMailStarts() {
    SearchState& state = *m_state;
    SortScanTable(state.m_mailStarts, state.m_mailCount.load(), state.m_mailRuns,
                  state.m_chunkCount, state.m_sortRoom);
}

}  // namespace tarsel
