// The decoded search of one mail: the MIME tree walked over views of the mail, parts
// transfer-decoded into per-thread buffers, and a part converted to UTF-8 only when the
// search string's form in its charset stands in its bytes.
#include "mime/decoded_search.h"

#include <algorithm>

#include "decode/jis.h"
#include "decode/utf8.h"
#include "mime/alternatives.h"
#include "mime/header_fields.h"
#include "mime/header_text.h"
#include "mime/html_text.h"
#include "mime/text_util.h"
#include "mime/transfer.h"

namespace tarsel::mime {
namespace {

constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD";

// A text part as the walk hands it over: its bytes after the transfer encoding.
struct TextPart {
    std::string_view bytes;
    Charset charset;
    std::string_view charsetName;
    bool html;
};

class PartVisitor {
  public:
    virtual ~PartVisitor() = default;
    virtual void Visit(const TextPart& part) = 0;
    // A line of a forwarded mail's header (its sender or its subject), decoded.
    virtual void VisitLine(std::string_view utf8) = 0;

    // Alternatives are read into the visitor one after the other, as far as the choice needs
    // them, and then all but the chosen one are dropped again. A mark is a position in what
    // has been visited.
    virtual bool Searching() const = 0;
    virtual std::size_t Mark() const = 0;
    virtual bool Holds(std::size_t from, std::size_t to) const = 0;
    // Drops what was visited from `from` on, except [keepFrom, keepTo).
    virtual void KeepOnly(std::size_t from, std::size_t keepFrom, std::size_t keepTo) = 0;
};

template <class Unit>
void KeepOnlyOf(std::vector<Unit>& units, std::size_t from, std::size_t keepFrom,
                std::size_t keepTo) {
    units.erase(units.begin() + static_cast<std::ptrdiff_t>(keepTo), units.end());
    units.erase(units.begin() + static_cast<std::ptrdiff_t>(from),
                units.begin() + static_cast<std::ptrdiff_t>(keepFrom));
}

bool IsMessage(const ContentInfo& info) {
    return EqualsNoCase(info.type, "message") && EqualsNoCase(info.subtype, "rfc822");
}

bool IsType(std::string_view type, std::string_view want) {
    return EqualsNoCase(type, want);
}

// Calls f with each body part of a multipart body (between its delimiter lines).
template <class F>
void ForEachBodyPart(std::string_view body, std::string_view boundary, F&& f) {
    std::size_t partStart = std::string_view::npos;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t at = FindBytes(body, boundary, pos);
        if (at == std::string_view::npos) {
            break;
        }
        pos = at + 1;
        if (at < 2 || body[at - 2] != '-' || body[at - 1] != '-' ||
            (at > 2 && body[at - 3] != '\n')) {
            continue;
        }
        std::size_t p = at + boundary.size();
        const bool close = body.substr(p, 2) == "--";
        p += close ? 2 : 0;
        while (p < body.size() && (body[p] == ' ' || body[p] == '\t')) {
            ++p;
        }
        if (p < body.size() && body[p] != '\r' && body[p] != '\n') {
            continue;  // the boundary followed by more text is no delimiter
        }
        if (partStart != std::string_view::npos) {
            // The line break before the delimiter belongs to it.
            std::size_t end = at - 2;
            if (end > partStart && body[end - 1] == '\n') {
                --end;
                if (end > partStart && body[end - 1] == '\r') {
                    --end;
                }
            }
            f(body.substr(partStart, std::max(end, partStart) - partStart));
        }
        if (close) {
            return;
        }
        const std::size_t eol = body.find('\n', p);
        partStart = eol == std::string_view::npos ? body.size() : eol + 1;
        pos = partStart;
    }
    if (partStart != std::string_view::npos) {
        f(body.substr(partStart));
    }
}

void WalkEntity(std::string_view text, int depth, PartVisitor& visitor, bool inDigest = false);

void WalkAlternatives(std::string_view body, const ContentInfo& info, int depth,
                      PartVisitor& visitor) {
    struct Alternative {
        std::string_view text;
        bool plain;
        std::size_t from = std::string_view::npos, to = std::string_view::npos;
    };
    std::vector<Alternative> alternatives;
    ForEachBodyPart(body, info.boundary, [&](std::string_view part) {
        const ContentInfo child = ContentInfoOf(SplitEntity(part).headers);
        if (!child.attachment &&
            (IsType(child.type, "text") || IsType(child.type, "multipart") || IsMessage(child))) {
            alternatives.push_back(
                {part, IsType(child.type, "text") && IsType(child.subtype, "plain")});
        }
    });
    const std::size_t start = visitor.Mark();
    auto read = [&](std::size_t i) -> Alternative& {
        Alternative& a = alternatives[i];
        if (a.from == std::string_view::npos) {
            a.from = visitor.Mark();
            WalkEntity(a.text, depth + 1, visitor);
            a.to = visitor.Mark();
        }
        return a;
    };
    const std::size_t chosen = ChosenAlternative(
        alternatives.size(), [&](std::size_t i) { return alternatives[i].plain; },
        [&](std::size_t i) {
            if (!visitor.Searching()) {
                return false;
            }
            const Alternative& a = read(i);
            return visitor.Holds(a.from, a.to);
        });
    if (chosen == std::string_view::npos) {
        return;
    }
    const Alternative& a = read(chosen);
    visitor.KeepOnly(start, a.from, a.to);
}

void WalkMultipart(std::string_view body, const ContentInfo& info, int depth,
                   PartVisitor& visitor) {
    if (IsType(info.subtype, "alternative")) {
        WalkAlternatives(body, info, depth, visitor);
        return;
    }
    const bool digest = IsType(info.subtype, "digest");
    ForEachBodyPart(body, info.boundary,
                    [&](std::string_view part) { WalkEntity(part, depth + 1, visitor, digest); });
}

// A forwarded mail as a reader shows it: a line with its sender, one with its subject, and its
// body.
void WalkMessage(std::string_view mail, int depth, PartVisitor& visitor) {
    const std::string_view headers = SplitEntity(mail).headers;
    std::string_view value;
    for (const std::string_view field : {"From", "Subject"}) {
        if (FindField(headers, field, value)) {
            std::string line = HeaderText(value);
            BlankNuls(line);
            if (!line.empty()) {
                visitor.VisitLine(line);
            }
        }
    }
    WalkEntity(mail, depth, visitor);
}

void WalkEntity(std::string_view text, int depth, PartVisitor& visitor, bool inDigest) {
    const Entity entity = SplitEntity(text);
    ContentInfo info = ContentInfoOf(entity.headers);
    std::string_view typeField;
    if (inDigest && !FindField(entity.headers, "Content-Type", typeField)) {
        info.type = "message";  // a digest's parts are mails unless typed otherwise
        info.subtype = "rfc822";
    }
    if (IsType(info.type, "multipart")) {
        if (!info.boundary.empty() && depth < kMaxMimeDepth) {
            WalkMultipart(entity.body, info, depth, visitor);
        }
        return;
    }
    if (IsMessage(info)) {
        if (depth < kMaxMimeDepth) {
            WalkMessage(entity.body, depth + 1, visitor);
        }
        return;
    }
    if (info.attachment || !IsType(info.type, "text")) {
        return;  // what is not shown as text never counts
    }
    thread_local std::string decoded;
    std::string_view bytes = entity.body;
    switch (TransferEncodingOf(info.transferEncoding)) {
        case TransferEncoding::kBase64:
            DecodeBase64To(bytes, decoded);
            bytes = decoded;
            break;
        case TransferEncoding::kQuotedPrintable:
            DecodeQuotedPrintableTo(bytes, decoded);
            bytes = decoded;
            break;
        case TransferEncoding::kIdentity:
            break;
    }
    Charset charset = CharsetOf(info.charset);
    if (charset == Charset::kNone) {
        charset = GuessCharset(bytes);
    }
    visitor.Visit(TextPart{bytes, charset, info.charset, IsType(info.subtype, "html")});
}

void AppendPartText(const TextPart& part, std::string& out) {
    const std::size_t start = out.size();
    if (!part.html) {
        AppendUtf8(part.bytes, part.charset, part.charsetName, out);
    } else {
        thread_local std::string html;
        html.clear();
        AppendUtf8(part.bytes, part.charset, part.charsetName, html);
        thread_local std::string text;
        HtmlToText(html, text);
        out += text;
    }
    BlankNuls(out, start);
}

// Counts per part and line, so that the alternatives not chosen can be taken back out.
class CountingVisitor : public PartVisitor {
  public:
    CountingVisitor(const DecodedNeedle& needle, std::vector<std::size_t>& counts)
        : needle_(needle), counts_(counts) {
        counts_.clear();
    }
    void Visit(const TextPart& part) override {
        if (part.html && part.charset != Charset::kJis &&
            FindBytes(part.bytes, "&") == std::string_view::npos) {
            // Without references every character of the page's text stands in its bytes.
            const DecodedNeedle::Filter& filter = needle_.FilterFor(part.charset, part.charsetName);
            if (filter.impossible ||
                (!filter.character.empty() &&
                 FindBytes(part.bytes, filter.character) == std::string_view::npos)) {
                counts_.push_back(0);
                return;
            }
        }
        if (!part.html) {
            const DecodedNeedle::Filter& filter = needle_.FilterFor(part.charset, part.charsetName);
            if (filter.impossible) {
                counts_.push_back(0);
                return;
            }
            // In ISO-2022-JP the bytes only speak for the text when the reader's runs stand
            // whole in them (an escape may join two runs, a stray 8-bit byte read as CP932).
            if (!filter.bytes.empty() &&
                FindBytes(part.bytes, filter.bytes) == std::string_view::npos &&
                (part.charset != Charset::kJis || JisRunsStayInBytes(part.bytes))) {
                counts_.push_back(0);
                return;
            }
        }
        thread_local std::string text;
        text.clear();
        AppendPartText(part, text);
        counts_.push_back(CountOccurrences(text, needle_.utf8()));
    }
    void VisitLine(std::string_view utf8) override {
        counts_.push_back(CountOccurrences(utf8, needle_.utf8()));
    }
    bool Searching() const override { return true; }
    std::size_t Mark() const override { return counts_.size(); }
    bool Holds(std::size_t from, std::size_t to) const override {
        return std::any_of(counts_.begin() + static_cast<std::ptrdiff_t>(from),
                           counts_.begin() + static_cast<std::ptrdiff_t>(to),
                           [](std::size_t n) { return n > 0; });
    }
    void KeepOnly(std::size_t from, std::size_t keepFrom, std::size_t keepTo) override {
        KeepOnlyOf(counts_, from, keepFrom, keepTo);
    }
    std::size_t Total() const {
        std::size_t total = 0;
        for (const std::size_t n : counts_) {
            total += n;
        }
        return total;
    }

  private:
    const DecodedNeedle& needle_;
    std::vector<std::size_t>& counts_;
};

class CollectingVisitor : public PartVisitor {
  public:
    explicit CollectingVisitor(std::string_view search) : search_(search) {}
    void Visit(const TextPart& part) override {
        parts.emplace_back();
        AppendPartText(part, parts.back());
    }
    void VisitLine(std::string_view utf8) override { parts.emplace_back(utf8); }
    bool Searching() const override { return !search_.empty(); }
    std::size_t Mark() const override { return parts.size(); }
    bool Holds(std::size_t from, std::size_t to) const override {
        return std::any_of(parts.begin() + static_cast<std::ptrdiff_t>(from),
                           parts.begin() + static_cast<std::ptrdiff_t>(to),
                           [this](const std::string& part) {
                               return FindBytes(part, search_) != std::string_view::npos;
                           });
    }
    void KeepOnly(std::size_t from, std::size_t keepFrom, std::size_t keepTo) override {
        KeepOnlyOf(parts, from, keepFrom, keepTo);
    }
    std::vector<std::string> parts;

  private:
    std::string_view search_;
};

// The UTF-8 characters of text, one view each (invalid bytes one by one).
template <class F>
void ForEachCharacter(std::string_view text, F&& f) {
    while (!text.empty()) {
        const std::size_t n = std::max<std::size_t>(1, Utf8Length(text));
        f(text.substr(0, n));
        text.remove_prefix(n);
    }
}

// Shift-JIS lead bytes whose characters have a second code (NEC and IBM extensions, and the
// symbols they repeat): a text may hold either, so they cannot be part of a byte filter.
bool HasTwinCode(unsigned char lead) {
    return lead == 0x81 || lead == 0x87 || lead == 0xED || lead == 0xEE || lead >= 0xFA;
}

// The longest run of filter-safe characters in one encoding. encode gives a character's
// bytes and whether it may stand in a run; a character with no form makes it impossible.
template <class Encode>
DecodedNeedle::Filter LongestRun(std::string_view utf8, Encode&& encode) {
    DecodedNeedle::Filter filter;
    std::string run, bytes;
    auto close = [&] {
        if (run.size() > filter.bytes.size()) {
            filter.bytes = run;
        }
        run.clear();
    };
    ForEachCharacter(utf8, [&](std::string_view ch) {
        if (filter.impossible) {
            return;
        }
        const int kind = encode(ch, bytes);
        if (kind != 0 && ch == " ") {
            close();  // a blank in the text may stand for a NUL in the bytes
            return;
        }
        if ((kind == 2 || kind == 3) && filter.character.empty()) {
            filter.character = bytes;
        }
        switch (kind) {
            case 0:
                filter.impossible = true;
                break;
            case 1:
                close();
                break;
            case 2:
                run += bytes;
                break;
            case 3:  // starts a run of another kind
                close();
                run = bytes;
                break;
        }
    });
    close();
    if (filter.impossible) {
        filter.bytes.clear();
        filter.character.clear();
    }
    return filter;
}

// A blank of the text may stand for a NUL in the bytes: filters hold no blank.
std::string LongestPieceWithoutBlank(std::string_view text) {
    std::string_view longest;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        if (end - at > longest.size()) {
            longest = text.substr(at, end - at);
        }
        at = end + 1;
    }
    return std::string(longest);
}

bool NeedsNoFilter(std::string_view charsetName) {
    // Charsets in which ASCII is not written as ASCII, or whose shift sequences, dropped by
    // the reader, may join the text on their two sides.
    if (!WritesAsciiAsAscii(charsetName)) {
        return true;
    }
    for (const std::string_view bad : {"16", "32", "utf-7", "utf7", "2022", "hz"}) {
        for (std::size_t i = 0; i + bad.size() <= charsetName.size(); ++i) {
            if (EqualsNoCase(charsetName.substr(i, bad.size()), bad)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

DecodedNeedle::DecodedNeedle(std::string utf8) : utf8_(std::move(utf8)) {
    if (utf8_.find(kReplacementChar) != std::string::npos || !IsValidUtf8(utf8_)) {
        return;  // text may get U+FFFD from any invalid byte: no filter holds
    }
    utf8Filter_.bytes = LongestPieceWithoutBlank(utf8_);
    const std::size_t first = utf8_.find_first_not_of(' ');
    if (first != std::string::npos) {
        utf8Filter_.character = utf8_.substr(first, Utf8Length(utf8_.substr(first)));
    }
    const bool ascii = std::all_of(utf8_.begin(), utf8_.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        asciiCompatible_.bytes = utf8Filter_.bytes;
        asciiCompatible_.character = utf8Filter_.character;
    }
    // 0 no form, 1 breaks a run, 2 continues it, 3 starts a run of another kind.
    cp932_ = LongestRun(utf8_, [](std::string_view ch, std::string& bytes) {
        if (!EncodeCharacter(ch, "CP932", bytes)) {
            return 0;
        }
        return bytes.size() == 2 && HasTwinCode(static_cast<unsigned char>(bytes[0])) ? 1 : 2;
    });
    std::string sjis;
    eucJp_ = LongestRun(utf8_, [&sjis](std::string_view ch, std::string& bytes) {
        const bool inCp932 = EncodeCharacter(ch, "CP932", sjis);
        if (!EncodeCharacter(ch, "EUC-JP-MS", bytes)) {
            return inCp932 ? 1 : 0;
        }
        return !inCp932 || (sjis.size() == 2 && HasTwinCode(static_cast<unsigned char>(sjis[0])))
                   ? 1
                   : 2;
    });
    bool inDouble = false;
    jis_ = LongestRun(utf8_, [&inDouble](std::string_view ch, std::string& bytes) {
        std::string sjis;
        if (!EncodeCharacter(ch, "CP932", sjis)) {
            return 0;
        }
        const bool wasDouble = inDouble;
        if (sjis.size() == 1 && static_cast<unsigned char>(sjis[0]) < 0x80) {
            inDouble = false;
            bytes = sjis;
            return wasDouble ? 3 : 2;
        }
        if (sjis.size() != 2 || HasTwinCode(static_cast<unsigned char>(sjis[0]))) {
            inDouble = false;
            return 1;
        }
        const unsigned jis = SjisToJis(static_cast<unsigned char>(sjis[0]) << 8 |
                                       static_cast<unsigned char>(sjis[1]));
        if (jis == 0) {
            inDouble = false;
            return 1;
        }
        bytes = {static_cast<char>(jis >> 8), static_cast<char>(jis & 0xFF)};
        inDouble = true;
        return wasDouble ? 2 : 3;
    });
    jis_.character.clear();  // an 8-bit byte in ISO-2022-JP text is read as CP932
}

const DecodedNeedle::Filter& DecodedNeedle::FilterFor(Charset charset,
                                                      std::string_view name) const {
    switch (charset) {
        case Charset::kUtf8:
            return utf8Filter_;
        case Charset::kJis:
            return jis_;
        case Charset::kCp932:
            return cp932_;
        case Charset::kEucJp:
            return eucJp_;
        case Charset::kOther:
            return NeedsNoFilter(name) ? none_ : asciiCompatible_;
        case Charset::kNone:
            break;
    }
    return none_;
}

std::size_t CountInMail(std::string_view mail, const DecodedNeedle& needle) {
    thread_local std::string withLineFeeds;
    mail = WithLineFeeds(mail, withLineFeeds);
    const std::string_view headers = SplitEntity(mail).headers;
    thread_local std::string text;
    std::size_t count = 0;
    std::string_view value;
    for (const std::string_view field : {"Subject", "From"}) {
        if (FindField(headers, field, value)) {
            text.clear();
            AppendHeaderText(value, text);
            count += CountOccurrences(text, needle.utf8());
        }
    }
    thread_local std::vector<std::size_t> counts;
    CountingVisitor visitor(needle, counts);
    WalkEntity(mail, 0, visitor);
    return count + visitor.Total();
}

MailTexts TextsOfMail(std::string_view mail, std::string_view search) {
    std::string withLineFeeds;
    mail = WithLineFeeds(mail, withLineFeeds);
    MailTexts texts;
    const std::string_view headers = SplitEntity(mail).headers;
    std::string_view value;
    if (FindField(headers, "Subject", value)) {
        texts.subject = HeaderText(value);
    }
    if (FindField(headers, "From", value)) {
        texts.from = HeaderText(value);
    }
    CollectingVisitor visitor(search);
    WalkEntity(mail, 0, visitor);
    texts.parts = std::move(visitor.parts);
    return texts;
}

}  // namespace tarsel::mime
