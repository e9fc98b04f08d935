// The driver: the poll of the phase countdown and the actions at the end of each phase,
// plus the controller's life cycle and the checks before a search starts.
#include <unistd.h>

#include "engine/messages.h"
#include "engine/phase_end_wake.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"

namespace tarsel {

std::atomic<bool> g_cancelUnits{false};

void FinishUnit() {
    // Only the end of the phase is waited for: waking the main thread for every unit would
    // cost a system call per unit.
    if (g_workersRunning.fetch_sub(1) == 1) {
        g_workersRunning.notify_all();
        WakeAtPhaseEnd();
    }
}

CSearchController::CSearchController() {
    g_filePath.clear();
    g_pattern.clear();
    g_workersRunning = 1;
    g_mailView = this;
}

CSearchController::~CSearchController() {
    CancelAndWait();
    if (g_mailView == this) {
        g_mailView = nullptr;
    }
}

void CSearchController::ShowWarning(const std::string& message) {
    if (m_pPanes != nullptr) {
        m_pPanes->ShowWarning(message);
    }
}

void CSearchController::BeginPhase(int code, int units) {
    m_nState = code;
    g_unitsDone = 0;
    m_bPhaseRunning = true;
    g_workersRunning = units;
    if (units == 0) {
        WakeAtPhaseEnd();  // no unit will (an empty file loads in none)
    }
}

void CSearchController::SetFilePath(const std::filesystem::path& path) {
    m_strFilePath = path;
    m_bLoaded = 0;
    m_bResultKnown = false;
}

bool CSearchController::StartSearch(const std::string& fileNameField, const std::string& search) {
    if (m_bPhaseRunning) {
        return false;
    }
    if (fileNameField.empty()) {
        ShowWarning(msg::kNoFile);
        return false;
    }
    // A string none of whose pairs converts would leave nothing to look for.
    if (search.size() < 2 || SearchPattern(search).empty()) {
        ShowWarning(msg::kNoSearch);
        return false;
    }
    m_strSearch = search;
    m_bDecoded = false;
    return BeginSearch();
}

bool CSearchController::BeginSearch() {
    m_bResultKnown = false;
    if (m_bLoaded == 1) {
        if (m_pPanes != nullptr) {
            m_pPanes->ResetForNewSearch();
        }
        return StartStringSearch();
    }
    return StartLoading();
}

bool CSearchController::OnTimer() {
    if (g_workersRunning.load() != 0) {
        return false;
    }
    g_workersRunning = 1;  // handled once: nothing pending from here on
    m_bPhaseRunning = false;
    const int code = m_nState;
    if (code < 10 && m_pPanes != nullptr) {
        m_pPanes->SetProgress(100);
    }
    AdvanceSearch(code);
    return true;
}

bool CSearchController::WaitAndAdvance() {
    if (!m_bPhaseRunning) {
        return false;
    }
    for (int left = g_workersRunning.load(); left != 0; left = g_workersRunning.load()) {
        g_workersRunning.wait(left);
    }
    return OnTimer();
}

void CSearchController::AdvanceSearch(int code) {
    SearchPanes* panes = m_pPanes;
    switch (code) {
        case kStateLoading:
            CloseLoadFile();
            if (g_loadFailed.load()) {
                m_nState = kStateIdle;
                ShowWarning(msg::CannotRead(m_strFilePath.string()));
                return;
            }
            if (panes != nullptr) {
                panes->ShowPhaseIcon(PhaseIcon::kLoad);
            }
            StartMailCount();
            break;
        case kStateCounting:
            SortMailStarts();
            if (panes != nullptr) {
                panes->SetCounters(g_mailCount.load(), -1, -1);
                panes->ShowPhaseIcon(PhaseIcon::kCount);
            }
            m_bLoaded = 1;
            StartStringSearch();
            break;
        case kStateSearching:
            SortHits();
            if (panes != nullptr) {
                panes->SetCounters(-1, g_hitCount.load(), -1);
            }
            MapHitsToMails();
            break;
        case kStateResultKnown:
            m_bResultKnown = true;
            if (panes != nullptr) {
                panes->SetCounters(-1, -1, g_hitCount.load());
                panes->ShowPhaseIcon(PhaseIcon::kSearch);
            }
            m_nSelRow = -1;
            m_nPage = 0;
            if (g_hitCount.load() != 0) {
                StartHeaderExtraction();
            } else if (panes != nullptr) {
                panes->SetPageButtons(false, false);
            }
            ShowWarning(msg::kSearchDone);
            if (panes != nullptr) {
                panes->FocusResultList();
            }
            break;
        case kStateHeaders: {
            if (panes != nullptr) {
                std::vector<bool> viewed(m_pageRows.size());
                for (std::size_t row = 0; row < viewed.size(); ++row) {
                    viewed[row] = g_viewedFlags[m_nPage * kPageRows + static_cast<int>(row)] != 0;
                }
                panes->ShowPageRows(m_pageRows, viewed);
            }
            m_nSelRow = 0;
            ShowSelectedMail();
            break;
        }
        case kStateFileCapacity:
            ShowWarning(msg::FileCapacity());
            break;
        case kStateMailCapacity:
            ShowWarning(msg::MailCapacity());
            break;
        case kStateHitCapacity:
            ShowWarning(msg::HitCapacity());
            break;
        default:
            break;  // idle, unused and unknown codes do nothing
    }
}

int CSearchController::CurrentProgress() const {
    if (!m_bPhaseRunning) {
        return 100;
    }
    if (m_nState == kStateHeaders) {
        const int left = g_workersRunning.load();
        return m_nPageRows == 0 ? 0 : (m_nPageRows - left) * 100 / m_nPageRows;
    }
    return g_chunkCount == 0 ? 0 : g_unitsDone.load() * 100 / g_chunkCount;
}

void CSearchController::CancelAndWait() {
    g_cancelUnits = true;
    WorkerPool::Shared().WaitIdle();
    g_cancelUnits = false;
    CloseLoadFile();
    if (m_bPhaseRunning) {
        // What the cancelled units left is incomplete: the next search starts afresh.
        m_bPhaseRunning = false;
        m_bLoaded = 0;
        m_bResultKnown = false;
        m_nState = kStateIdle;
        g_workersRunning = 1;
    }
}

bool CSearchController::PageExists(int page) const {
    return m_bResultKnown && page >= 0 && page * kPageRows < g_hitCount.load();
}

bool CSearchController::StepPage(int delta) {
    if (m_bPhaseRunning || !PageExists(m_nPage + delta)) {
        return false;
    }
    m_nPage += delta;
    return StartHeaderExtraction();
}

void CSearchController::CloseLoadFile() {
    if (m_loadFd >= 0) {
        ::close(m_loadFd);
        m_loadFd = -1;
    }
}

}  // namespace tarsel
