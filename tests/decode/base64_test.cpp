// Base64 decoding of encoded header words, including its lenient handling of stray characters.
#include "decode/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "decode/jis.h"
#include "tests/support/literal_decoders.h"

namespace tarsel {
namespace {

struct Case {
    std::string input;
    std::string expected;
};

void ExpectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeBase64(c.input), c.expected) << "input: " << c.input;
    }
}

TEST(DecodeBase64Test, DecodesOnlyCompleteGroupsOfFour) {
    ExpectAll({
        {"", ""},
        {"Y", ""},
        {"YW", ""},
        {"YWJ", ""},
        {"YWJj", "abc"},
        {"YWJjZ", "abc"},
        {"YWJjZA", "abc"},
        {"YWJjZGVm", "abcdef"},
    });
}

TEST(DecodeBase64Test, HonoursPaddingOfTheLastGroupOnly) {
    ExpectAll({
        {"YWI=", "ab"},
        {"YQ==", "a"},
        {"YWJ9", "ab}"},
        {"YWJjZA==", "abcd"},
        // Padding followed by leftover characters still counts: the group is the last one.
        {"YQ==YW", "a"},
        // "=" in an earlier group contributes its value 61 and removes nothing.
        {"YQ==YWJj", std::string("a\x0F}abc")},
        // The third character is only looked at when the fourth one is padding.
        {"YW=j", "aoc"},
    });
}

TEST(DecodeBase64Test, StrayCharactersKeepTheirSignedValueAndShiftTheGroups) {
    ExpectAll({
        // CR LF is not skipped: it forms a group with the next two characters.
        {"\r\nYWJj", std::string("4\xA6\x16")},
        {std::string("\xFF\xFF\xFF\xFF"), std::string("\xFB\xEF\xBF")},
        {std::string("A\x80"
                     "AA"),
         std::string("\xF8\x00\x00", 3)},
    });
}

TEST(DecodeBase64Test, ConvertsDecodedIso2022JpToShiftJis) {
    ExpectAll({
        {"GyRCJCIbKEI=", "\x82\xA0"},
        {"YRskQjghOncbKEJ6", "a\x8C\x9F\x8D\xF5z"},
        {"GyRCN29MPiVGJTklSBsoQg==", "\x8C\x8F\x96\xBC\x83\x65\x83\x58\x83\x67"},
    });
}

// Texts decoded on the stack and in the thread's buffer, and runs of pairs converted on the
// stack and in place, on either side of where one gives way to the other.
TEST(DecodeBase64Test, DecodesLongWordsAsTheRulesSay) {
    std::mt19937 random(7);
    const std::string alphabet = "GyRCJCIbKEI=YWJj+/09";
    for (std::size_t size = 240; size <= 360; ++size) {
        std::string random64(size, 'A');
        for (char& c : random64) {
            c = alphabet[random() % alphabet.size()];
        }
        // ESC $ B, the pairs, ESC ( B: 3 + 2n + 3 bytes, in base64 four characters for three.
        std::string jis = "\x1B$B";
        for (std::size_t i = 0; jis.size() + 3 < size * 3 / 4; ++i) {
            jis += static_cast<char>(0x30 + i % 40);
            jis += static_cast<char>(0x21 + i % 90);
        }
        jis += "\x1B(B";
        EXPECT_EQ(DecodeBase64(random64), literal::DecodeBase64Literally(random64)) << size;
        std::string sjis = "kept";
        AppendJisAsSjis(jis, sjis);
        EXPECT_EQ(sjis, "kept" + literal::ConvertJisToSjisLiterally(jis)) << jis.size();
    }
}

// Every last group over letters, padding and stray bytes, after none, one and two whole groups
// and before the characters of an incomplete group: padding stands for zero bits only where
// the lenient arithmetic would drop what it gives.
TEST(DecodeBase64Test, DecodesEveryLastGroupAsTheRulesSay) {
    const char chars[] = {'A', 'z', '/', '=', '\n', '\x80', '?'};
    for (const std::string before : {"", "GyRC", "YWJjGyRC"}) {
        for (const std::string after : {"", "Y", "YW", "YW="}) {
            for (int group = 0; group < 7 * 7 * 7 * 7; ++group) {
                std::string text = before;
                for (int place = 0, rest = group; place < 4; ++place, rest /= 7) {
                    text += chars[rest % 7];
                }
                text += after;
                ASSERT_EQ(DecodeBase64(text), literal::DecodeBase64Literally(text)) << text;
            }
        }
    }
}

TEST(DecodeBase64Test, ReturnsForArbitraryBytes) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 20000; ++round) {
        std::string input(random() % 40, '\0');
        for (char& c : input) {
            c = static_cast<char>(random() % 256);
        }
        const std::string output = DecodeBase64(input);
        EXPECT_LE(output.size(), input.size() / 4 * 3);
    }
}

}  // namespace
}  // namespace tarsel
