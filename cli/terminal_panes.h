// The panes of a terminal: they keep the counters and rows the window would show, for printing
// at the end; a mail body goes straight to its sink, so a huge one is never held twice.
#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/search_panes.h"

namespace tarsel::cli {

class ProgressLine;

struct ListedRow {
    int position;  // 1-based, across pages
    HeaderRow row;
};

class TerminalPanes : public SearchPanes {
  public:
    // path: the file searched, whose open failure is explained with the system's reason.
    // named: each message about the file begins with the path as given (one archive of
    // several).
    TerminalPanes(std::ostream& err, std::filesystem::path path, bool named = false)
        : err_(err), path_(std::move(path)), named_(named) {}

    void SetCounters(int mails, int hits, int matches) override;
    void ShowPhaseIcon(PhaseIcon) override {}
    void SetProgress(int) override {}
    void ShowWarning(const std::string& message) override;
    void ResetForNewSearch() override {}
    void ClearResultList() override {}
    void SetPageButtons(bool, bool) override {}
    void ShowPageRows(const std::vector<HeaderRow>& rows, const std::vector<bool>&) override;
    void SetMailPosition(int position) override { position_ = position; }
    void MarkRowViewed(int) override {}
    bool WantsMailBody() const override { return static_cast<bool>(bodySink_); }
    void ShowMailBody(MailBody body) override {
        if (bodySink_) {
            bodySink_(body);
        }
    }

    // The progress line, removed before a message so that the message starts a line of its own.
    void SetProgressLine(ProgressLine* line) { line_ = line; }
    // Where the bodies shown from now on go; an empty sink drops them.
    void SetBodySink(std::function<void(const MailBody&)> sink) { bodySink_ = std::move(sink); }

    int mails() const { return mails_; }
    int hits() const { return hits_; }
    int matches() const { return matches_; }
    bool failed() const { return failed_; }
    // Whether the search string was refused, whatever the file.
    bool searchRefused() const { return searchRefused_; }
    const std::vector<ListedRow>& rows() const { return rows_; }

  private:
    std::ostream& err_;
    std::filesystem::path path_;
    bool named_ = false;
    bool searchRefused_ = false;
    int mails_ = 0;
    int hits_ = 0;
    int matches_ = 0;
    bool failed_ = false;  // a warning other than the end of the search was shown
    int position_ = 0;
    std::vector<ListedRow> rows_;
    std::function<void(const MailBody&)> bodySink_;
    ProgressLine* line_ = nullptr;
};

}  // namespace tarsel::cli
