// Well-formed UTF-8: the one check of the project's byte strings that claim to be UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarsel {

// Length of the UTF-8 sequence at the start of text when it is well formed (no overlong form,
// no surrogate, nothing above U+10FFFF), else 0. text must not be empty.
std::size_t Utf8Length(std::string_view text);

// Length of the longest well-formed start of bytes: bytes.size() when all of it is UTF-8.
std::size_t Utf8WellFormedPrefix(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);
// The code point of the well-formed character that text begins with.
char32_t FirstCodePoint(std::string_view text);
void AppendUtf8CodePoint(char32_t cp, std::string& out);

}  // namespace tarsel
