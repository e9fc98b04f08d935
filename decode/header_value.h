// Decoding of "=?ISO-2022-JP?B?...?=" encoded words in one header value.
#pragma once

#include <string>
#include <string_view>

namespace tarsel {

// Replaces every ISO-2022-JP B encoded word of the value by its Shift-JIS text, one word per
// pass, matching the prefix in any case. A prefix with no "?=" after it ends decoding: the
// value is returned as it stands from that prefix on.
std::string DecodeHeaderValue(std::string_view value);
// The same, appended to out.
void AppendDecodedHeaderValue(std::string_view value, std::string& out);

// The value without the blanks and tabs that stand between two adjacent encoded words: they
// belong to neither word (a mailer splits a long text into words that way). The value itself
// when there are none, else the joined value written to scratch.
std::string_view WithoutBlanksBetweenWords(std::string_view value, std::string& scratch);

// AppendDecodedHeaderValue of WithoutBlanksBetweenWords of the value, in one scan.
void AppendDecodedJoinedValue(std::string_view value, std::string& out);

// Position of the first "=?ISO-2022-JP?B?" at or after from, letters matched in any case;
// npos when there is none.
std::size_t FindEncodedWord(std::string_view text, std::size_t from = 0);

}  // namespace tarsel
