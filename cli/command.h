// tarsel-search as a whole: options, colour choice, the search and the end of the output.
#pragma once

#include <ostream>

namespace tarsel::cli {

// What the program sees of its surroundings.
struct Surroundings {
    bool stdoutIsTerminal = false;
    bool stderrIsTerminal = false;
    bool noColour = false;  // NO_COLOR is set to a non-empty value
};

// Runs the command line and writes its output to outFd. Returns the exit status: 0 a mail
// matched (or help and version), 1 none did, 2 an error, a failed write included.
int RunCommand(int argc, char** argv, int outFd, std::ostream& err, const Surroundings& around);

}  // namespace tarsel::cli
