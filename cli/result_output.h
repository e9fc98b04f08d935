// Printing a finished search as text or JSON (UTF-8).
#pragma once

#include <ostream>

#include "cli/terminal_panes.h"

namespace tarsel::cli {

void PrintText(const TerminalPanes& panes, bool withBody, bool colour, std::ostream& out);
void PrintJson(const TerminalPanes& panes, bool withBody, std::ostream& out, bool decoded = false);

}  // namespace tarsel::cli
