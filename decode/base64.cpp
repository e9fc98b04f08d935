// Base64 text of one encoded header word to Shift-JIS, keeping the lenient arithmetic that
// lets stray characters through instead of rejecting the word.
#include "decode/base64.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "decode/jis.h"

namespace tarsel {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// A character outside the alphabet keeps its own byte value, read as signed, so that a line
// break or a stray "=" inside the text changes the bytes rather than being skipped.
constexpr std::array<int, 256> MakeValues() {
    std::array<int, 256> values{};
    for (int byte = 0; byte < 256; ++byte) {
        values[byte] = byte < 128 ? byte : byte - 256;
    }
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int>(i);
    }
    return values;
}

constexpr std::array<int, 256> kValues = MakeValues();

int ValueOf(char c) {
    return kValues[static_cast<unsigned char>(c)];
}

// Each character's six bits already at their place in the 24 bits of a group, one table per
// place, and kStray for a byte outside the alphabet: a group that holds none decodes with one
// lookup and one "or" per character.
constexpr std::uint32_t kStray = 1u << 31;
constexpr std::array<std::array<std::uint32_t, 256>, 4> kPlacedBits = [] {
    std::array<std::array<std::uint32_t, 256>, 4> placed{};
    for (std::size_t place = 0; place < 4; ++place) {
        placed[place].fill(kStray);
        for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
            placed[place][static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint32_t>(i)
                                                                      << (18 - 6 * place);
        }
    }
    return placed;
}();

std::uint32_t PlacedBits(std::size_t place, char c) {
    return kPlacedBits[place][static_cast<unsigned char>(c)];
}

// The group's three bytes by the lenient arithmetic, for a group with a stray character.
char* WriteLenientGroup(const char* group, char* to) {
    const int x0 = ValueOf(group[0]);
    const int x1 = ValueOf(group[1]);
    const int x2 = ValueOf(group[2]);
    const int x3 = ValueOf(group[3]);
    to[0] = static_cast<char>((4 * x0 + (x1 >> 4)) & 0xFF);
    to[1] = static_cast<char>((16 * x1 + (x2 >> 2)) & 0xFF);
    to[2] = static_cast<char>((64 * x2 + x3) & 0xFF);
    return to + 3;
}

// The three bytes of a group of the alphabet, and one byte more that the next group overwrites:
// on a little-endian processor the four go in one store.
void WriteGroupBits(std::uint32_t bits, char* to) {
    if constexpr (std::endian::native == std::endian::little) {
        const std::uint32_t bytes = __builtin_bswap32(bits << 8);
        std::memcpy(to, &bytes, sizeof bytes);
    } else {
        to[0] = static_cast<char>(bits >> 16);
        to[1] = static_cast<char>((bits >> 8) & 0xFF);
        to[2] = static_cast<char>(bits & 0xFF);
    }
}

// The decoded bytes of all groups but the last, which follows them: each group may write one
// byte into the place of the next.
char* WriteGroups(std::string_view text, char* to) {
    for (std::size_t i = 0; i + 3 < text.size(); i += 4) {
        const std::uint32_t bits = PlacedBits(0, text[i]) | PlacedBits(1, text[i + 1]) |
                                   PlacedBits(2, text[i + 2]) | PlacedBits(3, text[i + 3]);
        if ((bits & kStray) != 0) {
            to = WriteLenientGroup(text.data() + i, to);
            continue;
        }
        // Within the alphabet the lenient arithmetic is plain base64.
        WriteGroupBits(bits, to);
        to += 3;
    }
    return to;
}

// The final group, less its padding. Padding counts only there, and the third character is
// looked at only when the fourth one was padding. A padding "=" stands only in bits that the
// padding drops, so with zero bits in its place a group of the alphabet otherwise still
// decodes with shifts alone.
char* WriteLastGroup(const char* group, char* to) {
    const bool padded = group[3] == '=';
    const bool twice = padded && group[2] == '=';
    const std::uint32_t bits = PlacedBits(0, group[0]) | PlacedBits(1, group[1]) |
                               (twice ? 0 : PlacedBits(2, group[2])) |
                               (padded ? 0 : PlacedBits(3, group[3]));
    if ((bits & kStray) != 0) {
        to = WriteLenientGroup(group, to);
    } else {
        to[0] = static_cast<char>(bits >> 16);
        to[1] = static_cast<char>((bits >> 8) & 0xFF);
        to[2] = static_cast<char>(bits & 0xFF);
        to += 3;
    }
    return to - (padded ? 1 : 0) - (twice ? 1 : 0);
}

}  // namespace

std::string DecodeBase64(std::string_view text) {
    std::string out;
    AppendDecodedBase64(text, out);
    return out;
}

void AppendDecodedBase64(std::string_view text, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + text.size() / 4 * 3);
    char* const end = WriteDecodedBase64(text, out.data() + start);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

char* WriteDecodedBase64(std::string_view text, char* to, bool* pairsOnly) {
    // The decoded bytes are converted where they were written: the conversion never writes
    // ahead of what it reads, so no buffer stands between the two.
    const std::size_t groups = text.size() / 4 * 4;
    char* end = to;
    if (groups != 0) {
        end = WriteGroups(text.substr(0, groups - 4), to);
        end = WriteLastGroup(text.data() + groups - 4, end);
    }
    return WriteJisAsSjis(to, static_cast<std::size_t>(end - to), to, pairsOnly);
}

}  // namespace tarsel
