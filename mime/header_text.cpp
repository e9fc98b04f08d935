// Encoded-word decoding. Adjacent words of one charset are decoded as one byte run, so a
// character that a writer split between two words comes out whole.
#include "mime/header_text.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mime/charset.h"
#include "mime/text_util.h"
#include "mime/transfer.h"

namespace tarsel::mime {
namespace {

struct EncodedWord {
    std::size_t begin = 0;
    std::size_t end = 0;  // one past "?="
    std::string_view charset;
    char encoding = 'B';
    std::string_view text;
};

// The first well-formed encoded word at or after from in the unfolded value.
bool NextEncodedWord(std::string_view value, std::size_t from, EncodedWord& word) {
    // Every candidate that is rejected costs at most kMaxCharset bytes of looking, so a
    // hostile value of many "=?" stays linear.
    constexpr std::size_t kMaxCharset = 64;
    for (std::size_t at = FindBytes(value, "=?", from); at != std::string_view::npos;
         at = FindBytes(value, "=?", at + 2)) {
        const std::size_t q1 = value.substr(0, at + 2 + kMaxCharset).find('?', at + 2);
        if (q1 == std::string_view::npos || q1 + 2 >= value.size() || value[q1 + 2] != '?') {
            continue;
        }
        const char encoding = static_cast<char>(value[q1 + 1] & ~0x20);
        std::string_view charset = value.substr(at + 2, q1 - at - 2);
        if ((encoding != 'B' && encoding != 'Q') || charset.empty() ||
            charset.find_first_of(" \t") != std::string_view::npos) {
            continue;
        }
        const std::size_t close = FindBytes(value, "?=", q1 + 3);
        if (close == std::string_view::npos) {
            return false;
        }
        const std::size_t star = charset.find('*');  // RFC 2231 language
        if (star != std::string_view::npos) {
            charset = charset.substr(0, star);
        }
        word = EncodedWord{at, close + 2, charset, encoding, value.substr(q1 + 3, close - q1 - 3)};
        return true;
    }
    return false;
}

bool OnlyBlanks(std::string_view text) {
    for (const char c : text) {
        if (c != ' ' && c != '\t') {
            return false;
        }
    }
    return true;
}

// The value without its line breaks, in scratch where it has any: sixteen bytes at a step
// where none is among them, byte by byte through a pointer where one is (a search for either
// break would ask memchr twice per byte of a short value).
std::string_view Unfolded(std::string_view rawValue, std::string& scratch) {
    const std::size_t size = rawValue.size();
    std::size_t i = 0;
    char* o = nullptr;
    while (i < size) {
        std::size_t step = size - i;
#if defined(__SSE2__)
        if (step >= 16) {
            const __m128i bytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(rawValue.data() + i));
            step = 16;
            if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')),
                                               _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')))) == 0) {
                if (o != nullptr) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), bytes);
                    o += 16;
                }
                i += 16;
                continue;
            }
        }
#endif
        if (o == nullptr) {
            if (rawValue.find_first_of("\r\n", i) == std::string_view::npos) {
                return rawValue;  // one line
            }
            scratch.resize(size);
            o = std::copy_n(rawValue.data(), i, scratch.data());
        }
        for (const char c : rawValue.substr(i, step)) {
            *o = c;
            o += c != '\r' && c != '\n';
        }
        i += step;
    }
    if (o == nullptr) {
        return rawValue;
    }
    scratch.resize(static_cast<std::size_t>(o - scratch.data()));
    return scratch;
}

void AppendRaw(std::string_view text, std::string& out) {
    AppendUtf8(text, Charset::kNone, {}, out);
}

}  // namespace

void AppendHeaderText(std::string_view rawValue, std::string& out) {
    // Unfold: the line breaks go, the blanks that begin continuation lines stay.
    thread_local std::string unfolded;
    std::string_view value = Trim(Unfolded(rawValue, unfolded));

    thread_local std::string pending;  // decoded bytes of the current run of words
    thread_local std::string decoded;
    std::string_view pendingCharset;
    pending.clear();
    auto flush = [&] {
        if (!pending.empty() || !pendingCharset.empty()) {
            AppendUtf8(pending, CharsetOf(pendingCharset), pendingCharset, out);
        }
        pending.clear();
        pendingCharset = {};
    };

    std::size_t at = 0;
    bool afterWord = false;
    EncodedWord word;
    while (NextEncodedWord(value, at, word)) {
        const std::string_view between = value.substr(at, word.begin - at);
        if (!(afterWord && OnlyBlanks(between))) {
            flush();
            AppendRaw(between, out);
        }
        if (!pendingCharset.empty() && !SameCharsetName(pendingCharset, word.charset)) {
            flush();
        }
        pendingCharset = word.charset;
        pending += word.encoding == 'B' ? DecodeBase64In(word.text, decoded)
                                        : DecodeQuotedPrintableIn(word.text, decoded, true);
        at = word.end;
        afterWord = true;
    }
    flush();
    AppendRaw(value.substr(at), out);
}

std::string HeaderText(std::string_view rawValue) {
    std::string out;
    AppendHeaderText(rawValue, out);
    return out;
}

}  // namespace tarsel::mime
