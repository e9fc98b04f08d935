// The text a reader shows of an unstructured header value: folding undone and RFC 2047
// encoded words (B and Q, any charset) decoded; adjacent encoded words are joined.
#pragma once

#include <string>
#include <string_view>

namespace tarsel::mime {

// Appends the decoded value to out as UTF-8. Text outside encoded words that is not ASCII is
// read in the charset guessed from its bytes (see GuessCharset).
void AppendHeaderText(std::string_view rawValue, std::string& out);

std::string HeaderText(std::string_view rawValue);

}  // namespace tarsel::mime
