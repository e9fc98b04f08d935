// What a reader shows above a mail's text: who sent it to whom, when, about what, and the
// names of the files it carries, every value decoded to UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarsel::mime {

struct HeaderStrip {
    std::string from, to, cc, date, subject;  // empty where the mail has no such field
    std::vector<std::string> attachments;     // file names, in the order of the parts
};

// The strip of mail (the text after the mail mark).
HeaderStrip HeaderStripOf(std::string_view mail);

// A parameter of a structured field value as text: RFC 2231 (name*=charset'lang'%XX and its
// numbered continuations) and RFC 2047 encoded words in a quoted value both decoded.
std::string ParameterText(std::string_view value, std::string_view name);

}  // namespace tarsel::mime
