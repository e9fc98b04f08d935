// The walk over one mail's MIME tree that the decoded search and its queries share: the text
// parts a reader is shown, transfer-decoded, handed to a visitor in order.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "mime/charset.h"

namespace tarsel::mime {

// A text part as the walk hands it over: its bytes after the transfer encoding.
struct TextPart {
    std::string_view bytes;
    Charset charset;
    std::string_view charsetName;
    bool html;
};

class PartVisitor {
  public:
    virtual ~PartVisitor() = default;
    virtual void Visit(const TextPart& part) = 0;
    // A line of a forwarded mail's header (its sender or its subject), decoded.
    virtual void VisitLine(std::string_view utf8) = 0;

    // Alternatives are read into the visitor one after the other, as far as the choice needs
    // them, and then all but the chosen one are dropped again. A mark is a position in what
    // has been visited.
    virtual bool Searching() const = 0;
    virtual std::size_t Mark() const = 0;
    virtual bool Holds(std::size_t from, std::size_t to) const = 0;
    // Drops what was visited from `from` on, except [keepFrom, keepTo).
    virtual void KeepOnly(std::size_t from, std::size_t keepFrom, std::size_t keepTo) = 0;
};

template <class Unit>
void KeepOnlyOf(std::vector<Unit>& units, std::size_t from, std::size_t keepFrom,
                std::size_t keepTo) {
    units.erase(units.begin() + static_cast<std::ptrdiff_t>(keepTo), units.end());
    units.erase(units.begin() + static_cast<std::ptrdiff_t>(from),
                units.begin() + static_cast<std::ptrdiff_t>(keepFrom));
}

// Walks mail (the text after the mail mark, line feeds at its line ends) from its top entity.
void WalkMail(std::string_view mail, PartVisitor& visitor);

// The body parts of a multipart body between its delimiter lines, split as the walk splits them.
std::vector<std::string_view> BodyPartsOf(std::string_view body, std::string_view boundary);

// Appends a part's text as a reader is shown it: UTF-8, HTML as a browser lays it out, NULs as
// blanks.
void AppendPartText(const TextPart& part, std::string& out);

}  // namespace tarsel::mime
