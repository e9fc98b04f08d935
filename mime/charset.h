// The charsets of mail text and their conversion to UTF-8. Japanese mail is written in a few
// of them, which get their own handling; any other name goes to iconv.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarsel::mime {

enum class Charset {
    kNone,   // no charset given (or one iconv does not know): guessed from the bytes
    kUtf8,   // UTF-8 and US-ASCII
    kJis,    // ISO-2022-JP, with the CP932 extensions
    kCp932,  // Shift_JIS read as CP932
    kEucJp,  // EUC-JP
    kOther,  // anything else iconv knows
};

// A charset name is read by its key: its ASCII letters and digits, in lower case, so that
// "ISO_8859-1", "iso-8859-1" and "ISO88591" are one charset; a few aliases that mailers write
// and iconv lacks map to the charset they mean. A name whose key iconv knows by no spelling
// we derive from it is tried as written (case aside), for the charsets iconv only knows with
// their punctuation. A name of more than kMaxCharsetNameBytes, or holding a byte that no
// charset name holds, is no charset.
Charset CharsetOf(std::string_view name);

// Whether two names are one charset by their keys.
bool SameCharsetName(std::string_view a, std::string_view b);

inline constexpr std::size_t kMaxCharsetNameBytes = 40;

// Each thread keeps the converters it opens, so that a name costs the opening of its
// converter once per thread however the mail's parts alternate between charsets, and what it
// has learnt of each name (known or not), in least-recently-used order. Both stay within
// these bounds, far above the few hundred charsets iconv knows.
inline constexpr std::size_t kMaxCharsetNames = 4096;
inline constexpr std::size_t kMaxConverters = 2048;
struct CharsetCacheFill {
    std::size_t names = 0;
    std::size_t converters = 0;
};
CharsetCacheFill CharsetCacheOfThisThread();

// iconv_open calls of every thread, for charsets iconv knows or not: what the converter cache
// keeps low (read by the tests).
extern std::atomic<std::uint64_t> g_iconvOpens;

// For text without a charset: ISO-2022-JP when it holds ESC $ B, else UTF-8 when it is well
// formed, else CP932.
Charset GuessCharset(std::string_view bytes);

// True when every run of one kind of character (single-byte, or two-byte pairs) that the
// ISO-2022-JP reader makes of text stands whole in text's bytes: no 8-bit bytes, kana or
// misplaced ESC, no escape sequence that leaves the mode as it is or encloses nothing. A byte
// filter may then judge the text by its bytes; otherwise only the decoded text can.
bool JisRunsStayInBytes(std::string_view text);

// Appends the text of bytes in the given charset to out as UTF-8. Never fails: a byte that
// does not decode becomes U+FFFD. name is only read for kOther.
void AppendUtf8(std::string_view bytes, Charset charset, std::string_view name, std::string& out);

// Whether iconv writes every ASCII character (1-127) in the charset as that very byte, with
// nothing around it: false for EBCDIC, UCS-2/4, UTF-16/32, UTF-7 and charsets iconv lacks.
bool WritesAsciiAsAscii(std::string_view name);

// Converts one character (UTF-8) into the charset: true and its bytes when it has a form
// there. Used for the search string only.
bool EncodeCharacter(std::string_view utf8Character, const char* iconvName, std::string& out);

}  // namespace tarsel::mime
