// The header block of a MIME entity: where it ends, its fields, and the parameters of
// Content-Type. Everything is a view into the mail; nothing is copied.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarsel::mime {

struct Entity {
    std::string_view headers;  // the header lines, without the blank line
    std::string_view body;     // everything after the blank line
};

// Splits at the first empty line (CR LF or LF line ends); without one, all is header.
Entity SplitEntity(std::string_view text);

// A mail whose lines all end at a bare CR (it holds no LF), as the same bytes with an LF for
// each CR, so that its lines are read as lines; any other mail as it is.
std::string_view WithLineFeeds(std::string_view mail, std::string& scratch);

// The raw value of the first field of that name (after its colon, continuation lines
// included, line breaks still in it); empty and false when there is none.
bool FindField(std::string_view headers, std::string_view name, std::string_view& value);
// The same for several names in one pass over the lines: fields[i] for names[i].
struct FoundField {
    bool found = false;
    std::string_view value;
};
void FindFields(std::string_view headers, const std::string_view* names, std::size_t count,
                FoundField* fields);

// The fields a part's handling depends on.
struct ContentInfo {
    std::string_view type = "text";  // lower or mixed case as written
    std::string_view subtype = "plain";
    std::string_view charset;
    std::string_view boundary;
    std::string_view transferEncoding;
    bool attachment = false;
};
ContentInfo ContentInfoOf(std::string_view headers);

// The value of one parameter of a structured value such as "text/plain; charset=utf-8",
// without quotes; empty when absent.
std::string_view ParameterOf(std::string_view value, std::string_view name);

}  // namespace tarsel::mime
