// The lean scanner of the decoded search: counts a search string in what a reader is shown of
// one mail (decoded Subject, From and body text) without building that text unless a part
// can hold the string.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "mime/charset.h"

namespace tarsel::mime {

// The search string (UTF-8) with the bytes that must stand in a part of each charset for
// the string to occur in its text. Built once per search, read by every worker.
class DecodedNeedle {
  public:
    struct Filter {
        bool impossible = false;  // the string cannot occur in text of this charset
        std::string bytes;        // must occur in the part's bytes; empty: no filter
    };

    explicit DecodedNeedle(std::string utf8);

    const std::string& utf8() const { return utf8_; }
    const Filter& FilterFor(Charset charset, std::string_view name) const;

  private:
    std::string utf8_;
    Filter utf8Filter_, jis_, cp932_, eucJp_, asciiCompatible_, none_;
};

// Occurrences (overlapping ones included) of the string in the decoded Subject, From and
// body text of one mail. mail is the text after the mail mark. The needle must not be empty.
std::size_t CountInMail(std::string_view mail, const DecodedNeedle& needle);

// The decoded texts themselves, UTF-8: what the search looks at.
struct MailTexts {
    std::string subject;
    std::string from;
    std::vector<std::string> parts;  // the body's shown text parts, in order
};
MailTexts TextsOfMail(std::string_view mail);

}  // namespace tarsel::mime
