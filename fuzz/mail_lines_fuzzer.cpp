// Line-by-line conversion of a mail body: each CR LF line on its own, compared with the rules
// read literally.
#include <cstddef>
#include <cstdint>
#include <string>

#include "decode/mail_lines.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/literal_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarsel;
    const std::string body(reinterpret_cast<const char*>(data), size);
    const std::string decoded = DecodeMailLines(body);
    fuzz::Check(decoded.size() <= body.size(), "the conversion never lengthens a body");
    fuzz::Check(decoded == literal::DecodeMailLinesLiterally(body),
                "a body converts line by line as the rules say");
    return 0;
}
