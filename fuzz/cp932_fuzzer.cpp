// The edge conversions between Shift-JIS and UTF-8, which must take any bytes: CP932 text
// always becomes well-formed UTF-8, and what they produce converts back to the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "decode/cp932.h"
#include "fuzz/fuzz_support.h"

namespace {

// Well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool IsWellFormedUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // Sequence length, smallest code point of that length, bits of the lead byte.
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const unsigned min = length == 4 ? 0x10000 : length == 3 ? 0x800 : 0x80;
        unsigned code = lead & (0x7Fu >> length);
        if (lead < 0xC2 || lead > 0xF4) {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = code << 6 | (next & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarsel;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // As Shift-JIS: what the window shows of a mail.
    const std::string utf8 = Cp932ToUtf8(bytes);
    fuzz::Check(IsWellFormedUtf8(utf8), "CP932 text becomes well-formed UTF-8");
    if (utf8.find("\xEF\xBF\xBD") == std::string::npos) {
        bool ok = false;
        const std::string back = Utf8ToCp932(utf8, &ok);
        fuzz::Check(ok, "text that came from CP932 converts back");
        fuzz::Check(Cp932ToUtf8(back) == utf8, "CP932 and back shows the same text");
    }

    // As UTF-8: what the user typed.
    bool ok = false;
    const std::string cp932 = Utf8ToCp932(bytes, &ok);
    if (IsAscii(bytes)) {
        fuzz::Check(ok && cp932 == bytes, "ASCII is the same in both");
    }
    if (ok) {
        fuzz::Check(IsWellFormedUtf8(bytes), "only well-formed UTF-8 converts without loss");
        const std::string shown = Cp932ToUtf8(cp932);
        fuzz::Check(Utf8ToCp932(shown) == cp932, "a converted search string is stable");
    }
    return 0;
}
