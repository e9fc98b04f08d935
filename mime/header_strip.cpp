// The header strip of a mail. File names are gathered by a walk of their own over the MIME
// tree: the walk of the text parts never looks at the parts a reader only sees named. A
// hostile mail may nest parts without end or carry thousands: the walk stops at a depth and
// a number of names no reader would show.
#include "mime/header_strip.h"

#include "mime/charset.h"
#include "mime/header_fields.h"
#include "mime/header_text.h"
#include "mime/mime_walk.h"
#include "mime/text_util.h"

namespace tarsel::mime {

namespace {

constexpr int kDeepestPart = 32;
constexpr std::size_t kMostNames = 100;
constexpr int kMostContinuations = 100;

// %XX escapes undone; a stray % stays as it is.
void AppendUnescaped(std::string_view text, std::string& out) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        const int high = text[at] == '%' && at + 2 < text.size() ? HexDigitValue(text[at + 1]) : -1;
        const int low = high >= 0 ? HexDigitValue(text[at + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            at += 2;
        } else {
            out += text[at];
        }
    }
}

// The RFC 2231 form of a parameter, joined from its pieces; false when it has none.
bool ExtendedParameter(std::string_view value, std::string_view name, std::string& out) {
    const std::string key(name);
    std::string bytes;
    std::string_view charset;
    bool found = false;
    for (int piece = -1; piece < kMostContinuations; ++piece) {
        // name* alone, or name*0, name*1, ... each escaped when it ends in *.
        const std::string numbered = piece < 0 ? key : key + "*" + std::to_string(piece);
        std::string_view text = ParameterOf(value, numbered + "*");
        bool escaped = !text.empty();
        if (!escaped && piece >= 0) {
            text = ParameterOf(value, numbered);
        }
        if (text.empty()) {
            if (piece < 0) {
                continue;  // no name*: perhaps name*0
            }
            break;
        }
        if (escaped && piece <= 0) {
            // charset'language'text
            const std::size_t first = text.find('\'');
            const std::size_t second =
                first == std::string_view::npos ? first : text.find('\'', first + 1);
            if (second != std::string_view::npos) {
                charset = text.substr(0, first);
                text.remove_prefix(second + 1);
            }
        }
        if (escaped) {
            AppendUnescaped(text, bytes);
        } else {
            bytes += text;
        }
        found = true;
        if (piece < 0) {
            break;
        }
    }
    if (!found) {
        return false;
    }
    if (charset.empty()) {
        AppendHeaderText(bytes, out);
    } else {
        AppendUtf8(bytes, CharsetOf(charset), charset, out);
    }
    return true;
}

void CollectNames(std::string_view entity, int depth, std::vector<std::string>& names) {
    if (depth > kDeepestPart || names.size() >= kMostNames) {
        return;
    }
    const Entity split = SplitEntity(entity);
    const ContentInfo info = ContentInfoOf(split.headers);
    if (EqualsNoCase(info.type, "multipart") && !info.boundary.empty()) {
        for (const std::string_view part : BodyPartsOf(split.body, info.boundary)) {
            CollectNames(part, depth + 1, names);
        }
        return;
    }
    std::string name;
    std::string_view value;
    if (FindField(split.headers, "Content-Disposition", value)) {
        name = ParameterText(value, "filename");
    }
    if (name.empty() && FindField(split.headers, "Content-Type", value)) {
        name = ParameterText(value, "name");
    }
    if (!name.empty()) {
        names.push_back(std::move(name));
    } else if (EqualsNoCase(info.type, "message") && EqualsNoCase(info.subtype, "rfc822")) {
        CollectNames(split.body, depth + 1, names);  // a forwarded mail's own files
    }
}

std::string FieldText(std::string_view headers, std::string_view name) {
    std::string_view value;
    return FindField(headers, name, value) ? HeaderText(value) : std::string();
}

}  // namespace

std::string ParameterText(std::string_view value, std::string_view name) {
    std::string out;
    if (!ExtendedParameter(value, name, out)) {
        AppendHeaderText(ParameterOf(value, name), out);
    }
    return out;
}

HeaderStrip HeaderStripOf(std::string_view mail) {
    std::string withLineFeeds;
    const std::string_view text = WithLineFeeds(mail, withLineFeeds);
    const std::string_view headers = SplitEntity(text).headers;
    HeaderStrip strip{FieldText(headers, "From"),    FieldText(headers, "To"),
                      FieldText(headers, "Cc"),      FieldText(headers, "Date"),
                      FieldText(headers, "Subject"), {}};
    CollectNames(text, 0, strip.attachments);
    return strip;
}

}  // namespace tarsel::mime
