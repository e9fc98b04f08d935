// The well-formed start of UTF-8 text, wherever a character or a fault stands in it.
#include "decode/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tarsel {
namespace {

TEST(Utf8Test, MeasuresTheWellFormedStart) {
    const struct {
        std::string_view bytes;
        std::size_t prefix;
    } cases[] = {
        {"", 0},
        {"abcdefg", 7},
        {"abcdefgh", 8},
        {"abcdefghi", 9},
        {"abcdefg\xE6\xA4\x9C", 10},  // a character across eight bytes
        {"abcdefgh\xE6\xA4\x9C"
         "abcdefgh",
         19},
        {"abcdefghabcdefg\xFF"
         "abcdefgh",
         15},  // a fault at the end of a step
        {"abcdefghabcdefgh\x80", 16},
        {"abcdefghabcdefgh\xE6\xA4", 16},  // cut short
        {"abc\xC0\xAF"
         "defgh",
         3},                          // overlong
        {"abcdefgh\xED\xA0\x80", 8},  // a surrogate
        {"\xF4\x8F\xBF\xBF"
         "abcdefgh",
         12},
        {"\xF4\x90\x80\x80"
         "abcdefgh",
         0},  // above U+10FFFF
        {std::string_view("abcdefgh\0abcdefgh", 17), 17},
        // Three-byte characters at the edges of their leads' ranges.
        {"\xE1\x80\x80\xEC\xBF\xBF\xEE\x80\x80\xEF\xBF\xBF", 12},
        {"\xE0\xA0\x80\xED\x9F\xBF", 6},
        {"\xE0\x9F\xBF", 0},  // overlong
        {"\xE1\x80\x41", 0},
        {"\xE1\xC0\x80", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8WellFormedPrefix(c.bytes), c.prefix) << c.bytes;
        EXPECT_EQ(IsValidUtf8(c.bytes), c.prefix == c.bytes.size()) << c.bytes;
    }
}

TEST(Utf8Test, FindsAFaultAtEveryPosition) {
    for (std::size_t size = 1; size <= 24; ++size) {
        for (std::size_t at = 0; at < size; ++at) {
            std::string text(size, 'a');
            text[at] = '\xC3';  // a lead byte without its second byte
            EXPECT_EQ(Utf8WellFormedPrefix(text), at) << size << " at " << at;
        }
    }
}

}  // namespace
}  // namespace tarsel
