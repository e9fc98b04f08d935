// The search controller: one search context, holding the search state of one archive and the
// members that carry its searches from phase to phase, the phase starters and the driver. The
// mail pane of a document window is one; the terminal front end owns one per archive. Each runs
// on one thread (its "main thread"); the phases' units of every context run on the shared pool.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/mail_place.h"
#include "engine/mbox_pieces.h"
#include "engine/phase_end_wake.h"
#include "engine/search_panes.h"
#include "engine/search_state.h"
#include "headers/header_row.h"

namespace tarsel {

namespace mime {
class QueryMatcher;
}

class CSearchController {
  public:
    // Makes its own search state, with nothing loaded and nothing pending.
    CSearchController();
    // Waits for its running phase's units before anything is destroyed.
    virtual ~CSearchController();
    CSearchController(const CSearchController&) = delete;
    CSearchController& operator=(const CSearchController&) = delete;

    void SetPanes(SearchPanes* panes) { m_pPanes = panes; }
    // The search state this context owns.
    SearchState& State() { return *m_state; }
    const SearchState& State() const { return *m_state; }
    // The wake at the end of each of this context's phases (see PhaseEndWakeSlot).
    void SetPhaseEndWake(PhaseEndWake wake, void* context) {
        m_state->m_phaseEndWake.Set(wake, context);
    }
    void ClearPhaseEndWake(void* context) { m_state->m_phaseEndWake.Clear(context); }

    // The start button after its field checks: refuses an empty file name field or a search
    // string that is too short (or has no JIS form), then starts at loading or, on a loaded
    // file, at the string search. Returns false when nothing was started.
    bool StartSearch(const std::string& fileNameField, const std::string& search);
    // The same in the decoded mode: the query (UTF-8, at least two bytes; see query/query.h)
    // is answered from what a reader is shown of each mail, its words folded unless exact
    // (kana: hiragana and katakana alike). A query without a word to find and without a date,
    // or with a date it cannot read, is refused with its warning. The mode holds until a raw
    // StartSearch.
    bool StartDecodedSearch(const std::string& fileNameField, const std::string& utf8Query,
                            bool exact = false, bool kana = false);
    // A new file dropped on a pane: the next search loads it.
    void SetFilePath(const std::filesystem::path& path);
    // Several files dropped (or a folder's archives): the next search covers them all, in the
    // order of their paths, one after another. The counters are totals, and the results list
    // the archives' matching mails archive by archive, pages running across them. An archive
    // whose search fails is named in its warning and left out. One path is SetFilePath.
    void SetFilePaths(std::vector<std::filesystem::path> paths);
    // Where the matching mail at position (from 0) of the last search lies; position must be
    // below the number of matching mails.
    MailPlace MatchingMail(int position) const;
    // The matching mails of the last search; 0 until its result is known.
    int MatchingMailCount() const { return m_bResultKnown ? ResultCount() : 0; }
    // The row of a matching mail of a search of several archives or pieces, read again from its
    // file (used by the row listing's units).
    void FillMatchingRow(int position, HeaderRow& row) const;
    // The archives of a search of several; empty for a search of one file.
    const std::vector<std::filesystem::path>& Archives() const { return m_archives; }
    // Loads point the chunks into a view of the file instead of copying it (front ends that
    // search a file once). The loaded bytes then follow what another process writes into the
    // file afterwards, except that vanished ones read as blanks; the window keeps copies.
    void LoadFromView(bool on) { m_bLoadFromView = on; }

    // Phase starters. Each refuses (returns false) while another phase runs.
    bool StartLoading();
    bool StartMailCount();
    bool StartStringSearch();
    bool StartHeaderExtraction();

    void SortMailStarts();
    void SortHits();
    void MapHitsToMails();

    // The driver: acts on the end of a phase.
    void AdvanceSearch(int code);
    // The poll of the countdown (the window's timer tick). Returns true when it handled the
    // end of a phase.
    bool OnTimer();
    // Blocks until the running phase's countdown reaches 0 (no timer latency), then polls.
    // Returns false when nothing was pending.
    bool WaitAndAdvance();

    // Shows the mail at row m_nSelRow of page m_nPage.
    void ShowSelectedMail();
    // The list's selection changed to row: shows that mail unless it is the current row.
    void SelectRow(int row);
    // Steps the result list one page; false when that page does not exist or a phase runs.
    bool StepPage(int delta);
    bool PageExists(int page) const;
    // The rows of result pages firstPage..lastPage, extracted on the pool in one go without a
    // phase: no pane is told anything and the current page stays. take(page, rows) gets each
    // page in order, one at a time, as soon as it and the pages before it are done (the rows
    // may be moved out). It runs on the pool's threads, each call after the last one returned,
    // and everything the last call wrote is visible to the next; ListRows returns after all.
    // Returns false, taking nothing, while a phase runs or when a page does not exist.
    using PageTaker = std::function<void(int page, std::vector<HeaderRow>& rows)>;
    bool ListRows(int firstPage, int lastPage, const PageTaker& take);
    // The same, with a front end's own work on each page done on the worker that filled it,
    // in any order: prepare(page, rows, text) writes into text (empty, its room kept from
    // earlier pages), which take then gets with the rows, in page order.
    using PagePreparer =
        std::function<void(int page, const std::vector<HeaderRow>& rows, std::string& text)>;
    using PreparedPageTaker =
        std::function<void(int page, std::vector<HeaderRow>& rows, std::string& text)>;
    bool ListRows(int firstPage, int lastPage, const PagePreparer& prepare,
                  const PreparedPageTaker& take);

    // True from the moment a starter stores its code until the driver has handled the end.
    bool IsPhaseRunning() const { return m_bPhaseRunning; }
    // Progress of the running phase, 0..100, read from the shared counters.
    int CurrentProgress() const;
    // Stops the remaining units of the running phase from doing work and waits for all of
    // them; other contexts' units go on.
    void CancelAndWait();

    // The bytes the scan looks for: a string that begins with a Shift-JIS lead byte as bare
    // JIS pairs, any other byte for byte.
    static std::string SearchPattern(std::string typed);
    // The body of one mail as the mail pane shows it, and the same as separate runs.
    static MailBody MailBodyOf(std::string mailText, std::string_view search);
    static std::vector<BodyRun> BodyRunsOf(std::string_view mailText, std::string_view search);
    // The decoded mode's mail body: the text parts a reader is shown (UTF-8), each
    // occurrence of the query's positive words a red run.
    static MailBody DecodedMailBodyOf(std::string_view mailText, const mime::QueryMatcher& query);
    // What the decoded mode shows above a mail's body: lines of its sender, To, Cc, Date,
    // subject and attachments' file names (those it has), then an empty line, UTF-8. The sender's
    // and the subject's occurrences of the query's words that may stand in those fields are red
    // runs. The body alone stays what the command line prints.
    static MailBody DecodedHeaderStripOf(std::string_view mailText,
                                         const mime::QueryMatcher& query);
    // The same of the mail shown; empty outside the decoded mode or while none is shown.
    MailBody SelectedHeaderStrip() const;
    // The query of the last decoded search; null before one started.
    const mime::QueryMatcher* DecodedQuery() const { return m_query.get(); }
    // The decoded mode's row: sender and subject decoded from any charset, all UTF-8.
    static HeaderRow DecodedHeaderRow(std::string_view mailText, std::int64_t mailStart);

    // Search members (as the mail pane of the window has them).
    int m_nSelRow = -1;
    int m_nPage = 0;
    std::atomic<int> m_nState{kStateIdle};
    std::filesystem::path m_strFilePath;
    std::string m_strSearch;      // Shift-JIS, as typed
    bool m_bDecoded = false;      // the last search started was a decoded one
    std::string m_strSearchUtf8;  // the decoded search's query
    bool m_bExact = false;        // its words compared as typed
    bool m_bKana = false;         // hiragana and katakana alike
    std::uint64_t m_nFileSize = 0;
    int m_bLoaded = 0;

  protected:
    SearchPanes* panes() const { return m_pPanes; }

  private:
    void BeginPhase(int code, int units);
    void ShowWarning(const std::string& message);

    static void LoadUnit(void* self, int unit);  // units take chunks in lanes of the file
    static void CountUnit(void* self, int chunk);
    static void SearchUnit(void* self, int chunk);
    static void HeaderUnit(void* self, int row);
    bool BeginSearch();  // after the checks: at loading, or at the search on a loaded file
    bool StartDecodedPhase();
    static void DecodedSearchUnit(void* self, int chunk);
    void CloseLoadFile();
    void ForgetLoadView();  // the chunks no longer point into the view, which is gone

    std::unique_ptr<SearchState> m_state;
    // A matching mail of a search of several archives: where it lies, to be read again once
    // its archive's bytes are gone.
    struct KeptMail {
        int archive;  // of m_archives (for one file: 0)
        std::int64_t start;
        std::int64_t end;
    };
    // Several archives, or one mbox too large for one load: each piece is loaded, searched and
    // given back in turn, and the matching mails are kept by where they lie.
    bool SeveralArchives() const { return m_pieces.size() > 1; }
    const std::filesystem::path& ArchivePath(int file) const;
    void PlanPieces();              // before a search: the large mbox files are cut
    bool SplitPieceAtCapacity();    // the piece being searched is split and searched again
    bool WithinSearchCapacity();    // the totals so far; warns and stops when above
    int ResultCount() const;        // matching mails of the last search
    bool StartArchivesFrom(int i);  // the first archive from i that starts loading
    void EndArchive();              // keeps its result, gives its bytes back, goes on
    void ArchiveFailed(const std::string& message);
    void EndArchives();  // the result of every archive is known
    std::string KeptMailText(int position) const;
    void FillKeptRow(int position, HeaderRow& row) const;

    std::vector<std::filesystem::path> m_archives;
    std::vector<ArchivePiece> m_pieces;  // what a search loads, one after another
    int m_nArchive = 0;                  // the piece being searched
    std::int64_t m_nLoadOffset = 0;      // the loaded piece in its file
    std::int64_t m_nLoadLength = -1;     // -1: the whole file
    std::vector<KeptMail> m_kept;        // matching mails of the archives searched so far
    std::vector<char> m_keptViewed;      // by position in m_kept: 1 once shown
    int m_nArchiveMails = 0;             // totals of the archives searched so far
    int m_nArchiveHits = 0;
    int m_nArchiveRawHits = 0;  // hits of the archive being searched, before mapping

    SearchPanes* m_pPanes = nullptr;
    bool m_bPhaseRunning = false;
    bool m_bResultKnown = false;        // the matching mails of the last search are in m_hits
    int m_nPageRows = 0;                // rows started by the running header phase
    std::vector<HeaderRow> m_pageRows;  // each header unit writes only its own slot
    int m_loadFd = -1;                  // the file, open read-only while it loads
    bool m_bLoadFromView = false;
    const char* m_loadView = nullptr;  // the view the chunks of this load point into
    std::uint64_t m_loadViewSize = 0;  // its bytes
    std::shared_ptr<const mime::QueryMatcher> m_query;  // read by the decoded units
};

}  // namespace tarsel
