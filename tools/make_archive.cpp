// tarsel-make-archive: writes a generated mail archive to a file, for benchmarks and trials.
//
//   tarsel-make-archive [--seed N] [--mails N | --size BYTES] [--line-ends STYLE] OUTFILE
//
// Exit status 0 on success, 2 for a usage error or a file that cannot be written.
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include "bench/archive_generator.h"

namespace {

constexpr const char* kUsage =
    "usage: tarsel-make-archive [--seed N] [--mails N | --size BYTES] [--line-ends STYLE] "
    "OUTFILE\n"
    "  --seed N           seed of the random stream (default 1): the same seed, the same file\n"
    "  --mails N          number of mails (default 300)\n"
    "  --size BYTES       fill the file up to this size instead, never beyond it\n"
    "  --line-ends STYLE  crlf, lf or cr for every line of every mail; mixed (the default)\n"
    "                     gives most mails CR LF, some LF and a few CR\n";

bool ParseNumber(std::string_view text, std::uint64_t& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool ParseLineEnds(std::string_view text, tarsel::LineEnds& style) {
    if (text == "mixed") {
        style = tarsel::LineEnds::kMixed;
    } else if (text == "crlf") {
        style = tarsel::LineEnds::kCrLf;
    } else if (text == "lf") {
        style = tarsel::LineEnds::kLf;
    } else if (text == "cr") {
        style = tarsel::LineEnds::kCr;
    } else {
        return false;
    }
    return true;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "tarsel-make-archive: %s\n%s", message.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    tarsel::ArchiveOptions options;
    bool haveMails = false;
    bool haveSize = false;
    const char* outPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--line-ends") {
            if (i + 1 >= argc || !ParseLineEnds(argv[i + 1], options.lineEnds)) {
                return UsageError("--line-ends needs crlf, lf, cr or mixed");
            }
            ++i;
        } else if (arg == "--seed" || arg == "--mails" || arg == "--size") {
            std::uint64_t value = 0;
            if (i + 1 >= argc || !ParseNumber(argv[i + 1], value)) {
                return UsageError(std::string(arg) + " needs a non-negative whole number");
            }
            ++i;
            if (arg == "--seed") {
                options.seed = value;
            } else if (arg == "--mails") {
                options.mailCount = static_cast<std::size_t>(value);
                haveMails = true;
            } else {
                if (value == 0) {
                    return UsageError("--size must be greater than 0");
                }
                options.targetBytes = value;
                haveSize = true;
            }
        } else if (!arg.empty() && arg[0] == '-') {
            return UsageError("unknown option " + std::string(arg));
        } else if (outPath != nullptr) {
            return UsageError("only one OUTFILE may be given");
        } else {
            outPath = argv[i];
        }
    }
    if (haveMails && haveSize) {
        return UsageError("--mails and --size exclude each other");
    }
    if (outPath == nullptr) {
        return UsageError("OUTFILE is missing");
    }

    const std::string archive = tarsel::GenerateArchive(options);
    std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
    out.write(archive.data(), static_cast<std::streamsize>(archive.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "tarsel-make-archive: cannot write %s: %s\n", outPath,
                     std::strerror(errno));
        return 2;
    }
    std::size_t mails = 0;
    for (std::size_t at = archive.find("\x7f\x20\x7f"); at != std::string::npos;
         at = archive.find("\x7f\x20\x7f", at + 3)) {
        ++mails;
    }
    std::printf("%s: %zu mails, %zu bytes\n", outPath, mails, archive.size());
    return 0;
}
