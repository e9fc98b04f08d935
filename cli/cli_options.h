// Options of the command-line front end.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "engine/mail_export.h"

namespace tarsel::cli {

enum class ColourWhen { kAuto, kAlways, kNever };

struct Options {
    bool json = false;
    bool decoded = false;  // --decoded: search what a mail reader shows, in any charset
    bool exact = false;    // --exact: a decoded query's words compared as typed
    bool kana = false;     // --kana: hiragana and katakana alike
    bool help = false;
    bool version = false;
    ColourWhen colour = ColourWhen::kAuto;
    int page = 0;  // 1-based page to list; 0 lists every page
    int show = 0;  // 1-based position of the mail whose body is added; 0 for none
    ExportFormat exportFormat = ExportFormat::kNone;  // --export FORMAT TARGET
    std::string exportTarget;
    std::vector<std::string> archives;  // as given, searched in this order
    std::string search;                 // UTF-8, as given
};

// The text of --help.
extern const char* const kUsage;

// Parses argv; options may stand anywhere among the operands and "--" ends them. On an error
// writes it (and the usage) to err and returns false.
bool ParseOptions(int argc, char** argv, Options& options, std::ostream& err);

}  // namespace tarsel::cli
