// The decoded search of one mail: the MIME tree walked over views of the mail, parts
// transfer-decoded into per-thread buffers, and a part converted to UTF-8 only when the
// search string's form in its charset stands in its bytes.
#include "mime/decoded_search.h"

#include <algorithm>

#include "decode/jis.h"
#include "decode/utf8.h"
#include "mime/header_fields.h"
#include "mime/header_text.h"
#include "mime/mime_walk.h"
#include "mime/text_util.h"

namespace tarsel::mime {
namespace {

constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD";

// Counts per part and line, so that the alternatives not chosen can be taken back out.
class CountingVisitor : public PartVisitor {
  public:
    CountingVisitor(const DecodedNeedle& needle, std::vector<std::size_t>& counts)
        : needle_(needle), counts_(counts) {
        counts_.clear();
    }
    void Visit(const TextPart& part) override {
        if (!needle_.MayStandIn(part)) {
            counts_.push_back(0);
            return;
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
    explicit CollectingVisitor(const TextHolds& holds) : holds_(holds) {}
    void Visit(const TextPart& part) override {
        parts.emplace_back();
        AppendPartText(part, parts.back());
    }
    void VisitLine(std::string_view utf8) override { parts.emplace_back(utf8); }
    bool Searching() const override { return !holds_.Empty(); }
    std::size_t Mark() const override { return parts.size(); }
    bool Holds(std::size_t from, std::size_t to) const override {
        return std::any_of(parts.begin() + static_cast<std::ptrdiff_t>(from),
                           parts.begin() + static_cast<std::ptrdiff_t>(to),
                           [this](const std::string& part) { return holds_(part); });
    }
    void KeepOnly(std::size_t from, std::size_t keepFrom, std::size_t keepTo) override {
        KeepOnlyOf(parts, from, keepFrom, keepTo);
    }
    std::vector<std::string> parts;

  private:
    const TextHolds& holds_;
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
        return HasTwinCode(bytes) ? 1 : 2;
    });
    std::string sjis;
    eucJp_ = LongestRun(utf8_, [&sjis](std::string_view ch, std::string& bytes) {
        const bool inCp932 = EncodeCharacter(ch, "CP932", sjis);
        if (!EncodeCharacter(ch, "EUC-JP-MS", bytes)) {
            return inCp932 ? 1 : 0;
        }
        return !inCp932 || HasTwinCode(sjis) ? 1 : 2;
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
        if (sjis.size() != 2 || HasTwinCode(sjis)) {
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

bool HasTwinCode(std::string_view sjis) {
    const auto lead = static_cast<unsigned char>(sjis.empty() ? 0 : sjis[0]);
    return sjis.size() == 2 &&
           (lead == 0x81 || lead == 0x87 || lead == 0xED || lead == 0xEE || lead >= 0xFA);
}

bool AsciiBytesStandForThemselves(Charset charset, std::string_view name) {
    switch (charset) {
        case Charset::kUtf8:
        case Charset::kCp932:
        case Charset::kEucJp:
            return true;
        case Charset::kOther:
            return !NeedsNoFilter(name);
        case Charset::kJis:
        case Charset::kNone:
            break;
    }
    return false;
}

bool DecodedNeedle::MayStandIn(const TextPart& part) const {
    const Filter& filter = FilterFor(part.charset, part.charsetName);
    if (part.html) {
        // Without references every character of the page's text stands in its bytes.
        return part.charset == Charset::kJis ||
               FindBytes(part.bytes, "&") != std::string_view::npos ||
               (!filter.impossible &&
                (filter.character.empty() ||
                 FindBytes(part.bytes, filter.character) != std::string_view::npos));
    }
    // In ISO-2022-JP the bytes only speak for the text when the reader's runs stand whole in
    // them (an escape may join two runs, a stray 8-bit byte read as CP932).
    return !filter.impossible &&
           (filter.bytes.empty() || FindBytes(part.bytes, filter.bytes) != std::string_view::npos ||
            (part.charset == Charset::kJis && !JisRunsStayInBytes(part.bytes)));
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
    WalkMail(mail, visitor);
    return count + visitor.Total();
}

MailTexts TextsOfMail(std::string_view mail, std::string_view search) {
    return WithSearchHolds(search,
                           [&](const TextHolds& holds) { return TextsOfMail(mail, holds); });
}

MailTexts TextsOfMail(std::string_view mail, const TextHolds& holds) {
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
    CollectingVisitor visitor(holds);
    WalkMail(mail, visitor);
    texts.parts = std::move(visitor.parts);
    return texts;
}

}  // namespace tarsel::mime
