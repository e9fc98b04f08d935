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
                    FieldCase{"NoBlankAfterColonLosesByte", Mail({"Subject:hello"}), "ello"},
                    FieldCase{"SubjectOnMarkLine", std::string(kMark) + "Subject: x\r\n\r\nb",
                              "x"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Keys, SubjectTest,
    testing::Values(
        FieldCase{"PlainValue", Mail({"Subject: hello world"}), "hello world"},
        FieldCase{"LowerCaseKey", Mail({"subject: low"}), "low"},
        FieldCase{"MixedCaseKey", Mail({"SuBjEcT: mixed"}), "mixed"},
        FieldCase{"KeyInsideOtherField", Mail({"X-Old-Subject: old"}), "old"},
        FieldCase{"FirstOccurrenceCuts", Mail({"Subject: subject matter"}), "subject matter"},
        FieldCase{"LastLineWins", Mail({"Subject: first", "To: c@d", "Subject: last"}), "last"},
        FieldCase{"EncodedValue", Mail({"Subject: Re: " + kWordName}), "Re: " + kSjisName}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Continuations, SubjectTest,
    testing::Values(
        FieldCase{"FoldedOverThreeEncodedLines",
                  Mail({"Subject: " + kWordA, " " + kWordI, "\t" + kWordU, "To: c@d"}),
                  kSjisA + kSjisI + kSjisU},
        FieldCase{"PlainContinuationEndsSubject",
                  Mail({"Subject: " + kWordA, " plain", " " + kWordI}), kSjisA},
        FieldCase{"TextBeforeWordDropped", Mail({"Subject: x", " junk " + kWordI + " tail"}),
                  "x" + kSjisI + " tail"},
        FieldCase{"LowerCasePrefixContinues",
                  Mail({"Subject: x", " =?iso-2022-jp?b?GyRCJCQbKEI=?="}), "x" + kSjisI},
        FieldCase{"EncodedLineOfAnyFieldAppended",
                  Mail({"Subject: x", "From: " + kWordName + " <t@example.jp>"}),
                  "x" + kSjisName + " <t@example.jp>"},
        FieldCase{"LaterSubjectStartsAfresh",
                  Mail({"Subject: " + kWordA, " " + kWordI, "To: c@d", "Subject: y", " " + kWordU}),
                  "y" + kSjisU},
        FieldCase{"EncodedSubjectLineRightAfterSubject",
                  Mail({"Subject: " + kWordA, "Subject: " + kWordI, " " + kWordU}),
                  kSjisI + kSjisU},
        FieldCase{"LastHeaderLineContinues", Mail({"Subject: x", " " + kWordA}), "x" + kSjisA}),
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
        FieldCase{"NoBlankAfterColonLosesByte", Mail({"From:abc"}), "bc"},
        FieldCase{"AnyCase", Mail({"fRoM: a@b"}), "a@b"},
        FieldCase{"NameAndAddressStayTogether", Mail({"From: " + kWordName + " <t@example.jp>"}),
                  kSjisName + " <t@example.jp>"},
        // The cut assumes "From: ", so "from mx" loses the "m".
        FieldCase{"ReceivedLineCounts", Mail({"From: a@b", "Received: from mx.example by x"}),
                  "x.example by x"},
        FieldCase{"LastLineWins", Mail({"From: first", "To: c@d", "From: last"}), "last"},
        FieldCase{"SubjectHoldingFromCounts", Mail({"Subject: mail from home"}), "ome"}),
    CaseName);

// A line holding "DATE" is searched for "FROM" in its day piece only, as written in the mail,
// and the position found there cuts the whole line.
INSTANTIATE_TEST_SUITE_P(
    DateLines, SenderTest,
    testing::Values(
        FieldCase{"FromOutsideDayPieceIgnored",
                  Mail({"From: a@b", "Date: Tue, 7 Dec 1999 12:34:56 +0900 (from relay)"}), "a@b"},
        FieldCase{"LowerCaseFromInDayPieceIgnored",
                  Mail({"From: a@b", "Date: Tue, from 7 Dec 1999"}), "a@b"},
        FieldCase{"UpperCaseFromInDayPieceCuts", Mail({"From: a@b", "Date: Tue, FROM 7 Dec 1999"}),
                  " Tue, FROM 7 Dec 1999"},
        FieldCase{"UpdateLineIsDateLine", Mail({"From: a@b", "X-Update: from x"}), "a@b"}),
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
        // The LF in front of the line is the byte dropped when there is no comma.
        FieldCase{"NoCommaKeepsKey", Mail({"Date: 7 Dec 1999 12:34:56 +0900"}), "ec/00/Date: 1999"},
        FieldCase{"SubjectHoldingUpdate", Mail({"Subject: update notice"}), "ce/00/Subject: "}),
    CaseName);

TEST(HeaderEndTest, FindsFirstBlankLine) {
    struct Case {
        std::string text;
        std::int64_t end;
    };
    const Case cases[] = {
        {"", -1},        {"\r\n\r", -1},     {"\r\n \r\n", -1},
        {"\r\n\r\n", 0}, {"abc\r\n\r\n", 3}, {"ab\r\n\r\n\r\nx\r\n\r\n", 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindHeaderEnd(c.text), c.end) << testing::PrintToString(c.text);
    }
}

TEST(AddressTest, PointsAtBodyInLowerCaseHex) {
    const std::string mail = Mail({"From: a@b"});
    const auto bodyOffset = static_cast<std::int64_t>(mail.find("body line"));
    EXPECT_EQ(ExtractHeaderRow(mail, 4096 - bodyOffset).address, "0x1000");
    EXPECT_EQ(ExtractHeaderRow(mail, 0xABCDEF012 - bodyOffset).address, "0xabcdef012");
    EXPECT_EQ(ExtractHeaderRow("\r\n\r\n", 0).address, "0x4");
}

TEST(AddressTest, ShortMailTakesFallbackSeparator) {
    struct Case {
        std::string text;
        std::string address;
    };
    const Case cases[] = {
        {"", "0x104"},
        {std::string(kMark), "0x104"},
        {std::string(kMark) + "x", "0x105"},
        {std::string(kMark) + "\r\nFrom: a@b\r\n", "0x111"},
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

TEST(HeaderBlockTest, MailWithoutBlankLineLosesItsLastLine) {
    // The fallback block ends before the last CR LF, so the last line is never complete.
    const HeaderRow row =
        ExtractHeaderRow(std::string(kMark) + "\r\nSubject: kept\r\nFrom: lost@example.jp\r\n", 0);
    EXPECT_EQ(row.subject, "kept");
    EXPECT_EQ(row.sender, "");
}

TEST(HeaderBlockTest, BodyIsNotExamined) {
    std::string mail = Mail({"Subject: head"});
    mail += "Subject: body\r\nFrom: body@example.jp\r\nDate: Tue, 7 Dec 1999 12:34:56\r\n";
    const HeaderRow row = ExtractHeaderRow(mail, 0);
    EXPECT_EQ(row.subject, "head");
    EXPECT_EQ(row.sender, "");
    EXPECT_EQ(row.date, "");
}

TEST(HeaderBlockTest, BareLineFeedsDoNotBreakLines) {
    const HeaderRow row = ExtractHeaderRow(Mail({"Subject: one\nFrom: inside", "To: c@d"}), 0);
    EXPECT_EQ(row.subject, "one\nFrom: inside");
    EXPECT_EQ(row.sender, "inside");
}

TEST(HeaderBlockTest, HandlesLongLinesAndLongFolds) {
    const std::string longValue(1 << 20, 'v');
    std::string folded = std::string(kMark) + "\r\nSubject: x\r\n";
    std::string expected = "x";
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
