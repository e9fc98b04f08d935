// Base64 text of one MIME encoded word, decoded and converted to Shift-JIS in one call.
#pragma once

#include <string>
#include <string_view>

namespace tarsel {

// Decodes complete groups of four characters; a byte outside the alphabet keeps its own
// (signed) value and shifts everything after it, and only the last group's "=" padding is
// honoured. The decoded bytes are ISO-2022-JP and come back converted to Shift-JIS.
std::string DecodeBase64(std::string_view text);
// The same, appended to out.
void AppendDecodedBase64(std::string_view text, std::string& out);
// The same, written at to, which has room for text.size() / 4 * 3 bytes. Returns the end of
// what it wrote; with pairsOnly, also whether that is Shift-JIS pairs alone (WriteJisAsSjis).
char* WriteDecodedBase64(std::string_view text, char* to, bool* pairsOnly = nullptr);

}  // namespace tarsel
