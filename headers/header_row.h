// One row of the result list: the header fields of one matching mail.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarsel {

// Texts are Shift-JIS byte strings (UTF-8 when utf8 is set); a field the header does not have
// stays empty.
struct HeaderRow {
    std::string sender;   // decoded value of the last From field
    std::string subject;  // decoded value of the last Subject field, unfolded
    std::string date;     // year/month/day time of the last Date field; empty for no date
    std::string address;  // "0x" and the body's absolute file offset in lower-case hex
    bool utf8 = false;    // the decoded search's rows hold UTF-8 texts instead
    // The archive's file name (native bytes) when the search covers several; else empty.
    std::string file{};
};

// Extracts the row of one mail. mailText runs from the first byte of the mail mark to the
// next mark (or the end of the file); mailStart is the absolute file offset of that mark. The
// mail of an mbox runs from its From_ line to the next.
HeaderRow ExtractHeaderRow(std::string_view mailText, std::int64_t mailStart);
// The same, written over row, whose strings keep their room: a listing that fills the same rows
// again allocates nothing for them.
void ExtractHeaderRowInto(std::string_view mailText, std::int64_t mailStart, HeaderRow& row);

// Where the body of a mail text begins: right after the first empty line (lines end at CR LF,
// a bare LF or a bare CR; the line of the mark itself never counts as empty), or -1 when
// there is none and the whole mail is header.
std::int64_t FindBodyStart(std::string_view mailText);

// The mail text after its mark, and after the line end when the mark stands on a line of its
// own: where the first header line begins. The mail of an mbox begins after its From_ line.
std::string_view MailAfterMark(std::string_view mailText);

}  // namespace tarsel
