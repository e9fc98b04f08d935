// tarsel-search: one whole search of a mail archive from the command line.
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "cli/command.h"

int main(int argc, char** argv) {
    tarsel::cli::Surroundings around;
    around.stdoutIsTerminal = ::isatty(STDOUT_FILENO) != 0;
    around.stderrIsTerminal = ::isatty(STDERR_FILENO) != 0;
    const char* noColour = std::getenv("NO_COLOR");
    around.noColour = noColour != nullptr && *noColour != '\0';
    const int status = tarsel::cli::RunCommand(argc, argv, STDOUT_FILENO, std::cerr, around);
    // Everything is written by now. The process ends without taking its search apart: the
    // workers, the view of the archive and the rows go with it at once, where the destructors
    // would wake and join the workers and unmap and free piece by piece (a millisecond after a
    // long listing).
    std::cerr.flush();
    ::_exit(status);
}
