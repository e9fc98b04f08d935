// DecodeBase64 on any text: the lenient arithmetic and the padding rule of the last group,
// compared with the rules read literally.
#include <cstddef>
#include <cstdint>
#include <string>

#include "decode/base64.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/literal_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarsel;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string decoded = DecodeBase64(text);
    fuzz::Check(decoded.size() <= size / 4 * 3, "no more than three bytes per group of four");
    fuzz::Check(decoded == literal::DecodeBase64Literally(text), "base64 decodes as its rules say");
    return 0;
}
