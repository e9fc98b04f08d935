// The decoding rules read literally, step by step and without regard for speed: the tests
// and the fuzz targets compare the decoders against these.
#pragma once

#include <string>
#include <string_view>

namespace tarsel::literal {

inline std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// JIS X 0208 pair to Shift-JIS; 0 when either byte lies outside 0x21..0x7E.
inline unsigned JisPairToSjisLiterally(unsigned high, unsigned low) {
    if (high < 0x21 || high > 0x7E || low < 0x21 || low > 0x7E) {
        return 0;
    }
    const unsigned sjisLow = (high % 2 == 1) ? (low <= 0x5F ? low + 0x1F : low + 0x20) : low + 0x7E;
    unsigned sjisHigh = ((high - 0x21) >> 1) + 0x81;
    if (sjisHigh > 0x9F) {
        sjisHigh += 0x40;
    }
    return sjisHigh * 256 + sjisLow;
}

inline std::string ConvertJisToSjisLiterally(std::string rest) {
    static const std::string kStart = "\x1B$B";
    std::string out;
    for (;;) {
        const std::size_t start = rest.find(kStart);
        if (start == std::string::npos) {
            return out + rest;
        }
        out += rest.substr(0, start);
        const std::size_t inside = start + kStart.size();
        const std::size_t endB = rest.find("\x1B(B", inside);
        const std::size_t endJ = rest.find("\x1B(J", inside);
        const std::size_t end = endB < endJ ? endB : endJ;
        const std::string segment =
            rest.substr(inside, end == std::string::npos ? std::string::npos : end - inside);
        for (std::size_t i = 0; i + 1 < segment.size(); i += 2) {
            const unsigned code = JisPairToSjisLiterally(
                static_cast<unsigned char>(segment[i]), static_cast<unsigned char>(segment[i + 1]));
            if (code != 0) {
                out += static_cast<char>(code / 256);
                out += static_cast<char>(code % 256);
            }
        }
        rest = end == std::string::npos ? std::string() : rest.substr(end + 3);
    }
}

inline std::string DecodeBase64Literally(const std::string& text) {
    static const std::string kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto value = [](char c) {
        const std::size_t at = kAlphabet.find(c);
        return at != std::string::npos ? static_cast<int>(at)
                                       : static_cast<int>(static_cast<signed char>(c));
    };
    std::string bytes;
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i + 3 < text.size(); i += 4) {
        const int x0 = value(text[i]);
        const int x1 = value(text[i + 1]);
        const int x2 = value(text[i + 2]);
        const int x3 = value(text[i + 3]);
        bytes += static_cast<char>((4 * x0 + (x1 >> 4)) & 0xFF);
        bytes += static_cast<char>((16 * x1 + (x2 >> 2)) & 0xFF);
        bytes += static_cast<char>((64 * x2 + x3) & 0xFF);
        last = i;
    }
    if (last != std::string::npos && text[last + 3] == '=') {
        bytes.pop_back();
        if (text[last + 2] == '=') {
            bytes.pop_back();
        }
    }
    return ConvertJisToSjisLiterally(bytes);
}

// One word per pass, each pass searching a freshly built upper-case copy from the start.
inline std::string DecodeHeaderValueLiterally(std::string value) {
    static const std::string kPrefix = "=?ISO-2022-JP?B?";
    std::string copy = UpperAscii(value);
    for (;;) {
        const std::size_t s = copy.find(kPrefix);
        if (s == std::string::npos) {
            return value;
        }
        std::size_t e = copy.find("?=");
        while (e != std::string::npos && e < s + kPrefix.size()) {
            copy[e] = '*';
            e = copy.find("?=");
        }
        if (e == std::string::npos) {
            return value;  // a word cut off: the rest stays as it stands
        }
        const std::size_t wordStart = s + kPrefix.size();
        const std::string decoded = DecodeBase64Literally(value.substr(wordStart, e - wordStart));
        const std::string before = value.substr(0, s);
        const std::string after = value.substr(e + 2);
        value = before + decoded + after;
        copy = UpperAscii(before) + decoded + UpperAscii(after);
    }
}

// Each line with its line end (CR LF, a bare LF or a bare CR) converted on its own.
inline std::string DecodeMailLinesLiterally(std::string rest) {
    std::string out;
    for (std::size_t end; (end = rest.find_first_of("\r\n")) != std::string::npos;) {
        const std::size_t next = rest.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        out += ConvertJisToSjisLiterally(rest.substr(0, next));
        rest = rest.substr(next);
    }
    return out + ConvertJisToSjisLiterally(rest);
}

// Well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
inline bool IsWellFormedUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // Sequence length, smallest code point of that length, bits of the lead byte.
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const unsigned min = length == 4 ? 0x10000 : length == 3 ? 0x800 : 0x80;
        unsigned code = lead & (0x7Fu >> length);
        if (lead < 0xC2 || lead > 0xF4) {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = code << 6 | (next & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

}  // namespace tarsel::literal
