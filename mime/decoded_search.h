// The lean scanner of the decoded search: counts a search string in what a reader is shown of
// one mail (decoded Subject, From and body text) without building that text unless a part
// can hold the string.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "mime/charset.h"
#include "mime/mime_walk.h"

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
    // False when the part's bytes show that its text cannot hold the string.
    bool MayStandIn(const TextPart& part) const;

  private:
    std::string utf8_;
    Filter utf8Filter_, jis_, cp932_, eucJp_, asciiCompatible_, none_;
};

// True for a CP932 character (its bytes) that has a second code (NEC and IBM extensions, and
// the symbols they repeat): a text may hold either, so it cannot be part of a byte filter.
bool HasTwinCode(std::string_view sjis);

// True when a part of this charset whose bytes are all ASCII reads as exactly those
// characters (not so for ISO-2022-JP, UTF-7 and the like).
bool AsciiBytesStandForThemselves(Charset charset, std::string_view name);

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
// Whether a text (UTF-8) holds what is searched for, which chooses among alternatives (see
// ChosenAlternative); an empty one searches for nothing, and the preferred alternative is
// taken. A view of a callable, which must outlive it.
class TextHolds {
  public:
    TextHolds() = default;
    template <class F>
    explicit TextHolds(const F& f)
        : context_(&f), call_([](const void* context, std::string_view text) {
              return static_cast<bool>((*static_cast<const F*>(context))(text));
          }) {}
    bool Empty() const { return call_ == nullptr; }
    bool operator()(std::string_view text) const { return call_(context_, text); }

  private:
    const void* context_ = nullptr;
    bool (*call_)(const void*, std::string_view) = nullptr;
};

MailTexts TextsOfMail(std::string_view mail, const TextHolds& holds);
// search (UTF-8) chooses: the alternative that holds it.
MailTexts TextsOfMail(std::string_view mail, std::string_view search = {});

// Calls f with a TextHolds for search, empty when search is.
template <class F>
auto WithSearchHolds(std::string_view search, F&& f) {
    const auto holds = [search](std::string_view text) {
        return text.find(search) != std::string_view::npos;
    };
    return f(search.empty() ? TextHolds() : TextHolds(holds));
}

}  // namespace tarsel::mime
