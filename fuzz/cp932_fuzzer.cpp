// The edge conversions between Shift-JIS and UTF-8, which must take any bytes: CP932 text
// always becomes well-formed UTF-8 (through the converter and the table alike), and what they
// produce converts back to the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "decode/cp932.h"
#include "decode/cp932_table.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/literal_decoders.h"

namespace {

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
    fuzz::Check(literal::IsWellFormedUtf8(utf8), "CP932 text becomes well-formed UTF-8");
    fuzz::Check(Cp932ToUtf8Fast(bytes) == utf8, "the table converts as the converter does");
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
        fuzz::Check(literal::IsWellFormedUtf8(bytes),
                    "only well-formed UTF-8 converts without loss");
        const std::string shown = Cp932ToUtf8(cp932);
        fuzz::Check(Utf8ToCp932(shown) == cp932, "a converted search string is stable");
    }
    return 0;
}
