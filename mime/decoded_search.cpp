// The decoded search of one mail: the MIME tree walked over views of the mail, parts
// transfer-decoded into per-thread buffers, and a part converted to UTF-8 only when the
// search string's form in its charset stands in its bytes.
#include "mime/decoded_search.h"

#include <algorithm>

#include "decode/jis.h"
#include "decode/utf8.h"
#include "mime/header_fields.h"
#include "mime/header_text.h"
#include "mime/html_text.h"
#include "mime/text_util.h"
#include "mime/transfer.h"

namespace tarsel::mime {
namespace {

constexpr int kMaxDepth = 16;
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
};

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

void WalkEntity(std::string_view text, int depth, PartVisitor& visitor);

void WalkMultipart(std::string_view body, const ContentInfo& info, int depth,
                   PartVisitor& visitor) {
    if (!IsType(info.subtype, "alternative")) {
        ForEachBodyPart(body, info.boundary,
                        [&](std::string_view part) { WalkEntity(part, depth + 1, visitor); });
        return;
    }
    // Of the alternatives a reader shows the plain text, else the HTML, else a nested tree.
    std::string_view plain, html, nested;
    bool havePlain = false, haveHtml = false, haveNested = false;
    ForEachBodyPart(body, info.boundary, [&](std::string_view part) {
        const ContentInfo child = ContentInfoOf(SplitEntity(part).headers);
        if (child.attachment) {
            return;
        }
        if (IsType(child.type, "text") && IsType(child.subtype, "plain") && !havePlain) {
            plain = part;
            havePlain = true;
        } else if (IsType(child.type, "text") && IsType(child.subtype, "html") && !haveHtml) {
            html = part;
            haveHtml = true;
        } else if (IsType(child.type, "multipart") && !haveNested) {
            nested = part;
            haveNested = true;
        }
    });
    if (havePlain) {
        WalkEntity(plain, depth + 1, visitor);
    } else if (haveHtml) {
        WalkEntity(html, depth + 1, visitor);
    } else if (haveNested) {
        WalkEntity(nested, depth + 1, visitor);
    }
}

void WalkEntity(std::string_view text, int depth, PartVisitor& visitor) {
    const Entity entity = SplitEntity(text);
    const ContentInfo info = ContentInfoOf(entity.headers);
    if (IsType(info.type, "multipart")) {
        if (!info.boundary.empty() && depth < kMaxDepth) {
            WalkMultipart(entity.body, info, depth, visitor);
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
    thread_local std::string html;
    if (!part.html) {
        AppendUtf8(part.bytes, part.charset, part.charsetName, out);
        return;
    }
    html.clear();
    AppendUtf8(part.bytes, part.charset, part.charsetName, html);
    thread_local std::string text;
    HtmlToText(html, text);
    out += text;
}

class CountingVisitor : public PartVisitor {
  public:
    explicit CountingVisitor(const DecodedNeedle& needle) : needle_(needle) {}
    void Visit(const TextPart& part) override {
        if (!part.html) {
            const DecodedNeedle::Filter& filter = needle_.FilterFor(part.charset, part.charsetName);
            if (filter.impossible) {
                return;
            }
            // In ISO-2022-JP the bytes only speak for the text when the reader's runs stand
            // whole in them (an escape may join two runs, a stray 8-bit byte read as CP932).
            if (!filter.bytes.empty() &&
                FindBytes(part.bytes, filter.bytes) == std::string_view::npos &&
                (part.charset != Charset::kJis || JisRunsStayInBytes(part.bytes))) {
                return;
            }
        }
        thread_local std::string text;
        text.clear();
        AppendPartText(part, text);
        count += CountOccurrences(text, needle_.utf8());
    }
    std::size_t count = 0;

  private:
    const DecodedNeedle& needle_;
};

class CollectingVisitor : public PartVisitor {
  public:
    void Visit(const TextPart& part) override {
        parts.emplace_back();
        AppendPartText(part, parts.back());
    }
    std::vector<std::string> parts;
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
        switch (encode(ch, bytes)) {
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
    }
    return filter;
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
    utf8Filter_.bytes = utf8_;
    const bool ascii = std::all_of(utf8_.begin(), utf8_.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        asciiCompatible_.bytes = utf8_;
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
    CountingVisitor visitor(needle);
    WalkEntity(mail, 0, visitor);
    return count + visitor.count;
}

MailTexts TextsOfMail(std::string_view mail) {
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
    CollectingVisitor visitor;
    WalkEntity(mail, 0, visitor);
    texts.parts = std::move(visitor.parts);
    return texts;
}

}  // namespace tarsel::mime
