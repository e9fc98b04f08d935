// The text a reader sees of an HTML part: tags, comments, scripts and styles removed and
// character references decoded.
#pragma once

#include <string>
#include <string_view>

namespace tarsel::mime {

// Replaces out by the text of html (UTF-8 in, UTF-8 out).
void HtmlToText(std::string_view html, std::string& out);

}  // namespace tarsel::mime
