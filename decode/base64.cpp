// Base64 text of one encoded header word to Shift-JIS, keeping the lenient arithmetic that
// lets stray characters through instead of rejecting the word.
#include "decode/base64.h"

#include <array>
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

}  // namespace

std::string DecodeBase64(std::string_view text) {
    std::string out;
    AppendDecodedBase64(text, out);
    return out;
}

void AppendDecodedBase64(std::string_view text, std::string& out) {
    // The decoded bytes are only an intermediate: those of a header word fit on the stack, and
    // each thread keeps one buffer for longer texts.
    constexpr std::size_t kOnStack = 192;
    char onStack[kOnStack];
    thread_local std::string longer;
    const std::size_t room = text.size() / 4 * 3;
    if (room > kOnStack) {
        longer.resize(room);
    }
    char* const bytes = room > kOnStack ? longer.data() : onStack;
    std::size_t last = std::string::npos;
    char* to = bytes;
    for (std::size_t i = 0; i + 3 < text.size(); i += 4) {
        const int x0 = ValueOf(text[i]);
        const int x1 = ValueOf(text[i + 1]);
        const int x2 = ValueOf(text[i + 2]);
        const int x3 = ValueOf(text[i + 3]);
        *to++ = static_cast<char>((4 * x0 + (x1 >> 4)) & 0xFF);
        *to++ = static_cast<char>((16 * x1 + (x2 >> 2)) & 0xFF);
        *to++ = static_cast<char>((64 * x2 + x3) & 0xFF);
        last = i;
    }
    auto size = static_cast<std::size_t>(to - bytes);
    // Padding counts only in the final group; the third character is looked at only when the
    // fourth one was padding.
    if (last != std::string::npos && text[last + 3] == '=') {
        --size;
        if (text[last + 2] == '=') {
            --size;
        }
    }
    AppendJisAsSjis(std::string_view(bytes, size), out);
}

}  // namespace tarsel
