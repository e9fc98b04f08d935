// Text from outside the program made safe to show, on a terminal and in the window.
#include "decode/safe_text.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarsel {

// Looks for what a walk would change: a C0 control, DEL, in JSON the quote or backslash,
// 0xC2 (the lead of every C1 control, and of a few characters that merely take the walk),
// and the first two bytes that every hidden format control begins with (E2 80, E2 81, EF BB).
bool NothingToEscape(std::string_view utf8, bool json) {
    const auto* const data = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t size = utf8.size();
    const auto special = [json](unsigned char byte) {
        return byte <= 0x1F || byte == 0x7F || byte == 0xC2 ||
               (json && (byte == '"' || byte == '\\'));
    };
    const auto formatStart = [](unsigned char lead, unsigned char second) {
        return (lead == 0xE2 || lead == 0xEF) && safe_text_detail::MayBeHiddenFormat(lead, second);
    };
#if defined(__SSE2__)
    if (size >= 16) {
        const __m128i lastControl = _mm_set1_epi8(0x1F);
        const __m128i del = _mm_set1_epi8(0x7F);
        const __m128i c1Lead = _mm_set1_epi8(static_cast<char>(0xC2));
        const __m128i quote = _mm_set1_epi8(json ? '"' : 0);
        const __m128i backslash = _mm_set1_epi8(json ? '\\' : 0);
        const __m128i e2 = _mm_set1_epi8(static_cast<char>(0xE2));
        const __m128i ef = _mm_set1_epi8(static_cast<char>(0xEF));
        const __m128i lowBit = _mm_set1_epi8(static_cast<char>(0xFE));
        const __m128i x80 = _mm_set1_epi8(static_cast<char>(0x80));
        const __m128i xbb = _mm_set1_epi8(static_cast<char>(0xBB));
        const auto plain = [&](std::size_t at) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
            // A byte is at most 0x1F when the unsigned minimum with 0x1F is the byte itself;
            // the zero bytes that stand in for the quote and backslash outside JSON are
            // controls anyway.
            const __m128i found = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(bytes, lastControl), bytes),
                             _mm_cmpeq_epi8(bytes, del)),
                _mm_or_si128(
                    _mm_cmpeq_epi8(bytes, c1Lead),
                    _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash))));
            if (_mm_movemask_epi8(found) != 0) {
                return false;
            }
            // A lead in one lane and its second byte in the next; the lead before the block
            // is read on its own, so that a pair across two blocks is seen as well.
            const unsigned before = at > 0 ? data[at - 1] : 0;
            const unsigned e2Leads =
                (unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, e2))) << 1) | (before == 0xE2);
            const unsigned efLeads =
                (unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, ef))) << 1) | (before == 0xEF);
            const unsigned generalPunctuation =
                unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(bytes, lowBit), x80)));
            const unsigned specials = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, xbb)));
            return ((e2Leads & generalPunctuation) | (efLeads & specials)) == 0;
        };
        std::size_t at = 0;
        for (; at + 16 < size; at += 16) {
            if (!plain(at)) {
                return false;
            }
        }
        return plain(size - 16);  // the last block overlaps the one before
    }
#endif
    for (std::size_t at = 0; at < size; ++at) {
        if (special(data[at]) || (at + 1 < size && formatStart(data[at], data[at + 1]))) {
            return false;
        }
    }
    return true;
}

std::string EscapedForMessage(std::string_view text) {
    struct {
        std::string out;
        void Plain(std::string_view run) { out += run; }
        void Special(unsigned code, bool) { out += EscapeOf(code).text(); }
    } control;
    WalkEscapes(text, false, control);
    return std::move(control.out);
}

std::string TerminalMessage(std::string_view message) {
    constexpr std::string_view kBlankLine = "\r\n\r\n";
    const std::size_t blank = message.find(kBlankLine);
    std::string_view head = message.substr(0, blank);
    std::string text;
    // The part before the blank line is the system's own: its line breaks stay line breaks.
    for (std::size_t end; (end = head.find("\r\n")) != std::string_view::npos;) {
        text += EscapedForMessage(head.substr(0, end));
        text += '\n';
        head.remove_prefix(end + 2);
    }
    text += EscapedForMessage(head);
    if (blank != std::string_view::npos) {
        text += '\n';
        text += EscapedForMessage(message.substr(blank + kBlankLine.size()));
    }
    return text;
}

std::string ShownOnOneLine(std::string_view utf8) {
    constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
    std::string shown;
    shown.reserve(utf8.size());
    const auto* const data = reinterpret_cast<const unsigned char*>(utf8.data());
    for (std::size_t at = 0; at < utf8.size();) {
        const unsigned char byte = data[at];
        if (byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' || byte == '\r') {
            shown += ' ';
            ++at;
            continue;
        }
        const std::size_t length = byte < 0x80 ? 1 : Utf8Length(utf8.substr(at));
        if (length == 2 && byte == 0xC2 && data[at + 1] == 0x85) {
            shown += ' ';  // NEL
        } else if (length == 3) {
            const unsigned character = safe_text_detail::ThreeByteCharacter(data + at);
            if (character == 0x2028 || character == 0x2029) {
                shown += ' ';
            } else if (IsHiddenFormatControl(character)) {
                shown += kReplacement;
            } else {
                shown += utf8.substr(at, 3);
            }
        } else {
            shown += utf8.substr(at, std::max<std::size_t>(length, 1));
        }
        at += std::max<std::size_t>(length, 1);
    }
    return shown;
}

}  // namespace tarsel
