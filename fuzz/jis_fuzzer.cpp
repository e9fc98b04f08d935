// ISO-2022-JP to Shift-JIS on any bytes, compared with the conversion rules read literally;
// and the two pair conversions, which must undo each other wherever both are defined.
#include <cstddef>
#include <cstdint>
#include <string>

#include "decode/jis.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/literal_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarsel;
    fuzz::FuzzInput input(data, size);
    const unsigned code = input.TakeWord();
    const unsigned jis = SjisToJis(code);
    if (jis != 0) {
        fuzz::Check(JisToSjis(jis) == code, "a Shift-JIS pair survives JIS and back");
    }
    const unsigned sjis = JisToSjis(code);
    if (sjis != 0) {
        fuzz::Check(IsSjisLeadByte(static_cast<unsigned char>(sjis >> 8)),
                    "JIS converts to a pair with a lead byte");
        fuzz::Check(SjisToJis(sjis) == code, "a JIS pair survives Shift-JIS and back");
    }

    const std::string text = input.TakeRest();
    const std::string converted = ConvertJisToSjis(text);
    fuzz::Check(converted.size() <= text.size(), "the conversion never lengthens the text");
    if (text.find("\x1B$B") == std::string::npos) {
        fuzz::Check(converted == text, "text without a two-byte segment is copied unchanged");
    }
    fuzz::Check(converted == literal::ConvertJisToSjisLiterally(text),
                "ISO-2022-JP converts as its rules say");

    std::string pattern = text;
    ConvertPatternToJis(pattern);
    fuzz::Check(pattern.size() <= text.size() && pattern.size() % 2 == 0,
                "a search string becomes whole JIS pairs");
    return 0;
}
