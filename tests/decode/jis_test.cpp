// JIS X 0208 <-> Shift-JIS arithmetic, the search-string conversion and ISO-2022-JP segments.
#include "decode/jis.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/literal_decoders.h"

namespace tarsel {
namespace {

const std::string kStart = "\x1B$B";
const std::string kAscii = "\x1B(B";
const std::string kRoman = "\x1B(J";

struct Case {
    std::string name;
    std::string input;
    std::string expected;
};

// The Shift-JIS bytes that glibc gives for one JIS X 0208 cell; false when it knows no character
// there.
bool IconvJisCell(unsigned code, std::string& sjis) {
    iconv_t cd = iconv_open("CP932", "ISO-2022-JP");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv has no ISO-2022-JP to CP932 conversion";
        return false;
    }
    std::string input = kStart;
    input += static_cast<char>(code >> 8);
    input += static_cast<char>(code & 0xFF);
    input += kAscii;
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[16];
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    if (result == static_cast<std::size_t>(-1)) {
        return false;
    }
    sjis.assign(buffer, out);
    return true;
}

TEST(JisArithmeticTest, AgreesWithIconvForEveryJisX0208Cell) {
    int known = 0;
    for (unsigned high = 0x21; high <= 0x7E; ++high) {
        for (unsigned low = 0x21; low <= 0x7E; ++low) {
            const unsigned jis = (high << 8) | low;
            std::string expected;
            if (!IconvJisCell(jis, expected)) {
                continue;
            }
            ++known;
            const unsigned sjis = JisToSjis(jis);
            const std::string actual{static_cast<char>(sjis >> 8), static_cast<char>(sjis & 0xFF)};
            EXPECT_EQ(actual, expected) << std::hex << "JIS 0x" << jis;
            EXPECT_EQ(SjisToJis(sjis), jis) << std::hex << "JIS 0x" << jis;
        }
    }
    // Every character of JIS X 0208 is known to glibc.
    EXPECT_EQ(known, 6879);
}

TEST(JisArithmeticTest, JisToSjisRejectsBytesOutside21To7E) {
    EXPECT_EQ(JisToSjis(0x2121), 0x8140u);
    EXPECT_EQ(JisToSjis(0x7E7E), 0xEFFCu);
    EXPECT_EQ(JisToSjis(0x215F), 0x817Eu);
    EXPECT_EQ(JisToSjis(0x2160), 0x8180u);
    for (unsigned code :
         {0x2020u, 0x2120u, 0x2021u, 0x217Fu, 0x7F21u, 0x21A1u, 0xA1A1u, 0x0u, 0x12121u}) {
        EXPECT_EQ(JisToSjis(code), 0u) << std::hex << code;
    }
}

TEST(JisArithmeticTest, SjisToJisConvertsExactlyTheValidPairsAndRoundTrips) {
    for (unsigned code = 0; code <= 0xFFFF; ++code) {
        const unsigned lead = code >> 8;
        const unsigned trail = code & 0xFF;
        const bool valid = ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEF)) &&
                           ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC));
        const unsigned jis = SjisToJis(code);
        ASSERT_EQ(jis != 0, valid) << std::hex << code;
        if (valid) {
            ASSERT_GE(jis >> 8, 0x21u);
            ASSERT_LE(jis >> 8, 0x7Eu);
            ASSERT_GE(jis & 0xFF, 0x21u);
            ASSERT_LE(jis & 0xFF, 0x7Eu);
            ASSERT_EQ(JisToSjis(jis), code) << std::hex << code;
        }
    }
    EXPECT_EQ(SjisToJis(0x18140), 0u);
}

TEST(JisArithmeticTest, LeadBytesAre81To9FAndE0ToFC) {
    for (unsigned byte = 0; byte < 256; ++byte) {
        const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        EXPECT_EQ(IsSjisLeadByte(static_cast<unsigned char>(byte)), lead) << byte;
    }
}

TEST(ConvertPatternToJisTest, ConvertsPairsByPosition) {
    const std::vector<Case> cases = {
        {"empty", "", ""},
        {"lone byte", "\x8C", ""},
        {"search word", "\x8C\x9F\x8D\xF5", "\x38\x21\x3A\x77"},
        {"odd last byte dropped", "\x82\xA0\x61", "\x24\x22"},
        {"ascii pair dropped", "ab\x82\xA0", "\x24\x22"},
        {"single byte shifts the pairing",
         "\x82\xA0"
         "a\x82\xA0",
         "\x24\x22"},
        {"lead beyond EF dropped", "\xF0\x40\x82\xA0", "\x24\x22"},
        {"trail 7F dropped", "\x82\x7F\x82\xA0", "\x24\x22"},
    };
    for (const Case& c : cases) {
        std::string pattern = c.input;
        ConvertPatternToJis(pattern);
        EXPECT_EQ(pattern, c.expected) << c.name;
    }
}

TEST(ConvertJisPairsTest, DropsInvalidPairsAndAnOddLastByte) {
    const std::vector<Case> cases = {
        {"empty", "", ""},
        {"one byte", "\x24", ""},
        {"one pair", "\x24\x22", "\x82\xA0"},
        {"odd last byte", "\x24\x22\x24", "\x82\xA0"},
        {"pair with a blank", "\x24 \x24\x22", "\x82\xA0"},
        {"pair with a high byte", "\xA4\xA2\x24\x22", "\x82\xA0"},
        {"CR LF", "\x24\x22\r\n", "\x82\xA0"},
    };
    for (const Case& c : cases) {
        std::string segment = c.input;
        ConvertJisPairs(segment);
        EXPECT_EQ(segment, c.expected) << c.name;
    }
}

TEST(ConvertJisToSjisTest, CopiesTextOutsideSegments) {
    const std::vector<Case> cases = {
        {"empty", "", ""},
        {"ascii", "Subject: abc\r\n", "Subject: abc\r\n"},
        {"shift-jis passes", "\x82\xA0\x8C\x9F", "\x82\xA0\x8C\x9F"},
        {"return without start", kAscii + "a" + kRoman, kAscii + "a" + kRoman},
        {"older designation", "\x1B$@\x24\x22", "\x1B$@\x24\x22"},
        {"stray escape",
         "a\x1B"
         "b",
         "a\x1B"
         "b"},
        {"truncated start", "a\x1B$", "a\x1B$"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConvertJisToSjis(c.input), c.expected) << c.name;
    }
}

TEST(ConvertJisToSjisTest, ConvertsSegmentsAndRemovesTheirEscapes) {
    const std::vector<Case> cases = {
        {"empty segment joins", "a" + kStart + kAscii + "b", "ab"},
        {"start at the very end", "a" + kStart, "a"},
        {"one character", kStart + "\x24\x22" + kAscii, "\x82\xA0"},
        {"text around", "x" + kStart + "\x24\x22" + kAscii + "y", "x\x82\xA0y"},
        {"ESC ( J ends", kStart + "\x24\x22" + kRoman + "y", "\x82\xA0y"},
        {"earlier return wins", kStart + "\x24\x22" + kRoman + "\x24\x22" + kAscii,
         "\x82\xA0\x24\x22" + kAscii},
        {"earlier return wins, other order", kStart + "\x24\x22" + kAscii + "\x24\x22" + kRoman,
         "\x82\xA0\x24\x22" + kRoman},
        {"return before start is copied", kAscii + kStart + "\x24\x22" + kAscii + "z",
         kAscii + "\x82\xA0z"},
        {"no return runs to the end", kStart + "\x24\x22\x38\x21", "\x82\xA0\x8C\x9F"},
        {"odd byte dropped", kStart + "\x24\x22\x24" + kAscii + "z", "\x82\xA0z"},
        {"invalid pair dropped, later ones kept", kStart + "\x24 \x24\x22" + kAscii, "\x82\xA0"},
        {"CR LF inside a segment dropped", kStart + "\x24\x22\r\n", "\x82\xA0"},
        {"CR LF after return kept", kStart + "\x24\x22" + kAscii + "\r\n", "\x82\xA0\r\n"},
        {"several segments",
         "a" + kStart + "\x24\x22" + kAscii + " b " + kStart + "\x38\x21" + kRoman + "c",
         "a\x82\xA0 b \x8C\x9F"
         "c"},
        {"start inside a segment is data", kStart + "\x24\x22" + kStart + kAscii, "\x82\xA0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConvertJisToSjis(c.input), c.expected) << c.name;
    }
}

// A run of up to ten pairs, its bytes taking fewer or more than eight bytes, with an escape or
// a return at each place: only a run with neither inside is converted as one.
TEST(ConvertJisToSjisTest, ConvertsRunsWithAnEscapeAnywhere) {
    for (std::size_t pairs = 0; pairs <= 10; ++pairs) {
        std::string run;
        for (std::size_t i = 0; i < pairs; ++i) {
            run += i % 3 == 2 ? "\x7F\x21" : "\x24\x22";
        }
        for (std::size_t at = 0; at <= run.size(); ++at) {
            for (const std::string& inserted : {std::string("\x1B"), kAscii, kRoman, kStart}) {
                const std::string input = kStart + run.substr(0, at) + inserted + run.substr(at) +
                                          (pairs % 2 == 0 ? kAscii : kRoman);
                ASSERT_EQ(ConvertJisToSjis(input), literal::ConvertJisToSjisLiterally(input))
                    << pairs << " pairs, at " << at;
            }
        }
    }
}

TEST(ConvertJisToSjisTest, ReturnsForArbitraryBytes) {
    std::mt19937 random(77);
    const std::string pieces[] = {kStart, kAscii, kRoman, "\x1B", "\r\n", "\x24\x22"};
    for (int round = 0; round < 20000; ++round) {
        std::string input;
        const int parts = static_cast<int>(random() % 12);
        for (int i = 0; i < parts; ++i) {
            if (random() % 2 == 0) {
                input += pieces[random() % std::size(pieces)];
            } else {
                input += static_cast<char>(random() % 256);
            }
        }
        const std::string output = ConvertJisToSjis(input);
        EXPECT_LE(output.size(), input.size());
        if (input.find(kStart) == std::string::npos) {
            EXPECT_EQ(output, input);
        }
    }
}

}  // namespace
}  // namespace tarsel
