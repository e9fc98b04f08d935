// The panes of a terminal.
#include "cli/terminal_panes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/progress_line.h"
#include "decode/safe_text.h"
#include "engine/messages.h"
#include "engine/search_state.h"

namespace tarsel::cli {
namespace {

// Why the file does not open, asked again the way the loader opens it; empty when it opens now.
std::string OpenFailureReason(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    return std::strerror(errno);
}

}  // namespace

void TerminalPanes::SetCounters(int mails, int hits, int matches) {
    if (mails >= 0) {
        mails_ = mails;
    }
    if (hits >= 0) {
        hits_ = hits;
    }
    if (matches >= 0) {
        matches_ = matches;
    }
}

void TerminalPanes::ShowWarning(const std::string& message) {
    if (message == msg::kSearchDone) {
        return;  // the end of a search is no news on a terminal
    }
    failed_ = true;
    searchRefused_ = message == msg::kNoSearch;
    if (line_ != nullptr) {
        line_->Erase();
    }
    err_ << "tarsel-search: ";
    if (named_ && !searchRefused_) {
        err_ << TerminalMessage(path_.string()) << ": ";
    }
    err_ << TerminalMessage(message) << "\n";
    if (message == msg::CannotOpen(path_.string())) {
        if (const std::string reason = OpenFailureReason(path_); !reason.empty()) {
            err_ << reason << "\n";
        }
    }
}

void TerminalPanes::ShowPageRows(const std::vector<HeaderRow>& rows, const std::vector<bool>&) {
    for (std::size_t r = 0; r < rows.size(); ++r) {
        rows_.push_back(ListedRow{static_cast<int>(r) + 1, rows[r]});  // the driver lists page 1
    }
}

}  // namespace tarsel::cli
