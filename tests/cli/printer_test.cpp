// The printer: what reaches standard output of a mail's text, and what a failed write does.
#include "cli/printer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "decode/cp932.h"
#include "decode/cp932_table.h"
#include "decode/utf8.h"

namespace tarsel::cli {
namespace {

// What the printer wrote for the given calls.
std::string Printed(bool colour, const std::function<void(Printer&)>& write) {
    std::FILE* file = std::tmpfile();
    Printer printer(fileno(file), colour);
    write(printer);
    std::ostringstream err;
    EXPECT_EQ(printer.Finish(err), 0);
    std::string out;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) {
        out += static_cast<char>(c);
    }
    std::fclose(file);
    return out;
}

TEST(PrinterTest, ControlCharactersOfMailsAreWrittenVisibly) {
    struct Case {
        std::string in;
        std::string field, body, json;
    };
    const Case cases[] = {
        {"a\x1b]0;t\x07z", "a\\x1b]0;t\\x07z", "a\\x1b]0;t\\x07z", "a\\u001b]0;t\\u0007z"},
        {"\x7f\xc2\x9b"
         "1m\xc2\x85",
         "\\x7f\\x9b"
         "1m\\x85",
         "\\x7f\\x9b"
         "1m\\x85",
         "\\u007f\\u009b"
         "1m\\u0085"},
        // A bare CR in a body ends its line, as a CR LF does.
        {"t\tl\r\nx\ry\n", "t l  x y ", "t\tl\nx\ny\n", "t\\tl\\r\\nx\\ry\\n"},
        {"\x9b\xff\xe3\x81\x82\"\\", "\\x9b\\xff\xe3\x81\x82\"\\", "\\x9b\\xff\xe3\x81\x82\"\\",
         "\xef\xbf\xbd\xef\xbf\xbd\xe3\x81\x82\\\"\\\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Printed(false, [&](Printer& p) { p.Field(c.in); }), c.field);
        EXPECT_EQ(Printed(false,
                          [&](Printer& p) {
                              p.BodyPiece(c.in, false);
                              p.EndBody();
                          }),
                  c.body);
        EXPECT_EQ(Printed(false, [&](Printer& p) { p.JsonPiece(c.in); }), c.json);
    }
}

// The characters that hide or reorder the text around them are written as their codes; those
// beside them in the same blocks of Unicode are not.
TEST(PrinterTest, HiddenFormatControlsAreWrittenAsCodes) {
    struct Case {
        std::string in;
        std::string text, json;  // text: a field and a body alike
    };
    const Case cases[] = {
        {"txt\xe2\x80\xae.exe", "txt\\u{202e}.exe", "txt\\u202e.exe"},
        {"\xe2\x80\x8b\xe2\x80\x8f\xe2\x80\xaa\xe2\x81\xa6\xe2\x81\xa9\xef\xbb\xbf",
         "\\u{200b}\\u{200f}\\u{202a}\\u{2066}\\u{2069}\\u{feff}",
         "\\u200b\\u200f\\u202a\\u2066\\u2069\\ufeff"},
        // U+200A, U+2010, U+2014, U+2065, U+206A, U+FEFE, U+FF01
        {"\xe2\x80\x8a\xe2\x80\x90\xe2\x80\x94\xe2\x81\xa5\xe2\x81\xaa\xef\xbb\xbe\xef\xbc\x81",
         "\xe2\x80\x8a\xe2\x80\x90\xe2\x80\x94\xe2\x81\xa5\xe2\x81\xaa\xef\xbb\xbe\xef\xbc\x81",
         "\xe2\x80\x8a\xe2\x80\x90\xe2\x80\x94\xe2\x81\xa5\xe2\x81\xaa\xef\xbb\xbe\xef\xbc\x81"},
        {"\xe2\x80", "\\xe2\\x80", "\xef\xbf\xbd\xef\xbf\xbd"},  // cut short: bytes
    };
    for (const Case& c : cases) {
        for (const bool wellFormed : {false, IsValidUtf8(c.in)}) {
            EXPECT_EQ(Printed(false, [&](Printer& p) { p.Field(c.in, wellFormed); }), c.text)
                << testing::PrintToString(c.in);
            EXPECT_EQ(Printed(false, [&](Printer& p) { p.JsonString(c.in, wellFormed); }),
                      '"' + c.json + '"')
                << testing::PrintToString(c.in);
        }
        EXPECT_EQ(Printed(false,
                          [&](Printer& p) {
                              p.BodyPiece(c.in, false);
                              p.EndBody();
                          }),
                  c.text);
    }
}

// Text known to be well-formed skips the walk when nothing in it needs escaping: the output
// must not show it, whatever byte stands wherever in a 16-byte block.
TEST(PrinterTest, WellFormedTextIsWrittenAsTheWalkWritesIt) {
    const std::vector<std::string> characters = {
        "\xe3\x81\x82", "\xe6\xa4\x9c",    "\xe7\xb4\xa2", " ", "a", "b",
        "\xef\xbd\xb1", "\xf0\x9f\x98\x80"};
    const std::string specials[] = {"",
                                    "\x01",
                                    "\t",
                                    "\"",
                                    "\\",
                                    "\x7f",
                                    "\x1f",
                                    "\xc2\x85",
                                    "\xc2\xa0",
                                    "\xc2\x9f",
                                    "\xe2\x80\xae",
                                    "\xef\xbb\xbf",
                                    "\xe2\x81\xa9",
                                    "\xe2\x80\x94",
                                    "\xef\xbb\xbe"};
    for (const std::string& special : specials) {
        for (std::size_t count = 0; count <= 3 * characters.size(); ++count) {
            for (std::size_t at = 0; at <= count; ++at) {
                std::string text;
                for (std::size_t i = 0; i <= count; ++i) {
                    text += (i == at ? special : "") +
                            (i < count ? characters[i % characters.size()] : "");
                }
                for (const bool json : {false, true}) {
                    const auto print = [&](bool wellFormed) {
                        return Printed(false, [&](Printer& p) {
                            json ? p.JsonString(text, wellFormed) : p.Field(text, wellFormed);
                        });
                    };
                    EXPECT_EQ(print(true), print(false)) << testing::PrintToString(text) << json;
                }
            }
        }
    }
}

// CP932 text converted straight into the output reads as its converted UTF-8 through the
// general way: with something to escape in it or not, and wherever the buffer's end falls.
TEST(PrinterTest, Cp932TextIsWrittenAsItsConversion) {
    const Cp932Table& table = Cp932Table::Get();
    const std::vector<std::string> texts = {
        "",
        "plain ascii text of more than sixteen bytes",
        "\x8c\x9f\x8d\xf5 \x82\xa0\x82\xa2",  // Japanese pairs
        "say \"\x82\xa0\" \\ and\ttab\x01",   // to escape
        "\x80 and \xa0",                      // C1 control and a private use character
        "ends in a lead \x82",
        std::string(10000, 'x') + "\x82\xa0",  // needs more room than the buffer has
    };
    constexpr std::size_t kBuffer = 64 * 1024;
    for (const std::string& text : texts) {
        const std::string utf8 = Cp932ToUtf8(text);
        for (const std::size_t before : {std::size_t{0}, kBuffer - 200, kBuffer - 1}) {
            const std::string filler(before, '-');
            for (const bool json : {false, true}) {
                const auto print = [&](bool direct) {
                    return Printed(false, [&](Printer& p) {
                        p.Own(filler);
                        if (json) {
                            direct ? p.JsonCp932String(text, table) : p.JsonString(utf8, true);
                        } else {
                            direct ? p.Cp932Field(text, table) : p.Field(utf8, true);
                        }
                    });
                };
                EXPECT_EQ(print(true), print(false))
                    << testing::PrintToString(text) << " after " << before << " json " << json;
            }
        }
    }
}

TEST(PrinterTest, BodyPiecesKeepLineEndsAcrossCutsAndMarkHitsOnlyWithColour) {
    const auto body = [](bool colour) {
        return Printed(colour, [](Printer& p) {
            p.BodyPiece("a\r", false);
            p.BodyPiece("\nhit", true);
            p.BodyPiece("\r", false);
        });
    };
    EXPECT_EQ(body(false), "a\nhit");  // the last CR waits for EndBody, never called here
    EXPECT_EQ(body(true), "a\x1b[31m\nhit\x1b[0m");
}

TEST(PrinterTest, AFailedWriteIsAnErrorAndAClosedPipeIsQuiet) {
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    Printer toFull(full, false);
    toFull.Own("mails\n");
    std::ostringstream fullErr;
    EXPECT_EQ(toFull.Finish(fullErr), 2);
    EXPECT_NE(fullErr.str().find("標準出力に書き込めません。\nNo space left on device"),
              std::string::npos)
        << fullErr.str();
    ::close(full);

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);  // as when the parent ignores it
    Printer toPipe(ends[1], false);
    toPipe.Own(std::string(200000, 'x'));  // more than one buffer: written before Finish
    std::ostringstream pipeErr;
    EXPECT_EQ(toPipe.Finish(pipeErr), -1);
    EXPECT_EQ(pipeErr.str(), "");
    std::signal(SIGPIPE, previous);
    ::close(ends[1]);
}

}  // namespace
}  // namespace tarsel::cli
