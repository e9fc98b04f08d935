// Well-formed UTF-8.
#include "decode/utf8.h"

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

}  // namespace tarsel
