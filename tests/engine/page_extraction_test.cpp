// The row listing: every asked page in order, the same rows the header phase lists, and
// nothing while a phase runs.
#include <gtest/gtest.h>

#include <string>
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

TEST(PageExtractionTest, ListsAskedPagesInOrderAsThePhaseListsThem) {
    std::string archive;
    for (int i = 0; i < 45; ++i) {
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN;  // GCC bug 105329, see the header
        archive += test::Mail("m" + std::to_string(i), "hit\r\n");
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END;
    }
    test::TempDir dir;
    test::RecordingPanes panes;
    CSearchController controller;
    controller.SetPanes(&panes);
    controller.SetFilePath(dir.Write("45.mbox", archive));
    ASSERT_TRUE(controller.StartSearch("archive", "hit"));
    test::DriveToEnd(controller);

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

}  // namespace
}  // namespace tarsel
