// Test support: panes that record what the engine shows, and a driver loop for tests.
#pragma once

#include <string>
#include <vector>

#include "engine/search_controller.h"
#include "engine/search_panes.h"

namespace tarsel::test {

class RecordingPanes : public SearchPanes {
  public:
    void SetCounters(int m, int h, int x) override {
        if (m >= 0)
            mails = m;
        if (h >= 0)
            hits = h;
        if (x >= 0)
            matches = x;
    }
    void ShowPhaseIcon(PhaseIcon icon) override { icons.push_back(icon); }
    void SetProgress(int percent) override { progress.push_back(percent); }
    void ShowWarning(const std::string& message) override { warnings.push_back(message); }
    void ResetForNewSearch() override { ++searchResets; }
    void ClearResultList() override { rows.clear(); }
    void SetPageButtons(bool p, bool n) override {
        previous = p;
        next = n;
    }
    void ShowPageRows(const std::vector<HeaderRow>& r, const std::vector<bool>& v) override {
        rows = r;
        viewed = v;
    }
    void SetMailPosition(int p) override { position = p; }
    void MarkRowViewed(int row) override { markedRows.push_back(row); }
    void ShowMailBody(MailBody b) override { body = b.Runs(); }

    int mails = -1, hits = -1, matches = -1;
    std::vector<PhaseIcon> icons;
    std::vector<int> progress;
    std::vector<std::string> warnings;
    int searchResets = 0;
    std::vector<HeaderRow> rows;
    std::vector<bool> viewed;
    bool previous = false, next = false;
    int position = 0;
    std::vector<int> markedRows;
    std::vector<BodyRun> body;
};

// Runs phases until none is pending, as the front ends do.
inline void DriveToEnd(CSearchController& controller) {
    while (controller.IsPhaseRunning()) {
        controller.WaitAndAdvance();
    }
}

}  // namespace tarsel::test
