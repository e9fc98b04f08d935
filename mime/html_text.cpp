// HTML to text for the decoded search and the mail pane, as a browser lays the text out: tags
// gone, what is never shown dropped, references decoded, white space collapsed, blocks on lines
// of their own.
#include "mime/html_text.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "decode/utf8.h"
#include "mime/text_util.h"

namespace tarsel::mime {
namespace {

struct NamedReference {
    std::string_view name;  // as the standard lists it, with or without its ";"
    char32_t first;
    char32_t second;  // 0 when the reference stands for one character
};
#include "html_entities.inc"

constexpr std::size_t kLongestName = 32;

const NamedReference* FindNamed(std::string_view name) {
    const auto* end = std::end(kNamedReferences);
    const auto* at = std::lower_bound(
        std::begin(kNamedReferences), end, name,
        [](const NamedReference& entry, std::string_view key) { return entry.name < key; });
    return at != end && at->name == name ? at : nullptr;
}

// A numeric reference's character: NUL, surrogates and numbers past Unicode read as U+FFFD,
// and 0x80-0x9F as the windows-1252 characters that pages meant by them.
char32_t NumericCharacter(std::string_view digits, int base) {
    unsigned long cp = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, base);
    (void)ptr;
    if (ec != std::errc() || cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0xFFFD;
    }
    if (cp >= 0x80 && cp < 0xA0) {
        return kWindows1252[cp - 0x80];
    }
    return static_cast<char32_t>(cp);
}

// Decodes the reference at text[0] == '&' into out; returns the bytes it takes, 0 when it is
// none. A name without its ";" is read by its longest prefix that the standard lists so (the
// old names such as "&amp" and "&copy" that pages write without one).
std::size_t DecodeReference(std::string_view text, std::string& out) {
    if (text.size() > 2 && text[1] == '#') {
        const bool hex = text[2] == 'x' || text[2] == 'X';
        std::size_t end = hex ? 3 : 2;
        const std::size_t first = end;
        while (end < text.size() &&
               (hex ? HexDigitValue(text[end]) >= 0 : text[end] >= '0' && text[end] <= '9')) {
            ++end;
        }
        if (end == first) {
            return 0;
        }
        const std::string_view digits = text.substr(first, end - first);
        // A number too long for any character stays too long after its leading zeros.
        const std::size_t zeros = std::min(digits.find_first_not_of('0'), digits.size());
        AppendUtf8CodePoint(
            digits.size() - zeros > 8 ? 0xFFFD : NumericCharacter(digits, hex ? 16 : 10), out);
        return end < text.size() && text[end] == ';' ? end + 1 : end;
    }
    std::size_t end = 1;
    while (end < text.size() && end <= kLongestName) {
        const char c = text[end];
        if (c == '\t' || c == '\n' || c == '\f' || c == ' ' || c == '<' || c == '&' || c == '#' ||
            c == ';') {
            break;
        }
        ++end;
    }
    const bool semicolon = end < text.size() && text[end] == ';';
    // The whole name with its ";", then ever shorter prefixes (which hold no ";").
    for (std::size_t length = end - 1 + (semicolon ? 1 : 0); length >= 1; --length) {
        if (const NamedReference* found = FindNamed(text.substr(1, length))) {
            AppendUtf8CodePoint(found->first, out);
            if (found->second != 0) {
                AppendUtf8CodePoint(found->second, out);
            }
            return length + 1;
        }
        if (length == 2) {
            break;  // a one-letter prefix is never a name
        }
    }
    return 0;
}

bool IsHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// The elements that begin and end lines of their own.
bool IsBlock(std::string_view name) {
    static constexpr std::array<std::string_view, 26> kBlocks = {
        "br",  "p",       "div",     "li",         "tr",     "h1", "h2",      "h3", "h4",
        "h5",  "h6",      "table",   "blockquote", "ul",     "ol", "dd",      "dt", "hr",
        "pre", "section", "article", "header",     "footer", "dl", "address", "nav"};
    return std::any_of(kBlocks.begin(), kBlocks.end(),
                       [&](std::string_view block) { return EqualsNoCase(name, block); });
}

// The elements whose content a browser never shows as text.
bool IsHidden(std::string_view name) {
    return EqualsNoCase(name, "script") || EqualsNoCase(name, "style") ||
           EqualsNoCase(name, "head") || EqualsNoCase(name, "title");
}

// The text as it is laid out: blanks and line breaks collapse, except inside pre.
class Layout {
  public:
    explicit Layout(std::string& out) : out_(out) {}

    void Text(std::string_view text) {
        for (const char c : text) {
            if (pre_ > 0) {
                out_ += c;
                lineHasText_ = c != '\n' && c != '\r';
            } else if (IsHtmlSpace(c)) {
                space_ = lineHasText_;
            } else {
                if (space_) {
                    out_ += ' ';
                    space_ = false;
                }
                out_ += c;
                lineHasText_ = true;
            }
        }
    }

    void EndLine() {
        space_ = false;
        if (lineHasText_) {
            out_ += '\n';
            lineHasText_ = false;
        }
    }

    void Pre(bool open) {
        EndLine();
        pre_ = open ? pre_ + 1 : std::max(pre_ - 1, 0);
    }

    void Finish() {
        while (!out_.empty() && (out_.back() == '\n' || out_.back() == '\r')) {
            out_.pop_back();
        }
    }

  private:
    std::string& out_;
    int pre_ = 0;
    bool space_ = false;        // blanks stand between the text so far and what follows
    bool lineHasText_ = false;  // the current line holds text: a line end would not be blank
};

// Where a tag that begins at html[at] == '<' ends (after its '>'), quoted values taken whole;
// npos when the page ends inside it.
std::size_t TagEnd(std::string_view html, std::size_t at) {
    bool value = false;  // after an attribute's "=": a quote there opens its value
    for (std::size_t i = at + 1; i < html.size(); ++i) {
        const char c = html[i];
        if (c == '>') {
            return i + 1;
        }
        if (value && (c == '"' || c == '\'')) {
            const std::size_t close = html.find(c, i + 1);
            if (close == std::string_view::npos) {
                return close;
            }
            i = close;
            value = false;
        } else if (c == '=') {
            value = true;
        } else if (!IsHtmlSpace(c)) {
            value = false;
        }
    }
    return std::string_view::npos;
}

bool IsNameByte(char c) {
    return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || (c >= '0' && c <= '9');
}

// The closing tag of a hidden element from at, or npos when the page never closes it.
std::size_t FindClose(std::string_view html, std::size_t at, std::string_view name) {
    for (std::size_t i = html.find("</", at); i != std::string_view::npos;
         i = html.find("</", i + 2)) {
        if (StartsWithNoCase(html.substr(i + 2), name) &&
            (i + 2 + name.size() == html.size() || !IsNameByte(html[i + 2 + name.size()]))) {
            return i;
        }
    }
    return std::string_view::npos;
}

}  // namespace

void HtmlToText(std::string_view html, std::string& out) {
    out.clear();
    Layout layout(out);
    std::string reference;
    // A hidden element found unclosed once is unclosed from every later place too: a page of
    // many open titles is looked through once, not once for each.
    bool headUnclosed = false;
    bool titleUnclosed = false;
    std::size_t i = 0;
    while (i < html.size()) {
        const std::size_t special = html.find_first_of("<&", i);
        const std::size_t textEnd = special == std::string_view::npos ? html.size() : special;
        layout.Text(html.substr(i, textEnd - i));
        i = textEnd;
        if (i == html.size()) {
            break;
        }
        if (html[i] == '&') {
            reference.clear();
            const std::size_t used = DecodeReference(html.substr(i), reference);
            layout.Text(used == 0 ? std::string_view("&") : std::string_view(reference));
            i += used == 0 ? 1 : used;
            continue;
        }
        if (html.substr(i, 4) == "<!--") {
            const std::size_t end = FindBytes(html, "-->", i + 4);
            i = end == std::string_view::npos ? html.size() : end + 3;
            continue;
        }
        const bool closing = i + 1 < html.size() && html[i + 1] == '/';
        const std::size_t nameStart = i + (closing ? 2 : 1);
        // A tag's name begins with a letter: "<3" and "a <b" without one are text.
        std::size_t nameEnd = nameStart;
        while (nameEnd < html.size() && IsNameByte(html[nameEnd]) &&
               (nameEnd > nameStart || (html[nameEnd] | 0x20) >= 'a')) {
            ++nameEnd;
        }
        const bool declaration =
            nameStart < html.size() && (html[nameStart] == '!' || html[nameStart] == '?');
        if (nameEnd == nameStart && !declaration) {
            layout.Text("<");  // a "<" that opens no tag is text, as in "a < b"
            ++i;
            continue;
        }
        const std::size_t end = TagEnd(html, i);
        if (end == std::string_view::npos) {
            break;  // the page ends inside a tag: nothing of it is shown
        }
        const std::string_view name = html.substr(nameStart, nameEnd - nameStart);
        i = end;
        if (declaration) {
            continue;
        }
        if (!closing && IsHidden(name)) {
            const bool head = EqualsNoCase(name, "head");
            bool& unclosed = head ? headUnclosed : titleUnclosed;
            const bool openEnded = EqualsNoCase(name, "script") || EqualsNoCase(name, "style");
            const std::size_t close =
                !openEnded && unclosed ? std::string_view::npos : FindClose(html, i, name);
            unclosed = unclosed || (!openEnded && close == std::string_view::npos);
            // A script or style left open hides the rest of the page; an unclosed head or
            // title is read on as the body it must be.
            if (close != std::string_view::npos) {
                const std::size_t after = TagEnd(html, close);
                i = after == std::string_view::npos ? html.size() : after;
            } else if (openEnded) {
                i = html.size();
            }
            continue;
        }
        if (EqualsNoCase(name, "pre")) {
            layout.Pre(!closing);
        } else if (IsBlock(name)) {
            layout.EndLine();
        }
    }
    layout.Finish();
}

}  // namespace tarsel::mime
