// Encoded-word decoding of one header value. The decoder avoids rescanning the whole value on
// every pass; the literal pass-by-pass procedure must give the same bytes on every input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "decode/header_value.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/literal_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarsel;
    const std::string value(reinterpret_cast<const char*>(data), size);
    const std::string decoded = DecodeHeaderValue(value);
    fuzz::Check(decoded.size() <= value.size(), "decoding never lengthens a value");
    fuzz::Check(decoded == literal::DecodeHeaderValueLiterally(value),
                "encoded words decode as the pass-by-pass procedure does");
    return 0;
}
