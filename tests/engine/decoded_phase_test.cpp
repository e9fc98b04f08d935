// The decoded search through the controller and its driver: counts on an archive written by
// Python's email package, the decoded rows and body, the input check, the hit capacity, and
// a raw search on the same file after a decoded one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "engine/messages.h"
#include "engine/search_controller.h"
#include "tests/support/archive_builder.h"
#include "tests/support/recording_panes.h"
#include "tests/support/temp_files.h"

namespace tarsel {
namespace {

class DecodedPhaseTest : public ::testing::Test {
  protected:
    DecodedPhaseTest() { controller.SetPanes(&panes); }

    // The string exactly as given: one word (a phrase where it holds blanks), not folded.
    void Decoded(const std::string& utf8) {
        const bool phrase = utf8.find(' ') != std::string::npos;
        if (controller.StartDecodedSearch("archive", phrase ? '"' + utf8 + '"' : utf8, true)) {
            test::DriveToEnd(controller);
        }
    }

    test::TempDir dir;
    test::RecordingPanes panes;
    CSearchController controller;
};

TEST_F(DecodedPhaseTest, CountsEveryOccurrenceThatPythonsReaderDecodes) {
    const auto archive = dir.path() / "mails.mbox";
    const auto expectedPath = dir.path() / "expected.json";
    const std::string command = std::string(TARSEL_PYTHON) + " " + TARSEL_MAKE_MAILS + " " +
                                archive.string() + " " + expectedPath.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(expectedPath);
    const auto expected = nlohmann::json::parse(in);
    controller.SetFilePath(archive);
    for (const std::string word : expected["words"]) {
        int hits = 0, matches = 0;
        for (const auto& mail : expected["mails"]) {
            const int n = mail[word];
            hits += n;
            matches += n > 0 ? 1 : 0;
        }
        Decoded(word);
        EXPECT_EQ(panes.mails, static_cast<int>(expected["mails"].size()));
        EXPECT_EQ(panes.hits, hits) << word;
        EXPECT_EQ(panes.matches, matches) << word;
        ASSERT_FALSE(panes.rows.empty()) << word;
        EXPECT_TRUE(panes.rows[0].utf8);
        int red = 0;
        for (const BodyRun& run : panes.body) {
            red += run.hit ? 1 : 0;
            EXPECT_TRUE(!run.hit || run.text == word);
        }
        EXPECT_GT(red + static_cast<int>(panes.rows[0].subject.find(word) != std::string::npos), 0)
            << word;
    }
    // The sender and subject of the first mail, decoded from ISO-2022-JP.
    Decoded("メール");
    EXPECT_EQ(panes.rows[0].sender, "メール <a@example.jp>");
    EXPECT_EQ(panes.rows[0].subject, "検索について");
    EXPECT_EQ(panes.rows[0].date, "21/12/07 12:34:56");

    // The raw search on the same file starts at the string search and sees the bytes only.
    ASSERT_TRUE(controller.StartSearch("archive", "Tarsel"));
    test::DriveToEnd(controller);
    EXPECT_FALSE(panes.rows.empty() || panes.rows[0].utf8);
}

TEST_F(DecodedPhaseTest, ChecksTheStringAndKeepsTheHitCapacity) {
    controller.SetFilePath(dir.Write("a.mbox", test::Mail("x", std::string(100002, 'a'))));
    Decoded("a");
    Decoded("\xff\xfe");
    EXPECT_EQ(panes.warnings, (std::vector<std::string>{msg::kNoSearch, msg::kNoSearch}));
    panes.warnings.clear();
    Decoded("aa");  // 100001 overlapping occurrences
    EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::HitCapacity()});
    panes.warnings.clear();
    Decoded("😀");  // no Shift-JIS form: allowed here
    EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::kSearchDone});
    EXPECT_EQ(panes.matches, 0);
}

// A query with nothing to find, or a date it cannot read, starts nothing; one of a date alone
// lists its mails without a hit.
TEST_F(DecodedPhaseTest, RefusesQueriesWithNothingToFind) {
    controller.SetFilePath(dir.Write("a.mbox", test::Mail("x", "body")));
    const std::pair<const char*, std::string> refused[] = {
        {"-body", msg::kNoSearch},
        {"  \xE3\x80\x80 ", msg::kNoSearch},
        {"body date:2012-02-30", msg::DateNotRead("2012-02-30")}};
    for (const auto& [query, warning] : refused) {
        panes.warnings.clear();
        EXPECT_FALSE(controller.StartDecodedSearch("archive", query)) << query;
        EXPECT_EQ(panes.warnings, std::vector<std::string>{warning}) << query;
    }
    panes.warnings.clear();
    Decoded("-date:2012");  // the mail of 1999 matches by what it is not
    EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::kSearchDone});
    EXPECT_EQ(panes.hits, 0);
    EXPECT_EQ(panes.matches, 1);
    ASSERT_EQ(panes.rows.size(), 1u);
}

}  // namespace
}  // namespace tarsel
