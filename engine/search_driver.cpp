// The driver: the poll of the phase countdown and the actions at the end of each phase,
// plus the controller's life cycle and the checks before a search starts.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "engine/messages.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"

namespace tarsel {

void FinishUnit(SearchState& state) {
    // Only the end of the phase is waited for: waking the driving thread for every unit would
    // cost a system call per unit. The unit is still running for the pool while it wakes, so
    // the state outlives the wake (its owner waits for its units before it goes).
    if (state.m_workersRunning.fetch_sub(1) == 1) {
        state.m_workersRunning.notify_all();
        state.m_phaseEndWake.Wake();
    }
}

CSearchController::CSearchController() : m_state(std::make_unique<SearchState>()) {
    m_state->m_mailView = this;
}

CSearchController::~CSearchController() {
    CancelAndWait();
    ForgetLoadView();
}

void CSearchController::ShowWarning(const std::string& message) {
    if (m_pPanes != nullptr) {
        m_pPanes->ShowWarning(message);
    }
}

void CSearchController::BeginPhase(int code, int units) {
    m_nState = code;
    m_state->m_unitsDone = 0;
    m_bPhaseRunning = true;
    m_state->m_workersRunning = units;
    if (units == 0) {
        m_state->m_phaseEndWake.Wake();  // no unit will (an empty file loads in none)
    }
}

void CSearchController::SetFilePath(const std::filesystem::path& path) {
    m_strFilePath = path;
    m_archives.clear();
    m_pieces.assign(1, ArchivePiece{});
    m_nLoadOffset = 0;
    m_nLoadLength = -1;
    m_kept.clear();
    m_nArchiveMails = m_nArchiveHits = 0;
    m_bLoaded = 0;
    m_bResultKnown = false;
}

void CSearchController::SetFilePaths(std::vector<std::filesystem::path> paths) {
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    SetFilePath(paths.empty() ? std::filesystem::path() : paths.front());
    if (paths.size() > 1) {
        m_archives = std::move(paths);
        m_pieces.clear();
        for (int file = 0; file < static_cast<int>(m_archives.size()); ++file) {
            m_pieces.push_back(ArchivePiece{file, 0, -1});
        }
    }
}

const std::filesystem::path& CSearchController::ArchivePath(int file) const {
    return m_archives.empty() ? m_strFilePath : m_archives[static_cast<std::size_t>(file)];
}

namespace {

int OpenToRead(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

}  // namespace

void CSearchController::PlanPieces() {
    const int files = m_archives.empty() ? 1 : static_cast<int>(m_archives.size());
    std::vector<ArchivePiece> pieces;
    for (int file = 0; file < files; ++file) {
        const int fd = OpenToRead(ArchivePath(file));
        struct stat st {};
        const bool cut = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                         static_cast<std::uint64_t>(st.st_size) > kMaxFileSize &&
                         static_cast<std::uint64_t>(st.st_size) <= kMboxMaxFileSize &&
                         FileStartsAsMbox(fd);
        if (cut) {
            CutMbox(fd, file, st.st_size, kPieceBytes, pieces);
        } else {
            // Loaded whole; what cannot be is refused by the load with its reason.
            pieces.push_back(ArchivePiece{file, 0, -1});
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
    m_pieces = std::move(pieces);
}

bool CSearchController::SplitPieceAtCapacity() {
    const int index = SeveralArchives() ? m_nArchive : 0;
    if (m_state->m_format != ArchiveFormat::kMbox || index < 0 ||
        index >= static_cast<int>(m_pieces.size())) {
        return false;
    }
    ArchivePiece piece = m_pieces[static_cast<std::size_t>(index)];
    if (piece.length < 0) {
        piece.length = m_state->LoadedSize();
    }
    ArchivePiece first;
    ArchivePiece second;
    const int fd = OpenToRead(ArchivePath(piece.file));
    const bool split = fd >= 0 && SplitPiece(fd, piece, first, second);
    if (fd >= 0) {
        ::close(fd);
    }
    if (!split) {
        return false;
    }
    if (!SeveralArchives()) {
        // From here on the file is searched as pieces, its matching mails kept as they are found.
        m_kept.clear();
        m_nArchiveMails = m_nArchiveHits = 0;
    }
    m_pieces[static_cast<std::size_t>(index)] = first;
    m_pieces.insert(m_pieces.begin() + index + 1, second);
    ForgetLoadView();
    m_state->ReleaseChunks();
    if (!StartArchivesFrom(index)) {
        EndArchives();
    }
    return true;
}

bool CSearchController::WithinSearchCapacity() {
    const bool mails = m_nArchiveMails > kMboxMailCapacity;
    if (!mails && m_nArchiveHits <= kMboxHitCapacity) {
        return true;
    }
    // The search ends here, as the count or the search of one archive does at its capacity.
    m_nArchive = -1;
    m_nState = mails ? kStateMailCapacity : kStateHitCapacity;
    ShowWarning(mails ? msg::MailCapacity(kMboxMailCapacity) : msg::HitCapacity(kMboxHitCapacity));
    return false;
}

int CSearchController::ResultCount() const {
    return SeveralArchives() ? static_cast<int>(m_kept.size()) : m_state->m_hitCount.load();
}

MailPlace CSearchController::MatchingMail(int position) const {
    if (SeveralArchives()) {
        const KeptMail& kept = m_kept[static_cast<std::size_t>(position)];
        return MailPlace{ArchivePath(kept.archive).string(), kept.start, kept.end};
    }
    const SearchState& state = *m_state;
    const int m = state.m_hits[position];
    return MailPlace{
        m_strFilePath.string(), state.m_mailStarts[m],
        m + 1 < state.m_mailCount.load() ? state.m_mailStarts[m + 1] : state.LoadedSize()};
}

bool CSearchController::StartArchivesFrom(int i) {
    for (; i < static_cast<int>(m_pieces.size()); ++i) {
        const ArchivePiece& piece = m_pieces[static_cast<std::size_t>(i)];
        m_nArchive = i;
        m_strFilePath = ArchivePath(piece.file);
        m_nLoadOffset = piece.offset;
        m_nLoadLength = piece.length;
        m_bLoaded = 0;
        if (StartLoading()) {
            return true;
        }
    }
    return false;
}

void CSearchController::EndArchive() {
    const SearchState& state = *m_state;
    const int mails = state.m_mailCount.load();
    const ArchivePiece& piece = m_pieces[static_cast<std::size_t>(m_nArchive)];
    for (int p = 0; p < state.m_hitCount.load(); ++p) {
        const int m = state.m_hits[p];
        const std::int64_t end = m + 1 < mails ? state.m_mailStarts[m + 1] : state.LoadedSize();
        m_kept.push_back(
            KeptMail{piece.file, piece.offset + state.m_mailStarts[m], piece.offset + end});
    }
    m_nArchiveMails += mails;
    m_nArchiveHits += m_nArchiveRawHits;
    // The archive's bytes go before the next is loaded: its mails are read again when shown.
    ForgetLoadView();
    m_state->ReleaseChunks();
    if (!WithinSearchCapacity()) {
        return;
    }
    if (!StartArchivesFrom(m_nArchive + 1)) {
        EndArchives();
    }
}

void CSearchController::ArchiveFailed(const std::string& message) {
    ShowWarning(message);
    ForgetLoadView();
    m_state->ReleaseChunks();
    if (m_pPanes != nullptr) {
        m_pPanes->SetCounters(m_nArchiveMails, m_nArchiveHits, -1);
    }
    if (!StartArchivesFrom(m_nArchive + 1)) {
        EndArchives();
    }
}

void CSearchController::EndArchives() {
    m_nArchive = -1;  // what follows is the end of the whole search
    m_keptViewed.assign(m_kept.size(), 0);
    if (m_pPanes != nullptr) {
        m_pPanes->SetCounters(m_nArchiveMails, m_nArchiveHits, -1);
    }
    AdvanceSearch(kStateResultKnown);
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
    PlanPieces();
    if (SeveralArchives()) {
        // The archives' bytes were given back after the last search: all load again.
        if (m_pPanes != nullptr) {
            m_pPanes->ResetForNewFile();
        }
        m_kept.clear();
        m_nArchiveMails = m_nArchiveHits = 0;
        if (!StartArchivesFrom(0)) {
            EndArchives();
        }
        return true;
    }
    m_nLoadOffset = 0;
    m_nLoadLength = -1;
    if (m_bLoaded == 1) {
        if (m_pPanes != nullptr) {
            m_pPanes->ResetForNewSearch();
        }
        return StartStringSearch();
    }
    return StartLoading();
}

bool CSearchController::OnTimer() {
    if (m_state->m_workersRunning.load() != 0) {
        return false;
    }
    m_state->m_workersRunning = 1;  // handled once: nothing pending from here on
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
    std::atomic<int>& running = m_state->m_workersRunning;
    for (int left = running.load(); left != 0; left = running.load()) {
        running.wait(left);
    }
    return OnTimer();
}

void CSearchController::AdvanceSearch(int code) {
    SearchPanes* panes = m_pPanes;
    switch (code) {
        case kStateLoading:
            CloseLoadFile();
            if (m_state->m_loadFailed.load()) {
                m_nState = kStateIdle;
                if (SeveralArchives()) {
                    ArchiveFailed(msg::CannotRead(m_strFilePath.string()));
                    return;
                }
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
                panes->SetCounters(m_nArchiveMails + m_state->m_mailCount.load(), -1, -1);
                panes->ShowPhaseIcon(PhaseIcon::kCount);
            }
            m_bLoaded = 1;
            StartStringSearch();
            break;
        case kStateSearching:
            SortHits();
            m_nArchiveRawHits = m_state->m_hitCount.load() - m_state->m_matchOnlyEntries.load();
            if (panes != nullptr) {
                panes->SetCounters(-1, m_nArchiveHits + m_nArchiveRawHits, -1);
            }
            MapHitsToMails();
            break;
        case kStateResultKnown:
            if (SeveralArchives() && m_nArchive >= 0) {
                EndArchive();  // on to the next archive, or to the end of them all
                break;
            }
            m_bResultKnown = true;
            if (panes != nullptr) {
                panes->SetCounters(-1, -1, ResultCount());
                panes->ShowPhaseIcon(PhaseIcon::kSearch);
            }
            m_nSelRow = -1;
            m_nPage = 0;
            if (ResultCount() != 0) {
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
                    const int position = m_nPage * kPageRows + static_cast<int>(row);
                    viewed[row] = SeveralArchives()
                                      ? m_keptViewed[static_cast<std::size_t>(position)] != 0
                                      : m_state->m_viewedFlags[position] != 0;
                }
                panes->ShowPageRows(m_pageRows, viewed);
            }
            m_nSelRow = 0;
            ShowSelectedMail();
            break;
        }
        case kStateFileCapacity:
        case kStateMailCapacity:
        case kStateHitCapacity: {
            // A piece of an mbox (or an mbox of one load) with more than one load's tables hold
            // is searched again as two.
            if (code != kStateFileCapacity && SplitPieceAtCapacity()) {
                break;
            }
            const std::string message = code == kStateFileCapacity   ? msg::FileCapacity()
                                        : code == kStateMailCapacity ? msg::MailCapacity()
                                                                     : msg::HitCapacity();
            if (SeveralArchives() && m_nArchive >= 0) {
                // Left out; the others' results are shown.
                ArchiveFailed(msg::InArchive(m_strFilePath.filename().string(), message));
                break;
            }
            ShowWarning(message);
            break;
        }
        default:
            break;  // idle, unused and unknown codes do nothing
    }
}

int CSearchController::CurrentProgress() const {
    if (!m_bPhaseRunning) {
        return 100;
    }
    if (m_nState == kStateHeaders) {
        const int left = m_state->m_workersRunning.load();
        return m_nPageRows == 0 ? 0 : (m_nPageRows - left) * 100 / m_nPageRows;
    }
    const int chunks = m_state->m_chunkCount;
    return chunks == 0 ? 0 : m_state->m_unitsDone.load() * 100 / chunks;
}

void CSearchController::CancelAndWait() {
    m_state->m_cancelUnits = true;
    WorkerPool::Shared().WaitFor(this);
    m_state->m_cancelUnits = false;
    CloseLoadFile();
    if (m_bPhaseRunning) {
        // What the cancelled units left is incomplete: the next search starts afresh.
        m_bPhaseRunning = false;
        m_bLoaded = 0;
        m_bResultKnown = false;
        m_nState = kStateIdle;
        m_state->m_workersRunning = 1;
    }
}

bool CSearchController::PageExists(int page) const {
    return m_bResultKnown && page >= 0 && page * kPageRows < ResultCount();
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
