// The header row of one mail read literally, step by step: the block cut at its first blank
// line, each line upper-cased afresh and searched for its keys, the date cut at blanks. The
// fuzz target compares the extraction against it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "headers/header_row.h"
#include "tests/support/literal_decoders.h"

namespace tarsel::literal {

inline std::string TrimLiterally(std::string text) {
    const std::string blanks = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The next piece of r up to its first blank (all of r when there is none), trimmed.
inline std::string TakePieceLiterally(std::string& r) {
    const std::size_t s = r.find(' ');
    const std::string piece = TrimLiterally(r.substr(0, s));
    r = s == std::string::npos ? std::string() : r.substr(s + 1);
    return piece;
}

// The date text of a line and its day piece.
inline std::pair<std::string, std::string> NormalizeDateLiterally(const std::string& line) {
    const std::size_t c = line.find(',');
    const std::size_t from = c == std::string::npos ? 1 : c + 2;
    std::string r = from < line.size() ? line.substr(from) : std::string();
    const std::string day = TakePieceLiterally(r);
    const std::string monthText = UpperAscii(TakePieceLiterally(r));
    std::string year = TakePieceLiterally(r);
    const std::string time = TakePieceLiterally(r);
    static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    std::string month = "00";
    for (int i = 0; i < 12; ++i) {
        if (monthText == kMonths[i]) {
            month = (i < 9 ? "0" : "") + std::to_string(i + 1);
        }
    }
    if (year.size() > 2) {
        year = year.substr(year.size() - 2);
    }
    return {year + "/" + month + "/" + (day.size() == 1 ? "0" + day : day) + " " + time, day};
}

inline HeaderRow ExtractHeaderRowLiterally(const std::string& t, std::int64_t start) {
    std::size_t k = std::string::npos;
    for (std::size_t p = 0; p + 4 <= t.size() && k == std::string::npos; ++p) {
        if (t.compare(p, 4, "\r\n\r\n") == 0) {
            k = p;
        }
    }
    if (k == std::string::npos) {
        k = t.size() > 3 ? t.size() - 3 : 0;
    }
    std::string h = t.substr(0, k + 2);
    // Decoded only where the value is cut, never on a line that ends before the cut.
    const auto from = [](const std::string& line, std::size_t at) {
        return at > line.size() ? std::string() : DecodeHeaderValueLiterally(line.substr(at));
    };
    HeaderRow row;
    bool inSubject = false;
    for (std::size_t e; (e = h.find("\r\n")) != std::string::npos;) {
        const std::string line = h.substr(0, e);
        std::string upper = UpperAscii(line);
        h = h.substr(e + 1);
        if (inSubject) {
            const std::size_t q = upper.find("=?ISO-2022-JP?B?");
            if (q != std::string::npos) {
                row.subject += DecodeHeaderValueLiterally(line.substr(q));
            } else {
                inSubject = false;
            }
        }
        if (const std::size_t q = upper.find("SUBJECT"); q != std::string::npos) {
            row.subject = from(line, q + 9);
            inSubject = true;
        }
        if (upper.find("DATE") != std::string::npos) {
            auto [text, day] = NormalizeDateLiterally(line);
            row.date = text;
            upper = day;  // the day piece as it stands in the line
        }
        if (const std::size_t q = upper.find("FROM"); q != std::string::npos) {
            row.sender = from(line, q + 6);
        }
    }
    const std::int64_t body = start + static_cast<std::int64_t>(k) + 4;
    static const char* const kHex = "0123456789abcdef";
    std::string digits;
    for (std::int64_t v = body; v > 0; v /= 16) {
        digits.insert(digits.begin(), kHex[v % 16]);
    }
    row.address = "0x" + (digits.empty() ? "0" : digits);
    return row;
}

}  // namespace tarsel::literal
