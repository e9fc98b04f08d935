// The decoded search phase: in place of the byte scan, one unit per mail counts the search
// string in what a reader is shown of that mail. Each occurrence is recorded as the offset
// of its mail's mark, so the driver's sorting and mapping turn the hits into matching mails
// exactly as for the byte scan.
#include <algorithm>

#include "decode/cp932.h"
#include "engine/mail_text.h"
#include "engine/messages.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"
#include "mime/charset.h"
#include "mime/decoded_search.h"

namespace tarsel {

namespace {

constexpr std::string_view kMailMark = "\x7f\x20\x7f";

}  // namespace

bool CSearchController::StartDecodedSearch(const std::string& fileNameField,
                                           const std::string& utf8Search) {
    if (m_bPhaseRunning) {
        return false;
    }
    if (fileNameField.empty()) {
        ShowWarning(msg::kNoFile);
        return false;
    }
    // Any character is allowed, those without a Shift-JIS form too: UTF-8 mail holds them.
    if (utf8Search.size() < 2 || !mime::IsValidUtf8(utf8Search)) {
        ShowWarning(msg::kNoSearch);
        return false;
    }
    m_strSearchUtf8 = utf8Search;
    m_strSearch = Utf8ToCp932(utf8Search);
    m_bDecoded = true;
    return BeginSearch();
}

bool CSearchController::StartDecodedPhase() {
    for (auto& flag : g_viewedFlags) {
        flag.store(0, std::memory_order_relaxed);
    }
    m_needle = std::make_shared<const mime::DecodedNeedle>(m_strSearchUtf8);
    g_pattern = m_strSearchUtf8;
    g_hitCount = 0;
    m_bResultKnown = false;
    m_nPhaseUnits = g_mailCount.load();
    BeginPhase(kStateSearching, m_nPhaseUnits);
    if (m_pPanes != nullptr) {
        m_pPanes->SetProgress(0);
    }
    WorkerPool::Shared().Post(&CSearchController::DecodedSearchUnit, this, m_nPhaseUnits);
    return true;
}

void CSearchController::DecodedSearchUnit(void* context, int m) {
    auto* self = static_cast<CSearchController*>(context);
    if (!g_cancelUnits.load()) {
        thread_local std::string scratch;
        std::string_view mail = MailView(m, scratch);
        if (mail.substr(0, kMailMark.size()) == kMailMark) {
            mail.remove_prefix(kMailMark.size());
        }
        const int want = static_cast<int>(
            std::min<std::size_t>(mime::CountInMail(mail, *self->m_needle), kHitCapacity + 1));
        int old = g_hitCount.load();
        int take = 0;
        do {
            take = std::clamp(kHitCapacity - old, 0, want);
        } while (!g_hitCount.compare_exchange_weak(old, old + take));
        std::fill_n(g_hits + old, take, g_mailStarts[m]);
        if (take == want) {
            g_unitsDone.fetch_add(1);
        } else {
            self->m_nState = kStateHitCapacity;
        }
    }
    FinishUnit();
}

}  // namespace tarsel
