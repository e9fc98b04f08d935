// HTML to text for the decoded search and the mail pane.
#include "mime/html_text.h"

#include <charconv>

#include "mime/text_util.h"

namespace tarsel::mime {
namespace {

void AppendCodePoint(unsigned long cp, std::string& out) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        cp = 0xFFFD;
    }
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

struct NamedEntity {
    std::string_view name;
    unsigned long cp;
};
constexpr NamedEntity kEntities[] = {
    {"amp", '&'},      {"lt", '<'},       {"gt", '>'},     {"quot", '"'},   {"apos", '\''},
    {"nbsp", 0xA0},    {"copy", 0xA9},    {"reg", 0xAE},   {"yen", 0xA5},   {"hellip", 0x2026},
    {"mdash", 0x2014}, {"ndash", 0x2013}, {"laquo", 0xAB}, {"raquo", 0xBB}, {"middot", 0xB7},
};

// Decodes the reference at text[0] == '&'; returns the bytes used, 0 when it is none.
std::size_t DecodeReference(std::string_view text, std::string& out) {
    const std::size_t semi = text.substr(0, 34).find(';');
    if (semi == std::string_view::npos) {
        return 0;
    }
    const std::string_view ref = text.substr(1, semi - 1);
    if (ref.size() > 1 && ref[0] == '#') {
        const bool hex = ref[1] == 'x' || ref[1] == 'X';
        const std::string_view digits = ref.substr(hex ? 2 : 1);
        unsigned long cp = 0;
        const auto [ptr, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
        if (ec != std::errc() || ptr != digits.data() + digits.size() || digits.empty()) {
            return 0;
        }
        AppendCodePoint(cp, out);
        return semi + 1;
    }
    for (const NamedEntity& entity : kEntities) {
        if (ref == entity.name) {
            AppendCodePoint(entity.cp, out);
            return semi + 1;
        }
    }
    return 0;
}

}  // namespace

void HtmlToText(std::string_view html, std::string& out) {
    out.clear();
    std::size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<') {
            if (html.substr(i, 4) == "<!--") {
                const std::size_t end = FindBytes(html, "-->", i + 4);
                i = end == std::string_view::npos ? html.size() : end + 3;
                continue;
            }
            const std::string_view rest = html.substr(i + 1);
            const bool script = StartsWithNoCase(rest, "script");
            const bool style = StartsWithNoCase(rest, "style");
            std::size_t end = html.find('>', i);
            if (end == std::string_view::npos) {
                break;
            }
            if (script || style) {
                // Their content is never shown: skip to the closing tag.
                const std::string_view close = script ? "</script" : "</style";
                std::size_t at = end;
                while (at < html.size() && !StartsWithNoCase(html.substr(at), close)) {
                    at = html.find('<', at + 1);
                    if (at == std::string_view::npos) {
                        at = html.size();
                    }
                }
                end = html.find('>', at);
                if (end == std::string_view::npos) {
                    break;
                }
            }
            i = end + 1;
        } else if (c == '&') {
            const std::size_t used = DecodeReference(html.substr(i), out);
            if (used == 0) {
                out += c;
                ++i;
            } else {
                i += used;
            }
        } else {
            out += c;
            ++i;
        }
    }
}

}  // namespace tarsel::mime
