// Sender, subject, date and address of one mail, taken from the lines of its header block.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <optional>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "decode/header_value.h"
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

// The text with its ASCII letters upper-cased (as ToUpperAscii), into a buffer the caller
// keeps: a header block is upper-cased once, sixteen bytes at a time, without allocating.
void UpperCaseInto(std::string_view text, std::string& upper) {
    upper.resize(text.size());
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i beforeA = _mm_set1_epi8('a' - 1);
    const __m128i afterZ = _mm_set1_epi8('z' + 1);
    const __m128i caseBit = _mm_set1_epi8(0x20);
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        // Signed compares: bytes of 0x80 and up are negative and so never letters.
        const __m128i letter =
            _mm_and_si128(_mm_cmpgt_epi8(bytes, beforeA), _mm_cmplt_epi8(bytes, afterZ));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(upper.data() + i),
                         _mm_sub_epi8(bytes, _mm_and_si128(letter, caseBit)));
    }
#endif
    for (; i < text.size(); ++i) {
        const char byte = text[i];
        upper[i] = byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : byte;
    }
}

// Where the line ends and the keys stand in an upper-cased header block, ascending. Each kind
// begins with its own two bytes, so one pass over the block finds them all.
struct KeyPositions {
    std::vector<std::size_t> lineEnds;
    std::vector<std::size_t> subjects;
    std::vector<std::size_t> dates;
    std::vector<std::size_t> senders;

    void Note(std::string_view upper, std::size_t at) {
        const std::string_view rest = upper.substr(at);
        if (rest.starts_with(kLineEnd)) {
            lineEnds.push_back(at);
        } else if (rest.starts_with(kSubjectKey)) {
            subjects.push_back(at);
        } else if (rest.starts_with(kDateKey)) {
            dates.push_back(at);
        } else if (rest.starts_with(kSenderKey)) {
            senders.push_back(at);
        }
    }

    void Find(std::string_view upper) {
        lineEnds.clear();
        subjects.clear();
        dates.clear();
        senders.clear();
        std::size_t i = 0;
#if defined(__SSE2__)
        const auto pair = [](__m128i first, __m128i second, char a, char b) {
            return _mm_and_si128(_mm_cmpeq_epi8(first, _mm_set1_epi8(a)),
                                 _mm_cmpeq_epi8(second, _mm_set1_epi8(b)));
        };
        for (; i + 17 <= upper.size(); i += 16) {
            const auto* at = reinterpret_cast<const __m128i*>(upper.data() + i);
            const __m128i first = _mm_loadu_si128(at);
            const __m128i second =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper.data() + i + 1));
            const __m128i any =
                _mm_or_si128(_mm_or_si128(pair(first, second, kLineEnd[0], kLineEnd[1]),
                                          pair(first, second, kSubjectKey[0], kSubjectKey[1])),
                             _mm_or_si128(pair(first, second, kDateKey[0], kDateKey[1]),
                                          pair(first, second, kSenderKey[0], kSenderKey[1])));
            for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(any)); mask != 0;
                 mask &= mask - 1) {
                Note(upper, i + static_cast<std::size_t>(__builtin_ctz(mask)));
            }
        }
#endif
        for (; i + 1 < upper.size(); ++i) {
            Note(upper, i);
        }
    }
};

// The first of the ascending positions at or after from, when it lies before to; the cursor
// moves past the positions before from, so lines taken in order walk each list once.
std::optional<std::size_t> NextIn(const std::vector<std::size_t>& positions, std::size_t& cursor,
                                  std::size_t from, std::size_t to) {
    while (cursor < positions.size() && positions[cursor] < from) {
        ++cursor;
    }
    if (cursor < positions.size() && positions[cursor] < to) {
        return positions[cursor];
    }
    return std::nullopt;
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

    // The keys are looked for in the block with its ASCII letters upper-cased, made once into
    // a buffer that each thread keeps; positions in it are positions in the block.
    thread_local std::string upperBlock;
    UpperCaseInto(header, upperBlock);
    thread_local KeyPositions keys;
    keys.Find(upperBlock);
    std::size_t nextLineEnd = 0;
    std::size_t nextSubject = 0;
    std::size_t nextDate = 0;
    std::size_t nextSender = 0;

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

    HeaderRow row;
    bool inSubject = false;
    std::size_t lineStart = 0;
    for (;;) {
        const std::optional<std::size_t> found =
            NextIn(keys.lineEnds, nextLineEnd, lineStart, header.size());
        if (!found) {
            break;
        }
        const std::size_t lineEnd = *found;
        // The next line starts at the LF of this line's break, not after it; the LF then sits
        // in front of every later line and keeps the fixed cuts measured from the key.
        const std::string_view line = header.substr(lineStart, lineEnd - lineStart);
        const std::string_view upper =
            std::string_view(upperBlock).substr(lineStart, lineEnd - lineStart);
        const std::size_t start = lineStart;
        lineStart = lineEnd + 1;

        if (inSubject) {
            const std::size_t word = upper.find(kEncodedWordPrefix);
            if (word != std::string_view::npos) {
                subjectParts.push_back({line, word});
            } else {
                inSubject = false;
            }
        }

        // A key never holds a CR, so one that starts in the line ends in it.
        if (const auto key = NextIn(keys.subjects, nextSubject, start, lineEnd)) {
            subjectParts.assign(1, Value{line, *key - start + kSubjectCut});
            inSubject = true;
        }

        // After a date line the sender key is looked for in the date's day piece only, as it
        // stands in the mail, yet its position still cuts the whole line.
        const std::optional<std::size_t> senderKey =
            NextIn(keys.senders, nextSender, start, lineEnd);
        if (NextIn(keys.dates, nextDate, start, lineEnd)) {
            const NormalizedDate date = NormalizeDate(line);
            row.date = date.text;
            if (const std::size_t key = date.day.find(kSenderKey); key != std::string_view::npos) {
                sender = Value{line, key + kSenderCut};
            }
        } else if (senderKey) {
            sender = Value{line, *senderKey - start + kSenderCut};
        }
    }

    for (const Value& part : subjectParts) {
        row.subject += DecodeFrom(part.line, part.from);
    }
    if (sender) {
        row.sender = DecodeFrom(sender->line, sender->from);
    }

    row.address = HexAddress(mailStart + static_cast<std::int64_t>(separator) + 4);
    return row;
}

}  // namespace tarsel
