// Line-by-line ISO-2022-JP to Shift-JIS conversion of a mail body.
#pragma once

#include <string>

namespace tarsel {

// Converts each CR LF terminated line (and the final piece) on its own, so a two-byte
// segment never runs past its line; a line that ends inside a segment loses its CR LF.
std::string DecodeMailLines(std::string body);

}  // namespace tarsel
