// The row listing: every asked page in order, the same rows the header phase lists, and
// nothing while a phase runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "engine/search_controller.h"
#include "tests/support/archive_builder.h"
#include "tests/support/gcc12_restrict.h"
#include "tests/support/recording_panes.h"
#include "tests/support/temp_files.h"

namespace tarsel {
namespace {

auto Fields(const HeaderRow& row) {
    return std::tie(row.sender, row.subject, row.date, row.address);
}

// Searches an archive of mails "m0", "m1" and so on, each of them a match, to the end.
void SearchMails(int mails, test::TempDir& dir, CSearchController& controller) {
    std::string archive;
    for (int i = 0; i < mails; ++i) {
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN;  // GCC bug 105329, see the header
        archive += test::Mail("m" + std::to_string(i), "hit\r\n");
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END;
    }
    controller.SetFilePath(dir.Write("archive.mbox", archive));
    ASSERT_TRUE(controller.StartSearch("archive", "hit"));
    test::DriveToEnd(controller);
}

TEST(PageExtractionTest, ListsAskedPagesInOrderAsThePhaseListsThem) {
    test::TempDir dir;
    test::RecordingPanes panes;
    CSearchController controller;
    controller.SetPanes(&panes);
    SearchMails(45, dir, controller);

    std::vector<int> pages;
    std::vector<HeaderRow> listed;
    const auto take = [&](int page, std::vector<HeaderRow>& rows) {
        pages.push_back(page);
        listed.insert(listed.end(), rows.begin(), rows.end());
    };
    ASSERT_TRUE(controller.ListRows(1, 2, take));
    EXPECT_EQ(pages, (std::vector<int>{1, 2}));
    ASSERT_EQ(listed.size(), 25u);
    EXPECT_EQ(listed[24].subject, "m44");
    EXPECT_EQ(controller.m_nPage, 0);  // the listing is no page step

    ASSERT_TRUE(controller.StepPage(+1));
    EXPECT_FALSE(controller.ListRows(0, 0, take));  // refused while the page is extracted
    test::DriveToEnd(controller);
    ASSERT_EQ(panes.rows.size(), 20u);
    for (std::size_t row = 0; row < panes.rows.size(); ++row) {
        EXPECT_EQ(Fields(listed[row]), Fields(panes.rows[row])) << row;
    }
    EXPECT_FALSE(controller.ListRows(2, 3, take));  // page 3 does not exist
    EXPECT_EQ(pages.size(), 2u);
}

// More pages than the listing extracts ahead of its taker, and a taker slow at first, so that
// the units wait for it: every page comes once, in order, with the text made of its own rows,
// and the taker is never called while a call of it runs.
TEST(PageExtractionTest, HandsEveryPageWithItsPreparedTextInOrder) {
    constexpr int kMails = 2010;
    test::TempDir dir;
    test::RecordingPanes panes;
    CSearchController controller;
    controller.SetPanes(&panes);
    SearchMails(kMails, dir, controller);

    const auto prepare = [](int page, const std::vector<HeaderRow>& rows, std::string& text) {
        EXPECT_TRUE(text.empty());
        text = std::to_string(page) + ":" + rows.front().subject + "-" + rows.back().subject;
    };
    std::vector<std::string> taken;
    std::atomic<int> running{0};
    const auto take = [&](int page, std::vector<HeaderRow>&, std::string& text) {
        EXPECT_EQ(running.fetch_add(1), 0);
        if (page == 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        taken.push_back(text);
        running.fetch_sub(1);
    };
    ASSERT_TRUE(controller.ListRows(1, 100, prepare, take));
    ASSERT_EQ(taken.size(), 100u);
    for (int page = 1; page <= 100; ++page) {
        const int first = page * 20;
        const int last = std::min(first + 19, kMails - 1);
        EXPECT_EQ(
            taken[static_cast<std::size_t>(page - 1)],
            std::to_string(page) + ":m" + std::to_string(first) + "-m" + std::to_string(last));
    }
}

}  // namespace
}  // namespace tarsel
