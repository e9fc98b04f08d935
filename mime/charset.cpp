// Charset names, the guess for text without one, and conversion to UTF-8 through iconv (with
// our own ISO-2022-JP reader, so that the CP932 extensions decode as CP932 defines them).
#include "mime/charset.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "decode/cp932.h"
#include "decode/cp932_table.h"
#include "decode/jis.h"
#include "decode/utf8.h"
#include "mime/lru_map.h"
#include "mime/text_util.h"

namespace tarsel::mime {

std::atomic<std::uint64_t> g_iconvOpens{0};

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

bool IsAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The key of a name (see CharsetOf), or false for a name that is no charset. written tells
// whether the name as written is worth a try of its own: it has punctuation, and only what
// iconv reads as it stands (any other punctuation iconv drops, so that endless spellings
// would open one charset).
bool KeyOf(std::string_view name, std::string& key, bool* written = nullptr) {
    name = Trim(name);
    key.clear();
    if (name.empty() || name.size() > kMaxCharsetNameBytes) {
        return false;
    }
    bool punctuated = false, plain = true;
    // Written through a pointer: a name is read for each part and encoded word.
    key.resize(name.size());
    char* k = key.data();
    for (const char c : name) {
        if (IsAsciiAlnum(c)) {
            *k++ = LowerAscii(c);
        } else if (c == '-' || c == '_' || c == '.' || c == ':') {
            punctuated = true;
        } else if (c > ' ' && c < '\x7f') {
            plain = false;
        } else {
            return false;  // a control, blank or 8-bit byte
        }
    }
    key.resize(static_cast<std::size_t>(k - key.data()));
    if (written != nullptr) {
        *written = punctuated && plain;
    }
    return !key.empty();
}

bool KeyIn(std::string_view key, std::initializer_list<std::string_view> keys) {
    for (const std::string_view k : keys) {
        if (key == k) {
            return true;
        }
    }
    return false;
}

// Names that mailers write for charsets iconv has under another name, by key.
struct Alias {
    std::string_view key;
    const char* iconvName;
};
constexpr Alias kAliases[] = {
    {"ksc56011987", "CP949"},
    {"ksc5601", "CP949"},
    {"iso88596i", "ISO-8859-6"},
    {"iso88596e", "ISO-8859-6"},
    {"iso88598i", "ISO-8859-8"},
    {"iso88598e", "ISO-8859-8"},
    {"maccentraleurope", "MAC-CENTRALEUROPE"},
    {"xmacce", "MAC-CENTRALEUROPE"},
};

// Labels that Python's codecs know for a charset of another name, tried after the key's own
// spellings (iconv's reading of a name it knows comes first).
#include "charset_aliases.inc"

// The spellings of a key that iconv may know, in the order they are tried: the alias, the
// Windows code pages as iconv names them, ISO-8859 with the year of its standard, the key in
// capitals, with a hyphen where letters and digits meet first or last ("UCS-2BE",
// "KOI8-RU"), without the "x-" of private names ("x-mac-cyrillic"; not before a number,
// which iconv reads as a code page), and last the charset of Python's label.
void SpellingsOf(std::string_view key, std::vector<std::string>& out) {
    out.clear();
    auto add = [&out](std::string spelling) {
        if (std::find(out.begin(), out.end(), spelling) == out.end()) {
            out.push_back(std::move(spelling));
        }
    };
    for (const Alias& alias : kAliases) {
        if (alias.key == key) {
            add(alias.iconvName);
        }
    }
    std::string upper;
    for (const char c : key) {
        upper += UpperAscii(c);
    }
    const std::string_view u = upper;
    auto digitsAfter = [&u](std::size_t at) {
        return u.size() > at && std::all_of(u.begin() + at, u.end(), IsDigit);
    };
    if (u.starts_with("WINDOWS") && digitsAfter(7)) {
        add("CP" + upper.substr(7));
    }
    if (u.starts_with("ISO8859") && digitsAfter(7) && u.size() > 11 &&
        (u.substr(u.size() - 4, 2) == "19" || u.substr(u.size() - 4, 2) == "20")) {
        add("ISO-8859-" + upper.substr(7, u.size() - 11));
    }
    add(upper);
    std::size_t first = 0, last = 0;
    for (std::size_t i = 1; i < u.size(); ++i) {
        if (IsDigit(u[i]) != IsDigit(u[i - 1])) {
            first = first == 0 ? i : first;
            last = i;
        }
    }
    if (first != 0) {
        add(upper.substr(0, first) + "-" + upper.substr(first));
        add(upper.substr(0, last) + "-" + upper.substr(last));
    }
    if (u.size() > 1 && u[0] == 'X' && !IsDigit(u[1])) {
        add(upper.substr(1));
    }
    for (const Alias& alias : kCodecAliases) {
        if (alias.key == key) {
            add(alias.iconvName);
        }
    }
}

iconv_t OpenIconv(const char* to, const char* from) {
    g_iconvOpens.fetch_add(1, std::memory_order_relaxed);
    return iconv_open(to, from);
}

// The two directions of one charset, each opened when first needed, and whether the charset
// writes ASCII as ASCII, once asked.
struct Converter {
    std::string spelling;  // the name iconv opens it by
    iconv_t toUtf8 = kNoIconv;
    iconv_t fromUtf8 = kNoIconv;
    bool toTried = false;
    bool fromTried = false;
    signed char ascii = -1;

    iconv_t ToUtf8() {
        if (!toTried) {
            toTried = true;
            toUtf8 = OpenIconv("UTF-8", spelling.c_str());
        }
        return toUtf8;
    }
    iconv_t FromUtf8() {
        if (!fromTried) {
            fromTried = true;
            fromUtf8 = OpenIconv(spelling.c_str(), "UTF-8");
        }
        return fromUtf8;
    }
    void Close() {
        for (const iconv_t handle : {toUtf8, fromUtf8}) {
            if (handle != kNoIconv) {
                iconv_close(handle);
            }
        }
    }
};

class ConverterCache {
  public:
    ~ConverterCache() {
        converters_.ForEach([](Converter& c) { c.Close(); });
    }

    // The converter of a charset name as mail writes it; nullptr when iconv knows none.
    Converter* ForName(std::string_view name) {
        bool written = false;
        if (!KeyOf(name, key_, &written)) {
            return nullptr;
        }
        const std::string* spelling = names_.Find(key_);
        if (spelling == nullptr) {
            spelling = &AddName(key_, ResolveKey());
        }
        if (!spelling->empty()) {
            return Known(*spelling);
        }
        if (!written) {
            return nullptr;
        }
        // Keys hold no capitals, so that names as written never meet them in the one map.
        key_.clear();
        for (const char c : Trim(name)) {
            key_ += UpperAscii(c);
        }
        spelling = names_.Find(key_);
        if (spelling == nullptr) {
            spelling = &AddName(key_, Known(key_) != nullptr ? key_ : std::string());
        }
        return spelling->empty() ? nullptr : Known(*spelling);
    }

    // The converter iconv opens by this very spelling (the layer's own names).
    Converter& ForSpelling(std::string_view spelling) {
        if (Converter* found = converters_.Find(spelling)) {
            return *found;
        }
        return converters_.Add(spelling, Converter{std::string(spelling)},
                               [](Converter& c) { c.Close(); });
    }

    CharsetCacheFill Fill() const { return {names_.size(), converters_.size()}; }

  private:
    std::string& AddName(std::string_view key, std::string spelling) {
        return names_.Add(key, std::move(spelling), [](std::string&) {});
    }

    // The first spelling of key_ that iconv knows; empty when none.
    std::string ResolveKey() {
        SpellingsOf(key_, spellings_);
        for (std::string& spelling : spellings_) {
            if (Known(spelling) != nullptr) {
                return std::move(spelling);
            }
        }
        return {};
    }

    // The converter of a spelling when iconv knows it. A spelling iconv does not know is
    // not kept: the name it came from is, so that it is not tried again.
    Converter* Known(const std::string& spelling) {
        if (Converter* found = converters_.Find(spelling)) {
            return found->ToUtf8() != kNoIconv ? found : nullptr;
        }
        Converter trial{spelling};
        if (trial.ToUtf8() == kNoIconv) {
            return nullptr;
        }
        return &converters_.Add(spelling, std::move(trial), [](Converter& c) { c.Close(); });
    }

    LruMap<std::string> names_{kMaxCharsetNames};   // key or name as written -> spelling, or ""
    LruMap<Converter> converters_{kMaxConverters};  // by spelling
    std::string key_;  // the look-up's key, built without allocating once it has grown
    std::vector<std::string> spellings_;
};

thread_local ConverterCache t_converters;

// Converts with replacement of every byte that does not convert; false when the
// descriptor could not be opened.
bool IconvToUtf8(iconv_t handle, std::string_view in, std::string& out) {
    if (handle == kNoIconv) {
        return false;
    }
    char buffer[4096];
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(handle, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            if (errno == EINVAL) {
                inLeft = 0;  // an incomplete sequence at the end
            } else {
                ++inPtr;
                --inLeft;
            }
            out += kReplacement;
            iconv(handle, nullptr, nullptr, nullptr, nullptr);
        }
    }
    // Flush a stateful converter's pending output.
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(handle, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    return true;
}

void AppendUtf8Checked(std::string_view bytes, std::string& out) {
    // Well-formed runs are appended whole; each byte that is not UTF-8 becomes U+FFFD.
    for (;;) {
        const std::size_t run = Utf8WellFormedPrefix(bytes);
        out.append(bytes.substr(0, run));
        if (run == bytes.size()) {
            return;
        }
        out += kReplacement;
        bytes.remove_prefix(run + 1);
    }
}

// The modes of the ISO-2022-JP reader, and kNoEscape for a byte that starts no escape it takes.
enum class JisMode { kAscii, kDouble, kKana, kNoEscape };

// The mode the escape sequence at text[i] switches to. The checks of the byte filter read the
// escapes through this too, so they see exactly the escapes the reader takes.
JisMode EscapeAt(std::string_view text, std::size_t i) {
    if (text[i] != '\x1b' || i + 2 >= text.size()) {
        return JisMode::kNoEscape;
    }
    const std::string_view esc = text.substr(i + 1, 2);
    if (esc == "$B" || esc == "$@") {
        return JisMode::kDouble;
    }
    if (esc == "(B" || esc == "(J") {
        return JisMode::kAscii;
    }
    return esc == "(I" ? JisMode::kKana : JisMode::kNoEscape;
}

// ISO-2022-JP to CP932: JIS X 0208 pairs (with rows 13 and 89-92 as CP932 has them) through
// the JIS arithmetic, JIS X 0201 kana as their single bytes. A line break ends a two-byte run.
void JisToCp932(std::string_view text, std::string& out) {
    // Written through a pointer: the text never grows (escapes go, a pair stays two bytes).
    const std::size_t start = out.size();
    out.resize(start + text.size());
    char* o = out.data() + start;
    JisMode mode = JisMode::kAscii;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (const JisMode escaped = EscapeAt(text, i); escaped != JisMode::kNoEscape) {
            mode = escaped;
            i += 2;
            continue;
        }
        if (c == '\r' || c == '\n') {
            mode = JisMode::kAscii;
            *o++ = c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (mode == JisMode::kDouble && byte >= 0x21 && byte <= 0x7E && i + 1 < text.size()) {
            const unsigned sjis = JisToSjis(byte << 8 | static_cast<unsigned char>(text[i + 1]));
            if (sjis != 0) {
                *o++ = static_cast<char>(sjis >> 8);
                *o++ = static_cast<char>(sjis & 0xFF);
            } else {
                *o++ = '\xFF';  // decodes to U+FFFD
            }
            ++i;
        } else if (mode == JisMode::kKana && byte >= 0x21 && byte <= 0x5F) {
            *o++ = static_cast<char>(byte + 0x80);
        } else {
            *o++ = c;
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

// Whether the reader takes text as two-byte pairs from end to end: an even count of bytes,
// all in 0x21-0x7E. A space, control or line break among them would come out as a
// single-byte character, and an odd byte too, next to the single-byte text beyond the
// escapes around the pairs.
bool WholePairs(std::string_view text) {
    unsigned outside = text.size() % 2;
    for (const char c : text) {
        outside |= static_cast<unsigned char>(c - 0x21) > 0x7E - 0x21;
    }
    return outside == 0;
}

}  // namespace

bool JisRunsStayInBytes(std::string_view text) {
    // Any 8-bit byte passes through the reader as CP932 and may decode to a kanji that has no
    // JIS pair in the bytes.
    if (HasEightBitByte(text)) {
        return false;
    }
    bool pairs = false;       // the reader is in two-byte mode
    std::size_t segment = 0;  // where the text of the current mode begins
    for (std::size_t i = FindBytes(text, "\x1b"); i != std::string_view::npos;
         i = FindBytes(text, "\x1b", i + 1)) {
        const JisMode escaped = EscapeAt(text, i);
        if (escaped == JisMode::kKana || (escaped == JisMode::kNoEscape && pairs)) {
            return false;  // kana, or a lone ESC read as half of a pair
        }
        if (escaped == JisMode::kNoEscape) {
            continue;  // a lone ESC in single-byte text is a character like any other
        }
        const bool toPairs = escaped == JisMode::kDouble;
        // An escape into the mode already in force, or around no text, joins the texts on
        // its two sides.
        if ((i == segment && i != 0) || pairs == toPairs ||
            (pairs && !WholePairs(text.substr(segment, i - segment)))) {
            return false;
        }
        pairs = toPairs;
        i += 2;
        segment = i + 1;
    }
    return !pairs || WholePairs(text.substr(segment));
}

namespace {

// The charsets read by our own code, by key; kNone for any other.
Charset OwnCharsetOf(std::string_view key) {
    if (KeyIn(key, {"utf8", "usascii", "ascii", "ansix341968", "cp65001"})) {
        return Charset::kUtf8;
    }
    if (KeyIn(key, {"iso2022jp", "csiso2022jp", "iso2022jp1", "iso2022jpms"})) {
        return Charset::kJis;
    }
    if (KeyIn(key, {"shiftjis", "sjis", "xsjis", "windows31j", "cp932", "mskanji", "csshiftjis",
                    "xmscp932"})) {
        return Charset::kCp932;
    }
    if (KeyIn(key, {"eucjp", "xeucjp", "cseucpkdfmtjapanese", "eucjpms"})) {
        return Charset::kEucJp;
    }
    return Charset::kNone;
}

}  // namespace

Charset CharsetOf(std::string_view name) {
    // An archive names one or two charsets over and over: the last name read by our own code
    // is taken again as it was written. Names for iconv go to its cache each time, which keeps
    // their order of use.
    thread_local std::string lastName;
    thread_local Charset lastCharset = Charset::kNone;
    if (lastCharset != Charset::kNone && name == lastName) {
        return lastCharset;
    }
    thread_local std::string key;
    if (!KeyOf(name, key)) {
        return Charset::kNone;
    }
    if (const Charset own = OwnCharsetOf(key); own != Charset::kNone) {
        lastName.assign(name);
        lastCharset = own;
        return own;
    }
    return t_converters.ForName(name) == nullptr ? Charset::kNone : Charset::kOther;
}

bool SameCharsetName(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;  // one key, or one name as written when it has none
    }
    thread_local std::string keyA, keyB;
    return KeyOf(a, keyA) && KeyOf(b, keyB) ? keyA == keyB : EqualsNoCase(Trim(a), Trim(b));
}

CharsetCacheFill CharsetCacheOfThisThread() {
    return t_converters.Fill();
}

Charset GuessCharset(std::string_view bytes) {
    if (FindBytes(bytes, "\x1b$B") != std::string_view::npos) {
        return Charset::kJis;
    }
    return IsValidUtf8(bytes) ? Charset::kUtf8 : Charset::kCp932;
}

void AppendUtf8(std::string_view bytes, Charset charset, std::string_view name, std::string& out) {
    if (charset == Charset::kNone) {
        // The guess's own check of the bytes, done once: well-formed UTF-8 goes out as it is.
        if (FindBytes(bytes, "\x1b$B") == std::string_view::npos) {
            if (IsValidUtf8(bytes)) {
                out.append(bytes);
            } else {
                Cp932Table::Get().Append(bytes, out);
            }
            return;
        }
        charset = Charset::kJis;
    }
    switch (charset) {
        case Charset::kUtf8:
            AppendUtf8Checked(bytes, out);
            return;
        case Charset::kJis: {
            thread_local std::string sjis;
            sjis.clear();
            JisToCp932(bytes, sjis);
            Cp932Table::Get().Append(sjis, out);  // the converter's text, by table
            return;
        }
        case Charset::kCp932:
            Cp932Table::Get().Append(bytes, out);
            return;
        case Charset::kEucJp:
            if (!IconvToUtf8(t_converters.ForSpelling("EUC-JP-MS").ToUtf8(), bytes, out)) {
                IconvToUtf8(t_converters.ForSpelling("EUC-JP").ToUtf8(), bytes, out);
            }
            return;
        case Charset::kOther:
        case Charset::kNone: {
            Converter* converter = t_converters.ForName(name);
            if (converter == nullptr || !IconvToUtf8(converter->ToUtf8(), bytes, out)) {
                AppendUtf8Checked(bytes, out);
            }
            return;
        }
    }
}

namespace {

// A short UTF-8 text in the charset, with what a stateful converter writes at the end; false
// when some character has no form there or iconv does not know the charset.
bool EncodeShortText(std::string_view utf8, Converter* converter, std::string& out) {
    const iconv_t handle = converter != nullptr ? converter->FromUtf8() : kNoIconv;
    if (handle == kNoIconv) {
        return false;
    }
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    char buffer[512];
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* to = buffer;
    std::size_t toLeft = sizeof buffer;
    const bool ok = iconv(handle, &in, &inLeft, &to, &toLeft) != static_cast<std::size_t>(-1) &&
                    iconv(handle, nullptr, nullptr, &to, &toLeft) != static_cast<std::size_t>(-1);
    out.assign(buffer, static_cast<std::size_t>(to - buffer));
    return ok;
}

}  // namespace

bool WritesAsciiAsAscii(std::string_view name) {
    // Asked once per thread and charset: the answer only depends on the converter.
    Converter* converter = t_converters.ForName(name);
    if (converter == nullptr) {
        return false;
    }
    if (converter->ascii < 0) {
        std::string probe;
        for (int c = 1; c < 0x80; ++c) {
            probe += static_cast<char>(c);
        }
        std::string written;
        converter->ascii = EncodeShortText(probe, converter, written) && written == probe;
    }
    return converter->ascii != 0;
}

bool EncodeCharacter(std::string_view utf8Character, const char* iconvName, std::string& out) {
    return EncodeShortText(utf8Character, &t_converters.ForSpelling(iconvName), out);
}

}  // namespace tarsel::mime
