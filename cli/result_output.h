// Printing a finished search as text or JSON (UTF-8) through the printer. A body comes last
// and is streamed in pieces, so a huge mail is never held once more as UTF-8.
#pragma once

#include "cli/printer.h"
#include "cli/terminal_panes.h"

namespace tarsel::cli {

// The counters and the listed rows; the JSON object stays open for a body. The JSON names
// the search's mode (decoded or raw).
void PrintListing(Printer& out, const TerminalPanes& panes, bool json, bool decoded);
// The runs of the body, after the listing.
void PrintBody(Printer& out, const MailBody& body, bool json);
// Closes what PrintListing opened.
void EndResult(Printer& out, bool json);

}  // namespace tarsel::cli
