// JIS X 0208 <-> Shift-JIS arithmetic and the conversion of ISO-2022-JP text to Shift-JIS.
#include "decode/jis.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace tarsel {

namespace {

constexpr char kEsc = '\x1B';

// Replaces pairs by position: a byte is never re-paired after a pair is dropped, so text that
// is not in step stays dropped rather than shifting into a different character.
template <typename Convert>
void AppendPairs(std::string_view text, std::string& out, Convert convert) {
    // A pair never grows: the room of the whole text is enough. A header word's few pairs are
    // converted on the stack and appended at once.
    constexpr std::size_t kOnStack = 256;
    char onStack[kOnStack];
    const std::size_t start = out.size();
    if (text.size() > kOnStack) {
        out.resize(start + text.size());
    }
    char* const begin = text.size() > kOnStack ? out.data() + start : onStack;
    char* to = begin;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const unsigned code =
            (static_cast<unsigned char>(text[i]) << 8) | static_cast<unsigned char>(text[i + 1]);
        const unsigned converted = convert(code) & 0xFFFF;
        if (converted != 0) {
            *to++ = static_cast<char>(converted >> 8);
            *to++ = static_cast<char>(converted & 0xFF);
        }
    }
    if (begin == onStack) {
        out.append(onStack, static_cast<std::size_t>(to - onStack));
    } else {
        out.resize(start + static_cast<std::size_t>(to - begin));
    }
}

template <class Convert>
void ConvertPairs(std::string& text, Convert convert) {
    std::string out;
    out.reserve(text.size());
    AppendPairs(text, out, convert);
    text = std::move(out);
}

// Shift-JIS lead byte of each JIS high byte, 0 for a byte outside 0x21..0x7E.
constexpr std::array<unsigned char, 256> kSjisLead = [] {
    std::array<unsigned char, 256> lead{};
    for (unsigned high = 0x21; high <= 0x7E; ++high) {
        lead[high] = static_cast<unsigned char>(JisToSjis(high << 8 | 0x21) >> 8);
    }
    return lead;
}();

// Shift-JIS trail byte of each JIS low byte, by the parity of the high byte (odd rows first);
// 0 for a byte outside 0x21..0x7E. No Shift-JIS byte of a pair is 0, so 0 can mark a drop.
constexpr std::array<unsigned char, 512> kSjisTrail = [] {
    std::array<unsigned char, 512> trail{};
    for (unsigned low = 0x21; low <= 0x7E; ++low) {
        trail[low] = static_cast<unsigned char>(JisToSjis(0x2100 | low) & 0xFF);
        trail[256 + low] = static_cast<unsigned char>(JisToSjis(0x2200 | low) & 0xFF);
    }
    return trail;
}();

// JIS pairs to Shift-JIS by position, as AppendPairs does with JisToSjis, through two tables:
// every pair is written and the pointer moves on only over a valid one, so the loop carries no
// branch on the bytes. The write lands at or behind the pair just read.
char* WritePairs(const char* text, std::size_t size, char* to) {
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto high = static_cast<unsigned char>(text[i]);
        const auto low = static_cast<unsigned char>(text[i + 1]);
        const unsigned char lead = kSjisLead[high];
        const unsigned char trail = kSjisTrail[(~high & 1u) << 8 | low];
        to[0] = static_cast<char>(lead);
        to[1] = static_cast<char>(trail);
        to += (lead != 0 && trail != 0) ? 2 : 0;
    }
    return to;
}

// Copies text to to, which may overlap it from below.
char* Move(std::string_view text, char* to) {
    std::memmove(to, text.data(), text.size());
    return to + text.size();
}

// Position of the first ESC ( B or ESC ( J at or after from; npos when there is none.
std::size_t FindReturnSequence(std::string_view text, std::size_t from) {
    for (std::size_t pos = text.find(kEsc, from); pos != std::string_view::npos;
         pos = text.find(kEsc, pos + 1)) {
        if (pos + 2 < text.size() && text[pos + 1] == '(' &&
            (text[pos + 2] == 'B' || text[pos + 2] == 'J')) {
            return pos;
        }
    }
    return std::string_view::npos;
}

}  // namespace

bool IsSjisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

unsigned SjisToJis(unsigned sjisCode) {
    if (sjisCode > 0xFFFF) {
        return 0;
    }
    unsigned high = sjisCode >> 8;
    unsigned low = sjisCode & 0xFF;
    const bool leadOk = (high >= 0x81 && high <= 0x9F) || (high >= 0xE0 && high <= 0xEF);
    const bool trailOk = (low >= 0x40 && low <= 0x7E) || (low >= 0x80 && low <= 0xFC);
    if (!leadOk || !trailOk) {
        return 0;
    }
    if (high >= 0xE0) {
        high -= 0x40;
    }
    high = ((high - 0x81) << 1) + 0x21;
    if (low >= 0x9F) {
        ++high;
        low -= 0x7E;
    } else {
        if (low >= 0x80) {
            --low;
        }
        low -= 0x1F;
    }
    return (high << 8) | low;
}

void ConvertPatternToJis(std::string& pattern) {
    ConvertPairs(pattern, [](unsigned code) { return SjisToJis(code); });
}

void ConvertJisPairs(std::string& segment) {
    ConvertPairs(segment, [](unsigned code) { return JisToSjis(code); });
}

std::string ConvertJisToSjis(std::string_view view) {
    std::string out;
    AppendJisAsSjis(view, out);
    return out;
}

void AppendJisAsSjis(std::string_view view, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + view.size());  // the conversion never lengthens the text
    char* const end = WriteJisAsSjis(view.data(), view.size(), out.data() + start);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

char* WriteJisAsSjis(const char* text, std::size_t size, char* to) {
    static constexpr std::string_view kStart = "\x1B$B";
    const std::string_view view(text, size);
    // The usual encoded word: one two-byte run from its first byte to a return at its end,
    // with no other escape between, which the walk below would take the same way.
    if (size >= 2 * kStart.size() && view.substr(0, kStart.size()) == kStart) {
        const std::string_view back = view.substr(size - 3);
        if ((back == "\x1B(B" || back == "\x1B(J") && view.find(kEsc, kStart.size()) == size - 3) {
            return WritePairs(text + kStart.size(), size - 2 * kStart.size(), to);
        }
    }
    std::size_t rest = 0;
    while (rest < size) {
        const std::size_t start = view.find(kStart, rest);
        if (start == std::string_view::npos) {
            break;
        }
        to = Move(view.substr(rest, start - rest), to);
        const std::size_t inside = start + kStart.size();
        const std::size_t end = FindReturnSequence(view, inside);
        const std::size_t last = end == std::string_view::npos ? size : end;
        to = WritePairs(text + inside, last - inside, to);
        rest = end == std::string_view::npos ? size : end + 3;
    }
    return Move(view.substr(std::min(rest, size)), to);
}

}  // namespace tarsel
