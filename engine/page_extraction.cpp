// Header extraction of result rows. The header phase: one unit per row of the current result
// page; each unit writes only its own slot and the driver hands the page to the list in row
// order once every unit is done. The row listing: the rows of many pages in one go, a page
// per unit, handed over in page order as they are done, for a front end that lists them all.
#include <atomic>
#include <mutex>

#include "engine/mail_text.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"

namespace tarsel {
namespace {

constexpr std::size_t kKeptScratch = 1 << 20;

// Writes over row the row of the matching mail at the given place in g_hits.
void FillRow(int place, bool decoded, HeaderRow& row) {
    const int m = g_hits[place];
    // The mail is read where it lies; only one that spans chunks apart in memory is copied.
    thread_local std::string scratch;
    const std::string_view text = MailView(m, scratch);
    if (decoded) {
        row = CSearchController::DecodedHeaderRow(text, g_mailStarts[m]);
    } else {
        ExtractHeaderRowInto(text, g_mailStarts[m], row);
    }
    if (scratch.capacity() > kKeptScratch) {
        std::string().swap(scratch);  // a huge copied mail is not kept for the next row
    }
}

struct RowListing {
    int firstPage;
    bool decoded;
    int hits;
    std::vector<std::vector<HeaderRow>> pages;  // each unit fills only its own page
    std::vector<std::atomic<bool>> done;        // set once the page is filled
    // Pages that have been taken, whose rows a unit fills again: their strings keep their room,
    // so that a listing allocates rows for the first pages only, and frees them at its end.
    std::mutex spentLock;
    std::vector<std::vector<HeaderRow>> spent;
};

void RowListingUnit(void* context, int unit) {
    auto* listing = static_cast<RowListing*>(context);
    std::vector<HeaderRow>& rows = listing->pages[static_cast<std::size_t>(unit)];
    {
        const std::lock_guard<std::mutex> lock(listing->spentLock);
        if (!listing->spent.empty()) {
            rows = std::move(listing->spent.back());
            listing->spent.pop_back();
        }
    }
    const int first = (listing->firstPage + unit) * kPageRows;
    const int count = std::min(kPageRows, listing->hits - first);
    rows.resize(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) {
        if (row + 1 < count) {
            PrefetchMailStart(g_hits[first + row + 1]);
        }
        FillRow(first + row, listing->decoded, rows[static_cast<std::size_t>(row)]);
    }
    std::atomic<bool>& done = listing->done[static_cast<std::size_t>(unit)];
    done.store(true);
    done.notify_all();
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
        FillRow(self->m_nPage * kPageRows + row, self->m_bDecoded,
                self->m_pageRows[static_cast<std::size_t>(row)]);
    }
    FinishUnit();
}

bool CSearchController::ListRows(int firstPage, int lastPage, const PageTaker& take) {
    if (m_bPhaseRunning || lastPage < firstPage || !PageExists(firstPage) ||
        !PageExists(lastPage)) {
        return false;
    }
    const int count = lastPage - firstPage + 1;
    RowListing listing{firstPage,
                       m_bDecoded,
                       g_hitCount.load(),
                       std::vector<std::vector<HeaderRow>>(static_cast<std::size_t>(count)),
                       std::vector<std::atomic<bool>>(static_cast<std::size_t>(count)),
                       {},
                       {}};
    WorkerPool::Shared().Post(&RowListingUnit, &listing, count);
    // The pages are taken in order while the later ones are still being extracted.
    for (int unit = 0; unit < count; ++unit) {
        std::atomic<bool>& done = listing.done[static_cast<std::size_t>(unit)];
        while (!done.load()) {
            done.wait(false);
        }
        std::vector<HeaderRow>& page = listing.pages[static_cast<std::size_t>(unit)];
        take(firstPage + unit, page);
        const std::lock_guard<std::mutex> lock(listing.spentLock);
        listing.spent.push_back(std::move(page));
    }
    // No phase runs, so the pool is idle once these units have returned.
    WorkerPool::Shared().WaitIdle();
    return true;
}

}  // namespace tarsel
