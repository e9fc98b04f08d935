// Charset names, the guess for text without one, and conversion to UTF-8 through iconv (with
// our own ISO-2022-JP reader, so that the CP932 extensions decode as CP932 defines them).
#include "mime/charset.h"

#include <iconv.h>

#include <cerrno>
#include <memory>
#include <string>
#include <unordered_map>

#include "decode/cp932.h"
#include "decode/jis.h"
#include "decode/utf8.h"
#include "mime/text_util.h"

namespace tarsel::mime {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

bool InList(std::string_view name, std::initializer_list<std::string_view> names) {
    for (const std::string_view n : names) {
        if (EqualsNoCase(name, n)) {
            return true;
        }
    }
    return false;
}

// Each thread keeps the descriptors it has opened, by charset name: a scan meets a handful.
// An archive that names another charset in every part must not make each look-up slower than
// the last, so the names are hashed and the cache starts afresh once it holds kMaxNames; a
// descriptor is used before the next look-up, never kept past it.
class IconvCache {
  public:
    ~IconvCache() { Clear(); }
    iconv_t Get(std::string_view to, std::string_view from) {
        key_.assign(to);
        key_ += '<';
        for (const char c : from) {
            key_ += LowerAscii(c);
        }
        if (const auto found = opened_.find(key_); found != opened_.end()) {
            return found->second;
        }
        if (opened_.size() >= kMaxNames) {
            Clear();
        }
        const iconv_t handle = iconv_open(std::string(to).c_str(), std::string(from).c_str());
        opened_.emplace(key_, handle);
        return handle;
    }

  private:
    static constexpr std::size_t kMaxNames = 64;

    void Clear() {
        for (const auto& [name, handle] : opened_) {
            if (handle != kNoIconv) {
                iconv_close(handle);
            }
        }
        opened_.clear();
    }

    std::unordered_map<std::string, iconv_t> opened_;
    std::string key_;  // the look-up's key, built without allocating once it has grown
};

thread_local IconvCache t_iconv;

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
            out += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (mode == JisMode::kDouble && byte >= 0x21 && byte <= 0x7E && i + 1 < text.size()) {
            const unsigned sjis = JisToSjis(byte << 8 | static_cast<unsigned char>(text[i + 1]));
            if (sjis != 0) {
                out += static_cast<char>(sjis >> 8);
                out += static_cast<char>(sjis & 0xFF);
            } else {
                out += '\xFF';  // decodes to U+FFFD
            }
            ++i;
        } else if (mode == JisMode::kKana && byte >= 0x21 && byte <= 0x5F) {
            out += static_cast<char>(byte + 0x80);
        } else {
            out += c;
        }
    }
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
    unsigned high = 0;
    for (const char c : text) {
        high |= static_cast<unsigned char>(c) & 0x80u;
    }
    if (high != 0) {
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

Charset CharsetOf(std::string_view name) {
    name = Trim(name);
    if (name.empty()) {
        return Charset::kNone;
    }
    if (InList(name, {"utf-8", "utf8", "us-ascii", "ascii", "ansi_x3.4-1968"})) {
        return Charset::kUtf8;
    }
    if (InList(name, {"iso-2022-jp", "csiso2022jp", "iso-2022-jp-1", "iso-2022-jp-ms"})) {
        return Charset::kJis;
    }
    if (InList(name, {"shift_jis", "shift-jis", "sjis", "x-sjis", "windows-31j", "cp932",
                      "ms_kanji", "csshiftjis", "x-ms-cp932"})) {
        return Charset::kCp932;
    }
    if (InList(name, {"euc-jp", "eucjp", "x-euc-jp", "cseucpkdfmtjapanese", "euc-jp-ms"})) {
        return Charset::kEucJp;
    }
    return t_iconv.Get("UTF-8", name) == kNoIconv ? Charset::kNone : Charset::kOther;
}

Charset GuessCharset(std::string_view bytes) {
    if (FindBytes(bytes, "\x1b$B") != std::string_view::npos) {
        return Charset::kJis;
    }
    return IsValidUtf8(bytes) ? Charset::kUtf8 : Charset::kCp932;
}

void AppendUtf8(std::string_view bytes, Charset charset, std::string_view name, std::string& out) {
    if (charset == Charset::kNone) {
        charset = GuessCharset(bytes);
    }
    switch (charset) {
        case Charset::kUtf8:
            AppendUtf8Checked(bytes, out);
            return;
        case Charset::kJis: {
            thread_local std::string sjis;
            sjis.clear();
            JisToCp932(bytes, sjis);
            out += Cp932ToUtf8(sjis);
            return;
        }
        case Charset::kCp932:
            out += Cp932ToUtf8(bytes);
            return;
        case Charset::kEucJp:
            if (!IconvToUtf8(t_iconv.Get("UTF-8", "EUC-JP-MS"), bytes, out)) {
                IconvToUtf8(t_iconv.Get("UTF-8", "EUC-JP"), bytes, out);
            }
            return;
        case Charset::kOther:
        case Charset::kNone:
            if (!IconvToUtf8(t_iconv.Get("UTF-8", name), bytes, out)) {
                AppendUtf8Checked(bytes, out);
            }
            return;
    }
}

namespace {

// A short UTF-8 text in the charset, with what a stateful converter writes at the end; false
// when some character has no form there or iconv does not know the charset.
bool EncodeShortText(std::string_view utf8, std::string_view charset, std::string& out) {
    const iconv_t handle = t_iconv.Get(charset, "UTF-8");
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
    // Asked once per thread and charset: the answer only depends on the converter. Bounded
    // like the descriptors, for archives that name a new charset in every part.
    thread_local std::unordered_map<std::string, bool> answers;
    std::string key(name);
    for (char& c : key) {
        c = LowerAscii(c);
    }
    if (const auto found = answers.find(key); found != answers.end()) {
        return found->second;
    }
    if (answers.size() >= 64) {
        answers.clear();
    }
    std::string probe;
    for (int c = 1; c < 0x80; ++c) {
        probe += static_cast<char>(c);
    }
    std::string written;
    const bool ascii = EncodeShortText(probe, name, written) && written == probe;
    answers.emplace(std::move(key), ascii);
    return ascii;
}

bool EncodeCharacter(std::string_view utf8Character, const char* iconvName, std::string& out) {
    return EncodeShortText(utf8Character, iconvName, out);
}

}  // namespace tarsel::mime
