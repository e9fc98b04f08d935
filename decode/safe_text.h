// Text from outside the program (mails, file names, arguments) made safe to show. On a
// terminal it is escaped, so that it can neither drive the terminal nor reorder the text
// around it; in the window it keeps to one line and its invisible controls become visible.
// Both programs write through these rules, so what one escapes the other escapes too.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "decode/utf8.h"

namespace tarsel {

// The invisible format characters that hide or reorder the text around them: zero-width
// blanks and joiners, the directional marks, embeddings, overrides and isolates, and the
// byte-order mark.
constexpr bool IsHiddenFormatControl(unsigned code) {
    return (code >= 0x200B && code <= 0x200F) || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069) || code == 0xFEFF;
}

// The visible form of what a terminal must not get as it is: \xHH for a control character
// (C0, DEL, C1) or a byte that is not UTF-8, \u{hhhh} for a hidden format control.
class EscapeOf {
  public:
    explicit EscapeOf(unsigned code) {
        constexpr char kHex[] = "0123456789abcdef";
        if (code <= 0xFF) {
            text_ = {'\\', 'x', kHex[(code >> 4) & 0xF], kHex[code & 0xF]};
            size_ = 4;
        } else {
            text_ = {'\\',
                     'u',
                     '{',
                     kHex[(code >> 12) & 0xF],
                     kHex[(code >> 8) & 0xF],
                     kHex[(code >> 4) & 0xF],
                     kHex[code & 0xF],
                     '}'};
            size_ = 8;
        }
    }
    std::string_view text() const { return {text_.data(), size_}; }

  private:
    std::array<char, 8> text_{};
    std::size_t size_ = 0;
};

namespace safe_text_detail {

// How a walk reads a byte: as it is, as the lead of a three-byte character whose second byte
// may be any continuation byte (most of a Japanese text), as the lead of a three-byte
// character that may be a hidden format control, or as one that needs a closer look.
enum class ByteKind : unsigned char { kPlain, kThreeByteLead, kFormatLead, kOther };
using ByteKinds = std::array<ByteKind, 256>;

// Printable ASCII is plain, except the quote and backslash of a JSON string. Every hidden
// format control begins with 0xE2 or 0xEF.
constexpr ByteKinds MakeByteKinds(bool json) {
    ByteKinds kinds{};
    for (int byte = 0; byte < 256; ++byte) {
        if (byte >= 0x20 && byte < 0x7F && !(json && (byte == '"' || byte == '\\'))) {
            kinds[byte] = ByteKind::kPlain;
        } else if (byte == 0xE2 || byte == 0xEF) {
            kinds[byte] = ByteKind::kFormatLead;
        } else if (byte >= 0xE1 && byte <= 0xEF && byte != 0xED) {
            kinds[byte] = ByteKind::kThreeByteLead;
        } else {
            kinds[byte] = ByteKind::kOther;
        }
    }
    return kinds;
}
inline constexpr ByteKinds kTextBytes = MakeByteKinds(false);
inline constexpr ByteKinds kJsonBytes = MakeByteKinds(true);

// Whether the character of this lead and second byte may be a hidden format control:
// U+2000..U+207F (E2 80, E2 81) or U+FEC0..U+FEFF (EF BB).
constexpr bool MayBeHiddenFormat(unsigned char lead, unsigned char second) {
    return lead == 0xE2 ? (second & 0xFE) == 0x80 : second == 0xBB;
}

// The character of a well-formed three-byte sequence.
constexpr unsigned ThreeByteCharacter(const unsigned char* bytes) {
    return ((bytes[0] & 0x0Fu) << 12) | ((bytes[1] & 0x3Fu) << 6) | (bytes[2] & 0x3Fu);
}

}  // namespace safe_text_detail

// Walks the UTF-8 text, giving each ASCII byte that is not plain (control characters, 0x7F,
// and in JSON the quote and backslash), each C1 control, each hidden format control and each
// byte that is not UTF-8 to control.Special(code, isByte) (code: the character, or the byte
// when isByte), and the runs between to control.Plain.
template <class Control>
void WalkEscapes(std::string_view utf8, bool json, Control&& control) {
    using safe_text_detail::ByteKind;
    const safe_text_detail::ByteKinds& kinds =
        json ? safe_text_detail::kJsonBytes : safe_text_detail::kTextBytes;
    const auto* const data = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t size = utf8.size();
    std::size_t plain = 0;  // start of the run not yet handed over
    std::size_t at = 0;
    for (;;) {
        while (at < size) {
            const ByteKind kind = kinds[data[at]];
            if (kind == ByteKind::kPlain) {
                ++at;
            } else if (kind != ByteKind::kOther && size - at > 2 && (data[at + 1] & 0xC0) == 0x80 &&
                       (data[at + 2] & 0xC0) == 0x80 &&
                       (kind == ByteKind::kThreeByteLead ||
                        !safe_text_detail::MayBeHiddenFormat(data[at], data[at + 1]))) {
                at += 3;
            } else {
                break;
            }
        }
        if (at == size) {
            break;
        }
        unsigned code = data[at];
        bool isByte = false;
        std::size_t length = 1;
        if (code >= 0x80) {
            length = Utf8Length(utf8.substr(at));
            if (length == 0) {
                isByte = true;
                length = 1;
            } else if (code == 0xC2 && data[at + 1] < 0xA0) {
                code = data[at + 1];  // C1: U+0080..U+009F
            } else if (length == 3 &&
                       IsHiddenFormatControl(safe_text_detail::ThreeByteCharacter(data + at))) {
                code = safe_text_detail::ThreeByteCharacter(data + at);
            } else {
                at += length;
                continue;
            }
        }
        if (at > plain) {
            control.Plain(utf8.substr(plain, at - plain));
        }
        control.Special(code, isByte);
        at += length;
        plain = at;
    }
    if (size > plain) {
        control.Plain(utf8.substr(plain));
    }
}

// Whether well-formed UTF-8 text holds nothing that WalkEscapes would hand to Special. It
// may answer false for a few characters that merely share a first byte or two with those.
bool NothingToEscape(std::string_view utf8, bool json);

// Text from outside the program for a message on a terminal: every control character, tabs
// and line ends too, every hidden format control and every byte that is not UTF-8 is
// escaped, so that such text can neither move a terminal's cursor nor break a line.
std::string EscapedForMessage(std::string_view text);

// A message of the system (written for a box, with CR LF line breaks) for a terminal: its
// blank line becomes one line break. The messages hold outside text (a file's name) only
// after their first blank line; all of that part is escaped as EscapedForMessage escapes.
std::string TerminalMessage(std::string_view message);

// UTF-8 text for one line of the window: tabs and line breaks (including U+0085, U+2028 and
// U+2029) become blanks, and each hidden format control becomes U+FFFD, so that it can
// neither grow a list row nor reorder the text beside it. Other bytes stay as they are.
std::string ShownOnOneLine(std::string_view utf8);

}  // namespace tarsel
