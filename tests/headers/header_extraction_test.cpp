// Picking sender, subject, date and body address out of one mail's header block.
#include "headers/header_row.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace tarsel {
namespace {

constexpr std::string_view kMark = "\x7F\x20\x7F";

// Encoded words of single hiragana and their Shift-JIS forms.
const std::string kWordA = "=?ISO-2022-JP?B?GyRCJCIbKEI=?=";
const std::string kWordI = "=?ISO-2022-JP?B?GyRCJCQbKEI=?=";
const std::string kWordU = "=?ISO-2022-JP?B?GyRCJCYbKEI=?=";
const std::string kSjisA = "\x82\xA0";
const std::string kSjisI = "\x82\xA2";
const std::string kSjisU = "\x82\xA4";
const std::string kWordName = "=?ISO-2022-JP?B?GyRCOzNFREJATzobKEI=?=";
const std::string kSjisName = "\x8E\x52\x93\x63\x91\xBE\x98\x59";

// A mail as it stands in the archive: the mark on a line of its own, the header lines, the
// blank line and a body.
std::string Mail(std::initializer_list<std::string> headerLines) {
    std::string text(kMark);
    text += "\r\n";
    for (const std::string& line : headerLines) {
        text += line + "\r\n";
    }
    return text + "\r\nbody line\r\n";
}

struct FieldCase {
    const char* name;
    std::string mail;
    std::string expected;
};

void PrintTo(const FieldCase& c, std::ostream* os) {
    *os << c.name;
}

std::string CaseName(const testing::TestParamInfo<FieldCase>& info) {
    return info.param.name;
}

class SubjectTest : public testing::TestWithParam<FieldCase> {};

TEST_P(SubjectTest, Extracts) {
    EXPECT_EQ(ExtractHeaderRow(GetParam().mail, 0).subject, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, SubjectTest,
    testing::Values(FieldCase{"NoSubjectLine", Mail({"From: a@b"}), ""},
                    FieldCase{"KeyEndsLine", Mail({"Subject"}), ""},
                    FieldCase{"ColonEndsLine", Mail({"Subject:"}), ""},
                    FieldCase{"BlankEndsLine", Mail({"Subject: "}), ""},
                    FieldCase{"NoBlankAfterColonKeepsWholeValue", Mail({"Subject:hello"}), "hello"},
                    FieldCase{"BlanksBeforeColon", Mail({"Subject \t: spaced"}), "spaced"},
                    FieldCase{"ValueOnFoldedLineOnly", Mail({"Subject:", "   later"}), "later"},
                    FieldCase{"SubjectOnMarkLine", std::string(kMark) + "Subject: x\r\n\r\nb",
                              "x"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Keys, SubjectTest,
    testing::Values(
        FieldCase{"PlainValue", Mail({"Subject: hello world"}), "hello world"},
        FieldCase{"LowerCaseKey", Mail({"subject: low"}), "low"},
        FieldCase{"MixedCaseKey", Mail({"SuBjEcT: mixed"}), "mixed"},
        FieldCase{"KeyInsideOtherFieldIgnored", Mail({"X-Old-Subject: old"}), ""},
        FieldCase{"KeyWithoutColonIgnored", Mail({"Subject line: no"}), ""},
        FieldCase{"FirstOccurrenceCuts", Mail({"Subject: subject matter"}), "subject matter"},
        FieldCase{"LastLineWins", Mail({"Subject: first", "To: c@d", "Subject: last"}), "last"},
        FieldCase{"EncodedValue", Mail({"Subject: Re: " + kWordName}), "Re: " + kSjisName},
        FieldCase{"BlanksBetweenAdjacentWordsDropped",
                  Mail({"Subject: " + kWordA + " " + kWordI + " \t " + kWordU}),
                  kSjisA + kSjisI + kSjisU},
        FieldCase{"BlanksBesideTextKept", Mail({"Subject: a " + kWordA + " b " + kWordI + " c"}),
                  "a " + kSjisA + " b " + kSjisI + " c"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Continuations, SubjectTest,
    testing::Values(
        FieldCase{"FoldedOverThreeEncodedLines",
                  Mail({"Subject: " + kWordA, " " + kWordI, "\t" + kWordU, "To: c@d"}),
                  kSjisA + kSjisI + kSjisU},
        FieldCase{"PlainContinuationUnfolded", Mail({"Subject: " + kWordA, " plain", " " + kWordI}),
                  kSjisA + " plain " + kSjisI},
        FieldCase{"ContinuationTextKept", Mail({"Subject: x", " junk " + kWordI + " tail"}),
                  "x junk " + kSjisI + " tail"},
        FieldCase{"LowerCasePrefixOnFoldedLine",
                  Mail({"Subject: x", " =?iso-2022-jp?b?GyRCJCQbKEI=?="}), "x " + kSjisI},
        FieldCase{"EncodedFromAfterSubjectNotAppended",
                  Mail({"Subject: x", "From: " + kWordName + " <t@example.jp>"}), "x"},
        FieldCase{"EncodedReplyToAfterSubjectNotAppended",
                  Mail({"Subject: x", "Reply-To: " + kWordName + " <t@example.jp>"}), "x"},
        FieldCase{"LaterSubjectStartsAfresh",
                  Mail({"Subject: " + kWordA, " " + kWordI, "To: c@d", "Subject: y", " " + kWordU}),
                  "y " + kSjisU},
        FieldCase{"EncodedSubjectLineRightAfterSubject",
                  Mail({"Subject: " + kWordA, "Subject: " + kWordI, " " + kWordU}),
                  kSjisI + kSjisU},
        FieldCase{"LastHeaderLineContinues", Mail({"Subject: x", " " + kWordA}), "x " + kSjisA},
        FieldCase{"FoldsOfOtherFieldsIgnored", Mail({"Subject: x", "To: c@d", " Subject: y"}),
                  "x"}),
    CaseName);

class SenderTest : public testing::TestWithParam<FieldCase> {};

TEST_P(SenderTest, Extracts) {
    EXPECT_EQ(ExtractHeaderRow(GetParam().mail, 0).sender, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SenderTest,
    testing::Values(
        FieldCase{"NoSenderLine", Mail({"Subject: x"}), ""},
        FieldCase{"KeyEndsLine", Mail({"From:"}), ""},
        FieldCase{"NoBlankAfterColonKeepsWholeValue", Mail({"From:abc"}), "abc"},
        FieldCase{"AnyCase", Mail({"fRoM: a@b"}), "a@b"},
        FieldCase{"NameAndAddressStayTogether", Mail({"From: " + kWordName + " <t@example.jp>"}),
                  kSjisName + " <t@example.jp>"},
        FieldCase{"ReceivedLineIgnored", Mail({"From: a@b", "Received: from mx.example by x"}),
                  "a@b"},
        FieldCase{"SeparatorLineIgnored", Mail({"From a@b Tue Dec  7 12:34:56 1999"}), ""},
        FieldCase{"LastLineWins", Mail({"From: first", "To: c@d", "From: last"}), "last"},
        FieldCase{"SubjectHoldingFromIgnored", Mail({"Subject: mail from home"}), ""},
        FieldCase{"OtherFieldHoldingFromIgnored", Mail({"From: a@b", "X-Note: sent from home"}),
                  "a@b"}),
    CaseName);

// A Date field holding the word from does not touch the sender.
INSTANTIATE_TEST_SUITE_P(
    DateLines, SenderTest,
    testing::Values(
        FieldCase{"FromOutsideDayPieceIgnored",
                  Mail({"From: a@b", "Date: Tue, 7 Dec 1999 12:34:56 +0900 (from relay)"}), "a@b"},
        FieldCase{"LowerCaseFromInDayPieceIgnored",
                  Mail({"From: a@b", "Date: Tue, from 7 Dec 1999"}), "a@b"},
        FieldCase{"UpperCaseFromInDateIgnored", Mail({"From: a@b", "Date: Tue, FROM 7 Dec 1999"}),
                  "a@b"},
        FieldCase{"UpdateLineIsNoDateLine", Mail({"From: a@b", "X-Update: from x"}), "a@b"}),
    CaseName);

class DateTest : public testing::TestWithParam<FieldCase> {};

TEST_P(DateTest, Extracts) {
    EXPECT_EQ(ExtractHeaderRow(GetParam().mail, 0).date, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DateTest,
    testing::Values(
        FieldCase{"NoDateLine", Mail({"From: a@b"}), ""},
        FieldCase{"UsualLine", Mail({"Date: Tue, 7 Dec 1999 12:34:56 +0900"}), "99/12/07 12:34:56"},
        FieldCase{"LastHeaderLine",
                  Mail({"From: a@b", "Subject: x", "Date: Sat, 1 Jan 2000 00:00:01 +0900"}),
                  "00/01/01 00:00:01"},
        FieldCase{"LastLineWins",
                  Mail({"Date: Tue, 7 Dec 1999 12:34:56 +0900", "Date: Wed, 8 Dec 1999 01:02:03"}),
                  "99/12/08 01:02:03"},
        FieldCase{"NoDayNameReadAsDate", Mail({"Date: 7 Dec 1999 12:34:56 +0900"}),
                  "99/12/07 12:34:56"},
        FieldCase{"FoldedDate", Mail({"Date: Tue, 7 Dec", " 1999 12:34:56 +0900"}),
                  "99/12/07 12:34:56"},
        FieldCase{"LastDateWinsEvenWhenNoDate", Mail({"Date: 7 Dec 1999 12:34:56", "Date: soon"}),
                  ""},
        FieldCase{"SubjectHoldingUpdateIgnored", Mail({"Subject: update notice"}), ""},
        FieldCase{"ReceivedDateIgnored",
                  Mail({"Date: 7 Dec 1999 12:34:56", "Received: by x; 8 Dec 1999 01:02:03"}),
                  "99/12/07 12:34:56"}),
    CaseName);

// CR LF, a bare LF and a bare CR all end lines; the mark's own line is never the empty one.
TEST(BodyStartTest, FollowsTheFirstEmptyLine) {
    struct Case {
        std::string text;
        std::int64_t body;
    };
    const std::string mark(kMark);
    const Case cases[] = {
        {"", -1},
        {"abc", -1},
        {"abc\r\n \r\n", -1},
        {"\r\n\r\n", 2},
        {"abc\r\n\r\n", 7},
        {"ab\r\n\r\n\r\nx\r\n\r\n", 6},
        {"abc\n\nx", 5},
        {"abc\r\rx", 5},
        {"abc\r\n\nx", 6},
        {"abc\n\r\nx", 6},
        {mark, -1},
        {mark + "\r\n", -1},
        {mark + "\r\n\r\nx", 7},
        {mark + "\n\nx", 5},
        {mark + "\rFrom: a\r\rx", 13},
        {std::string("\x7f\0\x7f\n\nx", 6), 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindBodyStart(c.text), c.body) << testing::PrintToString(c.text);
    }
}

TEST(AddressTest, PointsAtBodyInLowerCaseHex) {
    const std::string mail = Mail({"From: a@b"});
    const auto bodyOffset = static_cast<std::int64_t>(mail.find("body line"));
    EXPECT_EQ(ExtractHeaderRow(mail, 4096 - bodyOffset).address, "0x1000");
    EXPECT_EQ(ExtractHeaderRow(mail, 0xABCDEF012 - bodyOffset).address, "0xabcdef012");
    EXPECT_EQ(ExtractHeaderRow("\r\n\r\n", 0).address, "0x2");  // the first line is empty
}

// All header and no body: the address is the mail's end, never a byte of the next mail.
TEST(AddressTest, MailWithoutEmptyLinePointsAtItsEnd) {
    struct Case {
        std::string text;
        std::string address;
    };
    const Case cases[] = {
        {"", "0x100"},
        {std::string(kMark), "0x103"},
        {std::string(kMark) + "x", "0x104"},
        {std::string(kMark) + "\r\nFrom: a@b\r\n", "0x110"},
        {std::string(kMark) + "\nFrom: a@b", "0x10d"},
    };
    for (const Case& c : cases) {
        const HeaderRow row = ExtractHeaderRow(c.text, 0x100);
        EXPECT_EQ(row.address, c.address) << testing::PrintToString(c.text);
    }
}

// A listing fills the same rows again: nothing of the mail before may stay in a row.
TEST(HeaderBlockTest, ARowFilledAgainHoldsOnlyTheNewMail) {
    const std::string mails[] = {
        Mail({"From: " + kWordName + " <a@b>", "Subject: " + kWordA, " " + kWordI,
              "Date: Tue, 7 Dec 1999 12:34:56 +0900"}),
        Mail({"To: nobody"}),
        Mail({"Subject: only"}),
        std::string(kMark),
    };
    for (const std::string& before : mails) {
        for (const std::string& after : mails) {
            HeaderRow row = ExtractHeaderRow(before, 0x200);
            row.utf8 = true;
            ExtractHeaderRowInto(after, 0x300, row);
            const HeaderRow fresh = ExtractHeaderRow(after, 0x300);
            EXPECT_EQ(row.sender, fresh.sender);
            EXPECT_EQ(row.subject, fresh.subject);
            EXPECT_EQ(row.date, fresh.date);
            EXPECT_EQ(row.address, fresh.address);
            EXPECT_FALSE(row.utf8);
        }
    }
}

TEST(HeaderBlockTest, MailWithoutEmptyLineKeepsItsLastLine) {
    for (const char* end : {"\r\n", ""}) {
        const HeaderRow row = ExtractHeaderRow(
            std::string(kMark) + "\r\nSubject: kept\r\nFrom: last@example.jp" + end, 0);
        EXPECT_EQ(row.subject, "kept");
        EXPECT_EQ(row.sender, "last@example.jp");
    }
}

// A field's name is compared eight bytes at a time; a last line shorter than that, with no line
// end, is read as any other.
TEST(HeaderBlockTest, NamesAtTheTextsEndAreReadInAnyCase) {
    struct Case {
        const char* last;  // the last bytes of the mail
        const char* sender;
        const char* subject;
    };
    const Case cases[] = {
        {"From:x", "x", ""}, {"fROM :x", "x", ""}, {"From:", "", ""},      {"Fro", "", ""},
        {"Fromx:y", "", ""}, {"Subject:", "", ""}, {"SUBJECT:y", "", "y"}, {"Subjec:y", "", ""},
    };
    for (const Case& c : cases) {
        const HeaderRow row = ExtractHeaderRow(std::string(kMark) + "\r\nTo: t\r\n" + c.last, 0);
        EXPECT_EQ(row.sender, c.sender) << c.last;
        EXPECT_EQ(row.subject, c.subject) << c.last;
    }
}

TEST(HeaderBlockTest, BodyIsNotExamined) {
    std::string mail = Mail({"Subject: head"});
    mail += "Subject: body\r\nFrom: body@example.jp\r\nDate: Tue, 7 Dec 1999 12:34:56\r\n";
    const HeaderRow row = ExtractHeaderRow(mail, 0);
    EXPECT_EQ(row.subject, "head");
    EXPECT_EQ(row.sender, "");
    EXPECT_EQ(row.date, "");
}

TEST(HeaderBlockTest, BareLineFeedsAndCarriageReturnsBreakLines) {
    const HeaderRow row =
        ExtractHeaderRow(Mail({"Subject: one\nFrom: inside\rDate: 7 Dec 99 1:02", "To: c@d"}), 0);
    EXPECT_EQ(row.subject, "one");
    EXPECT_EQ(row.sender, "inside");
    EXPECT_EQ(row.date, "99/12/07 1:02");
}

// One mail written with each kind of line end gives the same row, its address at its body.
TEST(HeaderBlockTest, LineEndsOfAnyKindGiveTheSameRow) {
    const std::string crlf = Mail({"From: " + kWordName + " <t@example.jp>", "Subject: " + kWordA,
                                   " " + kWordI, "Date: 7 Dec 1999 12:34:56 +0900"});
    const HeaderRow want = ExtractHeaderRow(crlf, 0);
    ASSERT_EQ(want.subject, kSjisA + kSjisI);
    ASSERT_EQ(want.date, "99/12/07 12:34:56");
    for (const char* lineEnd : {"\n", "\r"}) {
        std::string copy;
        for (std::size_t at = 0; at < crlf.size(); ++at) {
            const bool pair = crlf.compare(at, 2, "\r\n") == 0;
            copy += pair ? lineEnd : crlf.substr(at, 1);
            at += pair ? 1 : 0;
        }
        const HeaderRow row = ExtractHeaderRow(copy, 0x40);
        EXPECT_EQ(row.sender, want.sender);
        EXPECT_EQ(row.subject, want.subject);
        EXPECT_EQ(row.date, want.date);
        EXPECT_EQ(std::stoll(row.address.substr(2), nullptr, 16),
                  0x40 + static_cast<std::int64_t>(copy.find("body line")));
    }
}

TEST(HeaderBlockTest, UnfoldsAcrossEveryKindOfLineEnd) {
    // Each line end of a fold goes, whatever it is, and only the line end: the blanks and tabs
    // that begin the continuation lines stay.
    struct Case {
        const char* name;
        std::string header;  // the header block after the mark's line, with the empty line
        std::string subject;
    };
    const Case cases[] = {
        {"cr lf", "Subject: ab\r\n cd\r\n\r\n", "ab cd"},
        {"bare lf", "Subject: ab\n cd\n\n", "ab cd"},
        {"bare cr", "Subject: ab\r cd\r\r", "ab cd"},
        {"lf then cr lf", "Subject: ab\n\tcd\r\n ef\r\n\r\n", "ab\tcd ef"},
        {"cr then lf", "Subject: ab\r\tcd\n ef\n\n", "ab\tcd ef"},
        {"one byte per line", "Subject: a\r\n b\n c\r d\r\n\r\n", "a b c d"},
        {"blank continuation", "Subject: a\r\n \r\n b\r\n\r\n", "a  b"},
        {"no empty line after the fold", "Subject: a\r\n b\r\n", "a b"},
        {"no value", "Subject:\r\n\r\n", ""},
    };
    for (const Case& c : cases) {
        const std::string mail = std::string(kMark) + "\r\n" + c.header + "body";
        EXPECT_EQ(ExtractHeaderRow(mail, 0).subject, c.subject) << c.name;
    }
}

TEST(HeaderBlockTest, HandlesLongLinesAndLongFolds) {
    const std::string longValue(1 << 20, 'v');
    std::string folded = std::string(kMark) + "\r\nSubject: x\r\n";
    std::string expected = "x ";  // the blank before the first word stays, those between go
    for (int i = 0; i < 5000; ++i) {
        folded += " " + kWordA + "\r\n";
        expected += kSjisA;
    }
    folded += "From: " + longValue + "\r\n\r\n";
    const HeaderRow row = ExtractHeaderRow(folded, 0);
    EXPECT_EQ(row.subject, expected);
    EXPECT_EQ(row.sender, longValue);
}

}  // namespace
}  // namespace tarsel
