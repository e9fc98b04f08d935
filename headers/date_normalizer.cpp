// Rewriting of a Date field's value as year/month/day time.
#include "headers/date_normalizer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "headers/ascii_text.h"

namespace tarsel {
namespace {

constexpr std::array<std::string_view, 12> kMonthNumbers = {"01", "02", "03", "04", "05", "06",
                                                            "07", "08", "09", "10", "11", "12"};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

// Reads the value left to right, the way mailers' dates are read: pieces with gaps of blanks,
// line breaks and comments between them.
class DateReader {
  public:
    explicit DateReader(std::string_view value) : value_(value) {}

    // Skips blanks and comments; true when there were any (or the value ends there).
    bool SkipGap() {
        const std::size_t from = at_;
        while (at_ < value_.size()) {
            const char c = value_[at_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++at_;
            } else if (c == '(') {
                SkipComment();
            } else {
                break;
            }
        }
        return at_ > from || at_ == value_.size();
    }

    // A run of one to most digits; empty when there is none or it is longer.
    std::string_view Digits(std::size_t most) {
        const std::size_t from = at_;
        while (at_ < value_.size() && IsDigit(value_[at_])) {
            ++at_;
        }
        if (at_ - from > most) {
            return {};
        }
        return value_.substr(from, at_ - from);
    }

    std::string_view Letters() {
        const std::size_t from = at_;
        while (at_ < value_.size() && IsLetter(value_[at_])) {
            ++at_;
        }
        return value_.substr(from, at_ - from);
    }

    bool Take(char c) {
        if (at_ < value_.size() && value_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    char Peek() const { return at_ < value_.size() ? value_[at_] : '\0'; }
    std::size_t Place() const { return at_; }
    std::string_view From(std::size_t from) const { return value_.substr(from, at_ - from); }

  private:
    // A comment may hold comments and backslash pairs; one left open runs to the end.
    void SkipComment() {
        int depth = 0;
        while (at_ < value_.size()) {
            const char c = value_[at_++];
            if (c == '\\') {
                at_ += at_ < value_.size() ? 1 : 0;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                return;
            }
        }
    }

    std::string_view value_;
    std::size_t at_ = 0;
};

// The month's number for its three-letter name in any case; empty for any other text.
std::string_view MonthNumber(std::string_view name) {
    static constexpr std::string_view kNames = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
    if (name.size() != 3) {
        return {};
    }
    const char upper[3] = {UpperAscii(name[0]), UpperAscii(name[1]), UpperAscii(name[2])};
    for (std::size_t month = 0; month < kMonthNumbers.size(); ++month) {
        if (std::equal(upper, upper + 3, kNames.begin() + static_cast<std::ptrdiff_t>(3 * month))) {
            return kMonthNumbers[month];
        }
    }
    return {};
}

// h:mm or h:mm:ss, the hour in one or two digits; empty when the time is not of that form.
std::string_view ReadTime(DateReader& reader) {
    const std::size_t from = reader.Place();
    if (reader.Digits(2).empty() || !reader.Take(':') || reader.Digits(2).size() != 2) {
        return {};
    }
    if (reader.Take(':') && reader.Digits(2).size() != 2) {
        return {};
    }
    if (reader.Peek() == ':' || IsDigit(reader.Peek())) {
        return {};
    }
    return reader.From(from);
}

// The pieces of a date as written; false when the value is no date.
struct DatePieces {
    std::string_view day, month, year, time;  // month as its two-digit number
};
bool ReadDate(std::string_view value, DatePieces& pieces) {
    DateReader reader(value);
    reader.SkipGap();
    if (IsLetter(reader.Peek())) {
        reader.Letters();  // the day's name, which the column does not show
        reader.SkipGap();
        if (reader.Take(',')) {
            reader.SkipGap();
        }
    }
    pieces.day = reader.Digits(2);
    if (pieces.day.empty() || !reader.SkipGap()) {
        return false;
    }
    pieces.month = MonthNumber(reader.Letters());
    if (pieces.month.empty() || !reader.SkipGap()) {
        return false;
    }
    pieces.year = reader.Digits(4);
    if (pieces.year.size() < 2 || !reader.SkipGap()) {
        return false;
    }
    pieces.time = ReadTime(reader);
    return !pieces.time.empty();
}

int Number(std::string_view digits) {
    int n = 0;
    for (const char c : digits) {
        n = n * 10 + (c - '0');
    }
    return n;
}

}  // namespace

bool NormalizeDateInto(std::string_view value, std::string& text) {
    text.clear();
    DatePieces pieces;
    if (!ReadDate(value, pieces)) {
        return false;
    }
    const std::string_view day = pieces.day, month = pieces.month, time = pieces.time;
    const std::string_view year = pieces.year.substr(pieces.year.size() - 2);
    const std::string_view pad = day.size() == 1 ? "0" : "";
    // Sized once and filled piece by piece: a row's date is rewritten into the same string
    // mail after mail.
    text.resize(year.size() + month.size() + pad.size() + day.size() + time.size() + 3);
    char* to = text.data();
    to = std::copy(year.begin(), year.end(), to);
    *to++ = '/';
    to = std::copy(month.begin(), month.end(), to);
    *to++ = '/';
    to = std::copy(pad.begin(), pad.end(), to);
    to = std::copy(day.begin(), day.end(), to);
    *to++ = ' ';
    std::copy(time.begin(), time.end(), to);
    return true;
}

int MailDay(std::string_view value) {
    DatePieces pieces;
    if (!ReadDate(value, pieces)) {
        return 0;
    }
    int year = Number(pieces.year);
    if (pieces.year.size() == 2) {
        year += year < 50 ? 2000 : 1900;  // as RFC 5322 reads obsolete years
    } else if (pieces.year.size() == 3) {
        year += 1900;
    }
    return year * 10000 + Number(pieces.month) * 100 + Number(pieces.day);
}

std::string NormalizeDate(std::string_view value) {
    std::string text;
    NormalizeDateInto(value, text);
    return text;
}

}  // namespace tarsel
