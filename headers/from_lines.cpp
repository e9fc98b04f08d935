// Reading and writing the From_ quoting of mbox archives. Lines are what LF ends: a CR before it
// belongs to the line, and a quoted line never begins after a bare CR.
#include "headers/from_lines.h"

#include <algorithm>

namespace tarsel {
namespace {

constexpr std::string_view kFrom = "From ";

// Calls line(start) for the start of every line of text, in order.
template <class Line>
void ForEachLineStart(std::string_view text, Line&& line) {
    for (std::size_t at = 0; at < text.size();) {
        line(at);
        const std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            break;
        }
        at = end + 1;
    }
}

}  // namespace

bool StartsWithFromLine(std::string_view mailText) {
    return mailText.starts_with(kFrom);
}

std::string_view FirstLine(std::string_view mailText) {
    const std::size_t end = mailText.find('\n');
    return end == std::string_view::npos ? mailText : mailText.substr(0, end + 1);
}

bool IsQuotedFromLine(std::string_view line) {
    const std::size_t quotes = line.find_first_not_of('>');
    return quotes != std::string_view::npos && line.substr(quotes).starts_with(kFrom);
}

void UnquoteFromLines(std::string& text) {
    // The text shrinks in place: the bytes before a dropped '>' move down over the gap, and
    // only bytes already looked at are written over.
    const std::string_view all = text;
    std::size_t to = 0;
    std::size_t from = 0;
    ForEachLineStart(all, [&](std::size_t start) {
        if (all[start] == '>' && IsQuotedFromLine(all.substr(start))) {
            std::copy(text.begin() + from, text.begin() + start, text.begin() + to);
            to += start - from;
            from = start + 1;
        }
    });
    std::copy(text.begin() + from, text.end(), text.begin() + to);
    text.resize(to + text.size() - from);
}

void AppendQuotedFromLines(std::string_view text, std::string& out) {
    std::size_t copied = 0;
    ForEachLineStart(text, [&](std::size_t start) {
        if (IsQuotedFromLine(text.substr(start))) {
            out.append(text.substr(copied, start - copied));
            out += '>';
            copied = start;
        }
    });
    out.append(text.substr(copied));
}

}  // namespace tarsel
