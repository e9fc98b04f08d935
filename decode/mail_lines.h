// Line-by-line ISO-2022-JP to Shift-JIS conversion of a mail body.
#pragma once

#include <string>

namespace tarsel {

// Converts each line (ended by CR LF, a bare LF or a bare CR; the final piece too) on its own,
// so a two-byte segment never runs past its line; a line that ends inside a segment loses its
// line end.
std::string DecodeMailLines(std::string body);

}  // namespace tarsel
