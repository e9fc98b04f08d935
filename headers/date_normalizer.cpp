// Rewriting of a Date header line as year/month/day time.
#include "headers/date_normalizer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "headers/ascii_text.h"

namespace tarsel {
namespace {

constexpr std::array<std::string_view, 12> kMonthNames = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr std::array<std::string_view, 12> kMonthNumbers = {"01", "02", "03", "04", "05", "06",
                                                            "07", "08", "09", "10", "11", "12"};
constexpr std::string_view kUnknownMonth = "00";

// Cuts the next piece off rest at its first blank, so two blanks in a row give an empty
// piece. Without a blank the piece is all that is left and nothing follows it.
std::string_view TakePiece(std::string_view& rest) {
    // Pieces are a few bytes long: a plain walk finds the blank sooner than a library call.
    std::size_t blank = 0;
    while (blank < rest.size() && rest[blank] != ' ') {
        ++blank;
    }
    if (blank == rest.size()) {
        const std::string_view piece = rest;
        rest = {};
        return TrimAsciiWhiteSpace(piece);
    }
    const std::string_view piece = rest.substr(0, blank);
    rest.remove_prefix(blank + 1);
    return TrimAsciiWhiteSpace(piece);
}

// Three letters as one number, to compare a month with all twelve names at little cost.
constexpr std::uint32_t Packed(char a, char b, char c) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16;
}

constexpr std::array<std::uint32_t, 12> kPackedMonthNames = [] {
    std::array<std::uint32_t, 12> packed{};
    for (std::size_t i = 0; i < kMonthNames.size(); ++i) {
        packed[i] = Packed(kMonthNames[i][0], kMonthNames[i][1], kMonthNames[i][2]);
    }
    return packed;
}();

std::string_view MonthNumber(std::string_view monthText) {
    if (monthText.size() != 3) {
        return kUnknownMonth;
    }
    const std::uint32_t month =
        Packed(UpperAscii(monthText[0]), UpperAscii(monthText[1]), UpperAscii(monthText[2]));
    for (std::size_t i = 0; i < kPackedMonthNames.size(); ++i) {
        if (month == kPackedMonthNames[i]) {
            return kMonthNumbers[i];
        }
    }
    return kUnknownMonth;
}

}  // namespace

std::string_view NormalizeDateInto(std::string_view line, std::string& text) {
    // The pieces start two bytes after the comma (past its blank); a line without a comma
    // loses only its first byte, which for every line but a mail's first is the LF in front.
    const std::size_t comma = line.find(',');
    const std::size_t from = comma == std::string_view::npos ? 1 : comma + 2;
    std::string_view rest = from < line.size() ? line.substr(from) : std::string_view{};

    const std::string_view day = TakePiece(rest);
    const std::string_view month = MonthNumber(TakePiece(rest));
    std::string_view year = TakePiece(rest);
    if (year.size() > 2) {
        year.remove_prefix(year.size() - 2);
    }
    const std::string_view time = TakePiece(rest);

    const std::string_view pad = day.size() == 1 ? "0" : "";
    // Sized once and filled piece by piece: a row's date is rewritten into the same string
    // mail after mail.
    text.resize(year.size() + month.size() + pad.size() + day.size() + time.size() + 3);
    char* to = text.data();
    to = std::copy(year.begin(), year.end(), to);  // at most two bytes
    *to++ = '/';
    to = std::copy(month.begin(), month.end(), to);  // two digits
    *to++ = '/';
    to = std::copy(pad.begin(), pad.end(), to);
    to = std::copy(day.begin(), day.end(), to);
    *to++ = ' ';
    std::copy(time.begin(), time.end(), to);
    return day;
}

NormalizedDate NormalizeDate(std::string_view line) {
    NormalizedDate result;
    result.day = NormalizeDateInto(line, result.text);
    return result;
}

}  // namespace tarsel
