// Body text to Shift-JIS one CR LF line at a time, so that a line which never switches back to
// single-byte text cannot swallow the lines after it.
#include "decode/mail_lines.h"

#include <string_view>

#include "decode/jis.h"

namespace tarsel {

std::string DecodeMailLines(std::string body) {
    const std::string_view view(body);
    std::string out;
    out.reserve(body.size());
    std::size_t rest = 0;
    for (std::size_t end = view.find("\r\n", rest); end != std::string_view::npos;
         end = view.find("\r\n", rest)) {
        out += ConvertJisToSjis(std::string(view.substr(rest, end + 2 - rest)));
        rest = end + 2;
    }
    out += ConvertJisToSjis(std::string(view.substr(rest)));
    return out;
}

}  // namespace tarsel
