// Parsing of the command line with getopt_long, which lets options stand anywhere among the
// operands (as grep's do) and stops at "--".
#include "cli/cli_options.h"

#include <getopt.h>

#include <charconv>
#include <cstring>
#include <vector>

#include "decode/safe_text.h"

namespace tarsel::cli {

const char* const kUsage =
    "Usage: tarsel-search [OPTION]... ARCHIVE... SEARCH\n"
    "\n"
    "Searches the mail archives ARCHIVE for SEARCH (UTF-8; Japanese text is searched as\n"
    "the JIS bytes of ISO-2022-JP mail) and prints the number of mails, hits and matching\n"
    "mails, then one line per matching mail: position, sender, subject, date, address.\n"
    "With several archives they are searched and listed in the order given, the counters\n"
    "are their totals and each line begins with its archive's path and a tab.\n"
    "\n"
    "  --decoded           search the decoded Subject, From and body text of every mail\n"
    "                      (any charset and transfer encoding) instead of the raw bytes;\n"
    "                      SEARCH is then a query (see below)\n"
    "  --exact             with --decoded: compare words as typed, without folding\n"
    "  --kana              with --decoded: hiragana and katakana alike\n"
    "  --json              print one JSON object instead of text\n"
    "  --page N            list only page N (from 1) of 20 matching mails\n"
    "  --show N            add the body of matching mail N (from 1), hits marked\n"
    "  --export mbox FILE  also write the matching mails to FILE as an mbox (mboxrd)\n"
    "  --export eml DIR    also write each matching mail to DIR as 00001.eml, 00002.eml, ...\n"
    "                      (DIR is made if missing; nothing that exists is written over)\n"
    "  --color[=WHEN]      mark hits in colour: auto (default: only when standard output\n"
    "                      is a terminal and NO_COLOR is not set), always or never\n"
    "  -h, --help          print this help\n"
    "  --version           print the version\n"
    "\n"
    "A decoded query matches the mails that hold all its words (blanks between them):\n"
    "  \"a phrase\"  one word with blanks     -word  mails without it\n"
    "  A OR B      either of two words      subject:/件名: from:/差出人: body:/本文:  one field\n"
    "  date:2012, date:2012-04..2012-06, date:..2005-06  the day of the Date field\n"
    "Words are compared folded (width, case, accents, ～ and 〜 and the like) unless --exact.\n"
    "\n"
    "An ARCHIVE whose first bytes are \"From \" is read as an mbox: each mail begins at a\n"
    "From_ line at the start or after an empty line.\n"
    "\n"
    "Options may follow the operands; \"--\" ends the options, so SEARCH may begin with \"-\".\n"
    "Control characters from mails (ESC, BEL, DEL, C1 and the like) are written as \\xHH,\n"
    "for example ESC as \\x1b, never raw; so is a byte that is not UTF-8.\n"
    "\n"
    "Exit status: 0 when a mail matched, 1 when none did, 2 on an error.\n";

namespace {

bool ParsePositive(const char* text, int& value) {
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && value > 0;
}

bool ParseColour(const char* text, ColourWhen& when) {
    const std::string_view word = text == nullptr ? "auto" : text;
    if (word == "auto") {
        when = ColourWhen::kAuto;
    } else if (word == "always") {
        when = ColourWhen::kAlways;
    } else if (word == "never") {
        when = ColourWhen::kNever;
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options, std::ostream& err) {
    static const option kLong[] = {
        {"json", no_argument, nullptr, 'j'},
        {"decoded", no_argument, nullptr, 'd'},
        {"page", required_argument, nullptr, 'p'},
        {"show", required_argument, nullptr, 's'},
        {"color", optional_argument, nullptr, 'c'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'v'},
        {"exact", no_argument, nullptr, 'e'},
        {"kana", no_argument, nullptr, 'k'},
        {"export", required_argument, nullptr, 'x'},
        {nullptr, 0, nullptr, 0},
    };
    optind = 0;  // 0, not 1: glibc then also forgets the state of an earlier call
    opterr = 0;
    std::vector<const char*> operands;
    for (;;) {
        // "-": operands come back in order as 1, so options may stand anywhere even when
        // POSIXLY_CORRECT is set; "--" still ends the options. ":": a missing value is ':'.
        const int c = getopt_long(argc, argv, "-:h", kLong, nullptr);
        if (c == -1) {
            break;
        }
        switch (c) {
            case 1:
                operands.push_back(optarg);
                break;
            case 'j':
                options.json = true;
                break;
            case 'd':
                options.decoded = true;
                break;
            case 'e':
                options.exact = true;
                break;
            case 'k':
                options.kana = true;
                break;
            case 'p':
                if (!ParsePositive(optarg, options.page)) {
                    err << "tarsel-search: --page needs a number from 1\n";
                    return false;
                }
                break;
            case 's':
                if (!ParsePositive(optarg, options.show)) {
                    err << "tarsel-search: --show needs a number from 1\n";
                    return false;
                }
                break;
            case 'c':
                if (!ParseColour(optarg, options.colour)) {
                    err << "tarsel-search: --color needs auto, always or never\n";
                    return false;
                }
                break;
            case 'x':
                // The target is the word after the format; an operand in getopt's order.
                options.exportFormat = std::strcmp(optarg, "mbox") == 0  ? ExportFormat::kMbox
                                       : std::strcmp(optarg, "eml") == 0 ? ExportFormat::kEml
                                                                         : ExportFormat::kNone;
                if (options.exportFormat == ExportFormat::kNone || optind >= argc) {
                    err << "tarsel-search: --export needs mbox or eml and then a file or folder\n";
                    return false;
                }
                options.exportTarget = argv[optind++];
                break;
            case 'h':
                options.help = true;
                return true;
            case 'v':
                options.version = true;
                return true;
            case ':':
                err << "tarsel-search: " << EscapedForMessage(argv[optind - 1])
                    << " needs a value\n";
                return false;
            default:
                err << "tarsel-search: unknown option " << EscapedForMessage(argv[optind - 1])
                    << "\n"
                    << kUsage;
                return false;
        }
    }
    operands.insert(operands.end(), argv + optind, argv + argc);  // those after "--"
    if (operands.size() < 2) {
        err << kUsage;
        return false;
    }
    options.archives.assign(operands.begin(), operands.end() - 1);
    options.search = operands.back();
    return true;
}

}  // namespace tarsel::cli
