// Byte-wise ASCII helpers shared by the header extraction and the date rewriting.
#pragma once

#include <string_view>

namespace tarsel {

inline char UpperAscii(char byte) {
    return byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : byte;
}

// A blank, tab, LF, VT, FF or CR (the last five are 9 to 13).
inline bool IsAsciiWhiteSpace(char byte) {
    return byte == ' ' || static_cast<unsigned char>(byte - '\t') <= '\r' - '\t';
}

inline std::string_view TrimAsciiWhiteSpace(std::string_view text) {
    while (!text.empty() && IsAsciiWhiteSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsAsciiWhiteSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace tarsel
