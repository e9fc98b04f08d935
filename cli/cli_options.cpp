// Parsing of the command line with getopt_long.
#include "cli/cli_options.h"

#include <getopt.h>

#include <charconv>
#include <cstring>

namespace tarsel::cli {
namespace {

constexpr const char* kUsage =
    "Usage: tarsel-search [--decoded] [--json] [--page N] [--show N] MAILFILE SEARCH\n"
    "\n"
    "Searches the mail archive MAILFILE for SEARCH (UTF-8; Japanese text is searched as\n"
    "the JIS bytes of ISO-2022-JP mail) and prints the number of mails, hits and matching\n"
    "mails, then one line per matching mail: position, sender, subject, date, address.\n"
    "\n"
    "  --decoded   search the decoded Subject, From and body text of every mail (any\n"
    "              charset and transfer encoding) instead of the raw bytes\n"
    "  --json      print one JSON object instead of text\n"
    "  --page N    list only page N (from 1) of 20 matching mails\n"
    "  --show N    add the body of matching mail N (from 1), hits marked\n"
    "  -h, --help  print this help\n"
    "\n"
    "Exit status: 0 when a mail matched, 1 when none did, 2 on an error.\n";

bool ParsePositive(const char* text, int& value) {
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && value > 0;
}

}  // namespace

std::optional<int> ParseOptions(int argc, char** argv, Options& options, std::ostream& out,
                                std::ostream& err) {
    static const option kLong[] = {
        {"json", no_argument, nullptr, 'j'},       {"decoded", no_argument, nullptr, 'd'},
        {"page", required_argument, nullptr, 'p'}, {"show", required_argument, nullptr, 's'},
        {"help", no_argument, nullptr, 'h'},       {nullptr, 0, nullptr, 0},
    };
    optind = 1;  // parse afresh on every call
    opterr = 0;
    for (;;) {
        const int c = getopt_long(argc, argv, "+h", kLong, nullptr);
        if (c == -1) {
            break;
        }
        switch (c) {
            case 'j':
                options.json = true;
                break;
            case 'd':
                options.decoded = true;
                break;
            case 'p':
                if (!ParsePositive(optarg, options.page)) {
                    err << "tarsel-search: --page needs a number from 1\n";
                    return 2;
                }
                break;
            case 's':
                if (!ParsePositive(optarg, options.show)) {
                    err << "tarsel-search: --show needs a number from 1\n";
                    return 2;
                }
                break;
            case 'h':
                out << kUsage;
                return 0;
            default:
                err << "tarsel-search: unknown option " << argv[optind - 1] << "\n" << kUsage;
                return 2;
        }
    }
    if (argc - optind != 2) {
        err << kUsage;
        return 2;
    }
    options.mailFile = argv[optind];
    options.search = argv[optind + 1];
    return std::nullopt;
}

}  // namespace tarsel::cli
