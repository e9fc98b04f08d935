// One whole search from the terminal. The driver is the window's; only the wait differs:
// instead of a 100 ms tick it sleeps on the phase countdown itself.
#include "cli/search_run.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/progress_line.h"
#include "cli/result_output.h"
#include "cli/terminal_panes.h"
#include "decode/cp932.h"
#include "decode/safe_text.h"
#include "engine/mail_export.h"
#include "engine/mail_text.h"
#include "engine/messages.h"
#include "engine/search_controller.h"
#include "mime/query_search.h"

namespace tarsel::cli {
namespace {

// The bytes of the archives a search covers, for the progress line: the one being searched
// and all of them, and those of the archives before it.
struct ArchiveSpan {
    std::uint64_t file = 0;
    std::uint64_t before = 0;
    std::uint64_t all = 0;
};

std::uint64_t FileSizeOf(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<std::uint64_t>(size);
}

// Where the search stands across all its archives.
ProgressSample ProgressOf(const CSearchController& controller, const ArchiveSpan& span) {
    const SearchState& state = controller.State();
    PhasePosition position;
    position.state = controller.m_nState;
    position.offset = static_cast<std::uint64_t>(std::max<std::int64_t>(state.m_loadOffset, 0));
    position.bytes = controller.m_nFileSize;
    position.unitShare = state.m_chunkCount == 0
                             ? 0.0
                             : static_cast<double>(state.m_unitsDone.load()) / state.m_chunkCount;
    // A file that tells no size (or has grown) is as large as what is loaded of it.
    position.fileSize = std::max(span.file, position.offset + position.bytes);
    ProgressSample sample = ArchiveProgress(position);
    const std::uint64_t all = std::max(span.all, span.before + position.fileSize);
    sample.done += span.before;
    sample.total = all;
    sample.share = all == 0 ? 0.0
                            : (static_cast<double>(span.before) +
                               sample.share * static_cast<double>(position.fileSize)) /
                                  static_cast<double>(all);
    return sample;
}

// Runs phases until none is pending.
void Drive(CSearchController& controller, ProgressLine& line, const ArchiveSpan& span) {
    while (controller.IsPhaseRunning()) {
        if (!line.Shown()) {
            controller.WaitAndAdvance();
            continue;
        }
        // Short naps keep the latency of a phase end small; the line is redrawn less often.
        while (controller.State().m_workersRunning.load() != 0) {
            if (line.Due()) {
                line.Draw(ProgressOf(controller, span));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        controller.OnTimer();
    }
    line.Erase();
}

bool FailedState(int state) {
    return state == kStateFileCapacity || state == kStateMailCapacity || state == kStateHitCapacity;
}

// The decoded search's query as the controller read it; null for a raw search.
const query::Query* DecodedQueryOf(const CSearchController& controller) {
    return controller.m_bDecoded && controller.DecodedQuery() != nullptr
               ? &controller.DecodedQuery()->Query()
               : nullptr;
}

// Appends the places of the first matches matching mails of the search, in listing order.
void AppendMatchingPlaces(const CSearchController& controller, int matches,
                          std::vector<MailPlace>& places) {
    for (int position = 0; position < matches; ++position) {
        places.push_back(controller.MatchingMail(position));
    }
}

// Writes the mails as the options ask; false, with each line of the reason told on err, when
// the export failed.
bool Export(const Options& options, const std::vector<MailPlace>& mails, std::ostream& err) {
    std::string reason;
    if (ExportMails(options.exportFormat, options.exportTarget, mails, reason)) {
        return true;
    }
    for (std::size_t at = 0; at < reason.size();) {
        const std::size_t end = std::min(reason.find('\n', at), reason.size());
        err << "tarsel-search: " << std::string_view(reason).substr(at, end - at) << "\n";
        at = end + 1;
    }
    return false;
}

// The query of a decoded search of several archives, read once for the listing and the body;
// each archive's controller refuses one that cannot be read before this is asked for.
std::unique_ptr<mime::QueryMatcher> ArchivesQuery(const Options& options) {
    if (!options.decoded) {
        return nullptr;
    }
    query::Query parsed;
    std::string badDate;
    query::ParseQuery(options.search, options.exact, query::FoldOptions{options.kana}, parsed,
                      badDate);
    return std::make_unique<mime::QueryMatcher>(std::move(parsed));
}

// A search of several archives, one after another. Each archive's rows of the asked pages are
// printed while it is loaded and its loaded bytes go before the next is loaded; positions and
// pages count across the archives.
int RunArchives(const Options& options, const std::string& search, Printer& out, std::ostream& err,
                ProgressLine& line) {
    const std::unique_ptr<mime::QueryMatcher> query = ArchivesQuery(options);
    const int asked = options.page > 0 ? options.page : 0;
    const int low = asked > 0 ? (asked - 1) * kPageRows + 1 : 1;  // positions listed, from 1
    const int high = asked > 0 ? asked * kPageRows : INT_MAX;
    // The conversion table pays for long listings; only a page is known to be short.
    Listing listing(out, options.json, asked > 0 ? kPageRows : INT_MAX);
    ArchiveCounts totals;
    std::vector<ArchiveCounts> searched;
    std::string listed;  // the rows, printed, in order
    int rows = 0;
    MailPlace shown;
    std::vector<MailPlace> exported;
    bool failed = false;
    std::vector<std::uint64_t> sizes;
    ArchiveSpan span;
    if (line.Shown()) {
        for (const std::string& given : options.archives) {
            sizes.push_back(FileSizeOf(given));
            span.all += sizes.back();
        }
    }
    for (std::size_t i = 0; i < options.archives.size(); ++i) {
        const std::string& given = options.archives[i];
        const std::filesystem::path path(given);
        if (line.Shown()) {
            span.before += span.file;
            span.file = sizes[i];
        }
        TerminalPanes panes(err, path, true);
        panes.SetProgressLine(&line);
        CSearchController controller;
        controller.SetPanes(&panes);
        controller.SetFilePath(path);
        controller.LoadFromView(true);
        const bool started =
            options.decoded
                ? controller.StartDecodedSearch(path.filename().string(), options.search,
                                                options.exact, options.kana)
                : controller.StartSearch(path.filename().string(), search);
        if (panes.searchRefused()) {
            return 2;  // refused for every archive alike
        }
        if (started) {
            Drive(controller, line, span);
        }
        if (!started || panes.failed() || FailedState(controller.m_nState)) {
            failed = true;
            continue;
        }
        const int before = totals.matches;
        const int matches = panes.matches();
        searched.push_back(ArchiveCounts{given, panes.mails(), panes.hits(), matches});
        totals.mails += panes.mails();
        totals.hits += panes.hits();
        totals.matches += matches;
        const int from = std::max(low - before, 1);  // this archive's positions to list
        const int to = static_cast<int>(std::min<long long>(high - before, matches));
        if (from <= to) {
            const bool starts = rows == 0;
            controller.ListRows(
                (from - 1) / kPageRows, (to - 1) / kPageRows,
                [&](int page, const std::vector<HeaderRow>& pageRows, std::string& text) {
                    const int first = std::max(from - page * kPageRows, 1);
                    const int last =
                        std::min(to - page * kPageRows, static_cast<int>(pageRows.size()));
                    listing.PrintRows(text, before + page * kPageRows + first,
                                      std::span<const HeaderRow>(pageRows).subspan(
                                          static_cast<std::size_t>(first - 1),
                                          static_cast<std::size_t>(last - first + 1)),
                                      starts && page * kPageRows + first == from, given);
                },
                [&](int, std::vector<HeaderRow>&, std::string& text) { listed += text; });
            rows += to - from + 1;
        }
        if (options.show > before && options.show <= before + matches) {
            shown = controller.MatchingMail(options.show - before - 1);
        }
        if (options.exportFormat != ExportFormat::kNone) {
            AppendMatchingPlaces(controller, matches, exported);
        }
    }
    if (searched.empty()) {
        return 2;
    }
    if (options.exportFormat != ExportFormat::kNone && !Export(options, exported, err)) {
        return 2;
    }
    const int status = failed ? 2 : totals.matches == 0 ? 1 : 0;
    if (totals.matches == 0) {
        if (options.show == 0) {  // a body that does not exist prints nothing at all
            listing.Begin(totals, searched, query ? &query->Query() : nullptr);
            listing.End();
            EndResult(out, options.json);
        }
        return status;
    }
    const int pages = (totals.matches + kPageRows - 1) / kPageRows;
    if (options.page > pages) {
        err << "tarsel-search: ページ " << options.page << " はありません（全 " << pages
            << " ページ）。\n";
        return 2;
    }
    if (options.show > totals.matches) {
        err << "tarsel-search: 該当メール " << options.show << " はありません（全 "
            << totals.matches << " 通）。\n";
        return 2;
    }
    listing.Begin(totals, searched, query ? &query->Query() : nullptr);
    listing.TakeRows(listed, rows);
    listing.End();
    if (options.show > 0) {
        std::string text;
        if (!ReadFileRange(shown.path, shown.start, shown.end, text)) {
            err << "tarsel-search: " << TerminalMessage(msg::CannotRead(shown.path)) << "\n";
            EndResult(out, options.json);
            return 2;
        }
        PrintBody(out,
                  query ? CSearchController::DecodedMailBodyOf(text, *query)
                        : CSearchController::MailBodyOf(std::move(text), search),
                  options.json);
    }
    EndResult(out, options.json);
    return status;
}

}  // namespace

int RunSearch(const Options& options, Printer& out, std::ostream& err, bool progress) {
    bool converted = true;
    const std::string search = Utf8ToCp932(options.search, &converted);
    if (!converted && !options.decoded) {
        err << "tarsel-search: 検索文字列を Shift-JIS に変換できません。\n";
        return 2;
    }
    ProgressLine line(err, progress);
    if (options.archives.size() > 1) {
        return RunArchives(options, search, out, err, line);
    }
    const std::filesystem::path path(options.archives.front());
    TerminalPanes panes(err, path);
    panes.SetProgressLine(&line);
    CSearchController controller;
    controller.SetPanes(&panes);
    controller.SetFilePath(path);
    controller.LoadFromView(true);  // one search, then the process ends
    const bool started =
        options.decoded ? controller.StartDecodedSearch(path.filename().string(), options.search,
                                                        options.exact, options.kana)
                        : controller.StartSearch(path.filename().string(), search);
    if (!started) {
        return 2;
    }
    const std::uint64_t size = line.Shown() ? FileSizeOf(path) : 0;
    Drive(controller, line, ArchiveSpan{size, 0, size});
    if (panes.failed() || FailedState(controller.m_nState)) {
        return 2;
    }

    const int matches = panes.matches();
    if (options.exportFormat != ExportFormat::kNone) {
        std::vector<MailPlace> exported;
        AppendMatchingPlaces(controller, matches, exported);
        if (!Export(options, exported, err)) {
            return 2;
        }
    }
    if (matches == 0) {
        if (options.show == 0) {  // a body that does not exist prints nothing at all
            PrintListing(out, panes, options.json, DecodedQueryOf(controller));
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
    listing.Begin(panes, DecodedQueryOf(controller));
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
