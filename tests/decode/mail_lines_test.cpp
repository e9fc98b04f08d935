// Line-by-line conversion of mail bodies.
#include "decode/mail_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tarsel {
namespace {

const std::string kStart = "\x1B$B";
const std::string kAscii = "\x1B(B";

struct Case {
    std::string name;
    std::string input;
    std::string expected;
};

void ExpectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeMailLines(c.input), c.expected) << c.name;
    }
}

TEST(DecodeMailLinesTest, KeepsLineStructureOfPlainText) {
    ExpectAll({
        {"empty", "", ""},
        {"only CR LF", "\r\n", "\r\n"},
        {"no CR LF", "abc", "abc"},
        {"ends with CR LF", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"blank lines", "\r\n\r\n", "\r\n\r\n"},
        {"shift-jis passes", "\x82\xA0\r\n", "\x82\xA0\r\n"},
    });
}

TEST(DecodeMailLinesTest, ConvertsWellFormedLines) {
    ExpectAll({
        {"one line", kStart + "\x24\x22" + kAscii + "\r\n", "\x82\xA0\r\n"},
        {"final piece without CR LF", "a\r\n" + kStart + "\x24\x22" + kAscii, "a\r\n\x82\xA0"},
        {"two lines", kStart + "\x38\x21" + kAscii + "\r\n" + kStart + "\x3A\x77" + kAscii + "\r\n",
         "\x8C\x9F\r\n\x8D\xF5\r\n"},
    });
}

TEST(DecodeMailLinesTest, EndsASegmentAtItsLine) {
    ExpectAll({
        // The segment swallows the CR LF, but the next line starts in single-byte mode again.
        {"unreturned segment loses CR LF", kStart + "\x24\x22\r\nabc\r\n",
         "\x82\xA0"
         "abc\r\n"},
        {"odd segment loses CR and LF", kStart + "\x24\r\nabc", "abc"},
        // A bare LF or CR ends a line too: the segment stops there instead of running on.
        // The return on the next line is outside any segment there, and stays as it is.
        {"bare LF ends segment", kStart + "\x24\x22\n" + kAscii + "x\n",
         "\x82\xA0" + kAscii + "x\n"},
        {"bare CR ends segment", kStart + "\x24\x22\r" + kAscii + "x", "\x82\xA0" + kAscii + "x"},
        {"pairs after bare LF are ASCII", kStart + "\x24\x22\n\x24\x22\n", "\x82\xA0$\"\n"},
        {"pairs after bare CR are ASCII", kStart + "\x24\x22\r\x24\x22\r\n", "\x82\xA0$\"\r\n"},
        {"CR then CR LF", kStart + "\x24\x22" + kAscii + "\r\r\n", "\x82\xA0\r\r\n"},
        {"LF lines convert alike",
         kStart + "\x38\x21" + kAscii + "\n" + kStart + "\x3A\x77" + kAscii + "\n",
         "\x8C\x9F\n\x8D\xF5\n"},
    });
}

TEST(DecodeMailLinesTest, ReturnsForArbitraryBytes) {
    std::mt19937 random(99);
    const std::string pieces[] = {kStart, kAscii, "\r\n", "\r", "\n", "\x24\x22"};
    for (int round = 0; round < 20000; ++round) {
        std::string input;
        const int parts = static_cast<int>(random() % 16);
        for (int i = 0; i < parts; ++i) {
            if (random() % 2 == 0) {
                input += pieces[random() % std::size(pieces)];
            } else {
                input += static_cast<char>(random() % 256);
            }
        }
        const std::string output = DecodeMailLines(input);
        EXPECT_LE(output.size(), input.size());
        if (input.find(kStart) == std::string::npos) {
            EXPECT_EQ(output, input);
        }
    }
}

}  // namespace
}  // namespace tarsel
