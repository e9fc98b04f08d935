// The header phase: one unit per row of the current result page. Each unit writes only its
// own slot; the driver hands the page to the list in row order once every unit is done.
#include "engine/mail_text.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"

namespace tarsel {
namespace {

constexpr std::size_t kKeptScratch = 1 << 20;

}  // namespace

bool CSearchController::StartHeaderExtraction() {
    if (m_bPhaseRunning || !PageExists(m_nPage)) {
        return false;
    }
    if (m_pPanes != nullptr) {
        m_pPanes->ClearResultList();
    }
    int rows = g_hitCount.load() - m_nPage * kPageRows;
    const bool next = rows > kPageRows;
    rows = std::min(rows, kPageRows);
    if (m_pPanes != nullptr) {
        m_pPanes->SetPageButtons(m_nPage != 0, next);
    }
    m_pageRows.assign(static_cast<std::size_t>(rows), HeaderRow{});
    m_nPageRows = rows;
    BeginPhase(kStateHeaders, rows);
    WorkerPool::Shared().Post(&CSearchController::HeaderUnit, this, rows);
    return true;
}

void CSearchController::HeaderUnit(void* context, int row) {
    auto* self = static_cast<CSearchController*>(context);
    if (!g_cancelUnits.load()) {
        const int m = g_hits[self->m_nPage * kPageRows + row];
        // The mail is read where it lies; only one that spans chunks apart in memory is copied.
        thread_local std::string scratch;
        const std::string_view text = MailView(m, scratch);
        self->m_pageRows[static_cast<std::size_t>(row)] =
            self->m_bDecoded ? DecodedHeaderRow(text, g_mailStarts[m])
                             : ExtractHeaderRow(text, g_mailStarts[m]);
        if (scratch.capacity() > kKeptScratch) {
            std::string().swap(scratch);  // a huge copied mail is not kept for the next row
        }
    }
    FinishUnit();
}

}  // namespace tarsel
