// Sender, subject, date and address of one mail, taken from the lines of its header block.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "decode/header_value.h"
#include "headers/ascii_text.h"
#include "headers/date_normalizer.h"
#include "headers/header_row.h"
#include "headers/line_keys.h"

namespace tarsel {
namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kSenderKey = "FROM";
// The values are cut at fixed distances from their keys, which assume "Subject: " and
// "From: "; a header written without the blank after its colon loses a byte of its value.
constexpr std::size_t kSubjectCut = 9;
constexpr std::size_t kSenderCut = 6;

// Appends the decoded line from the given position; a line that ends before it adds nothing.
void AppendDecodedFrom(std::string_view line, std::size_t from, std::string& out) {
    if (from <= line.size()) {
        AppendDecodedHeaderValue(line.substr(from), out);
    }
}

void WriteHexAddress(std::int64_t offset, std::string& address) {
    std::array<char, 2 + 2 * sizeof(std::int64_t) + 1> buffer{'0', 'x'};
    const auto [end, error] =
        std::to_chars(buffer.data() + 2, buffer.data() + buffer.size(), offset, 16);
    (void)error;  // the buffer holds any 64-bit value
    address.assign(buffer.data(), end);
}

}  // namespace

std::int64_t FindHeaderEnd(std::string_view mailText) {
    const std::size_t end = mailText.find(kHeaderEnd);
    return end == std::string_view::npos ? -1 : static_cast<std::int64_t>(end);
}

HeaderRow ExtractHeaderRow(std::string_view mailText, std::int64_t mailStart) {
    HeaderRow row;
    ExtractHeaderRowInto(mailText, mailStart, row);
    return row;
}

void ExtractHeaderRowInto(std::string_view mailText, std::int64_t mailStart, HeaderRow& row) {
    // The header block runs to its first blank line and keeps the CR LF of its last line, so
    // that line is examined too; without a blank line it runs to one byte before the end (the
    // body offset then lands one byte past the mail). The lines are walked from CR LF to CR LF,
    // which meets the blank line first of all, so the block's end is found on the way.
    const std::size_t size = mailText.size();
    const std::size_t noBlankLineEnd = std::min((size > 3 ? size - 3 : 0) + 2, size);
    std::size_t separator = size > 3 ? size - 3 : 0;

    // Only the last subject (with its continuation lines) and the last sender count, so the
    // values are noted as they are met and decoded once at the end: many lines (Received
    // among them) hold the sender key and would each be decoded for nothing.
    struct Value {
        std::string_view line;
        std::size_t from;
    };
    thread_local std::vector<Value> subjectParts;
    subjectParts.clear();
    std::optional<Value> sender;

    row.sender.clear();
    row.subject.clear();
    row.date.clear();
    row.utf8 = false;
    bool inSubject = false;
    std::size_t previousEnd = kNoPlace;
    // The next line starts at the LF of this line's break, not after it; the LF then sits
    // in front of every later line and keeps the fixed cuts measured from the key.
    std::size_t lineStart = 0;
    LineKeys keys;  // where the keys first stand in the line being read
    bool keyed = false;

    // The line from lineStart ends at lineEnd: false once that ends the block.
    const auto endLine = [&](std::size_t lineEnd) {
        if (previousEnd != kNoPlace && lineEnd == previousEnd + 2) {
            separator = previousEnd;  // CR LF CR LF: the blank line ends the block
            return false;
        }
        if (lineEnd + 2 > noBlankLineEnd) {
            return false;  // past the block of a mail without a blank line
        }
        previousEnd = lineEnd;
        const std::size_t start = lineStart;
        lineStart = lineEnd + 1;
        if (!keyed && !inSubject) {
            return true;  // most lines: nothing to note
        }
        const std::string_view line = mailText.substr(start, lineEnd - start);

        if (inSubject) {
            const std::size_t word = FindEncodedWord(line);
            if (word != std::string_view::npos) {
                subjectParts.push_back({line, word});
            } else {
                inSubject = false;
            }
        }

        if (keys.subject != kNoPlace) {
            subjectParts.assign(1, Value{line, keys.subject - start + kSubjectCut});
            inSubject = true;
        }

        // After a date line the sender key is looked for in the date's day piece only, as it
        // stands in the mail, yet its position still cuts the whole line.
        if (keys.date != kNoPlace) {
            const std::string_view day = NormalizeDateInto(line, row.date);
            if (const std::size_t key = day.find(kSenderKey); key != std::string_view::npos) {
                sender = Value{line, key + kSenderCut};
            }
        } else if (keys.sender != kNoPlace) {
            sender = Value{line, keys.sender - start + kSenderCut};
        }
        keys = LineKeys{};
        keyed = false;
        return true;
    };

    // A CR LF ends the line being read; a key's first letters may begin a key of it.
    LineKeyScanner scanner(mailText);
    scanner.ReadMarks(endLine, [&](std::size_t at) { keyed = scanner.NoteKey(at, keys) || keyed; });

    for (const Value& part : subjectParts) {
        AppendDecodedFrom(part.line, part.from, row.subject);
    }
    if (sender) {
        AppendDecodedFrom(sender->line, sender->from, row.sender);
    }

    WriteHexAddress(mailStart + static_cast<std::int64_t>(separator) + 4, row.address);
}

}  // namespace tarsel
