// Header block parsing of MIME entities for the decoded search.
#include "mime/header_fields.h"

#include <algorithm>
#include <iterator>

#include "mime/text_util.h"

namespace tarsel::mime {

Entity SplitEntity(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        // Is the line at `at` empty?
        if (text[at] == '\n') {
            return Entity{text.substr(0, at), text.substr(at + 1)};
        }
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            return Entity{text.substr(0, at), text.substr(at + 2)};
        }
        const std::size_t eol = text.find('\n', at);
        if (eol == std::string_view::npos) {
            break;
        }
        at = eol + 1;
    }
    return Entity{text, {}};
}

std::string_view WithLineFeeds(std::string_view mail, std::string& scratch) {
    if (mail.find('\n') != std::string_view::npos || mail.find('\r') == std::string_view::npos) {
        return mail;
    }
    scratch.assign(mail);
    std::replace(scratch.begin(), scratch.end(), '\r', '\n');
    return scratch;
}

namespace {

// The value of the field named name when the line at `at` (ending at eol) starts it.
bool FieldValueAt(std::string_view headers, std::size_t at, std::size_t eol, std::string_view name,
                  std::string_view& value) {
    // The name, blanks allowed before its colon.
    std::size_t colon = at + name.size();
    const bool named =
        headers.size() - at > name.size() && EqualsNoCase(headers.substr(at, name.size()), name);
    while (named && colon < headers.size() && IsBlank(headers[colon]) && colon < eol) {
        ++colon;
    }
    if (!named || colon >= headers.size() || headers[colon] != ':') {
        return false;
    }
    const std::size_t start = colon + 1;
    // Continuation lines begin with a blank.
    while (eol != std::string_view::npos && eol + 1 < headers.size() &&
           (headers[eol + 1] == ' ' || headers[eol + 1] == '\t')) {
        eol = headers.find('\n', eol + 1);
    }
    const std::size_t end = eol == std::string_view::npos ? headers.size() : eol;
    value = headers.substr(start, end - start);
    return true;
}

}  // namespace

void FindFields(std::string_view headers, const std::string_view* names, std::size_t count,
                FoundField* fields) {
    std::fill(fields, fields + count, FoundField{});
    std::size_t left = count;
    for (std::size_t at = 0; at < headers.size() && left > 0;) {
        const std::size_t eol = headers.find('\n', at);
        for (std::size_t i = 0; i < count; ++i) {
            if (!fields[i].found && FieldValueAt(headers, at, eol, names[i], fields[i].value)) {
                fields[i].found = true;
                --left;
                break;  // a line starts one field
            }
        }
        if (eol == std::string_view::npos) {
            break;
        }
        at = eol + 1;
    }
}

bool FindField(std::string_view headers, std::string_view name, std::string_view& value) {
    FoundField field;
    FindFields(headers, &name, 1, &field);
    value = field.value;
    return field.found;
}

std::string_view ParameterOf(std::string_view value, std::string_view name) {
    std::size_t at = value.find(';');
    while (at != std::string_view::npos) {
        std::size_t p = at + 1;
        while (p < value.size() && IsBlank(value[p])) {
            ++p;
        }
        const std::size_t eq = value.find('=', p);
        if (eq == std::string_view::npos) {
            return {};
        }
        const std::string_view key = Trim(value.substr(p, eq - p));
        std::size_t v = eq + 1;
        while (v < value.size() && IsBlank(value[v])) {
            ++v;
        }
        std::string_view found;
        std::size_t next;
        if (v < value.size() && value[v] == '"') {
            const std::size_t close = value.find('"', v + 1);
            const std::size_t end = close == std::string_view::npos ? value.size() : close;
            found = value.substr(v + 1, end - v - 1);
            next = value.find(';', end);
        } else {
            next = value.find(';', v);
            found =
                Trim(value.substr(v, (next == std::string_view::npos ? value.size() : next) - v));
        }
        if (EqualsNoCase(key, name)) {
            return found;
        }
        at = next;
    }
    return {};
}

ContentInfo ContentInfoOf(std::string_view headers) {
    ContentInfo info;
    // One pass over the lines for the three fields.
    constexpr std::string_view kNames[] = {"Content-Type", "Content-Transfer-Encoding",
                                           "Content-Disposition"};
    FoundField fields[std::size(kNames)];
    FindFields(headers, kNames, std::size(kNames), fields);
    std::string_view value = fields[0].value;
    if (fields[0].found) {
        const std::size_t semi = value.find(';');
        const std::string_view mediaType =
            Trim(value.substr(0, semi == std::string_view::npos ? value.size() : semi));
        const std::size_t slash = mediaType.find('/');
        if (slash != std::string_view::npos) {
            info.type = Trim(mediaType.substr(0, slash));
            info.subtype = Trim(mediaType.substr(slash + 1));
        }
        info.charset = ParameterOf(value, "charset");
        info.boundary = ParameterOf(value, "boundary");
    }
    if (fields[1].found) {
        info.transferEncoding = Trim(fields[1].value);
    }
    value = fields[2].value;
    if (fields[2].found) {
        const std::size_t semi = value.find(';');
        info.attachment = EqualsNoCase(
            Trim(value.substr(0, semi == std::string_view::npos ? value.size() : semi)),
            "attachment");
    }
    return info;
}

}  // namespace tarsel::mime
