// tarsel-search as a whole: options, colour choice, the search and the end of the output.
#include "cli/command.h"

#include "cli/cli_options.h"
#include "cli/printer.h"
#include "cli/search_run.h"
#include "tarsel_version.h"

namespace tarsel::cli {

int RunCommand(int argc, char** argv, int outFd, std::ostream& err, const Surroundings& around) {
    Options options;
    if (!ParseOptions(argc, argv, options, err)) {
        return 2;
    }
    const bool colour =
        options.colour == ColourWhen::kAlways ||
        (options.colour == ColourWhen::kAuto && around.stdoutIsTerminal && !around.noColour);
    Printer out(outFd, colour);
    int status = 0;
    if (options.help) {
        out.Own(kUsage);
    } else if (options.version) {
        out.Own("tarsel-search ");
        out.Own(kTarselVersion);
        out.Own("\n");
    } else {
        status = RunSearch(options, out, err, around.stderrIsTerminal);
    }
    // A closed pipe ends quietly with the search's own status: the reader had enough.
    const int written = out.Finish(err);
    return written == 2 ? 2 : status;
}

}  // namespace tarsel::cli
