// Header extraction of result rows. The header phase: one unit per row of the current result
// page; each unit writes only its own slot and the driver hands the page to the list in row
// order once every unit is done. The row listing: the rows of many pages in one go, a page
// per unit, handed over in page order as they are done, for a front end that lists them all;
// the front end's own work on a page (its printing) and the handing over are done by units.
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
// How many pages a row listing extracts ahead of the pages taken. Past that, a unit waits: a
// page can stay untaken only behind a slow page or a slow taker, and rows that would only wait
// to be printed would take memory and page faults.
constexpr int kPagesAhead = 32;

// Writes over row the row of the matching mail at the given place in the state's m_hits.
void FillRow(const SearchState& state, int place, bool decoded, HeaderRow& row) {
    const int m = state.m_hits[place];
    // The mail is read where it lies; only one that spans chunks apart in memory is copied.
    thread_local std::string scratch;
    const std::string_view text = MailView(state, m, scratch);
    if (decoded) {
        row = CSearchController::DecodedHeaderRow(text, state.m_mailStarts[m]);
    } else {
        ExtractHeaderRowInto(text, state.m_mailStarts[m], row);
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
    const SearchState* state = nullptr;
    // In a search of several archives or pieces: the rows are read again where they lie.
    const CSearchController* kept = nullptr;
    int firstPage = 0;
    int count = 0;  // pages
    bool decoded = false;
    int hits = 0;
    const CSearchController::PagePreparer* prepare = nullptr;
    const CSearchController::PreparedPageTaker* take = nullptr;
    std::vector<ListedPage> pages;        // each unit fills only its own page
    std::vector<std::atomic<bool>> done;  // set once the page is filled
    // Pages that have been taken, whose rows a unit fills again: their strings keep their room,
    // so that a listing allocates rows for the first pages only, and frees them at its end.
    std::mutex spentLock;
    std::vector<ListedPage> spent;
    // Set while a unit hands pages over; the pages it hands over are counted in taken.
    std::atomic<bool> handing{false};
    std::atomic<int> taken{0};  // pages handed over so far
    // Units too far ahead wait asleep, not spinning, for the unit that hands pages over.
    std::mutex waitLock;
    std::condition_variable pagesTaken;
    std::atomic<int> wakeAt{INT_MAX};  // the least taken count a sleeping unit waits for
};

// A unit this many pages ahead of the pages taken waits until they are half as far behind, so
// that a sleep is paid for with a run of pages rather than one.
void WaitForRoom(RowListing& listing, int unit) {
    const int needed = unit - kPagesAhead + 1;
    if (listing.taken.load() >= needed) {
        return;
    }
    const int resume = needed + kPagesAhead / 2;
    std::unique_lock<std::mutex> held(listing.waitLock);
    for (;;) {
        // Published before taken is read again, so a unit that hands pages over sees it.
        for (int at = listing.wakeAt.load();
             resume < at && !listing.wakeAt.compare_exchange_weak(at, resume);) {
        }
        if (listing.taken.load() >= resume) {
            return;
        }
        listing.pagesTaken.wait(held);
    }
}

// Hands over, in order, the run of done pages that follows the pages taken. The unit that
// finishes the next page hands it over itself, while the page is still in its cache: no
// thread of its own waits for pages and is woken for them. A unit that finds another one
// handing over leaves its page to that one, which looks at the next page again after it
// stops, so that no done page is left behind.
void HandOver(RowListing& listing) {
    while (!listing.handing.exchange(true)) {
        int next = listing.taken.load();
        for (; next < listing.count && listing.done[static_cast<std::size_t>(next)].load();
             ++next) {
            ListedPage& page = listing.pages[static_cast<std::size_t>(next)];
            (*listing.take)(listing.firstPage + next, page.rows, page.text);
            {
                const std::lock_guard<std::mutex> lock(listing.spentLock);
                listing.spent.push_back(std::move(page));
            }
            listing.taken.store(next + 1);
            if (next + 1 >= listing.wakeAt.load()) {
                const std::lock_guard<std::mutex> held(listing.waitLock);
                listing.wakeAt.store(INT_MAX);
                listing.pagesTaken.notify_all();
            }
        }
        listing.handing.store(false);
        if (next == listing.count || !listing.done[static_cast<std::size_t>(next)].load()) {
            return;
        }
    }
}

void RowListingUnit(void* context, int unit) {
    auto* listing = static_cast<RowListing*>(context);
    // Units start in order, so the next page to take always has a unit at work or done.
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
    for (int row = 0; row < count && listing->kept != nullptr; ++row) {
        listing->kept->FillMatchingRow(first + row, rows[static_cast<std::size_t>(row)]);
    }
    for (int row = 0; row < count && listing->kept == nullptr; ++row) {
        if (row + 1 < count) {
            PrefetchMailStart(*listing->state, listing->state->m_hits[first + row + 1]);
        }
        FillRow(*listing->state, first + row, listing->decoded,
                rows[static_cast<std::size_t>(row)]);
    }
    if (listing->prepare != nullptr) {
        page.text.clear();
        (*listing->prepare)(listing->firstPage + unit, rows, page.text);
    }
    listing->done[static_cast<std::size_t>(unit)].store(true);
    HandOver(*listing);
}

}  // namespace

bool CSearchController::StartHeaderExtraction() {
    if (m_bPhaseRunning || !PageExists(m_nPage)) {
        return false;
    }
    if (m_pPanes != nullptr) {
        m_pPanes->ClearResultList();
    }
    int rows = ResultCount() - m_nPage * kPageRows;
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
    SearchState& state = *self->m_state;
    if (!state.m_cancelUnits.load()) {
        const int position = self->m_nPage * kPageRows + row;
        HeaderRow& slot = self->m_pageRows[static_cast<std::size_t>(row)];
        if (self->SeveralArchives()) {
            self->FillKeptRow(position, slot);
        } else {
            FillRow(state, position, self->m_bDecoded, slot);
        }
    }
    FinishUnit(state);
}

std::string CSearchController::KeptMailText(int position) const {
    const KeptMail& kept = m_kept[static_cast<std::size_t>(position)];
    std::string text;
    // A file that has gone since it was searched shows as an empty mail.
    ReadFileRange(ArchivePath(kept.archive), kept.start, kept.end, text);
    return text;
}

void CSearchController::FillMatchingRow(int position, HeaderRow& row) const {
    FillKeptRow(position, row);
}

void CSearchController::FillKeptRow(int position, HeaderRow& row) const {
    const KeptMail& kept = m_kept[static_cast<std::size_t>(position)];
    const std::string text = KeptMailText(position);
    if (m_bDecoded) {
        row = DecodedHeaderRow(text, kept.start);
    } else {
        ExtractHeaderRowInto(text, kept.start, row);
    }
    // Pieces of one large file need no name.
    row.file = m_archives.empty() ? std::string() : ArchivePath(kept.archive).filename().string();
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
    listing.state = m_state.get();
    listing.firstPage = firstPage;
    listing.count = count;
    listing.decoded = m_bDecoded;
    listing.hits = ResultCount();
    listing.kept = SeveralArchives() ? this : nullptr;
    listing.prepare = prepare ? &prepare : nullptr;
    listing.take = &take;
    listing.pages.resize(static_cast<std::size_t>(count));
    listing.done = std::vector<std::atomic<bool>>(static_cast<std::size_t>(count));
    WorkerPool::Shared().Post(&RowListingUnit, &listing, count);
    WorkerPool::Shared().WaitFor(&listing);
    return true;
}

}  // namespace tarsel
