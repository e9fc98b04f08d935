// The edge between Shift-JIS (code page 932) byte strings and UTF-8 text.
#pragma once

#include <string>
#include <string_view>

namespace tarsel {

// Never fails: a byte sequence that does not decode becomes U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// Converts UTF-8 to CP932. Characters that CP932 cannot hold (or invalid UTF-8) make *ok
// false when ok is given; they are left out of the result.
std::string Utf8ToCp932(std::string_view utf8, bool* ok = nullptr);

}  // namespace tarsel
