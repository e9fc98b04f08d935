// An archive loaded and counted inside the bench process, for timing the string search phase
// on its own (a second search on a loaded file).
#pragma once

#include <filesystem>

#include "engine/search_controller.h"

namespace tarsel::bench {

// Blocks until the running phase's units of state have all finished (no driver involved).
inline void WaitForUnits(SearchState& state) {
    std::atomic<int>& running = state.m_workersRunning;
    for (int left = running.load(); left != 0; left = running.load()) {
        running.wait(left);
    }
}

// Loads and counts archive in controller, leaving it ready for StartStringSearch.
inline void LoadAndCount(CSearchController& controller, const std::filesystem::path& archive) {
    controller.m_strFilePath = archive;
    controller.StartLoading();
    WaitForUnits(controller.State());
    controller.CancelAndWait();
    controller.StartMailCount();
    WaitForUnits(controller.State());
    controller.CancelAndWait();
    controller.SortMailStarts();  // as the driver does: a unit finds its mails by bisection
}

}  // namespace tarsel::bench
