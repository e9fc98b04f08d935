// Writing the matching mails of a search out of their archives: one mboxrd file, or one .eml
// file per mail in a folder. Nothing that exists is ever written over, and whatever a failed
// export wrote is removed again.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/mail_place.h"

namespace tarsel {

enum class ExportFormat { kNone, kMbox, kEml };

// The mail's own bytes in its text as the archive holds it: after the mark (and the mark's line
// end) or after the From_ line, and without the empty line an mbox puts before the next From_
// line or its end, which is the archive's and not the mail's.
std::string_view MailBytes(std::string_view mailText);

// The From_ line, with its line end, that begins the mail in an mbox: the mail's own when it
// comes from an mbox, else MAILER-DAEMON and the time of its Date field (the start of 1970
// when it has none that reads).
std::string FromLineFor(std::string_view mailText);

// Followed, and stopped, from another thread while an export runs.
struct ExportProgress {
    std::atomic<std::size_t> mailsDone{0};  // mails written so far
    std::atomic<bool> stop{false};          // set: the export ends as if it had failed
};

// Writes the mails to target in that format. False, with nothing left behind and the reason in
// reason (a line for each thing that failed, without a line end), when the target exists (a
// folder: holds any of the names to be written), cannot be made, or a read or write fails.
// With progress, a stopped export also leaves nothing behind, with an empty reason.
bool ExportMails(ExportFormat format, const std::filesystem::path& target,
                 const std::vector<MailPlace>& mails, std::string& reason,
                 ExportProgress* progress = nullptr);

}  // namespace tarsel
