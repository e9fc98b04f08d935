// Printing a finished search as text or JSON (UTF-8) through the printer. A body comes last
// and is streamed in pieces, so a huge mail is never held once more as UTF-8.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/printer.h"
#include "cli/terminal_panes.h"
#include "query/query.h"

namespace tarsel::cli {

// The counters of one archive of a search of several.
struct ArchiveCounts {
    std::string path;  // as given
    int mails = 0;
    int hits = 0;
    int matches = 0;
};

// The counters and the rows, printed as the rows come: the JSON object stays open for a body
// and names the search's mode (decoded or raw).
class Listing {
  public:
    // rows: about how many rows will be listed, which decides how their texts are converted.
    Listing(Printer& out, bool json, int rows);
    // The counters of the panes.
    // query: the decoded search's query, named in JSON; null for a raw search.
    void Begin(const TerminalPanes& panes, const query::Query* query);
    // The totals of a search of several archives, and (in JSON) each archive's counters.
    void Begin(const ArchiveCounts& totals, const std::vector<ArchiveCounts>& archives,
               const query::Query* query);
    // One row; position counts from 1 across pages.
    void Row(int position, const HeaderRow& row);
    // The rows from position on, printed into text as Row would print them, on any thread;
    // starts: they are the listing's first rows. file: the archive of the rows, named in each
    // of them (a search of several archives), or empty.
    void PrintRows(std::string& text, int position, std::span<const HeaderRow> rows, bool starts,
                   std::string_view file = {}) const;
    // Rows printed by PrintRows, in their place.
    void TakeRows(std::string_view printed, int rows);
    void End();

  private:
    void BeginText(int mails, int hits, int matches);
    // The mode, and a decoded query's terms as understood.
    void JsonMode(const query::Query* query);
    // The three counters as JSON members, each after a comma and lineStart.
    void JsonCounts(std::string_view lineStart, int mails, int hits, int matches);
    // The conversion table when the texts go through it, else null.
    const Cp932Table* Table() const;
    // table: as Table() gives it.
    void PrintRow(Printer& out, bool first, int position, const HeaderRow& row,
                  std::string_view file, const Cp932Table* table) const;

    Printer& out_;
    bool json_;
    bool table_;  // the texts go through the conversion table
    int rows_ = 0;
};

// Begin, the rows the panes hold, End.
void PrintListing(Printer& out, const TerminalPanes& panes, bool json, const query::Query* query);
// The runs of the body, after the listing.
void PrintBody(Printer& out, const MailBody& body, bool json);
// Closes what PrintListing opened.
void EndResult(Printer& out, bool json);

}  // namespace tarsel::cli
