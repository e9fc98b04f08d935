// One row of the result list: the header fields of one matching mail.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarsel {

// Texts are Shift-JIS byte strings (UTF-8 when utf8 is set); a field the header does not have
// stays empty.
struct HeaderRow {
    std::string sender;   // decoded value of the last line holding "FROM"
    std::string subject;  // decoded value of the last "SUBJECT" line plus its continuations
    std::string date;     // year/month/day time of the last line holding "DATE"
    std::string address;  // "0x" and the body's absolute file offset in lower-case hex
    bool utf8 = false;    // the decoded search's rows hold UTF-8 texts instead
};

// Extracts the row of one mail. mailText runs from the first byte of the mail mark to the
// next mark (or the end of the file); mailStart is the absolute file offset of that mark.
HeaderRow ExtractHeaderRow(std::string_view mailText, std::int64_t mailStart);
// The same, written over row, whose strings keep their room: a listing that fills the same rows
// again allocates nothing for them.
void ExtractHeaderRowInto(std::string_view mailText, std::int64_t mailStart, HeaderRow& row);

// Position of the first CR LF CR LF in a mail text, or -1 when there is none.
std::int64_t FindHeaderEnd(std::string_view mailText);

}  // namespace tarsel
