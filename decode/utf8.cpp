// Well-formed UTF-8.
#include "decode/utf8.h"

#include <cstdint>
#include <cstring>

namespace tarsel {

std::size_t Utf8Length(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    const auto second = static_cast<unsigned char>(text[1]);
    // Overlong forms, surrogates and code points above U+10FFFF are not UTF-8.
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
        return 0;
    }
    return length;
}

std::size_t Utf8WellFormedPrefix(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Mail text is mostly ASCII between its other characters: eight such bytes at a step.
        std::uint64_t eight = 0;
        while (bytes.size() - i >= 8 &&
               (std::memcpy(&eight, bytes.data() + i, 8), (eight & 0x8080808080808080u) == 0)) {
            i += 8;
        }
        if (i == bytes.size()) {
            break;
        }
        // Japanese text is mostly three-byte characters of the plain kind: E1-EC and EE-EF lead
        // any two continuation bytes.
        if (bytes.size() - i >= 3) {
            const auto lead = static_cast<unsigned char>(bytes[i]);
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            const auto third = static_cast<unsigned char>(bytes[i + 2]);
            if (lead >= 0xE1 && lead <= 0xEF && lead != 0xED && (second & 0xC0) == 0x80 &&
                (third & 0xC0) == 0x80) {
                i += 3;
                continue;
            }
        }
        const std::size_t n =
            static_cast<unsigned char>(bytes[i]) < 0x80 ? 1 : Utf8Length(bytes.substr(i));
        if (n == 0) {
            break;
        }
        i += n;
    }
    return i;
}

bool IsValidUtf8(std::string_view bytes) {
    return Utf8WellFormedPrefix(bytes) == bytes.size();
}

char32_t FirstCodePoint(std::string_view text) {
    const std::size_t n = Utf8Length(text);
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    switch (n) {
        case 2:
            return char32_t(byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
        case 3:
            return char32_t(byte(0) & 0x0F) << 12 | char32_t(byte(1) & 0x3F) << 6 |
                   (byte(2) & 0x3F);
        case 4:
            return char32_t(byte(0) & 0x07) << 18 | char32_t(byte(1) & 0x3F) << 12 |
                   char32_t(byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
        default:
            return text.empty() ? 0 : byte(0);
    }
}

void AppendUtf8CodePoint(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace tarsel
