// tarsel-search: one whole search of a mail archive from the command line.
#include <unistd.h>

#include <iostream>

#include "cli/cli_options.h"
#include "cli/search_run.h"

int main(int argc, char** argv) {
    tarsel::cli::Options options;
    if (const auto status = tarsel::cli::ParseOptions(argc, argv, options, std::cout, std::cerr)) {
        return *status;
    }
    const bool progress = ::isatty(STDERR_FILENO) != 0;
    const bool colour = ::isatty(STDOUT_FILENO) != 0;
    return tarsel::cli::RunSearch(options, std::cout, std::cerr, progress, colour);
}
