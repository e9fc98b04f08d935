// Counting the mails of an archive: the marks, or the From_ lines of an mbox, wherever the
// chunks of the file end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/search_controller.h"
#include "tests/support/archive_builder.h"
#include "tests/support/recording_panes.h"
#include "tests/support/temp_files.h"

namespace tarsel {
namespace {

// An mbox mail: its From_ line, a header and the body, the lines ending at lineEnd.
std::string MboxMail(const std::string& subject, const std::string& body,
                     const std::string& lineEnd = "\n") {
    return "From sender@example.org Tue Dec  7 12:34:56 1999" + lineEnd + "Subject: " + subject +
           lineEnd + lineEnd + body + lineEnd + lineEnd;
}

struct CountCase {
    const char* name;
    std::string archive;
    std::string search;
    int mails;
    int hits;
    std::vector<std::string> subjects;  // of the matching mails
    std::string shown;                  // the first matching mail's body
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.name;
}

class MailCountTest : public testing::TestWithParam<CountCase> {};

TEST_P(MailCountTest, CountsListsAndShows) {
    const CountCase& c = GetParam();
    test::TempDir dir;
    test::RecordingPanes panes;
    CSearchController controller;
    controller.SetPanes(&panes);
    controller.SetFilePath(dir.Write("archive", c.archive));
    ASSERT_TRUE(controller.StartSearch("archive", c.search));
    test::DriveToEnd(controller);
    EXPECT_EQ(panes.mails, c.mails);
    EXPECT_EQ(panes.hits, c.hits);
    std::vector<std::string> subjects;
    for (const HeaderRow& row : panes.rows) {
        subjects.push_back(row.subject);
    }
    EXPECT_EQ(subjects, c.subjects);
    std::string shown;
    for (const BodyRun& run : panes.body) {
        shown += run.text;
    }
    EXPECT_EQ(shown, c.shown);
}

// A body that puts the next From_ line at the last byte of the first chunk: its "\nFrom " spans
// the chunks' end, the empty line before it lies in the first.
const std::string kLong(kChunkSize - 1 - MboxMail("one", "").size(), 'x');

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Archives, MailCountTest,
    testing::Values(
        CountCase{"QuotedLinesShownOneLevelLess",
                  MboxMail("one", "abc\r\n>From here\r\n>>From x\r\nFrom: y", "\r\n"), "abc", 1, 1,
                  {"one"}, "abc\r\nFrom here\r\n>From x\r\nFrom: y\r\n\r\n"},
        CountCase{"FromAfterATextLineStaysInTheMail",
                  MboxMail("one", "abc\nFrom the start") + MboxMail("two", "t"), "start", 2, 1,
                  {"one"}, "abc\nFrom the start\n\n"},
        CountCase{"FromLineAcrossTheChunkEnd", MboxMail("one", kLong) + MboxMail("two", "abc"),
                  "abc", 2, 1, {"two"}, "abc\n\n"},
        CountCase{"HitInAFromLineIsItsMails",
                  MboxMail("one", "x") + "From abc@example.org Tue Dec  7 1999\n\nbody\n", "abc",
                  2, 1, {""}, "body\n"},
        CountCase{"FromColonIsNoMbox", "From: a\n\n" + test::Mail("m", "abc"), "abc", 1, 1,
                  {"m"}, "abc"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace tarsel
