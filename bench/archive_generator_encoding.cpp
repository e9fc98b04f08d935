// Byte encodings of the archive generator.
#include "bench/archive_generator_encoding.h"

#include <iconv.h>

namespace tarsel::archive {

std::string Base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += kAlphabet[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) {
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += rest == 2 ? kAlphabet[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

std::string EncodedWord(std::string_view jisPairs) {
    std::string raw;
    raw.reserve(jisPairs.size() + 6);
    raw += kEscJis;
    raw += jisPairs;
    raw += kEscAscii;
    return "=?ISO-2022-JP?B?" + Base64(raw) + "?=";
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string in(utf8);
    std::string out(in.size() * 2 + 8, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::optional<std::string> Cp932ToJisPairs(std::string_view sjis) {
    if (sjis.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string pairs;
    pairs.reserve(sjis.size());
    for (std::size_t i = 0; i < sjis.size(); i += 2) {
        unsigned hi = static_cast<unsigned char>(sjis[i]);
        unsigned lo = static_cast<unsigned char>(sjis[i + 1]);
        if (!((hi >= 0x81 && hi <= 0x9F) || (hi >= 0xE0 && hi <= 0xEF)) || lo < 0x40 ||
            lo == 0x7F || lo > 0xFC) {
            return std::nullopt;
        }
        hi = (hi - (hi <= 0x9F ? 0x71 : 0xB1)) * 2 + 1;
        if (lo > 0x7F) {
            --lo;
        }
        if (lo >= 0x9E) {
            lo -= 0x7D;
            ++hi;
        } else {
            lo -= 0x1F;
        }
        // Rows 9 to 15 are empty in JIS X 0208; CP932 puts its vendor symbols there.
        const bool vendorRow = hi >= 0x29 && hi <= 0x2F;
        if (hi < 0x21 || hi > 0x74 || vendorRow || lo < 0x21 || lo > 0x7E) {
            return std::nullopt;
        }
        pairs += static_cast<char>(hi);
        pairs += static_cast<char>(lo);
    }
    return pairs;
}

}  // namespace tarsel::archive
