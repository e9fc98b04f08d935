// Byte encodings the archive generator writes: base64, MIME encoded words, the ISO-2022-JP
// escape sequences and the way from UTF-8 source text to CP932 and bare JIS X 0208 pairs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarsel::archive {

inline constexpr std::string_view kEscJis = "\x1b$B";    // into JIS X 0208
inline constexpr std::string_view kEscAscii = "\x1b(B";  // back to ASCII
inline constexpr std::string_view kEscRoman = "\x1b(J";  // back to JIS X 0201 Roman

// Standard base64 with "=" padding, no line breaks.
std::string Base64(std::string_view bytes);

// One "=?ISO-2022-JP?B?...?=" word holding these bare JIS pairs between ESC $ B and ESC ( B.
std::string EncodedWord(std::string_view jisPairs);

// CP932 bytes of UTF-8 text; nothing when the text does not convert in full.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// Bare JIS X 0208 pairs of a CP932 string. Nothing unless every character is a double-byte
// character of JIS X 0208 proper (no single-byte kana, no vendor rows), because the bodies
// written from these pairs must be well-formed ISO-2022-JP.
std::optional<std::string> Cp932ToJisPairs(std::string_view sjis);

}  // namespace tarsel::archive
