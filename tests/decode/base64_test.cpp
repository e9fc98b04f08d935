// Base64 decoding of encoded header words, including its lenient handling of stray characters.
#include "decode/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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
