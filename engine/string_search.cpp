// The search phase: the search string (as bare JIS pairs when it begins with a Japanese
// character) in every chunk, then the hits turned into the list of matching mails.
#include <algorithm>

#include "decode/jis.h"
#include "engine/chunk_scan.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"

namespace tarsel {
namespace {

ScanRun g_hitRuns[kChunkCapacity];  // the run of each chunk's unit in g_hits

}  // namespace

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
    ClearViewedFlags();
    const std::string pattern = SearchPattern(m_strSearch);
    if (pattern.empty()) {
        return false;  // StartSearch refuses such a string before any phase
    }
    g_pattern = pattern;
    g_hitCount = 0;
    std::fill_n(g_hitRuns, g_chunkCount, ScanRun{});
    m_bResultKnown = false;
    BeginPhase(kStateSearching, g_chunkCount);
    if (m_pPanes != nullptr) {
        m_pPanes->SetProgress(0);
    }
    WorkerPool::Shared().Post(&CSearchController::SearchUnit, this, g_chunkCount);
    return true;
}

void CSearchController::SearchUnit(void* context, int c) {
    auto* self = static_cast<CSearchController*>(context);
    if (!g_cancelUnits.load()) {
        if (ScanChunk(c, ScanTable{g_hits, &g_hitCount, kHitCapacity, g_hitRuns})) {
            g_unitsDone.fetch_add(1);
        } else {
            self->m_nState = kStateHitCapacity;
        }
    }
    FinishUnit();
}

void CSearchController::SortHits() {
    SortScanTable(g_hits, g_hitCount.load(), g_hitRuns, g_chunkCount);
}

void CSearchController::MapHitsToMails() {
    // A merge walk over the two ascending tables. A hit belongs to the last mail whose mark
    // begins at or before it; hits before the first mark belong to no mail and are dropped.
    const int hits = g_hitCount.load();
    const int mails = g_mailCount.load();
    int mail = -1;
    int kept = 0;
    for (int i = 0; i < hits; ++i) {
        while (mail + 1 < mails && g_mailStarts[mail + 1] <= g_hits[i]) {
            ++mail;
        }
        if (mail >= 0 && (kept == 0 || g_hits[kept - 1] != mail)) {
            g_hits[kept++] = mail;
        }
    }
    g_hitCount = kept;
    AdvanceSearch(kStateResultKnown);
}

}  // namespace tarsel
