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

TEST(TextUtilTest, ComparesWithoutCaseAtEveryPosition) {
    // One byte changed at each position of names around the eight bytes compared together:
    // the other case of a letter is equal, bytes apart by the case bit that are no letters
    // ("@" and "`", "[" and "{", 8-bit ones) are not, nor are any other two.
    const struct {
        char from, to;
        bool equal;
    } changes[] = {{'a', 'A', true},  {'z', 'Z', true},        {'@', '`', false},
                   {'[', '{', false}, {'\xC1', '\xE1', false}, {'-', '\r', false},
                   {'a', 'b', false}};
    for (std::size_t size = 1; size <= 17; ++size) {
        for (std::size_t at = 0; at < size; ++at) {
            for (const auto& change : changes) {
                std::string a(size, 'x'), b(size, 'X');
                a[at] = change.from;
                b[at] = change.to;
                EXPECT_EQ(EqualsNoCase(a, b), change.equal) << size << " at " << at;
                EXPECT_EQ(EqualsNoCase(b, a), change.equal) << size << " at " << at;
            }
        }
    }
    EXPECT_FALSE(EqualsNoCase("content-type", "content-typ"));
}

TEST(TextUtilTest, BlanksTheNulsFromWhereTheTextWasAdded) {
    using namespace std::string_literals;
    const struct {
        std::string text;
        std::size_t from;
        std::string blanked;
    } cases[] = {
        {"\0abc"s, 0, " abc"},    {"abc\0"s, 0, "abc "},
        {"a\0b\0"s, 2, "a\0b "s}, {"a\0bc"s, 2, "a\0bc"s},
        {"abc"s, 3, "abc"},       {std::string(40, '\0'), 39, std::string(39, '\0') + " "},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        BlankNuls(text, c.from);
        EXPECT_EQ(text, c.blanked) << c.from;
    }
}

TEST(TextUtilTest, FindsANeedleAtEveryPosition) {
    // Needles short and long, placed at each position of texts around the widths looked at
    // together, behind decoys that share their first and last bytes.
    const std::string_view needles[] = {
        "ab", "a-b", "abcb",
        std::string_view("a\0\xff"
                         "b",
                         4),
        std::string_view("a-----------------------------------------------"
                         "----------------b")};
    for (const std::string_view needle : needles) {
        std::string decoy(needle);
        decoy[decoy.size() / 2] = 'x';
        for (std::size_t size = needle.size(); size <= 80; ++size) {
            for (std::size_t at = 0; at + needle.size() <= size; ++at) {
                std::string text(size, 'a');
                if (at >= decoy.size()) {
                    text.replace(0, decoy.size(), decoy);
                }
                text.replace(at, needle.size(), needle);
                const std::string_view view = text;
                for (const std::size_t from : {std::size_t{0}, at, at + 1}) {
                    EXPECT_EQ(FindBytes(view, needle, from), view.find(needle, from))
                        << needle << " in " << size << " at " << at << " from " << from;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tarsel::mime
