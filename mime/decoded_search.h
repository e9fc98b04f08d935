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
        // One character of the string as it stands in bytes of this charset, for HTML, where
        // markup may come between the characters; empty: none.
        std::string character;
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
    // The body's shown text parts, in order; a forwarded mail adds its sender and its subject
    // as a part each before its own parts.
    std::vector<std::string> parts;
};
// search (UTF-8) chooses among alternatives (see ChosenAlternative); without one the
// preferred alternative is taken.
MailTexts TextsOfMail(std::string_view mail, std::string_view search = {});

}  // namespace tarsel::mime
