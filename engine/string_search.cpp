// The search phase: the search string (as bare JIS pairs when it begins with a Japanese
// character) in every chunk, then the hits turned into the list of matching mails.
#include <algorithm>

#include "decode/jis.h"
#include "engine/chunk_scan.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"

namespace tarsel {
std::string CSearchController::SearchPattern(std::string typed) {
    if (!typed.empty() && IsSjisLeadByte(static_cast<unsigned char>(typed[0]))) {
        ConvertPatternToJis(typed);
    }
    return typed;
}

bool CSearchController::StartStringSearch() {
    if (m_bPhaseRunning) {
        return false;
    }
    if (m_bDecoded) {
        return StartDecodedPhase();
    }
    SearchState& state = *m_state;
    state.ClearViewedFlags();
    const std::string pattern = SearchPattern(m_strSearch);
    if (pattern.empty()) {
        return false;  // StartSearch refuses such a string before any phase
    }
    state.m_pattern = pattern;
    state.m_hitCount = 0;
    state.m_matchOnlyEntries = 0;
    std::fill_n(state.m_hitRuns, state.m_chunkCount, ScanRun{});
    m_bResultKnown = false;
    BeginPhase(kStateSearching, state.m_chunkCount);
    if (m_pPanes != nullptr) {
        m_pPanes->SetProgress(0);
    }
    WorkerPool::Shared().Post(&CSearchController::SearchUnit, this, state.m_chunkCount);
    return true;
}

void CSearchController::SearchUnit(void* context, int c) {
    auto* self = static_cast<CSearchController*>(context);
    SearchState& state = *self->m_state;
    if (!state.m_cancelUnits.load()) {
        if (ScanChunk(state, c,
                      ScanTable{state.m_hits, &state.m_hitCount, kHitCapacity, state.m_hitRuns})) {
            state.m_unitsDone.fetch_add(1);
        } else {
            self->m_nState = kStateHitCapacity;
        }
    }
    FinishUnit(state);
}

void CSearchController::SortHits() {
    SearchState& state = *m_state;
    SortScanTable(state.m_hits, state.m_hitCount.load(), state.m_hitRuns, state.m_chunkCount,
                  state.m_sortRoom);
}

void CSearchController::MapHitsToMails() {
    // A merge walk over the two ascending tables. A hit belongs to the last mail whose mark
    // begins at or before it; hits before the first mark belong to no mail and are dropped.
    SearchState& state = *m_state;
    int* const hitTable = state.m_hits;
    const int* const mailStarts = state.m_mailStarts;
    const int hits = state.m_hitCount.load();
    const int mails = state.m_mailCount.load();
    int mail = -1;
    int kept = 0;
    for (int i = 0; i < hits; ++i) {
        while (mail + 1 < mails && mailStarts[mail + 1] <= hitTable[i]) {
            ++mail;
        }
        if (mail >= 0 && (kept == 0 || hitTable[kept - 1] != mail)) {
            hitTable[kept++] = mail;
        }
    }
    state.m_hitCount = kept;
    AdvanceSearch(kStateResultKnown);
}

}  // namespace tarsel
