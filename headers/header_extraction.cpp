// Sender, subject, date and address of one mail, taken from the lines of its header block.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>

#include "decode/header_value.h"
#include "headers/ascii_text.h"
#include "headers/date_normalizer.h"
#include "headers/header_row.h"

namespace tarsel {
namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kEncodedWordPrefix = "=?ISO-2022-JP?B?";
constexpr std::string_view kSubjectKey = "SUBJECT";
constexpr std::string_view kDateKey = "DATE";
constexpr std::string_view kSenderKey = "FROM";
// The values are cut at fixed distances from their keys, which assume "Subject: " and
// "From: "; a header written without the blank after its colon loses a byte of its value.
constexpr std::size_t kSubjectCut = 9;
constexpr std::size_t kSenderCut = 6;

// Decodes the line from the given position; a line that ends before it gives nothing.
std::string DecodeFrom(std::string_view line, std::size_t from) {
    if (from > line.size()) {
        return {};
    }
    return DecodeHeaderValue(std::string(line.substr(from)));
}

// Without a blank line the header runs to three bytes before the end, so the body offset
// lands one byte past the mail.
std::size_t HeaderSeparator(std::string_view mailText) {
    const std::int64_t end = FindHeaderEnd(mailText);
    if (end >= 0) {
        return static_cast<std::size_t>(end);
    }
    return mailText.size() > 3 ? mailText.size() - 3 : 0;
}

std::string HexAddress(std::int64_t offset) {
    std::array<char, 2 + 2 * sizeof(std::int64_t) + 1> buffer{'0', 'x'};
    const auto [end, error] =
        std::to_chars(buffer.data() + 2, buffer.data() + buffer.size(), offset, 16);
    (void)error;  // the buffer holds any 64-bit value
    return std::string(buffer.data(), end);
}

}  // namespace

std::int64_t FindHeaderEnd(std::string_view mailText) {
    const std::size_t end = mailText.find(kHeaderEnd);
    return end == std::string_view::npos ? -1 : static_cast<std::int64_t>(end);
}

HeaderRow ExtractHeaderRow(std::string_view mailText, std::int64_t mailStart) {
    const std::size_t separator = HeaderSeparator(mailText);
    // The block keeps the CR LF of its last line, so that line is examined too.
    const std::string_view header = mailText.substr(0, std::min(separator + 2, mailText.size()));

    HeaderRow row;
    bool inSubject = false;
    std::size_t lineStart = 0;
    for (;;) {
        const std::size_t lineEnd = header.find(kLineEnd, lineStart);
        if (lineEnd == std::string_view::npos) {
            break;
        }
        // The next line starts at the LF of this line's break, not after it; the LF then sits
        // in front of every later line and keeps the fixed cuts measured from the key.
        const std::string_view line = header.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        const std::string upper = ToUpperAscii(line);

        if (inSubject) {
            const std::size_t word = upper.find(kEncodedWordPrefix);
            if (word != std::string::npos) {
                row.subject += DecodeFrom(line, word);
            } else {
                inSubject = false;
            }
        }

        if (const std::size_t key = upper.find(kSubjectKey); key != std::string::npos) {
            row.subject = DecodeFrom(line, key + kSubjectCut);
            inSubject = true;
        }

        // After a date line the sender key is looked for in the date's day piece only, as it
        // stands in the mail, yet its position still cuts the whole line.
        std::string_view senderKeys = upper;
        NormalizedDate date;
        if (upper.find(kDateKey) != std::string::npos) {
            date = NormalizeDate(line);
            row.date = date.text;
            senderKeys = date.day;
        }

        if (const std::size_t key = senderKeys.find(kSenderKey); key != std::string_view::npos) {
            row.sender = DecodeFrom(line, key + kSenderCut);
        }
    }

    row.address = HexAddress(mailStart + static_cast<std::int64_t>(separator) + 4);
    return row;
}

}  // namespace tarsel
