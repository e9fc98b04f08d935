// Whole searches through the controller and its driver, phase by phase, as a front end
// runs them: counters, icons, capacity stops, refusals, pages and the mail shown.
#include "engine/search_controller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "tests/support/archive_builder.h"
#include "tests/support/gcc12_restrict.h"
#include "tests/support/recording_panes.h"
#include "tests/support/temp_files.h"

namespace tarsel {
namespace {

using test::Mail;

// "検索" as ISO-2022-JP text, and as the Shift-JIS the user types.
const std::string kJisKensaku = "\x1b$B8!:w\x1b(B";
const std::string kSjisKensaku = "\x8C\x9F\x8D\xF5";

class SearchDriverTest : public ::testing::Test {
  protected:
    SearchDriverTest() { controller.SetPanes(&panes); }

    // Drops the file and runs a whole search on it.
    void Search(const std::filesystem::path& file, const std::string& search) {
        controller.SetFilePath(file);
        SearchAgain(search);
    }
    void SearchAgain(const std::string& search) {
        if (controller.StartSearch("archive", search)) {
            test::DriveToEnd(controller);
        }
    }
    std::string BodyText() const {
        std::string text;
        for (const BodyRun& run : panes.body) {
            text += run.hit ? "[" + run.text + "]" : run.text;
        }
        return text;
    }

    test::TempDir dir;
    test::RecordingPanes panes;
    CSearchController controller;
};

TEST_F(SearchDriverTest, RunsEveryPhaseAndShowsTheFirstMatchingMail) {
    const std::string archive = "preamble\r\n" + Mail("one", "no match here\r\n") +
                                Mail("two", "abc and abc again\r\n") + Mail("three", "abc\r\n");
    Search(dir.Write("a.mbox", archive), "abc");

    EXPECT_EQ(panes.mails, 3);
    EXPECT_EQ(panes.hits, 3);
    EXPECT_EQ(panes.matches, 2);
    EXPECT_EQ(panes.icons,
              (std::vector<PhaseIcon>{PhaseIcon::kLoad, PhaseIcon::kCount, PhaseIcon::kSearch}));
    EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::kSearchDone});
    ASSERT_EQ(panes.rows.size(), 2u);
    EXPECT_EQ(panes.rows[1].subject, "three");
    EXPECT_EQ(panes.progress.back(), 100);
    EXPECT_EQ(panes.position, 1);
    EXPECT_EQ(BodyText(), "[abc] and [abc] again\r\n");
    EXPECT_EQ(controller.m_nState.load(), kStateHeaders);
    EXPECT_FALSE(panes.previous);
    EXPECT_FALSE(panes.next);
}

TEST_F(SearchDriverTest, FindsJapaneseAsJisPairsAndShowsItInRed) {
    const std::string archive =
        Mail("s", "\x1b$B$3$l$O\x1b(B" + kJisKensaku + "\x1b$B$G$9\x1b(B\r\n") + Mail("t", "x\r\n");
    Search(dir.Write("j.mbox", archive), kSjisKensaku);
    EXPECT_EQ(panes.matches, 1);
    ASSERT_EQ(panes.body.size(), 3u);
    EXPECT_EQ(panes.body[1].text, kSjisKensaku);
    EXPECT_TRUE(panes.body[1].hit);
    EXPECT_EQ(panes.body[0].text, "\x82\xB1\x82\xEA\x82\xCD");  // これは
}

TEST_F(SearchDriverTest, CountsHitsBeforeTheFirstMarkButListsNoMailForThem) {
    Search(dir.Write("p.mbox", "zz zz\r\n" + Mail("a", "zz\r\n") + Mail("b", "none\r\n")), "zz");
    EXPECT_EQ(panes.hits, 3);
    EXPECT_EQ(panes.matches, 1);
    ASSERT_EQ(panes.rows.size(), 1u);
    EXPECT_EQ(panes.rows[0].subject, "a");

    Search(dir.Write("n.mbox", "zz but no mark at all"), "zz");
    EXPECT_EQ(panes.mails, 0);
    EXPECT_EQ(panes.hits, 1);
    EXPECT_EQ(panes.matches, 0);
    EXPECT_FALSE(controller.PageExists(0));
}

TEST_F(SearchDriverTest, StopsAtTheMailCapacityOnlyWhenItIsExceeded) {
    std::string marks;
    for (int i = 0; i < kMailCapacity; ++i) {
        marks += test::kMark;
    }
    Search(dir.Write("full.mbox", marks), "zz");
    EXPECT_EQ(panes.mails, kMailCapacity);
    EXPECT_EQ(panes.warnings.back(), msg::kSearchDone);

    panes.warnings.clear();
    Search(dir.Write("over.mbox", marks + test::kMark), "zz");
    EXPECT_EQ(controller.m_nState.load(), kStateMailCapacity);
    EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::MailCapacity()});
    EXPECT_EQ(controller.m_bLoaded, 0);
}

TEST_F(SearchDriverTest, StopsAtTheHitCapacityAndSearchesAgainWithoutReloading) {
    std::string body;
    for (int i = 0; i < kHitCapacity; ++i) {
        body += "ab";
    }
    const auto file = dir.Write("hits.mbox", Mail("a", body) + Mail("b", "cd"));
    Search(file, "ab");
    EXPECT_EQ(panes.hits, kHitCapacity);
    EXPECT_EQ(panes.matches, 1);

    panes.warnings.clear();
    Search(dir.Write("hits2.mbox", Mail("a", body + "ab") + Mail("b", "cd")), "ab");
    EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::HitCapacity()});
    EXPECT_FALSE(controller.PageExists(0));
    EXPECT_EQ(controller.m_bLoaded, 1);

    // A narrower string on the loaded file: no loading, no counting.
    panes.icons.clear();
    SearchAgain("cd");
    EXPECT_EQ(panes.searchResets, 1);
    EXPECT_EQ(panes.icons, std::vector<PhaseIcon>{PhaseIcon::kSearch});
    EXPECT_EQ(panes.matches, 1);
    EXPECT_EQ(panes.rows.at(0).subject, "b");
}

TEST_F(SearchDriverTest, RefusesInputsBeforeAnyPhase) {
    struct Case {
        const char* name;
        std::string field;
        std::string search;
        std::string message;
    };
    const Case cases[] = {
        {"empty file field", "", "abc", msg::kNoFile},
        {"one byte", "a.mbox", "a", msg::kNoSearch},
        {"empty search", "a.mbox", "", msg::kNoSearch},
        {"no pair converts to JIS", "a.mbox", "\x81\x20\x81", msg::kNoSearch},
    };
    controller.SetFilePath(dir.Write("a.mbox", Mail("a", "abc")));
    for (const Case& c : cases) {
        panes.warnings.clear();
        EXPECT_FALSE(controller.StartSearch(c.field, c.search)) << c.name;
        EXPECT_EQ(panes.warnings, std::vector<std::string>{c.message}) << c.name;
        EXPECT_FALSE(controller.IsPhaseRunning()) << c.name;
    }
    EXPECT_TRUE(controller.StartSearch("a.mbox", "\x82\xA0"));  // one Japanese character
    test::DriveToEnd(controller);
}

TEST_F(SearchDriverTest, RefusesFilesItCannotSearchWithoutTouchingThem) {
    const auto missing = dir.path() / "missing.mbox";
    const auto fifo = dir.Fifo("pipe");
    const auto tooLarge = dir.Sparse("large.mbox", kMaxFileSize + 1);
    const auto huge = dir.Sparse("huge.mbox", (std::uint64_t{1} << 32) + 5);
    struct Case {
        std::filesystem::path file;
        std::string message;
    };
    const Case cases[] = {
        {missing, msg::CannotOpen(missing.string())},
        {dir.path(), msg::NotRegularFile(dir.path().string())},
        {fifo, msg::NotRegularFile(fifo.string())},
        {"/dev/null", msg::NotRegularFile("/dev/null")},
        {tooLarge, msg::FileTooLarge()},
        {huge, msg::FileTooLarge()},
        {"", msg::kNoFile},
    };
    for (const Case& c : cases) {
        panes.warnings.clear();
        controller.SetFilePath(c.file);
        EXPECT_FALSE(controller.StartSearch("name", "abc")) << c.file;
        EXPECT_EQ(panes.warnings, std::vector<std::string>{c.message}) << c.file;
        EXPECT_FALSE(controller.IsPhaseRunning());
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(SearchDriverTest, RunsEveryPhaseOnAnEmptyFile) {
    Search(dir.Write("empty.mbox", ""), "abc");
    EXPECT_EQ(panes.mails, 0);
    EXPECT_EQ(panes.matches, 0);
    EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::kSearchDone});
}

TEST_F(SearchDriverTest, LoadsAFileOfExactlyTheCapacity) {
    Search(dir.Sparse("max.mbox", kMaxFileSize), "abc");
    EXPECT_EQ(controller.State().m_chunkCount, kChunkCapacity);
    EXPECT_EQ(controller.State().m_fileChunks[kChunkCapacity - 1].size(), kChunkSize);
    // NUL bytes read as spaces.
    EXPECT_EQ(controller.State().m_fileChunks[0].view().find('\0'), std::string_view::npos);
    EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::kSearchDone});
}

TEST_F(SearchDriverTest, StepsThroughPagesAndKeepsViewedMarks) {
    std::string archive;
    for (int i = 0; i < 45; ++i) {
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN;  // GCC bug 105329, see the header
        archive += Mail("m" + std::to_string(i), "hit\r\n");
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END;
    }
    Search(dir.Write("45.mbox", archive), "hit");
    EXPECT_EQ(panes.matches, 45);
    EXPECT_EQ(panes.rows.size(), 20u);
    EXPECT_FALSE(panes.previous);
    EXPECT_TRUE(panes.next);
    EXPECT_FALSE(controller.StepPage(-1));

    controller.SelectRow(3);
    EXPECT_EQ(panes.position, 4);
    controller.SelectRow(3);  // the current row again: nothing happens
    EXPECT_EQ(panes.markedRows, (std::vector<int>{0, 3}));

    ASSERT_TRUE(controller.StepPage(+1));
    EXPECT_FALSE(controller.StepPage(+1));  // refused while the page is extracted
    test::DriveToEnd(controller);
    EXPECT_EQ(panes.position, 21);
    EXPECT_TRUE(panes.previous);
    EXPECT_TRUE(panes.next);

    ASSERT_TRUE(controller.StepPage(+1));
    test::DriveToEnd(controller);
    EXPECT_EQ(panes.rows.size(), 5u);
    EXPECT_EQ(panes.rows[4].subject, "m44");
    EXPECT_FALSE(panes.next);
    EXPECT_FALSE(controller.PageExists(3));

    ASSERT_TRUE(controller.StepPage(-2));
    test::DriveToEnd(controller);
    EXPECT_EQ(panes.viewed, (std::vector<bool>{true,  false, false, true,  false, false, false,
                                               false, false, false, false, false, false, false,
                                               false, false, false, false, false, false}));
}

TEST_F(SearchDriverTest, ANewSearchClearsTheViewedMarks) {
    std::string archive;
    for (int i = 0; i < 45; ++i) {
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN;
        archive += Mail("m" + std::to_string(i), "hit\r\n");
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END;
    }
    Search(dir.Write("45.mbox", archive), "hit");
    ASSERT_TRUE(controller.StepPage(+1));
    test::DriveToEnd(controller);
    controller.SelectRow(4);  // the highest position shown: the last mark a clearing must reach
    SearchAgain("hit");
    ASSERT_TRUE(controller.StepPage(+1));
    test::DriveToEnd(controller);
    EXPECT_EQ(panes.viewed, std::vector<bool>(20, false));
    EXPECT_EQ(panes.markedRows.back(), 0);  // only the first row, shown as the page came
}

TEST_F(SearchDriverTest, CutsMailsAcrossEveryChunkTheySpan) {
    // A first mail of more than two chunks, and a last mail that runs to the end of the file.
    const std::string longBody = std::string(250000, 'x') + "needle\r\n";
    const std::string archive =
        Mail("long", longBody) + Mail("last", std::string(120000, 'y') + "needle end");
    Search(dir.Write("long.mbox", archive), "needle");
    ASSERT_EQ(panes.matches, 2);
    EXPECT_EQ(BodyText(), std::string(250000, 'x') + "[needle]\r\n");
    controller.SelectRow(1);
    EXPECT_EQ(BodyText(), std::string(120000, 'y') + "[needle] end");
    EXPECT_EQ(panes.rows[1].subject, "last");
}

TEST_F(SearchDriverTest, ShowsNothingOfAMailWithoutABlankLine) {
    const std::string archive =
        test::kMark + "Subject: hit\r\nno blank line hit" + Mail("b", "none");
    Search(dir.Write("nb.mbox", archive), "hit");
    ASSERT_EQ(panes.matches, 1);
    EXPECT_TRUE(panes.body.empty());
}

// The same mail with CR LF, bare LF and bare CR line ends, one after another in one archive:
// equal rows, each address at its own body, and the same lines shown.
TEST_F(SearchDriverTest, ReadsMailsOfEveryLineEndAlike) {
    const std::string crlf =
        Mail("=?ISO-2022-JP?B?GyRCOCE6dxsoQg==?=\r\n =?ISO-2022-JP?B?GyRCOCE6dxsoQg==?=",
             "first " + kJisKensaku + "\r\n\x1b$B8!:w\r\nnext line\r\n\r\nlast\r\n");
    std::string archive = crlf;
    for (const char* lineEnd : {"\n", "\r"}) {
        for (std::size_t at = 0; at < crlf.size(); ++at) {
            const bool pair = crlf.compare(at, 2, "\r\n") == 0;
            archive += pair ? lineEnd : crlf.substr(at, 1);
            at += pair ? 1 : 0;
        }
    }
    Search(dir.Write("ends.mbox", archive), kSjisKensaku);
    ASSERT_EQ(panes.matches, 3);
    ASSERT_EQ(panes.rows.size(), 3u);
    std::vector<std::string> shown;
    std::size_t body = std::string::npos;
    for (int row = 0; row < 3; ++row) {
        controller.SelectRow(row);
        const HeaderRow& r = panes.rows[std::size_t(row)];
        EXPECT_EQ(r.subject, kSjisKensaku + kSjisKensaku) << row;
        EXPECT_EQ(r.sender, panes.rows[0].sender);
        EXPECT_EQ(r.date, "99/12/07 12:34:56") << row;
        body = archive.find("first", body + 1);
        EXPECT_EQ(std::stoul(r.address.substr(2), nullptr, 16), body) << row;
        std::string lines = BodyText();
        for (std::size_t at; (at = lines.find_first_of("\r\n")) != std::string::npos;) {
            lines.replace(at, lines.compare(at, 2, "\r\n") == 0 ? 2 : 1, "|");
        }
        shown.push_back(lines);
    }
    // The second line ends inside its segment, which takes its line end with it.
    EXPECT_EQ(shown[0], "first [" + kSjisKensaku + "]|[" + kSjisKensaku + "]next line||last|");
    EXPECT_EQ(shown[1], shown[0]);
    EXPECT_EQ(shown[2], shown[0]);
}

TEST_F(SearchDriverTest, ForgetsTheLoadedFileWhenANewOneIsDropped) {
    const auto first = dir.Write("1.mbox", Mail("a", "abc"));
    Search(first, "abc");
    EXPECT_EQ(controller.m_bLoaded, 1);
    panes.icons.clear();
    Search(dir.Write("2.mbox", Mail("a", "abc") + Mail("b", "abc")), "abc");
    EXPECT_EQ(panes.icons.front(), PhaseIcon::kLoad);
    EXPECT_EQ(panes.mails, 2);
}

TEST_F(SearchDriverTest, CancellingARunningPhaseLeavesNothingPending) {
    std::string archive;
    for (int i = 0; i < 2000; ++i) {
        archive += Mail("m", std::string(500, 'k'));
    }
    controller.SetFilePath(dir.Write("c.mbox", archive));
    ASSERT_TRUE(controller.StartSearch("c.mbox", "kk"));
    controller.CancelAndWait();
    EXPECT_FALSE(controller.IsPhaseRunning());
    EXPECT_EQ(controller.State().m_workersRunning.load(), 1);
    EXPECT_EQ(controller.m_bLoaded, 0);
}

// Two contexts search two archives at once on the one pool: each ends with exactly its own
// result, also when the other is cancelled in the middle of its search.
TEST_F(SearchDriverTest, TwoContextsSearchAtOnceEachWithItsOwnResult) {
    std::string big;
    for (int i = 0; i < 3000; ++i) {
        big += Mail("big " + std::to_string(i), i % 3 == 0 ? "needle\r\n" : "hay\r\n");
    }
    std::string small;
    for (int i = 0; i < 7; ++i) {
        small += Mail("small " + std::to_string(i), "needle needle\r\n");
    }
    const std::filesystem::path files[] = {dir.Write("big.mbox", big),
                                           dir.Write("small.mbox", small)};
    for (const bool cancelFirst : {false, true}) {
        SCOPED_TRACE(cancelFirst ? "first cancelled" : "both to the end");
        test::RecordingPanes seen[2];
        CSearchController contexts[2];
        for (int k = 0; k < 2; ++k) {
            contexts[k].SetPanes(&seen[k]);
            contexts[k].SetFilePath(files[k]);
            ASSERT_TRUE(contexts[k].StartSearch("archive", "needle"));
        }
        if (cancelFirst) {
            contexts[0].CancelAndWait();
        }
        while (contexts[0].IsPhaseRunning() || contexts[1].IsPhaseRunning()) {
            for (CSearchController& context : contexts) {
                context.OnTimer();
            }
        }
        if (!cancelFirst) {
            EXPECT_EQ(seen[0].mails, 3000);
            EXPECT_EQ(seen[0].hits, 1000);
            EXPECT_EQ(seen[0].matches, 1000);
            ASSERT_EQ(seen[0].rows.size(), std::size_t{kPageRows});
            EXPECT_EQ(seen[0].rows[1].subject, "big 3");
        }
        EXPECT_EQ(seen[1].mails, 7);
        EXPECT_EQ(seen[1].hits, 14);
        EXPECT_EQ(seen[1].matches, 7);
        ASSERT_EQ(seen[1].rows.size(), std::size_t{7});
        EXPECT_EQ(seen[1].rows[6].subject, "small 6");
        EXPECT_EQ(seen[1].warnings, std::vector<std::string>{msg::kSearchDone});
    }
}

// A search of several archives: an archive that cannot be searched is named in its warning and
// left out; the others' results are counted together and listed archive by archive.
TEST_F(SearchDriverTest, SeveralArchivesLeaveOutTheOnesThatFail) {
    const std::filesystem::path large = dir.Sparse("b-large.mbox", kMaxFileSize + 1);
    const std::filesystem::path missing = dir.path() / "c-missing.mbox";
    controller.SetFilePaths({dir.Write("d.mbox", Mail("d1", "abc\r\n") + Mail("d2", "abc\r\n")),
                             missing, large, dir.Write("a.mbox", Mail("a1", "abc abc\r\n"))});
    SearchAgain("abc");
    EXPECT_EQ(panes.mails, 3);
    EXPECT_EQ(panes.hits, 4);
    EXPECT_EQ(panes.matches, 3);
    ASSERT_EQ(panes.rows.size(), 3u);
    EXPECT_EQ(panes.rows[0].file, "a.mbox");
    EXPECT_EQ(panes.rows[1].subject, "d1");
    EXPECT_EQ(panes.rows[2].file, "d.mbox");
    EXPECT_EQ(BodyText(), "[abc] [abc]\r\n");
    EXPECT_EQ(panes.warnings,
              (std::vector<std::string>{msg::InArchive("b-large.mbox", msg::FileTooLarge()),
                                        msg::CannotOpen(missing.string()), msg::kSearchDone}));
    controller.SelectRow(2);
    EXPECT_EQ(BodyText(), "[abc]\r\n");
}

}  // namespace
}  // namespace tarsel
