// The count phase: every mail mark 0x7F 0x20 0x7F, or every From_ line of an mbox, one unit per
// chunk.
#include <algorithm>
#include <string_view>
#include <vector>

#include "engine/chunk_scan.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"
#include "headers/from_lines.h"

namespace tarsel {
namespace {

char ByteAt(const SearchState& state, int offset) {
    return state.m_fileChunks[ChunkOf(offset)].view()[static_cast<std::size_t>(PlaceOf(offset))];
}

// The line ends before "From " that begin a mail: those right after an empty line (LF or CR LF
// ends), each kept as the offset of its From_ line. The file's first line is one too.
void KeepFromLines(const SearchState& state, int c, std::vector<int>& found) {
    auto kept = found.begin();
    for (const int lineEnd : found) {
        const bool afterEmpty =
            lineEnd >= 1 && (ByteAt(state, lineEnd - 1) == '\n' ||
                             (lineEnd >= 2 && ByteAt(state, lineEnd - 1) == '\r' &&
                              ByteAt(state, lineEnd - 2) == '\n'));
        if (afterEmpty) {
            *kept++ = lineEnd + 1;
        }
    }
    found.erase(kept, found.end());
    if (c == 0) {
        found.insert(found.begin(), 0);
    }
}

}  // namespace

bool CSearchController::StartMailCount() {
    if (m_bPhaseRunning) {
        return false;
    }
    SearchState& state = *m_state;
    state.m_format = state.m_chunkCount > 0 && StartsWithFromLine(state.m_fileChunks[0].view())
                         ? ArchiveFormat::kMbox
                         : ArchiveFormat::kMark;
    if (state.m_format == ArchiveFormat::kMbox) {
        state.m_pattern.assign("\nFrom ");
    } else {
        state.m_pattern.assign("\x7F\x20\x7F", 3);
    }
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
        ScanTable table{state.m_mailStarts, &state.m_mailCount, kMailCapacity, state.m_mailRuns};
        if (state.m_format == ArchiveFormat::kMbox) {
            table.keep = &KeepFromLines;
        }
        if (ScanChunk(state, c, table)) {
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
