// The From_ lines of mbox archives: the line that begins each mail, and the quoting that keeps a
// mail's own lines beginning with "From " from being read as one.
#pragma once

#include <string>
#include <string_view>

namespace tarsel {

// Whether a mail text is one of an mbox: it begins with its From_ line. A mail of the mark's
// format begins with the mark instead.
bool StartsWithFromLine(std::string_view mailText);

// The bytes of the mail's first line with its line end: its From_ line when it has one.
std::string_view FirstLine(std::string_view mailText);

// Whether the line at line (up to the text's end) is a quoted or an unquoted From_ line:
// any number of '>' followed by "From ".
bool IsQuotedFromLine(std::string_view line);

// Takes one '>' off every line that is '>' and a quoted From_ line, as a reader of mboxrd does.
void UnquoteFromLines(std::string& text);

// Appends text to out with one more '>' before every line that is a quoted or unquoted From_
// line, as mboxrd writes a mail.
void AppendQuotedFromLines(std::string_view text, std::string& out);

}  // namespace tarsel
