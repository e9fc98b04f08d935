// An archive loaded and counted inside the bench process, for timing the string search phase
// on its own (a second search on a loaded file).
#pragma once

#include <filesystem>

#include "engine/search_controller.h"

namespace tarsel::bench {

// Blocks until the running phase's units have all finished (no driver involved).
inline void WaitForUnits() {
    for (int left = g_workersRunning.load(); left != 0; left = g_workersRunning.load()) {
        g_workersRunning.wait(left);
    }
}

// Loads and counts archive in controller, leaving it ready for StartStringSearch.
inline void LoadAndCount(CSearchController& controller, const std::filesystem::path& archive) {
    controller.m_strFilePath = archive;
    controller.StartLoading();
    WaitForUnits();
    controller.CancelAndWait();
    controller.StartMailCount();
    WaitForUnits();
    controller.CancelAndWait();
}

}  // namespace tarsel::bench
