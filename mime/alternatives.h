// Which alternative of a multipart/alternative a reader shows, for both readers of mail.
#pragma once

#include <cstddef>
#include <string_view>

namespace tarsel::mime {

// The last text/plain alternative is the sender's preferred form and is shown when it holds
// what is searched for; otherwise the first other alternative that holds it, so that a word
// only in the HTML form is found (and shown) too; otherwise that plain one, or with none the
// first alternative. isPlain(i) tells a text/plain alternative; holds(i) whether alternative i
// holds what is searched for; it is asked at most once for each, and only as far as the choice
// needs, since reading an alternative costs its decoding. npos when there are none.
template <class IsPlain, class Holds>
std::size_t ChosenAlternative(std::size_t count, IsPlain&& isPlain, Holds&& holds) {
    std::size_t plain = std::string_view::npos;
    for (std::size_t i = 0; i < count; ++i) {
        if (isPlain(i)) {
            plain = i;
        }
    }
    if (plain != std::string_view::npos && holds(plain)) {
        return plain;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (i != plain && holds(i)) {
            return i;
        }
    }
    return plain != std::string_view::npos ? plain : count > 0 ? 0 : std::string_view::npos;
}

// The nesting of multiparts and enclosed messages a reader follows: a hostile mail cannot
// exhaust the stack. A multipart or message at this depth is not opened.
inline constexpr int kMaxMimeDepth = 32;

}  // namespace tarsel::mime
