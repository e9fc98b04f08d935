// The decoded search phase: in place of the byte scan, each mail is matched on its own against
// the query in what a reader is shown of it, on the worker pool (one unit per chunk, for the
// mails whose marks lie in it). Each occurrence is recorded as the offset of its mail's mark,
// so the driver's sorting and mapping turn the hits into matching mails exactly as for the
// byte scan.
#include <algorithm>
#include <future>
#include <mutex>

#include "decode/cp932.h"
#include "decode/utf8.h"
#include "engine/mail_text.h"
#include "engine/messages.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"
#include "headers/header_row.h"
#include "mime/query_search.h"
#include "query/query.h"

namespace tarsel {
namespace {

// The folding tables and the charsets' converters that a matcher is made with take a few
// milliseconds at the first search of a process, all on one thread; they are made on a thread
// of their own while the archive loads, so that the decoded phase finds them ready.
class MatcherWarmUp {
  public:
    void Start(const query::Query& query) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!done_.valid()) {
            done_ = std::async(std::launch::async, [query] { mime::QueryMatcher warm(query); });
        }
    }
    void Wait() {
        std::shared_future<void> done;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done = done_;
        }
        if (done.valid()) {
            done.wait();
        }
    }

  private:
    std::mutex mutex_;
    std::shared_future<void> done_;  // kept to the end, so that the warm-up runs once
};

MatcherWarmUp& WarmUp() {
    static MatcherWarmUp warmUp;
    return warmUp;
}

}  // namespace

bool CSearchController::StartDecodedSearch(const std::string& fileNameField,
                                           const std::string& utf8Search, bool exact, bool kana) {
    if (m_bPhaseRunning) {
        return false;
    }
    if (fileNameField.empty()) {
        ShowWarning(msg::kNoFile);
        return false;
    }
    // Any character is allowed, those without a Shift-JIS form too: UTF-8 mail holds them.
    if (utf8Search.size() < 2 || !IsValidUtf8(utf8Search)) {
        ShowWarning(msg::kNoSearch);
        return false;
    }
    query::Query parsed;
    std::string badDate;
    if (!query::ParseQuery(utf8Search, exact, query::FoldOptions{kana}, parsed, badDate)) {
        ShowWarning(msg::DateNotRead(badDate));
        return false;
    }
    if (!parsed.HasPositiveWord() && !parsed.HasDateTerm()) {
        ShowWarning(msg::kNoSearch);
        return false;
    }
    m_strSearchUtf8 = utf8Search;
    m_strSearch = Utf8ToCp932(utf8Search);
    m_bExact = exact;
    m_bKana = kana;
    m_bDecoded = true;
    WarmUp().Start(parsed);
    return BeginSearch();
}

bool CSearchController::StartDecodedPhase() {
    SearchState& state = *m_state;
    state.ClearViewedFlags();
    query::Query parsed;
    std::string badDate;
    query::ParseQuery(m_strSearchUtf8, m_bExact, query::FoldOptions{m_bKana}, parsed, badDate);
    WarmUp().Wait();
    m_query = std::make_shared<const mime::QueryMatcher>(std::move(parsed));
    state.m_pattern = m_strSearchUtf8;
    state.m_hitCount = 0;
    state.m_matchOnlyEntries = 0;
    m_bResultKnown = false;
    BeginPhase(kStateSearching, state.m_chunkCount);
    if (m_pPanes != nullptr) {
        m_pPanes->SetProgress(0);
    }
    WorkerPool::Shared().Post(&CSearchController::DecodedSearchUnit, this, state.m_chunkCount);
    return true;
}

void CSearchController::DecodedSearchUnit(void* context, int c) {
    auto* self = static_cast<CSearchController*>(context);
    SearchState& state = *self->m_state;
    // The unit of chunk c takes the mails whose marks lie in it, one by one: a unit per mail
    // would wake the waiting driver once per mail.
    const int* const all = state.m_mailStarts;
    const int* const allEnd = all + state.m_mailCount.load();
    const int* const first = std::lower_bound(all, allEnd, c * kChunkSize);
    const int* const last = std::lower_bound(first, allEnd, (c + 1) * kChunkSize);
    bool stored = true;
    for (const int* mark = first; mark != last && stored && !state.m_cancelUnits.load(); ++mark) {
        thread_local std::string scratch;
        const std::string_view mail =
            MailAfterMark(MailView(state, static_cast<int>(mark - all), scratch));
        const mime::QueryMatcher::Verdict verdict = self->m_query->Match(mail);
        if (!verdict.matches) {
            continue;
        }
        // A mail that matches without a hit (by its date, or by what it lacks) still takes
        // one entry, which the hit counter leaves out.
        const bool entryOnly = verdict.hits == 0;
        const int want =
            entryOnly ? 1 : static_cast<int>(std::min<std::size_t>(verdict.hits, kHitCapacity + 1));
        int old = state.m_hitCount.load();
        int take = 0;
        do {
            take = std::clamp(kHitCapacity - old, 0, want);
        } while (!state.m_hitCount.compare_exchange_weak(old, old + take));
        std::fill_n(state.m_hits + old, take, *mark);
        if (entryOnly && take == 1) {
            state.m_matchOnlyEntries.fetch_add(1);
        }
        stored = take == want;
    }
    if (!stored) {
        self->m_nState = kStateHitCapacity;
    } else if (!state.m_cancelUnits.load()) {
        state.m_unitsDone.fetch_add(1);
    }
    FinishUnit(state);
}

}  // namespace tarsel
