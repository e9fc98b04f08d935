// JIS X 0208 <-> Shift-JIS arithmetic and the conversion of ISO-2022-JP text to Shift-JIS.
#include "decode/jis.h"

#include <algorithm>
#include <array>
#include <cstdint>
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

// The Shift-JIS bytes of a pair come from two tables, the lead byte by the JIS high byte and
// the trail byte by the low byte and the parity of the high byte (even rows first). Each entry
// holds its byte where it goes in the pair (lead low, trail high, as a little-endian store
// writes them) and kValid for a JIS byte in 0x21..0x7E: the sum of the two entries holds both
// bytes and, in kBothValid, whether the pair is kept.
constexpr std::uint32_t kValid = 1u << 16;
constexpr std::uint32_t kBothValid = 2 * kValid;

constexpr std::array<std::uint32_t, 256> kLeadEntries = [] {
    std::array<std::uint32_t, 256> lead{};
    for (unsigned high = 0x21; high <= 0x7E; ++high) {
        lead[high] = (JisToSjis(high << 8 | 0x21) >> 8) | kValid;
    }
    return lead;
}();

constexpr std::array<std::uint32_t, 512> kTrailEntries = [] {
    std::array<std::uint32_t, 512> trail{};
    for (unsigned low = 0x21; low <= 0x7E; ++low) {
        trail[low] = (JisToSjis(0x2200 | low) & 0xFF) << 8 | kValid;
        trail[256 + low] = (JisToSjis(0x2100 | low) & 0xFF) << 8 | kValid;
    }
    return trail;
}();

// JIS pairs to Shift-JIS by position, as AppendPairs does with JisToSjis: every pair is
// written and the pointer moves on only over a kept one, so the loop carries no branch on the
// bytes. The write lands at or behind the pair just read. Inlined: a header word has a few
// pairs, and a call costs as much as they do.
__attribute__((always_inline)) inline char* WritePairs(const char* text, std::size_t size,
                                                       char* to) {
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto high = static_cast<unsigned char>(text[i]);
        const auto low = static_cast<unsigned char>(text[i + 1]);
        const std::uint32_t pair = kLeadEntries[high] + kTrailEntries[(high << 8 | low) & 0x1FF];
        to[0] = static_cast<char>(pair & 0xFF);
        to[1] = static_cast<char>((pair >> 8) & 0xFF);
        to += (pair & kBothValid) != 0 ? 2 : 0;
    }
    return to;
}

// Whether eight bytes hold an ESC: a byte of the ESC mask turned zero is found with the usual
// borrow trick, which is exact about whether there is one.
bool HoldsEscape(const char* at) {
    constexpr std::uint64_t kEach = 0x0101010101010101;
    std::uint64_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    const std::uint64_t notEscapes = bytes ^ (kEsc * kEach);
    return ((notEscapes - kEach) & ~notEscapes & 0x80 * kEach) != 0;
}

// Whether [from, to) holds an ESC: eight bytes at a time when there are eight, the last eight
// overlapping the ones before.
bool HoldsEscape(const char* from, const char* to) {
    constexpr std::ptrdiff_t kWord = sizeof(std::uint64_t);
    if (to - from < kWord) {
        return std::find(from, to, kEsc) != to;
    }
    for (; to - from > kWord; from += kWord) {
        if (HoldsEscape(from)) {
            return true;
        }
    }
    return HoldsEscape(to - kWord);
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

char* WriteJisAsSjis(const char* text, std::size_t size, char* to, bool* pairsOnly) {
    static constexpr std::string_view kStart = "\x1B$B";
    const std::string_view view(text, size);
    // The usual encoded word: one two-byte run from its first byte to a return at its end,
    // with no other escape between, which the walk below would take the same way.
    if (size >= 2 * kStart.size() && view.substr(0, kStart.size()) == kStart) {
        const std::string_view back = view.substr(size - 3);
        if ((back == "\x1B(B" || back == "\x1B(J") &&
            !HoldsEscape(text + kStart.size(), text + size - 3)) {
            if (pairsOnly != nullptr) {
                *pairsOnly = true;
            }
            return WritePairs(text + kStart.size(), size - 2 * kStart.size(), to);
        }
    }
    if (pairsOnly != nullptr) {
        *pairsOnly = false;
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
