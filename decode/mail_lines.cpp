// Body text to Shift-JIS one line at a time, so that a line which never switches back to
// single-byte text cannot swallow the lines after it. Lines end at CR LF, at a bare LF or at a
// bare CR, and keep their line end's bytes.
#include "decode/mail_lines.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "decode/jis.h"

namespace tarsel {
namespace {

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

}  // namespace

std::string DecodeMailLines(std::string body) {
    // Only a line that holds a segment start changes; the others are copied as they are. A
    // converted line is never longer than the line (escapes go, pairs stay pairs), so the result
    // is written over the body as it is read and a huge mail is held only once.
    static constexpr std::string_view kSegmentStart = "\x1B$B";
    const std::string_view view(body);
    std::size_t segment = view.find(kSegmentStart);
    if (segment == std::string_view::npos) {
        return body;
    }
    char* const data = body.data();
    std::size_t written = 0;
    std::size_t read = 0;  // the body before this is in the result
    while (segment != std::string_view::npos) {
        std::size_t start = segment;
        while (start > read && !IsLineBreak(view[start - 1])) {
            --start;
        }
        std::size_t end = segment + kSegmentStart.size();
        while (end < view.size() && !IsLineBreak(view[end])) {
            ++end;
        }
        if (end < view.size()) {
            end += view.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        }
        std::memmove(data + written, data + read, start - read);
        written += start - read;
        const std::string converted =
            ConvertJisToSjis(std::string(view.substr(start, end - start)));
        std::memcpy(data + written, converted.data(), converted.size());
        written += converted.size();
        read = end;
        segment = view.find(kSegmentStart, end);
    }
    std::memmove(data + written, data + read, view.size() - read);
    written += view.size() - read;
    body.resize(written);
    return body;
}

}  // namespace tarsel
