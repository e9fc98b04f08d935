// Header extraction of result rows. The header phase: one unit per row of the current result
// page; each unit writes only its own slot and the driver hands the page to the list in row
// order once every unit is done. The row listing: the rows of many pages in one go, a page
// per unit, handed over in page order as they are done, for a front end that lists them all;
// the front end's own work on a page (its printing) is done by the unit that filled it.
#include <atomic>
#include <climits>
#include <condition_variable>
#include <mutex>

#include "engine/mail_text.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"

namespace tarsel {
namespace {

constexpr std::size_t kKeptScratch = 1 << 20;
// How many pages a row listing extracts ahead of the page being taken. Past that, a unit waits
// for the taker: rows that would only wait to be printed would take memory, page faults and
// processor time from the taker, which is the slower side of a listing.
constexpr int kPagesAhead = 32;
// How many pages a taker that has to wait waits for.
constexpr int kPagesTakenAtOnce = 16;

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

// A page of a listing: its rows and the front end's text made of them.
struct ListedPage {
    std::vector<HeaderRow> rows;
    std::string text;
};

struct RowListing {
    int firstPage = 0;
    bool decoded = false;
    int hits = 0;
    const CSearchController::PagePreparer* prepare = nullptr;
    std::vector<ListedPage> pages;        // each unit fills only its own page
    std::vector<std::atomic<bool>> done;  // set once the page is filled
    // Pages that have been taken, whose rows a unit fills again: their strings keep their room,
    // so that a listing allocates rows for the first pages only, and frees them at its end.
    std::mutex spentLock;
    std::vector<ListedPage> spent;
    // The taker and the units wait for each other asleep, not spinning: the three threads of
    // a listing share two cores. A wake costs a call only when someone sleeps for it.
    std::mutex waitLock;
    std::condition_variable pageDone;      // the taker waits here for its next pages
    std::atomic<bool> takerAsleep{false};  // the taker waits, or is about to
    std::atomic<int> takerNeeds{0};        // the page the taker waits for
    std::atomic<int> takerWants{0};        // a later page it waits for too, to take a run
    std::condition_variable pagesTaken;    // units too far ahead of the taker wait here
    std::atomic<int> taken{0};             // pages handed over so far
    std::atomic<int> wakeAt{INT_MAX};      // the least taken count a sleeping unit waits for

    bool TakerReady() const {
        return done[static_cast<std::size_t>(takerNeeds.load())].load() &&
               done[static_cast<std::size_t>(takerWants.load())].load();
    }
};

// A unit this many pages ahead of the taker waits until the taker is half as far behind, so
// that a sleep is paid for with a run of pages rather than one.
void WaitForRoom(RowListing& listing, int unit) {
    const int needed = unit - kPagesAhead + 1;
    if (listing.taken.load() >= needed) {
        return;
    }
    const int resume = needed + kPagesAhead / 2;
    std::unique_lock<std::mutex> held(listing.waitLock);
    for (;;) {
        // Published before taken is read again, so a taker that misses this unit sees it.
        for (int at = listing.wakeAt.load();
             resume < at && !listing.wakeAt.compare_exchange_weak(at, resume);) {
        }
        if (listing.taken.load() >= resume) {
            return;
        }
        listing.pagesTaken.wait(held);
    }
}

void RowListingUnit(void* context, int unit) {
    auto* listing = static_cast<RowListing*>(context);
    // Units start in order, so the page being taken always has a unit at work or done.
    WaitForRoom(*listing, unit);
    ListedPage& page = listing->pages[static_cast<std::size_t>(unit)];
    {
        const std::lock_guard<std::mutex> lock(listing->spentLock);
        if (!listing->spent.empty()) {
            page = std::move(listing->spent.back());
            listing->spent.pop_back();
        }
    }
    std::vector<HeaderRow>& rows = page.rows;
    const int first = (listing->firstPage + unit) * kPageRows;
    const int count = std::min(kPageRows, listing->hits - first);
    rows.resize(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) {
        if (row + 1 < count) {
            PrefetchMailStart(g_hits[first + row + 1]);
        }
        FillRow(first + row, listing->decoded, rows[static_cast<std::size_t>(row)]);
    }
    if (listing->prepare != nullptr) {
        page.text.clear();
        (*listing->prepare)(listing->firstPage + unit, rows, page.text);
    }
    listing->done[static_cast<std::size_t>(unit)].store(true);
    if (listing->takerAsleep.load() && listing->TakerReady()) {
        const std::lock_guard<std::mutex> held(listing->waitLock);
        listing->pageDone.notify_one();
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
        FillRow(self->m_nPage * kPageRows + row, self->m_bDecoded,
                self->m_pageRows[static_cast<std::size_t>(row)]);
    }
    FinishUnit();
}

bool CSearchController::ListRows(int firstPage, int lastPage, const PageTaker& take) {
    return ListRows(
        firstPage, lastPage, PagePreparer(),
        [&](int page, std::vector<HeaderRow>& rows, std::string&) { take(page, rows); });
}

bool CSearchController::ListRows(int firstPage, int lastPage, const PagePreparer& prepare,
                                 const PreparedPageTaker& take) {
    if (m_bPhaseRunning || lastPage < firstPage || !PageExists(firstPage) ||
        !PageExists(lastPage)) {
        return false;
    }
    const int count = lastPage - firstPage + 1;
    RowListing listing;
    listing.firstPage = firstPage;
    listing.decoded = m_bDecoded;
    listing.hits = g_hitCount.load();
    listing.prepare = prepare ? &prepare : nullptr;
    listing.pages.resize(static_cast<std::size_t>(count));
    listing.done = std::vector<std::atomic<bool>>(static_cast<std::size_t>(count));
    WorkerPool::Shared().Post(&RowListingUnit, &listing, count);
    // The pages are taken in order while the later ones are still being extracted.
    for (int unit = 0; unit < count; ++unit) {
        const std::atomic<bool>& done = listing.done[static_cast<std::size_t>(unit)];
        if (!done.load()) {
            // Woken when a run of pages is done, not for each page.
            std::unique_lock<std::mutex> held(listing.waitLock);
            listing.takerNeeds.store(unit);
            listing.takerWants.store(std::min(unit + kPagesTakenAtOnce, count) - 1);
            listing.takerAsleep.store(true);  // before done is read again, as above
            listing.pageDone.wait(held, [&] { return listing.TakerReady(); });
            listing.takerAsleep.store(false);
        }
        ListedPage& page = listing.pages[static_cast<std::size_t>(unit)];
        take(firstPage + unit, page.rows, page.text);
        {
            const std::lock_guard<std::mutex> lock(listing.spentLock);
            listing.spent.push_back(std::move(page));
        }
        listing.taken.store(unit + 1);
        if (unit + 1 >= listing.wakeAt.load()) {
            const std::lock_guard<std::mutex> held(listing.waitLock);
            listing.wakeAt.store(INT_MAX);
            listing.pagesTaken.notify_all();
        }
    }
    // No phase runs, so the pool is idle once these units have returned.
    WorkerPool::Shared().WaitIdle();
    return true;
}

}  // namespace tarsel
