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

// The month's number for its three-letter name in any case; empty for any other text. The
// name is letters (both readers take it so), which | 0x20 brings to lower case.
std::string_view MonthNumber(std::string_view name) {
    if (name.size() != 3) {
        return {};
    }
    const auto lower = [&](std::size_t i) {
        return std::uint32_t{static_cast<unsigned char>(name[i])} | 0x20;
    };
    // A switch on the three letters together: a dozen comparisons in turn cost more than the
    // rest of a usual date's reading.
    switch (lower(0) << 16 | lower(1) << 8 | lower(2)) {
        case 'j' << 16 | 'a' << 8 | 'n':
            return kMonthNumbers[0];
        case 'f' << 16 | 'e' << 8 | 'b':
            return kMonthNumbers[1];
        case 'm' << 16 | 'a' << 8 | 'r':
            return kMonthNumbers[2];
        case 'a' << 16 | 'p' << 8 | 'r':
            return kMonthNumbers[3];
        case 'm' << 16 | 'a' << 8 | 'y':
            return kMonthNumbers[4];
        case 'j' << 16 | 'u' << 8 | 'n':
            return kMonthNumbers[5];
        case 'j' << 16 | 'u' << 8 | 'l':
            return kMonthNumbers[6];
        case 'a' << 16 | 'u' << 8 | 'g':
            return kMonthNumbers[7];
        case 's' << 16 | 'e' << 8 | 'p':
            return kMonthNumbers[8];
        case 'o' << 16 | 'c' << 8 | 't':
            return kMonthNumbers[9];
        case 'n' << 16 | 'o' << 8 | 'v':
            return kMonthNumbers[10];
        case 'd' << 16 | 'e' << 8 | 'c':
            return kMonthNumbers[11];
        default:
            return {};
    }
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

// The layout nearly every mailer writes, "Sat, 27 Mar 1999 03:46:49" with single blanks, read
// at the places its pieces must stand: the general reader spends most of a row's date on its
// gaps. Any other layout gives false, to be read by ReadDate; a layout read here gives the
// pieces ReadDate gives, as every place checked here ends one of ReadDate's runs.
// The farthest place the usual layout's reading looks at: the one after
// "Sat, 27 Mar 1999 03:46:49".
constexpr std::size_t kUsualReach = 26;

class UsualDateReader {
  public:
    // bytes holds the value's first kUsualReach bytes, or all of them padded with NUL bytes: no
    // place needs a check against the value's end, as a NUL is no digit, letter, blank or
    // mark, just as the end is none.
    UsualDateReader(const char* bytes, std::string_view value) : bytes_(bytes), value_(value) {}

    bool Read(DatePieces& pieces) const {
        std::size_t at = 0;
        if (IsLetter(bytes_[0])) {  // "Sat, "
            if (!IsLetter(bytes_[1]) || !IsLetter(bytes_[2]) || bytes_[3] != ',' ||
                bytes_[4] != ' ') {
                return false;
            }
            at = 5;
        }
        const std::size_t day = at;
        if (!IsDigit(bytes_[day])) {
            return false;
        }
        at += IsDigit(bytes_[day + 1]) ? 2 : 1;
        if (bytes_[at] != ' ' || !IsLetter(bytes_[at + 1]) || !IsLetter(bytes_[at + 2]) ||
            !IsLetter(bytes_[at + 3]) || bytes_[at + 4] != ' ') {
            return false;
        }
        pieces.day = Piece(day, at);
        pieces.month = MonthNumber(Piece(at + 1, at + 4));
        const std::size_t year = at + 5;
        if (pieces.month.empty() || !IsDigit(bytes_[year]) || !IsDigit(bytes_[year + 1])) {
            return false;
        }
        at = year + 2;  // and two more digits at most
        at += IsDigit(bytes_[at]) ? 1 : 0;
        at += IsDigit(bytes_[at]) ? 1 : 0;
        if (bytes_[at] != ' ') {
            return false;
        }
        pieces.year = Piece(year, at);
        const std::size_t time = at + 1;  // h:mm or h:mm:ss, as ReadTime takes it
        if (!IsDigit(bytes_[time])) {
            return false;
        }
        at = time + (IsDigit(bytes_[time + 1]) ? 2 : 1);
        int parts = 0;  // minutes and seconds
        for (; parts < 2 && bytes_[at] == ':'; ++parts) {
            if (!IsDigit(bytes_[at + 1]) || !IsDigit(bytes_[at + 2])) {
                return false;
            }
            at += 3;
        }
        if (parts == 0 || bytes_[at] == ':' || IsDigit(bytes_[at])) {
            return false;
        }
        pieces.time = Piece(time, at);
        return true;
    }

  private:
    std::string_view Piece(std::size_t from, std::size_t to) const {
        return {value_.data() + from, to - from};
    }

    const char* bytes_;
    std::string_view value_;
};

// The layout nearly every mailer writes, "Sat, 27 Mar 1999 03:46:49" with single blanks, read
// at the places its pieces must stand: the general reader spends most of a row's date on its
// gaps. Any other layout gives false, to be read by ReadDate; a layout read here gives the
// pieces ReadDate gives, as every place checked here ends one of ReadDate's runs.
bool ReadUsualDate(std::string_view value, DatePieces& pieces) {
    if (value.size() >= kUsualReach) {
        return UsualDateReader(value.data(), value).Read(pieces);
    }
    std::array<char, kUsualReach> padded{};
    std::copy(value.begin(), value.end(), padded.begin());
    return UsualDateReader(padded.data(), value).Read(pieces);
}

bool ReadAnyDate(std::string_view value, DatePieces& pieces) {
    return ReadUsualDate(value, pieces) || ReadDate(value, pieces);
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
    DatePieces pieces;
    if (!ReadAnyDate(value, pieces)) {
        text.clear();
        return false;
    }
    // "yy/mm/dd time" written in place: a row's date is rewritten into the same string mail
    // after mail, mostly at the same length, which then needs no call to size it.
    const std::string_view day = pieces.day, month = pieces.month, year = pieces.year;
    const std::string_view time = pieces.time;
    if (text.size() != 9 + time.size()) {
        text.resize(9 + time.size());
    }
    char* const to = text.data();
    to[0] = year[year.size() - 2];
    to[1] = year[year.size() - 1];
    to[2] = '/';
    to[3] = month[0];
    to[4] = month[1];
    to[5] = '/';
    to[6] = day.size() == 1 ? '0' : day[0];
    to[7] = day.back();
    to[8] = ' ';
    std::copy(time.begin(), time.end(), to + 9);
    return true;
}

int MailDay(std::string_view value) {
    DatePieces pieces;
    if (!ReadAnyDate(value, pieces)) {
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
