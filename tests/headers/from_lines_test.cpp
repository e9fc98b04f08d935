// The From_ quoting of mbox mails, read and written, and a mail's text after its From_ line.
#include "headers/from_lines.h"

#include <gtest/gtest.h>

#include <string>

#include "headers/header_row.h"

namespace tarsel {
namespace {

struct QuoteCase {
    const char* name;
    std::string stored;  // as the mbox holds it
    std::string shown;   // as a reader is shown it
    std::string quoted;  // as mboxrd writes the stored text
};

void PrintTo(const QuoteCase& c, std::ostream* os) {
    *os << c.name;
}

class FromQuotingTest : public testing::TestWithParam<QuoteCase> {};

TEST_P(FromQuotingTest, ReadAndWritten) {
    std::string shown = GetParam().stored;
    UnquoteFromLines(shown);
    EXPECT_EQ(shown, GetParam().shown);
    std::string quoted = "kept ";
    AppendQuotedFromLines(GetParam().stored, quoted);
    EXPECT_EQ(quoted, "kept " + GetParam().quoted);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FromQuotingTest,
    testing::Values(QuoteCase{"Plain", "a\nb\n", "a\nb\n", "a\nb\n"},
                    QuoteCase{"Quoted", "a\n>From x\n", "a\nFrom x\n", "a\n>>From x\n"},
                    QuoteCase{"Deep", ">>>From x\r\n", ">>From x\r\n", ">>>>From x\r\n"},
                    QuoteCase{"Unquoted", "From x\nb", "From x\nb", ">From x\nb"},
                    QuoteCase{"NotAtLineStart", "a >From x\n", "a >From x\n", "a >From x\n"},
                    QuoteCase{"NoBlank", ">From:x\n>Fromage\n", ">From:x\n>Fromage\n",
                              ">From:x\n>Fromage\n"},
                    QuoteCase{"OnlyQuotes", ">>\n>", ">>\n>", ">>\n>"},
                    QuoteCase{"LastLineWithoutEnd", "a\r\n>From", "a\r\n>From", "a\r\n>From"},
                    QuoteCase{"Several", ">From a\n>From b\n\n>>From c",
                              "From a\nFrom b\n\n>From c", ">>From a\n>>From b\n\n>>>From c"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FromLineTest, IsNoPartOfTheMail) {
    struct Case {
        std::string text;
        std::string after;
    };
    for (const Case& c : {
             Case{"From a@b Tue Dec  7 12:34:56 1999\nSubject: x\n\nbody\n",
                  "Subject: x\n\nbody\n"},
             Case{"From a@b Tue Dec  7 12:34:56 JST 1999\r\n\r\nbody", "\r\nbody"},
             Case{"From a@b", ""},
             Case{"From: a@b\n\nbody", "From: a@b\n\nbody"},
             Case{"\x7F\x20\x7F\r\nFrom a@b x\r\n", "From a@b x\r\n"},
         }) {
        EXPECT_EQ(MailAfterMark(c.text), c.after) << c.text;
    }
    const std::string mail = "From a@b Tue Dec  7 12:34:56 1999\nSubject: s\nFrom: c@d\n\nbody";
    const HeaderRow row = ExtractHeaderRow(mail, 0x100);
    EXPECT_EQ(row.subject, "s");
    EXPECT_EQ(row.sender, "c@d");
    EXPECT_EQ(FindBodyStart(mail), static_cast<std::int64_t>(mail.find("body")));
    EXPECT_EQ(row.address, "0x138");  // the body's offset, counted from the From_ line
}

}  // namespace
}  // namespace tarsel
