// Body text to Shift-JIS one CR LF line at a time, so that a line which never switches back to
// single-byte text cannot swallow the lines after it.
#include "decode/mail_lines.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "decode/jis.h"

namespace tarsel {

std::string DecodeMailLines(std::string body) {
    // A converted line is never longer than the line (escapes go, pairs stay pairs), so the
    // result is written over the body as it is read and a huge mail is held only once.
    static constexpr std::string_view kSegmentStart = "\x1B$B";
    char* const data = body.data();
    std::size_t written = 0;
    std::size_t rest = 0;
    const auto convert = [&](std::size_t end) {
        const std::string_view line(data + rest, end - rest);
        if (line.find(kSegmentStart) == std::string_view::npos) {
            std::memmove(data + written, line.data(), line.size());  // nothing to convert
            written += line.size();
        } else {
            const std::string converted = ConvertJisToSjis(std::string(line));
            std::memcpy(data + written, converted.data(), converted.size());
            written += converted.size();
        }
        rest = end;
    };
    const std::string_view view(body);
    if (view.find("\r\n") == std::string_view::npos) {
        return ConvertJisToSjis(std::move(body));  // one line: no copy of it besides the result
    }
    for (std::size_t end = view.find("\r\n", rest); end != std::string_view::npos;
         end = view.find("\r\n", rest)) {
        convert(end + 2);
    }
    convert(view.size());
    body.resize(written);
    return body;
}

}  // namespace tarsel
