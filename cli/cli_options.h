// Options of the command-line front end.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace tarsel::cli {

struct Options {
    bool json = false;
    bool decoded = false;  // --decoded: search what a mail reader shows, in any charset
    int page = 0;          // 1-based page to list; 0 lists every page
    int show = 0;          // 1-based position of the mail whose body is added; 0 for none
    std::string mailFile;
    std::string search;  // UTF-8, as given
};

// Parses argv. On --help (or an error) prints to out/err and returns the exit status to end
// with; otherwise fills options and returns nothing.
std::optional<int> ParseOptions(int argc, char** argv, Options& options, std::ostream& out,
                                std::ostream& err);

}  // namespace tarsel::cli
