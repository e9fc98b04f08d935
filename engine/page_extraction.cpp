// Header extraction of result rows. The header phase: one unit per row of the current result
// page; each unit writes only its own slot and the driver hands the page to the list in row
// order once every unit is done. The row listing: the rows of many pages at once, a page per
// unit, for a front end that lists them all.
#include "engine/mail_text.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"

namespace tarsel {
namespace {

constexpr std::size_t kKeptScratch = 1 << 20;

// The row of the matching mail at the given place in g_hits.
HeaderRow RowOf(int place, bool decoded) {
    const int m = g_hits[place];
    // The mail is read where it lies; only one that spans chunks apart in memory is copied.
    thread_local std::string scratch;
    const std::string_view text = MailView(m, scratch);
    HeaderRow row = decoded ? CSearchController::DecodedHeaderRow(text, g_mailStarts[m])
                            : ExtractHeaderRow(text, g_mailStarts[m]);
    if (scratch.capacity() > kKeptScratch) {
        std::string().swap(scratch);  // a huge copied mail is not kept for the next row
    }
    return row;
}

struct RowListing {
    HeaderRow* rows;
    int first;  // place in g_hits of rows[0]
    int count;
    bool decoded;
};

void RowListingUnit(void* context, int unit) {
    const auto* listing = static_cast<const RowListing*>(context);
    const int from = unit * kPageRows;
    const int to = std::min(listing->count, from + kPageRows);
    for (int row = from; row < to; ++row) {
        listing->rows[row] = RowOf(listing->first + row, listing->decoded);
    }
}

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
        self->m_pageRows[static_cast<std::size_t>(row)] =
            RowOf(self->m_nPage * kPageRows + row, self->m_bDecoded);
    }
    FinishUnit();
}

std::vector<HeaderRow> CSearchController::ListRows(int firstPage, int lastPage) {
    std::vector<HeaderRow> rows;
    if (m_bPhaseRunning || !PageExists(firstPage) || !PageExists(lastPage) ||
        lastPage < firstPage) {
        return rows;
    }
    const int first = firstPage * kPageRows;
    const int count = std::min(g_hitCount.load(), (lastPage + 1) * kPageRows) - first;
    rows.resize(static_cast<std::size_t>(count));
    RowListing listing{rows.data(), first, count, m_bDecoded};
    // No phase runs, so the pool is idle once these units are done.
    WorkerPool::Shared().Post(&RowListingUnit, &listing, lastPage - firstPage + 1);
    WorkerPool::Shared().WaitIdle();
    return rows;
}

}  // namespace tarsel
