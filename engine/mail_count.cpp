// The count phase: every mail mark 0x7F 0x20 0x7F, one unit per chunk.
#include <algorithm>

#include "engine/chunk_scan.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"

namespace tarsel {
namespace {

ScanRun g_mailRuns[kChunkCapacity];  // the run of each chunk's unit in g_mailStarts

}  // namespace

bool CSearchController::StartMailCount() {
    if (m_bPhaseRunning) {
        return false;
    }
    g_pattern.assign("\x7F\x20\x7F", 3);
    m_nSelRow = -1;
    g_mailCount = 0;
    std::fill_n(g_mailRuns, g_chunkCount, ScanRun{});
    BeginPhase(kStateCounting, g_chunkCount);
    if (m_pPanes != nullptr) {
        m_pPanes->SetProgress(0);
    }
    WorkerPool::Shared().Post(&CSearchController::CountUnit, this, g_chunkCount);
    return true;
}

void CSearchController::CountUnit(void* context, int c) {
    auto* self = static_cast<CSearchController*>(context);
    if (!g_cancelUnits.load()) {
        if (ScanChunk(c, ScanTable{g_mailStarts, &g_mailCount, kMailCapacity, g_mailRuns})) {
            g_unitsDone.fetch_add(1);
        } else {
            self->m_nState = kStateMailCapacity;
        }
    }
    FinishUnit();
}

void CSearchController::SortMailStarts() {
    SortScanTable(g_mailStarts, g_mailCount.load(), g_mailRuns, g_chunkCount);
}

}  // namespace tarsel
