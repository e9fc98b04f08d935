// Generator of realistic Japanese mail archives, for benchmarks, manual trials and the sample
// archive in samples/. The same options always give the same bytes.
//
// Each mail begins with the mark 0x7F 0x20 0x7F directly followed by its first header line, and
// the header ends with an empty line. Headers carry Received lines, senders and subjects as
// "=?ISO-2022-JP?B?" encoded words (some subjects folded over two or three lines) or in ASCII,
// and Date lines of the shapes old mailers wrote. Most bodies are ISO-2022-JP; a few are raw
// Shift-JIS or plain English. The words 検索, メール, 会議, 予定 and 報告 appear, as JIS X 0208
// pairs, in about 20, 45, 28, 35 and 25 per cent of the mails.
//
// Most mails end their lines in CR LF; by default about 4 per cent use a bare LF and 1 per cent
// a bare CR throughout, header and body alike. A few per cent each are written the other ways
// real mailers and people wrote them: Date values without seconds, with double blanks, a two-digit
// year or a zone comment after no weekday; "Subject:" without a blank after the colon; a field
// name in upper or lower case; ASCII subjects holding "from", "date" or "update", some folded;
// other fields whose name or text holds from, date or subject (X-Note, Comments,
// X-Original-Date, Resent-From); an encoded From or Reply-To right after the Subject; subjects of
// adjacent encoded words on one line. About 0.2 per cent, all without keyword sentences, have no
// empty line and no body. These choices come from a random stream of their own, so each mail
// keeps the body, keyword sentences and every other draw it had before they were added.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarsel {

enum class LineEnds {
    kMixed,  // mostly CR LF, a share of bare LF and a smaller one of bare CR
    kCrLf,
    kLf,
    kCr,
};

struct ArchiveOptions {
    std::uint64_t seed = 1;
    // Number of mails; used when targetBytes is 0.
    std::size_t mailCount = 300;
    // When not 0, mails are written until the archive is this long, never longer: the last
    // mail's body is cut after a whole line, so the archive ends less than one mail header
    // short of the target. Mails average about 1.3 KB, so 100000000 bytes hold about 79000
    // mails, well below 100000.
    std::uint64_t targetBytes = 0;
    unsigned shiftJisPercent = 3;  // share of mails with a raw Shift-JIS body
    unsigned englishPercent = 5;   // share of mails with a plain English body
    // Any style but kMixed gives the same mails as kMixed with only their line ends changed.
    LineEnds lineEnds = LineEnds::kMixed;
};

std::string GenerateArchive(const ArchiveOptions& options);

}  // namespace tarsel
