// What the search engine needs of the panes: counters and status icons, progress, warnings,
// the result list and the mail view. The window and the terminal front end implement it.
// Every call arrives on the thread that runs the driver.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "decode/cp932_table.h"
#include "headers/header_row.h"

namespace tarsel {

enum class PhaseIcon { kLoad, kCount, kSearch };

// One run of the mail body as the mail pane shows it; hit runs are drawn in red.
struct BodyRun {
    std::string text;  // Shift-JIS
    bool hit = false;
};

// The body of the mail shown, held once: its converted text and where the red runs stand.
// A huge mail is never copied run by run; front ends walk the runs as views into the text.
struct MailBody {
    std::string text;                     // Shift-JIS, or UTF-8 when utf8 is set
    bool utf8 = false;                    // the decoded search shows text in any charset as UTF-8
    std::vector<std::size_t> hits;        // offsets of the red runs in text, ascending, disjoint
    std::size_t hitLength = 0;            // every red run is the search string,
    std::vector<std::size_t> hitLengths;  // unless each run has its own length (a query's words)

    // Calls visit(std::string_view run, bool hit) for each run in order; a black run is
    // never empty.
    template <class Visit>
    void ForEachRun(Visit&& visit) const {
        const std::string_view all = text;
        std::size_t at = 0;
        for (std::size_t i = 0; i < hits.size(); ++i) {
            const std::size_t hit = hits[i];
            const std::size_t length = hitLengths.empty() ? hitLength : hitLengths[i];
            if (hit > at) {
                visit(all.substr(at, hit - at), false);
            }
            visit(all.substr(hit, length), true);
            at = hit + length;
        }
        if (at < all.size()) {
            visit(all.substr(at), false);
        }
    }
    // The runs as separate strings (tests and small mails).
    std::vector<BodyRun> Runs() const {
        std::vector<BodyRun> runs;
        ForEachRun([&runs](std::string_view run, bool hit) {
            runs.push_back(BodyRun{std::string(run), hit});
        });
        return runs;
    }
};

// A text of a result row as UTF-8, whichever form the row holds.
inline std::string RowTextUtf8(const HeaderRow& row, const std::string& text) {
    return row.utf8 ? text : Cp932ToUtf8Fast(text);
}

class SearchPanes {
  public:
    virtual ~SearchPanes() = default;

    // Counters of the input pane; -1 leaves a counter as it is.
    virtual void SetCounters(int mails, int hits, int matches) = 0;
    virtual void ShowPhaseIcon(PhaseIcon icon) = 0;
    virtual void SetProgress(int percent) = 0;
    // A modal warning (title "警告"); the text is UTF-8. Returns when it is dismissed.
    virtual void ShowWarning(const std::string& message) = 0;

    // The input pane's reset before a search on the loaded file.
    virtual void ResetForNewSearch() = 0;
    // The reset after a drop, before a search of several archives loads them all again.
    virtual void ResetForNewFile() {}

    virtual void ClearResultList() = 0;
    virtual void SetPageButtons(bool previous, bool next) = 0;
    // The rows of a finished page, in row order.
    virtual void ShowPageRows(const std::vector<HeaderRow>& rows,
                              const std::vector<bool>& viewed) = 0;
    // The counter before "通目の該当メール" (1-based) and the check mark of the row shown.
    virtual void SetMailPosition(int position) = 0;
    virtual void MarkRowViewed(int row) = 0;
    // The body is the pane's own: a huge one may be given back to the system as it is shown.
    virtual void ShowMailBody(MailBody body) = 0;
    // False when the body of a shown mail would go nowhere: the engine then does not build it
    // (a terminal lists every page, and each page shows its first row).
    virtual bool WantsMailBody() const { return true; }
    // After the end-of-search box: the keyboard focus goes to the result list.
    virtual void FocusResultList() {}
};

}  // namespace tarsel
