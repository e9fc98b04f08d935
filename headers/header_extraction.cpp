// Sender, subject, date and address of one mail, taken from the fields of its header block.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <utility>

#include "decode/header_value.h"
#include "headers/date_normalizer.h"
#include "headers/from_lines.h"
#include "headers/header_row.h"
#include "headers/line_breaks.h"

namespace tarsel {
namespace {

constexpr std::string_view kMailMark = "\x7f\x20\x7f";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Appends the decoded value; a field that is not there adds nothing.
void AppendDecodedValue(std::string_view value, std::string& out) {
    AppendDecodedJoinedValue(value, out);
}

void WriteHexAddress(std::int64_t offset, std::string& address) {
    std::array<char, 2 + 2 * sizeof(std::int64_t) + 1> buffer{'0', 'x'};
    const auto [end, error] =
        std::to_chars(buffer.data() + 2, buffer.data() + buffer.size(), offset, 16);
    (void)error;  // the buffer holds any 64-bit value
    // Written over the row's string in place: mail after mail the address mostly keeps its
    // length, and then no call sizes it.
    const auto size = static_cast<std::size_t>(end - buffer.data());
    if (address.size() != size) {
        address.resize(size);
    }
    std::copy(buffer.data(), end, address.data());
}

// Where a field's value stands: from after its colon to the end of its last continuation line.
struct FieldPlace {
    std::size_t from = kNoPlace;
    std::size_t to = 0;
    bool folded = false;  // continuation lines follow the first: line ends lie inside
};

// What the first byte of a header line tells of it: that it continues the field before, that
// it may open one of the row's fields (the name's first letter in either case), or neither.
enum class Lead : unsigned char { kOther, kFold, kSubject, kFrom, kDate };
constexpr std::array<Lead, 256> kLeads = [] {
    std::array<Lead, 256> leads{};
    leads[' '] = leads['\t'] = Lead::kFold;
    leads['s'] = leads['S'] = Lead::kSubject;
    leads['f'] = leads['F'] = Lead::kFrom;
    leads['d'] = leads['D'] = Lead::kDate;
    return leads;
}();

// The first eight bytes from at, as one little-endian word (NUL bytes past the text's end).
std::uint64_t WordAt(std::string_view text, std::size_t at) {
    std::uint64_t word = 0;
    if (text.size() - at >= sizeof word) {
        std::memcpy(&word, text.data() + at, sizeof word);
        return word;
    }
    for (std::size_t i = 0; at + i < text.size(); ++i) {
        word |= std::uint64_t{static_cast<unsigned char>(text[at + i])} << (8 * i);
    }
    return word;
}

// A field's name in lower case, its bytes in the low bytes of a word as WordAt gives them.
struct FieldName {
    constexpr explicit FieldName(std::string_view name) : length(name.size()) {
        for (std::size_t i = name.size(); i-- > 0;) {
            word = word << 8 | static_cast<unsigned char>(name[i]);
        }
    }
    std::uint64_t word = 0;
    std::size_t length;
};
constexpr FieldName kSubject("subject"), kFrom("from"), kDate("date");

// The header line from start to end opens the field of that name (in any case, blanks allowed
// before the colon): its place is noted and returned, else null.
FieldPlace* OpenField(FieldPlace& place, const FieldName& name, std::string_view mailText,
                      std::size_t start, std::size_t end) {
    if (end - start <= name.length) {
        return nullptr;
    }
    // The name's bytes compared at once, each with 0x20 set as a byte-wise case-blind
    // comparison sets it; the bytes after the name are masked off.
    const std::uint64_t mask = ~std::uint64_t{0} >> (64 - 8 * name.length);
    if (((WordAt(mailText, start) | 0x2020202020202020) & mask) != name.word) {
        return nullptr;
    }
    std::size_t at = start + name.length;
    while (at < end && IsBlank(mailText[at])) {
        ++at;
    }
    if (at == end || mailText[at] != ':') {
        return nullptr;
    }
    place = FieldPlace{at + 1, end, false};
    return &place;
}

// A folded value's lines joined: the line breaks of its folds gone, the text around them kept.
// The lines go over whole, found as the header's lines are: a folded value is mostly long
// lines, and a byte at a time would cost more than the rest of the row's extraction.
std::string_view Unfolded(std::string_view value, std::string& scratch) {
    scratch.clear();
    ForEachLine(value, 0, [&](std::size_t start, std::size_t end, std::size_t) {
        scratch.append(value.data() + start, end - start);
        return true;
    });
    return scratch;
}

// The field's value as one line, the blanks after the colon dropped. A value on one line (most
// are) is a view into the mail.
std::string_view UnfoldedValue(std::string_view mailText, const FieldPlace& place,
                               std::string& scratch) {
    if (place.from == kNoPlace) {
        return {};
    }
    std::string_view value(mailText.data() + place.from, place.to - place.from);
    if (place.folded) {
        value = Unfolded(value, scratch);
    }
    while (!value.empty() && IsBlank(value.front())) {
        value.remove_prefix(1);
    }
    return value;
}

}  // namespace

std::string_view MailAfterMark(std::string_view mailText) {
    if (mailText.size() >= kMailMark.size() && mailText[0] == kMailMark[0] &&
        (mailText[1] == kMailMark[1] || mailText[1] == '\0') && mailText[2] == kMailMark[2]) {
        mailText.remove_prefix(kMailMark.size());
        // A mark on a line of its own: its line end is not the empty line that ends the header.
        if (mailText.starts_with("\r\n")) {
            mailText.remove_prefix(2);
        } else if (!mailText.empty() && (mailText[0] == '\r' || mailText[0] == '\n')) {
            mailText.remove_prefix(1);
        }
    } else if (StartsWithFromLine(mailText)) {
        // An mbox mail: its From_ line is the archive's, not a line of the header.
        mailText.remove_prefix(FirstLine(mailText).size());
    }
    return mailText;
}

std::int64_t FindBodyStart(std::string_view mailText) {
    const std::string_view mail = MailAfterMark(mailText);
    const std::size_t first = mailText.size() - mail.size();
    std::int64_t body = -1;
    ForEachLine(mailText, first, [&](std::size_t start, std::size_t end, std::size_t next) {
        if (start == end) {
            body = static_cast<std::int64_t>(next);
            return false;
        }
        return true;
    });
    return body;
}

HeaderRow ExtractHeaderRow(std::string_view mailText, std::int64_t mailStart) {
    HeaderRow row;
    ExtractHeaderRowInto(mailText, mailStart, row);
    return row;
}

void ExtractHeaderRowInto(std::string_view mailText, std::int64_t mailStart, HeaderRow& row) {
    // Only the last field of each name counts, so the places are noted as the lines are met
    // and the values read once at the end: a header may repeat a field many times.
    FieldPlace subject, sender, date;
    FieldPlace* open = nullptr;          // the row's field that a continuation line would extend
    std::size_t body = mailText.size();  // without an empty line the whole mail is header
    const std::size_t first = mailText.size() - MailAfterMark(mailText).size();
    ForEachLine(mailText, first, [&](std::size_t start, std::size_t end, std::size_t next) {
        if (start == end) {
            body = next;  // the empty line ends the header
            return false;
        }
        // One look-up of the first byte: most lines open none of the row's fields.
        switch (kLeads[static_cast<unsigned char>(mailText[start])]) {
            case Lead::kFold:
                if (open != nullptr) {
                    open->to = end;
                    open->folded = true;
                }
                break;
            case Lead::kSubject:
                open = OpenField(subject, kSubject, mailText, start, end);
                break;
            case Lead::kFrom:
                open = OpenField(sender, kFrom, mailText, start, end);
                break;
            case Lead::kDate:
                open = OpenField(date, kDate, mailText, start, end);
                break;
            case Lead::kOther:
                open = nullptr;
                break;
        }
        return true;
    });

    row.sender.clear();
    row.subject.clear();
    row.utf8 = false;
    thread_local std::string unfolded;
    AppendDecodedValue(UnfoldedValue(mailText, subject, unfolded), row.subject);
    AppendDecodedValue(UnfoldedValue(mailText, sender, unfolded), row.sender);
    NormalizeDateInto(UnfoldedValue(mailText, date, unfolded), row.date);
    WriteHexAddress(mailStart + static_cast<std::int64_t>(body), row.address);
}

}  // namespace tarsel
