// One whole search from the terminal. The driver is the window's; only the wait differs:
// instead of a 100 ms tick it sleeps on the phase countdown itself.
#include "cli/search_run.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "cli/result_output.h"
#include "cli/terminal_panes.h"
#include "decode/cp932.h"
#include "engine/search_controller.h"

namespace tarsel::cli {
namespace {

const char* PhaseName(int state) {
    switch (state) {
        case kStateLoading:
            return "読み込み";
        case kStateCounting:
            return "カウント";
        case kStateSearching:
            return "検索";
        default:
            return "ヘッダー";
    }
}

// Runs phases until none is pending.
void Drive(CSearchController& controller, std::ostream& err, bool progress) {
    while (controller.IsPhaseRunning()) {
        if (!progress) {
            controller.WaitAndAdvance();
            continue;
        }
        // Short naps keep the latency of a phase end small; the line is redrawn less often.
        for (int nap = 0; controller.State().m_workersRunning.load() != 0; ++nap) {
            if (nap % 20 == 0) {
                err << "\r" << PhaseName(controller.m_nState) << " " << controller.CurrentProgress()
                    << "%   " << std::flush;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        controller.OnTimer();
    }
    if (progress) {
        err << "\r                    \r" << std::flush;
    }
}

bool FailedState(int state) {
    return state == kStateFileCapacity || state == kStateMailCapacity || state == kStateHitCapacity;
}

}  // namespace

int RunSearch(const Options& options, Printer& out, std::ostream& err, bool progress) {
    bool converted = true;
    const std::string search = Utf8ToCp932(options.search, &converted);
    if (!converted && !options.decoded) {
        err << "tarsel-search: 検索文字列を Shift-JIS に変換できません。\n";
        return 2;
    }
    const std::filesystem::path path(options.mailFile);
    TerminalPanes panes(err, path);
    CSearchController controller;
    controller.SetPanes(&panes);
    controller.SetFilePath(path);
    controller.LoadFromView(true);  // one search, then the process ends
    const bool started =
        options.decoded ? controller.StartDecodedSearch(path.filename().string(), options.search)
                        : controller.StartSearch(path.filename().string(), search);
    if (!started) {
        return 2;
    }
    Drive(controller, err, progress);
    if (panes.failed() || FailedState(controller.m_nState)) {
        return 2;
    }

    const int matches = panes.matches();
    if (matches == 0) {
        if (options.show == 0) {  // a body that does not exist prints nothing at all
            PrintListing(out, panes, options.json, options.decoded);
            EndResult(out, options.json);
        }
        return 1;
    }
    const int pages = (matches + kPageRows - 1) / kPageRows;
    if (options.page > 0 && options.page > pages) {
        err << "tarsel-search: ページ " << options.page << " はありません（全 " << pages
            << " ページ）。\n";
        return 2;
    }
    if (options.show > matches) {
        err << "tarsel-search: 該当メール " << options.show << " はありません（全 " << matches
            << " 通）。\n";
        return 2;
    }
    // The driver listed page 0; the other asked pages are extracted in one go on the pool and
    // printed page by page while the later ones are still being extracted.
    const int first = options.page > 0 ? options.page - 1 : 0;
    const int last = options.page > 0 ? options.page - 1 : pages - 1;
    const int rows = std::min(matches, (last + 1) * kPageRows) - first * kPageRows;
    Listing listing(out, options.json, rows);
    listing.Begin(panes, options.decoded);
    // Page 0 is listed when the first other page arrives, with the pool at work on the rest, so
    // what its rows need first (the conversion table) is made meanwhile.
    bool firstListed = first != 0;
    const auto listFirst = [&] {
        if (!firstListed) {
            for (const ListedRow& listed : panes.rows()) {
                listing.Row(listed.position, listed.row);
            }
            firstListed = true;
        }
    };
    const int from = std::max(first, 1);
    // The rows are printed on the workers that extracted them, and written by the worker that
    // finishes the next page in order.
    if (from <= last) {
        controller.ListRows(
            from, last,
            [&](int page, const std::vector<HeaderRow>& pageRows, std::string& text) {
                listing.PrintRows(text, page * kPageRows + 1, pageRows, page == first);
            },
            [&](int, std::vector<HeaderRow>& pageRows, std::string& text) {
                listFirst();
                listing.TakeRows(text, static_cast<int>(pageRows.size()));
            });
    }
    listFirst();
    listing.End();
    if (options.show > 0) {
        // The body is printed while the engine shows it, never kept.
        panes.SetBodySink([&](const MailBody& body) { PrintBody(out, body, options.json); });
        controller.m_nPage = (options.show - 1) / kPageRows;
        controller.m_nSelRow = -1;
        controller.SelectRow((options.show - 1) % kPageRows);
        panes.SetBodySink(nullptr);
    }
    EndResult(out, options.json);
    return 0;
}

}  // namespace tarsel::cli
