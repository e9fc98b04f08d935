// Base64 and quoted-printable decoding of MIME part bodies and encoded words.
#include "mime/transfer.h"

#include <array>

#include "mime/text_util.h"

namespace tarsel::mime {
namespace {

constexpr std::array<signed char, 256> kBase64Values = [] {
    std::array<signed char, 256> values{};
    values.fill(-1);
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i) {
        values[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
    }
    return values;
}();

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

TransferEncoding TransferEncodingOf(std::string_view value) {
    value = Trim(value);
    if (EqualsNoCase(value, "base64")) {
        return TransferEncoding::kBase64;
    }
    if (EqualsNoCase(value, "quoted-printable")) {
        return TransferEncoding::kQuotedPrintable;
    }
    return TransferEncoding::kIdentity;
}

void DecodeBase64To(std::string_view text, std::string& out) {
    out.resize(text.size() / 4 * 3 + 3);
    char* o = out.data();
    unsigned bits = 0;
    int held = 0;
    for (const char c : text) {
        const int v = kBase64Values[static_cast<unsigned char>(c)];
        if (v < 0) {
            if (c == '=') {
                break;
            }
            continue;
        }
        bits = bits << 6 | static_cast<unsigned>(v);
        if (++held == 4) {
            *o++ = static_cast<char>(bits >> 16);
            *o++ = static_cast<char>(bits >> 8);
            *o++ = static_cast<char>(bits);
            held = 0;
            bits = 0;
        }
    }
    if (held >= 2) {
        *o++ = static_cast<char>(bits >> (6 * held - 8));
    }
    if (held == 3) {
        *o++ = static_cast<char>(bits >> 2);
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

void DecodeQuotedPrintableTo(std::string_view text, std::string& out, bool header) {
    out.clear();
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 3;
        } else if (c == '=' && !header) {
            // A soft line break: "=", blanks, then the line's end.
            std::size_t j = i + 1;
            while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) {
                ++j;
            }
            if (j < text.size() && text[j] == '\r') {
                ++j;
            }
            if (j == text.size() || text[j] == '\n') {
                i = j + (j < text.size() ? 1 : 0);
            } else {
                out += c;
                ++i;
            }
        } else if (c == '_' && header) {
            out += ' ';
            ++i;
        } else if ((c == ' ' || c == '\t') && !header) {
            // Blanks at the end of a line are transport padding.
            std::size_t j = i;
            while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) {
                ++j;
            }
            if (j == text.size() || text[j] == '\n' ||
                (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n')) {
                i = j;
            } else {
                out.append(text.substr(i, j - i));
                i = j;
            }
        } else {
            out += c;
            ++i;
        }
    }
}

}  // namespace tarsel::mime
