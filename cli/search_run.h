// One whole search from the terminal: the same phases through the same driver as the window.
#pragma once

#include <ostream>

#include "cli/cli_options.h"
#include "cli/printer.h"

namespace tarsel::cli {

// Runs the search and prints its result to out. progress: report the phases on err as they
// go. Returns the exit status: 0 a mail matched, 1 none did, 2 an error.
int RunSearch(const Options& options, Printer& out, std::ostream& err, bool progress);

}  // namespace tarsel::cli
