// Encoded-word decoding of header values, checked against the literal pass-by-pass procedure
// (tests/support/literal_decoders.h).
#include "decode/header_value.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "decode/base64.h"
#include "tests/support/gcc12_restrict.h"
#include "tests/support/literal_decoders.h"

namespace tarsel {
namespace {

const std::string kPrefix = "=?ISO-2022-JP?B?";

std::string Base64(const std::string& bytes) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned chunk = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) {
            chunk |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        if (i + 2 < bytes.size()) {
            chunk |= static_cast<unsigned char>(bytes[i + 2]);
        }
        out += alphabet[(chunk >> 18) & 63];
        out += alphabet[(chunk >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(chunk >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[chunk & 63] : '=';
    }
    return out;
}

std::string Word(const std::string& text) {
    return kPrefix + Base64(text) + "?=";
}

struct Case {
    std::string name;
    std::string input;
    std::string expected;
};

void ExpectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeHeaderValue(c.input), c.expected) << c.name;
        EXPECT_EQ(literal::DecodeHeaderValueLiterally(c.input), c.expected)
            << "literal: " << c.name;
    }
}

TEST(DecodeHeaderValueTest, LeavesValuesWithoutAPrefixAlone) {
    ExpectAll({
        {"empty", "", ""},
        {"plain", "Taro Yamada <taro@example.jp>", "Taro Yamada <taro@example.jp>"},
        {"terminators only", "a?=b?=?=", "a?=b?=?="},
        {"prefix one byte short", "=?ISO-2022-JP?B", "=?ISO-2022-JP?B"},
        {"other charset", "=?UTF-8?B?44GC?=", "=?UTF-8?B?44GC?="},
        {"Q encoding", "=?ISO-2022-JP?Q?abc?=", "=?ISO-2022-JP?Q?abc?="},
    });
}

TEST(DecodeHeaderValueTest, DecodesWordsInAnyCase) {
    ExpectAll({
        {"empty text", kPrefix + "?=", ""},
        {"empty text between", "a" + kPrefix + "?=b", "ab"},
        {"upper case", "=?ISO-2022-JP?B?GyRCJCIbKEI=?=", "\x82\xA0"},
        {"lower case", "=?iso-2022-jp?b?GyRCJCIbKEI=?=", "\x82\xA0"},
        {"mixed case", "=?Iso-2022-Jp?b?GyRCJCIbKEI=?=", "\x82\xA0"},
        {"ends with the terminator", "Re: " + Word("abc"), "Re: abc"},
        {"text after", Word("abc") + " (1)", "abc (1)"},
        {"blank between words kept", Word("ab") + " " + Word("cd"), "ab cd"},
        {"adjacent words", Word("ab") + Word("cd"), "abcd"},
        {"japanese subject",
         "=?ISO-2022-JP?B?GyRCN29MPiVGJTklSBsoQg==?=", "\x8C\x8F\x96\xBC\x83\x65\x83\x58\x83\x67"},
        {"other charset then ours", "=?UTF-8?B?44GC?= " + Word("x"), "=?UTF-8?B?44GC?= x"},
    });
}

// Each byte of the prefix with its case bit flipped: a letter still matches, any other byte
// (which becomes a control character or another sign) does not.
TEST(DecodeHeaderValueTest, MatchesThePrefixLetterByLetter) {
    for (std::size_t i = 1; i < kPrefix.size(); ++i) {
        std::string word = Word("ab");
        word[i] = static_cast<char>(word[i] ^ 0x20);
        const bool letter = std::isalpha(static_cast<unsigned char>(kPrefix[i])) != 0;
        EXPECT_EQ(DecodeHeaderValue(word), letter ? "ab" : word) << "byte " << i;
    }
}

TEST(DecodeHeaderValueTest, EachWordStartsInSingleByteMode) {
    // The first word never returns to single-byte text: its segment ends with the word.
    ExpectAll({
        {"unfinished segment", Word("\x1B$B\x24\x22") + Word("\x24\x22"), "\x82\xA0\x24\x22"},
    });
}

TEST(DecodeHeaderValueTest, TakesTheFirstTerminatorAfterThePrefix) {
    ExpectAll({
        {"terminator before the word", "?= " + Word("abc"), "?= abc"},
        // "=YWJ" is the one group: "=" counts 61.
        {"terminator overlapping the prefix", kPrefix + "=YWJj?=", "\xF5\x85\x89"},
        {"terminator right after the prefix", kPrefix + "?=YWJj?=", "YWJj?="},
        {"terminator takes the next prefix's equals sign", kPrefix + "?" + Word("ab"),
         "?ISO-2022-JP?B?YWI=?="},
    });
}

TEST(DecodeHeaderValueTest, StopsAtAWordWithoutTerminator) {
    ExpectAll({
        {"cut off", kPrefix + "YWJj", kPrefix + "YWJj"},
        {"cut off, prefix only", "a " + kPrefix, "a " + kPrefix},
        {"cut off after a word", Word("ab") + " " + kPrefix + "YW?", "ab " + kPrefix + "YW?"},
        {"terminator only inside the prefix", "=?ISO-2022-JP?B?=", "=?ISO-2022-JP?B?="},
    });
}

TEST(DecodeHeaderValueTest, SearchesDecodedTextAgain) {
    ExpectAll({
        // Decoded text that is itself a word is decoded on a later pass.
        {"nested word", Word(Word("abc")), "abc"},
        // A decoded prefix is closed by the text after it.
        {"decoded prefix", Word("=?ISO-2022-JP?B?YWJj") + "?=", "abc"},
        // Decoded text keeps its case until a later pass: lower case is not a prefix yet.
        {"lower-case decoded prefix, alone", Word("=?iso-2022-jp?b?YWJj?="),
         "=?iso-2022-jp?b?YWJj?="},
        {"lower-case decoded prefix, later pass", Word("=?iso-2022-jp?b?YWJj?=") + Word("x"),
         "abcx"},
        // Once upper-cased, a decoded prefix is closed by a later decoded terminator.
        {"decoded terminator", Word("=?iso-2022-jp?b?YWJj") + Word("?="), "abc"},
        // A decoded half prefix joins the text before it.
        {"prefix across the join", "=?ISO-2022" + Word("-JP?B?YWJj") + "?=", "abc"},
        // Decoded letters alone, with no "=" or "?", can still complete a prefix.
        {"decoded letters inside a prefix", "=?ISO-2022-" + Word("JP") + "?B?YWJj?=", "abc"},
        {"lower-case decoded letters, later pass",
         "=?ISO-2022-" + Word("jp") + "?B?YWJj?=" + Word("x"), "abcx"},
    });
}

// The one scan that leaves out the blanks between words and decodes gives what the two steps
// give, and exactly these bytes.
TEST(DecodeHeaderValueTest, JoinsAdjacentWordsInTheSameScan) {
    const std::string jis = Word("\x1B$B\x24\x22\x1B(B");
    const std::vector<Case> cases = {
        {"plain", "Re: abc", "Re: abc"},
        {"a prefix's start alone", "a =? b", "a =? b"},
        {"blank", Word("ab") + " " + Word("cd"), "abcd"},
        {"blanks and tabs", jis + " \t " + jis + "\t" + Word("x"), "\x82\xA0\x82\xA0x"},
        {"line break is no blank", Word("ab") + "\r\n " + Word("cd"), "ab\r\n cd"},
        {"text between", Word("ab") + " - " + Word("cd"), "ab - cd"},
        {"blanks at the end", Word("ab") + "  ", "ab  "},
        {"next word cut off", Word("ab") + " " + kPrefix + "YWJj", "ab " + kPrefix + "YWJj"},
        {"decoded text searched again", Word(Word("ab")) + " " + Word("c"), "abc"},
    };
    for (const Case& c : cases) {
        std::string joined;
        std::string out = "kept";
        AppendDecodedJoinedValue(c.input, out);
        EXPECT_EQ(out, "kept" + c.expected) << c.name;
        EXPECT_EQ(DecodeHeaderValue(WithoutBlanksBetweenWords(c.input, joined)), c.expected)
            << "two steps: " << c.name;
    }
}

// Words, terminators and blanks at every place around the sixteen-byte blocks the value is
// searched in, and values shorter than a block.
TEST(DecodeHeaderValueTest, FindsWordsAtEveryPlace) {
    for (std::size_t before = 0; before <= 18; ++before) {
        for (std::size_t after = 0; after <= 18; ++after) {
            for (const std::string between : {"", " ", "x", "?="}) {
                const std::string input = std::string(before, 'a') + Word("bc") + between +
                                          Word("d") + std::string(after, '?');
                std::string joined;
                std::string out;
                AppendDecodedJoinedValue(input, out);
                ASSERT_EQ(DecodeHeaderValue(input), literal::DecodeHeaderValueLiterally(input))
                    << input;
                ASSERT_EQ(out, DecodeHeaderValue(WithoutBlanksBetweenWords(input, joined)))
                    << input;
            }
            const std::string cut = std::string(before, '=') + kPrefix.substr(0, after);
            ASSERT_EQ(DecodeHeaderValue(cut), cut);
        }
    }
}

TEST(DecodeHeaderValueTest, DecodesThousandsOfWords) {
    std::string input;
    std::string expected;
    for (int i = 0; i < 6000; ++i) {
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN;  // GCC bug 105329, see the header
        const std::string text = "w" + std::to_string(i) + "\x1B$B\x24\x22\x1B(B";
        input += Word(text) + " ";
        expected += "w" + std::to_string(i) + "\x82\xA0 ";
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END;
    }
    EXPECT_EQ(DecodeHeaderValue(input), expected);
}

// Pieces that make adversarial values: prefixes in various cases, pieces of prefixes,
// terminators, and words whose decoded text holds all of those again.
std::string RandomValue(std::mt19937& random, int depth) {
    static const std::vector<std::string> pieces = {
        kPrefix,
        "=?iso-2022-jp?b?",
        "=?Iso-2022-JP?b?",
        "=?ISO-2022-",
        "JP?B?",
        "?B?",
        "?=",
        "?",
        "=",
        " ",
        "YWJj",
        "GyRCJCIbKEI=",
        "YQ==",
        "\x1B$B",
        "\x1B(B",
        "\x24\x22",
        "\r\n",
        "a",
        "z",
        "Q",
        "=?UTF-8?B?",
    };
    std::string value;
    const int parts = static_cast<int>(random() % 10);
    for (int i = 0; i < parts; ++i) {
        const unsigned kind = random() % 10;
        if (kind < 6) {
            value += pieces[random() % pieces.size()];
        } else if (kind < 8 && depth < 3) {
            value += Word(RandomValue(random, depth + 1));
        } else if (kind < 9) {
            value += static_cast<char>(random() % 256);
        } else if (depth < 3) {
            // A word whose base64 text is cut or spoilt.
            std::string word = Word(RandomValue(random, depth + 1));
            word.erase(random() % word.size(), 1 + random() % 3);
            value += word;
        }
    }
    return value;
}

TEST(DecodeHeaderValueTest, MatchesTheLiteralProcedureOnHostileValues) {
    std::mt19937 random(31337);
    for (int round = 0; round < 40000; ++round) {
        const std::string input = RandomValue(random, 0);
        ASSERT_EQ(DecodeHeaderValue(input), literal::DecodeHeaderValueLiterally(input))
            << "round " << round << " input: " << input;
    }
}

TEST(DecodeHeaderValueTest, ReturnsForArbitraryBytes) {
    std::mt19937 random(4242);
    const std::string alphabet = "=?ISO-2022-JP?B?iso-jpb?=YWJjQ \x1B$(\x80\xFF";
    for (int round = 0; round < 40000; ++round) {
        std::string input(random() % 64, '\0');
        for (char& c : input) {
            c = random() % 4 == 0 ? static_cast<char>(random() % 256)
                                  : alphabet[random() % alphabet.size()];
        }
        ASSERT_EQ(DecodeHeaderValue(input), literal::DecodeHeaderValueLiterally(input))
            << "round " << round << " input: " << input;
    }
}

}  // namespace
}  // namespace tarsel
