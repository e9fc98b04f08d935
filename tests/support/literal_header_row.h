// The header row of one mail read literally, step by step and without regard for speed: the
// lines split at every line end, the fields named before their colons, folds joined, the date
// read piece by piece. The fuzz target compares the extraction against it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "headers/header_row.h"
#include "tests/support/literal_decoders.h"

namespace tarsel::literal {

inline bool IsBlankLiterally(char c) {
    return c == ' ' || c == '\t';
}

inline bool IsLetterLiterally(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The value with its comments (which may nest and hold backslash pairs) turned into blanks.
inline std::string WithoutCommentsLiterally(const std::string& value) {
    std::string out;
    int depth = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (depth > 0 && c == '\\') {
            ++i;
        } else if (c == '(') {
            ++depth;
        } else if (depth > 0 && c == ')') {
            --depth;
        } else if (depth == 0) {
            out += c;
            continue;
        }
        out += ' ';
    }
    return out;
}

inline std::string NormalizeDateLiterally(const std::string& value) {
    std::string rest = WithoutCommentsLiterally(value);
    for (char& c : rest) {
        c = c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
    }
    std::size_t at = rest.find_first_not_of(' ');
    if (at != std::string::npos && IsLetterLiterally(rest[at])) {
        while (at < rest.size() && IsLetterLiterally(rest[at])) {
            ++at;
        }
        at = rest.find_first_not_of(' ', at);
        if (at != std::string::npos && rest[at] == ',') {
            ++at;
        }
    }
    rest = at == std::string::npos ? std::string() : rest.substr(at);
    std::string pieces[3];  // day, month and year, each ended by a blank
    std::size_t from = 0;
    for (std::string& piece : pieces) {
        from = rest.find_first_not_of(' ', from);
        const std::size_t to = from == std::string::npos ? from : rest.find(' ', from);
        if (to == std::string::npos) {
            return {};
        }
        piece = rest.substr(from, to - from);
        from = to;
    }
    from = rest.find_first_not_of(' ', from);
    rest = from == std::string::npos ? std::string() : rest.substr(from);
    const std::string& day = pieces[0];
    const std::string month = UpperAscii(pieces[1]);
    const std::string& year = pieces[2];
    static const std::string kMonths = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
    const std::size_t place = month.size() == 3 ? kMonths.find(month) : std::string::npos;
    if (!AllDigits(day) || day.size() > 2 || place == std::string::npos || place % 3 != 0 ||
        !AllDigits(year) || year.size() < 2 || year.size() > 4) {
        return {};
    }
    // h:mm or h:mm:ss, not followed by another digit or colon.
    const auto digits = [&](std::size_t from) {
        std::size_t to = from;
        while (to < rest.size() && rest[to] >= '0' && rest[to] <= '9') {
            ++to;
        }
        return to - from;
    };
    const std::size_t hour = digits(0);
    std::size_t end = hour + 3;
    if (hour < 1 || hour > 2 || rest.compare(hour, 1, ":") != 0 || digits(hour + 1) != 2) {
        return {};
    }
    if (rest.compare(end, 1, ":") == 0) {
        if (digits(end + 1) != 2) {
            return {};
        }
        end += 3;
    }
    if (end < rest.size() && (rest[end] == ':' || (rest[end] >= '0' && rest[end] <= '9'))) {
        return {};
    }
    const std::string time = rest.substr(0, end);
    const int number = static_cast<int>(place / 3) + 1;
    return year.substr(year.size() - 2) + "/" + (number < 10 ? "0" : "") + std::to_string(number) +
           "/" + (day.size() == 1 ? "0" : "") + day + " " + time;
}

// The blanks between an encoded word's "?=" and the next word's prefix taken out.
inline std::string JoinAdjacentWordsLiterally(std::string value) {
    const std::string prefix = "=?ISO-2022-JP?B?";
    for (std::size_t from = 0;;) {
        const std::size_t word = UpperAscii(value).find(prefix, from);
        if (word == std::string::npos) {
            return value;
        }
        const std::size_t end = value.find("?=", word + prefix.size());
        if (end == std::string::npos) {
            return value;
        }
        std::size_t next = end + 2;
        while (next < value.size() && IsBlankLiterally(value[next])) {
            ++next;
        }
        if (next > end + 2 && UpperAscii(value.substr(next, prefix.size())) == prefix &&
            value.find("?=", next + prefix.size()) != std::string::npos) {
            value.erase(end + 2, next - (end + 2));
        }
        from = end + 2;
    }
}

inline HeaderRow ExtractHeaderRowLiterally(const std::string& t, std::int64_t start) {
    std::size_t at = 0;
    if (t.size() >= 3 && t[0] == '\x7f' && (t[1] == ' ' || t[1] == '\0') && t[2] == '\x7f') {
        at = 3;
        if (t.compare(at, 2, "\r\n") == 0) {
            at += 2;
        } else if (at < t.size() && (t[at] == '\r' || t[at] == '\n')) {
            at += 1;
        }
    } else if (t.compare(0, 5, "From ") == 0) {  // an mbox mail's From_ line
        at = t.find('\n');
        at = at == std::string::npos ? t.size() : at + 1;
    }
    std::vector<std::string> lines;
    std::size_t body = t.size();
    while (at < t.size()) {
        const std::size_t end = t.find_first_of("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(t.substr(at));
            break;
        }
        const std::size_t next = t.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        if (end == at) {
            body = next;
            break;
        }
        lines.push_back(t.substr(at, end - at));
        at = next;
    }

    std::string subject, sender, date;
    bool haveSubject = false, haveSender = false, haveDate = false;
    std::string* open = nullptr;
    for (const std::string& line : lines) {
        if (IsBlankLiterally(line[0])) {
            if (open != nullptr) {
                *open += line;
            }
            continue;
        }
        open = nullptr;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::string name = line.substr(0, colon);
        while (!name.empty() && IsBlankLiterally(name.back())) {
            name.pop_back();
        }
        name = UpperAscii(name);
        if (name == "SUBJECT") {
            open = &subject;
            haveSubject = true;
        } else if (name == "FROM") {
            open = &sender;
            haveSender = true;
        } else if (name == "DATE") {
            open = &date;
            haveDate = true;
        }
        if (open != nullptr) {
            *open = line.substr(colon + 1);
        }
    }
    const auto value = [](std::string text) {
        const std::size_t first = text.find_first_not_of(" \t");
        return first == std::string::npos ? std::string() : text.substr(first);
    };
    HeaderRow row;
    if (haveSubject) {
        row.subject = DecodeHeaderValueLiterally(JoinAdjacentWordsLiterally(value(subject)));
    }
    if (haveSender) {
        row.sender = DecodeHeaderValueLiterally(JoinAdjacentWordsLiterally(value(sender)));
    }
    if (haveDate) {
        row.date = NormalizeDateLiterally(value(date));
    }
    static const char* const kHex = "0123456789abcdef";
    std::string digits;
    for (std::int64_t v = start + static_cast<std::int64_t>(body); v > 0; v /= 16) {
        digits.insert(digits.begin(), kHex[v % 16]);
    }
    row.address = "0x" + (digits.empty() ? "0" : digits);
    return row;
}

}  // namespace tarsel::literal
