// The byte checks of the MIME scanner, wherever in a text the byte they look for stands.
#include "mime/text_util.h"

#include <gtest/gtest.h>

#include <string>

namespace tarsel::mime {
namespace {

TEST(TextUtilTest, FindsAnEightBitByteAnywhere) {
    // Every position in texts shorter and longer than the sixteen bytes looked at together.
    for (std::size_t size = 0; size <= 40; ++size) {
        const std::string ascii(size, '\x7f');
        EXPECT_FALSE(HasEightBitByte(ascii)) << size;
        for (std::size_t at = 0; at < size; ++at) {
            for (const char high : {'\x80', '\xff'}) {
                std::string text = ascii;
                text[at] = high;
                EXPECT_TRUE(HasEightBitByte(text)) << size << " at " << at;
                EXPECT_FALSE(HasEightBitByte(std::string_view(text).substr(at + 1)));
            }
        }
    }
}

}  // namespace
}  // namespace tarsel::mime
