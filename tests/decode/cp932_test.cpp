// The CP932 <-> UTF-8 edge: never failing on the way out, reporting on the way in.
#include "decode/cp932.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/literal_decoders.h"

namespace tarsel {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

struct Pair {
    std::string name;
    std::string cp932;
    std::string utf8;
};

TEST(Cp932Test, ConvertsBothWays) {
    const std::vector<Pair> pairs = {
        {"empty", "", ""},
        {"ascii", "abc 123", "abc 123"},
        {"search word", "\x8C\x9F\x8D\xF5", "検索"},
        {"hiragana", "\x82\xA0", "あ"},
        {"half-width katakana", "\xB1", "ｱ"},
        {"first cell", "\x81\x40", "　"},
        {"NEC row 13", "\x87\x40", "①"},
        {"mixed", "a\x82\xA0z", "aあz"},
    };
    for (const Pair& p : pairs) {
        EXPECT_EQ(Cp932ToUtf8(p.cp932), p.utf8) << p.name;
        bool ok = false;
        EXPECT_EQ(Utf8ToCp932(p.utf8, &ok), p.cp932) << p.name;
        EXPECT_TRUE(ok) << p.name;
    }
}

TEST(Cp932Test, ReplacesBytesThatDoNotDecode) {
    const std::vector<Pair> cases = {
        {"lone high byte", "\x80", kReplacement},
        {"FF between letters",
         "a\xFF"
         "b",
         "a" + kReplacement + "b"},
        {"lead byte at the end", "a\x82", "a" + kReplacement},
        // Only the lead byte is replaced: the byte after it is a character of its own.
        {"lead byte before a blank", "\x82 x", kReplacement + " x"},
        {"several", "\xFD\xFE\xFF", kReplacement + kReplacement + kReplacement},
        {"good text after bad", "\x80\x82\xA0", kReplacement + "あ"},
    };
    for (const Pair& c : cases) {
        EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8) << c.name;
    }
}

TEST(Cp932Test, ReportsCharactersThatCp932CannotHold) {
    struct Case {
        std::string name;
        std::string utf8;
        std::string cp932;
    };
    const std::vector<Case> cases = {
        {"emoji", "a😀b", "ab"},
        {"hangul", "한", ""},
        {"truncated sequence", "a\xE3\x81", "a"},
        {"stray continuation byte",
         "\x80"
         "a",
         "a"},
        {"overlong slash",
         "\xC0\xAF"
         "b",
         "b"},
    };
    for (const Case& c : cases) {
        bool ok = true;
        EXPECT_EQ(Utf8ToCp932(c.utf8, &ok), c.cp932) << c.name;
        EXPECT_FALSE(ok) << c.name;
        EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932) << c.name << " without a flag";
    }
}

TEST(Cp932Test, ReturnsForArbitraryBytes) {
    std::mt19937 random(932);
    for (int round = 0; round < 20000; ++round) {
        std::string input(random() % 24, '\0');
        for (char& c : input) {
            c = static_cast<char>(random() % 256);
        }
        const std::string utf8 = Cp932ToUtf8(input);
        ASSERT_TRUE(literal::IsWellFormedUtf8(utf8)) << "round " << round;
        // What comes out is text again: converting it back only fails where U+FFFD stands.
        bool ok = false;
        Utf8ToCp932(utf8, &ok);
        EXPECT_EQ(ok, utf8.find(kReplacement) == std::string::npos) << "round " << round;
        Utf8ToCp932(input);
    }
}

}  // namespace
}  // namespace tarsel
