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

constexpr std::array<signed char, 256> kHexValues = [] {
    std::array<signed char, 256> values{};
    values.fill(-1);
    for (int i = 0; i < 10; ++i) {
        values['0' + i] = static_cast<signed char>(i);
    }
    for (int i = 0; i < 6; ++i) {
        values['A' + i] = values['a' + i] = static_cast<signed char>(10 + i);
    }
    return values;
}();

int HexValue(char c) {
    return kHexValues[static_cast<unsigned char>(c)];
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
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    unsigned bits = 0;
    int held = 0;
    while (p < end) {
        // Whole groups of four alphabet characters, the common case, in one step.
        if (held == 0 && end - p >= 4) {
            const int a = kBase64Values[p[0]], b = kBase64Values[p[1]];
            const int c = kBase64Values[p[2]], d = kBase64Values[p[3]];
            if ((a | b | c | d) >= 0) {
                const unsigned group =
                    unsigned(a) << 18 | unsigned(b) << 12 | unsigned(c) << 6 | unsigned(d);
                *o++ = static_cast<char>(group >> 16);
                *o++ = static_cast<char>(group >> 8);
                *o++ = static_cast<char>(group);
                p += 4;
                continue;
            }
        }
        const int v = kBase64Values[*p];
        if (v < 0) {
            if (*p == '=') {
                break;
            }
            ++p;
            continue;
        }
        ++p;
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
    // Written through a pointer into a buffer of the input's size: the output is never longer.
    out.resize(text.size());
    char* o = out.data();
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char c = *p;
        if (c == '=') {
            if (end - p > 2 && HexValue(p[1]) >= 0 && HexValue(p[2]) >= 0) {
                *o++ = static_cast<char>(HexValue(p[1]) * 16 + HexValue(p[2]));
                p += 3;
                continue;
            }
            if (!header) {
                // A soft line break: "=", blanks, then the line's end.
                const char* q = p + 1;
                while (q < end && (*q == ' ' || *q == '\t')) {
                    ++q;
                }
                if (q < end && *q == '\r') {
                    ++q;
                }
                if (q == end || *q == '\n') {
                    p = q + (q < end ? 1 : 0);
                    continue;
                }
            }
            *o++ = c;
            ++p;
        } else if (header && c == '_') {
            *o++ = ' ';
            ++p;
        } else if (!header && (c == ' ' || c == '\t')) {
            // Blanks at the end of a line are transport padding.
            const char* q = p;
            while (q < end && (*q == ' ' || *q == '\t')) {
                ++q;
            }
            const bool lineEnd =
                q == end || *q == '\n' || (*q == '\r' && q + 1 < end && q[1] == '\n');
            if (!lineEnd) {
                while (p < q) {
                    *o++ = *p++;
                }
            }
            p = q;
        } else {
            *o++ = c;
            ++p;
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

}  // namespace tarsel::mime
