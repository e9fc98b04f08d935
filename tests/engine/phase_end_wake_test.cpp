// The wake at the end of a phase: called once for every phase a search runs, from the worker
// that ends it (or at once for a phase of no units), and never once it has been removed.
#include "engine/phase_end_wake.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "engine/search_controller.h"
#include "engine/worker_pool.h"
#include "tests/support/archive_builder.h"
#include "tests/support/recording_panes.h"
#include "tests/support/temp_files.h"

namespace tarsel {
namespace {

std::atomic<int> g_wakes{0};

void CountWake(void* context) {
    static_cast<std::atomic<int>*>(context)->fetch_add(1);
}

enum class Wake { kInstalled, kOtherRemoved, kRemoved };

// Runs a whole search with the wake installed (and then removed as wake says) and counts the
// wakes; the pool's idleness covers a wake still running on the worker after the driver has
// moved on.
int WakesOfSearch(const std::string& archive, const std::string& search,
                  Wake wake = Wake::kInstalled) {
    test::TempDir dir;
    test::RecordingPanes panes;
    CSearchController controller;
    controller.SetPanes(&panes);
    controller.SetPhaseEndWake(&CountWake, &g_wakes);
    if (wake == Wake::kOtherRemoved) {
        controller.ClearPhaseEndWake(nullptr);  // another front end's context: the wake stays
    } else if (wake == Wake::kRemoved) {
        controller.ClearPhaseEndWake(&g_wakes);
    }
    controller.SetFilePath(dir.Write("a.mbox", archive));
    g_wakes = 0;
    if (controller.StartSearch("archive", search)) {
        test::DriveToEnd(controller);
    }
    WorkerPool::Shared().WaitIdle();
    return g_wakes.load();
}

TEST(PhaseEndWakeTest, WakesOnceForEveryPhase) {
    const struct {
        const char* name;
        std::string archive;
        const char* search;
        int wakes;
    } cases[] = {
        {"load, count, search, headers", test::Mail("a", "abc\r\n") + test::Mail("b", "x\r\n"),
         "abc", 4},
        {"no match: no headers", test::Mail("a", "abc\r\n"), "zzz", 3},
        {"empty file: phases of no units", "", "abc", 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WakesOfSearch(c.archive, c.search), c.wakes) << c.name;
    }
    EXPECT_EQ(WakesOfSearch(cases[0].archive, "abc", Wake::kOtherRemoved), 4);
    EXPECT_EQ(WakesOfSearch(cases[0].archive, "abc", Wake::kRemoved), 0);
}

}  // namespace
}  // namespace tarsel
