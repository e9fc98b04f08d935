// Generator of realistic Japanese mail archives, for benchmarks, manual trials and the sample
// archive in samples/. The same options always give the same bytes.
//
// Each mail begins with the mark 0x7F 0x20 0x7F directly followed by its first header line,
// lines end in CR LF, and the header ends with an empty line. Headers carry Received lines,
// senders and subjects as "=?ISO-2022-JP?B?" encoded words (some subjects folded over two or
// three lines) or in ASCII, and Date lines of the shapes old mailers wrote. Most bodies are
// ISO-2022-JP; a few are raw Shift-JIS or plain English. The words 検索, メール, 会議, 予定 and
// 報告 appear, as JIS X 0208 pairs, in about 20, 45, 28, 35 and 25 per cent of the mails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarsel {

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
};

std::string GenerateArchive(const ArchiveOptions& options);

}  // namespace tarsel
