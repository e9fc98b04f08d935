// Printing a finished search as text or JSON. Everything the engine holds is Shift-JIS and
// is converted to UTF-8 here, at the edge, a piece at a time.
#include "cli/result_output.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "decode/cp932.h"
#include "decode/cp932_table.h"

namespace tarsel::cli {
namespace {

constexpr std::size_t kPieceSize = 64 * 1024;
// The conversion table costs about as much to make as converting half a megabyte, or some
// two thousand rows, through the converter: smaller outputs are converted directly.
constexpr std::size_t kTableWorthBytes = 512 * 1024;
constexpr int kTableWorthRows = 2000;

// The UTF-8 form of cp932, through the table when it pays, in a buffer each thread keeps.
std::string_view Utf8Of(std::string_view cp932, bool table) {
    thread_local std::string converted;
    if (table) {
        return Cp932Table::Get().Convert(cp932, converted);
    }
    converted = Cp932ToUtf8(cp932);
    return converted;
}

// Cuts the run into pieces of about kPieceSize and gives each to visit as UTF-8. A cut falls
// just after a byte below 0x40, which is a character of its own in Shift-JIS and UTF-8 alike
// and never the second byte of a pair, so the pieces convert exactly as the whole run would.
template <class Visit>
void ForEachPiece(std::string_view run, bool utf8, bool table, Visit&& visit) {
    while (!run.empty()) {
        std::size_t cut = run.size();
        if (cut > kPieceSize) {
            const auto standalone = [](char c) { return static_cast<unsigned char>(c) < 0x40; };
            const auto window = run.substr(0, kPieceSize);
            const auto back = std::find_if(window.rbegin(), window.rend(), standalone);
            if (back != window.rend()) {
                cut = static_cast<std::size_t>(window.rend() - back);
            } else {
                const auto ahead = std::find_if(run.begin() + kPieceSize, run.end(), standalone);
                cut = ahead == run.end() ? run.size() : ahead - run.begin() + 1;
            }
        }
        const std::string_view piece = run.substr(0, cut);
        visit(utf8 ? piece : Utf8Of(piece, table));
        run.remove_prefix(cut);
    }
}

// A field of a row as UTF-8, converted into one buffer that every field reuses. What the
// conversion gives is well-formed UTF-8; a decoded row's text is taken as it comes.
std::string_view FieldUtf8(const HeaderRow& row, const std::string& text, bool table) {
    return row.utf8 ? std::string_view(text) : Utf8Of(text, table);
}

// A field of a row as a JSON string or a text column. Through the table (null: through the
// converter), its CP932 text is converted straight into the output.
void PrintField(Printer& out, const HeaderRow& row, const std::string& text,
                const Cp932Table* table, bool json) {
    if (table != nullptr && !row.utf8) {
        if (json) {
            out.JsonCp932String(text, *table);
        } else {
            out.Cp932Field(text, *table);
        }
    } else if (json) {
        out.JsonString(FieldUtf8(row, text, table != nullptr), !row.utf8);
    } else {
        out.Field(FieldUtf8(row, text, table != nullptr), !row.utf8);
    }
}

char* PutText(char* to, std::string_view text) {
    std::memcpy(to, text.data(), text.size());
    return to + text.size();
}

// A literal of the row's frame: its length is known where it is written.
template <std::size_t N>
char* PutLiteral(char* to, const char (&text)[N]) {
    std::memcpy(to, text, N - 1);
    return to + (N - 1);
}

// Room for what a row's frame adds to its fields: the JSON names and indents, the position.
constexpr std::size_t kRowFrame = 160;

// A row's three CP932 fields, in the order they are written.
std::array<const std::string*, 3> RowFields(const HeaderRow& row) {
    return {&row.sender, &row.subject, &row.date};
}

// The room for the rest of a row from its field `from` on (0 to 3: the address alone).
std::size_t RowRoom(const HeaderRow& row, int from) {
    std::size_t room = kRowFrame + row.address.size();
    const auto fields = RowFields(row);
    for (int field = from; field < 3; ++field) {
        room += Cp932Table::RoomFor(fields[static_cast<std::size_t>(field)]->size());
    }
    return room;
}

// Writes the field at to, in the room there, when nothing in it needs escaping; else keeps
// what is written up to to and lets the printer escape the field. Returns where the row goes
// on, with room for the rest of it from the field after.
char* PutRowField(Printer& out, char* to, const HeaderRow& row, int field, const Cp932Table& table,
                  bool json) {
    const std::string& text = *RowFields(row)[static_cast<std::size_t>(field)];
    if (char* const end = table.WriteUtf8Plain(text, to, json)) {
        return end;
    }
    out.Keep(to);
    out.Cp932Escaped(text, table, json);
    return out.Room(RowRoom(row, field + 1));
}

// A row of CP932 fields, written into the printer's buffer as the members below would write
// it, the frame and the fields one after another without a look at the room between them:
// written member by member, a row cost as much as converting its fields. False, with nothing
// written, for a row that does not fit the buffer at once.
bool PutRowAtOnce(Printer& out, bool json, bool first, int position, const HeaderRow& row,
                  const Cp932Table& table) {
    char* to = out.Room(RowRoom(row, 0));
    if (to == nullptr) {
        return false;
    }
    if (json) {
        to = first ? PutLiteral(to, "\n    {\n      \"position\": ")
                   : PutLiteral(to, ",\n    {\n      \"position\": ");
        to = std::to_chars(to, to + kRowFrame, position).ptr;
        to = PutLiteral(to, ",\n      \"sender\": \"");
        to = PutRowField(out, to, row, 0, table, true);
        to = PutLiteral(to, "\",\n      \"subject\": \"");
        to = PutRowField(out, to, row, 1, table, true);
        to = PutLiteral(to, "\",\n      \"date\": \"");
        to = PutRowField(out, to, row, 2, table, true);
        to = PutLiteral(to, "\",\n      \"address\": \"");
        to = PutText(to, row.address);
        out.Keep(PutLiteral(to, "\"\n    }"));
        return true;
    }
    to = std::to_chars(to, to + kRowFrame, position).ptr;
    for (int field = 0; field < 3; ++field) {
        to = PutRowField(out, PutLiteral(to, "\t"), row, field, table, false);
    }
    to = PutText(PutLiteral(to, "\t"), row.address);
    out.Keep(PutLiteral(to, "\n"));
    return true;
}

// One member of a row: start is its indent, quoted name and colon, written as they are.
void JsonMember(Printer& out, std::string_view start, const HeaderRow& row, const std::string& text,
                const Cp932Table* table) {
    out.Own(start);
    PrintField(out, row, text, table, true);
    out.Own(",\n");
}

}  // namespace

Listing::Listing(Printer& out, bool json, int rows)
    : out_(out), json_(json), table_(rows >= kTableWorthRows) {}

void Listing::JsonMode(const query::Query* query) {
    out_.Own("{\n  \"mode\": ");
    out_.JsonString(query != nullptr ? "decoded" : "raw");
    if (query == nullptr) {
        return;
    }
    static constexpr std::string_view kFields[] = {"any", "subject", "from", "body", "date"};
    // A clause per element, each a list of the terms that OR joins.
    out_.Own(",\n  \"query\": [");
    for (std::size_t c = 0; c < query->clauses.size(); ++c) {
        out_.Own(c == 0 ? "[" : ", [");
        for (std::size_t t = 0; t < query->clauses[c].size(); ++t) {
            const query::Term& term = query->clauses[c][t];
            out_.Own(t == 0 ? "{\"field\": " : ", {\"field\": ");
            out_.JsonString(kFields[static_cast<std::size_t>(term.field)]);
            out_.Own(term.excluded ? ", \"excluded\": true, \"text\": "
                                   : ", \"excluded\": false, \"text\": ");
            out_.JsonString(term.text);
            out_.Own("}");
        }
        out_.Own("]");
    }
    out_.Own("]");
}

void Listing::Begin(const TerminalPanes& panes, const query::Query* query) {
    if (json_) {
        JsonMode(query);
        JsonCounts("\n  ", panes.mails(), panes.hits(), panes.matches());
        out_.Own(",\n  \"rows\": [");
        return;
    }
    BeginText(panes.mails(), panes.hits(), panes.matches());
}

void Listing::JsonCounts(std::string_view lineStart, int mails, int hits, int matches) {
    const std::pair<std::string_view, int> counts[] = {
        {"\"mails\": ", mails}, {"\"hits\": ", hits}, {"\"matching\": ", matches}};
    for (const auto& [key, count] : counts) {
        out_.Own(",");
        out_.Own(lineStart);
        out_.Own(key);
        out_.Number(count);
    }
}

void Listing::BeginText(int mails, int hits, int matches) {
    out_.Own("全メール数 ：");
    out_.Number(mails);
    out_.Own(" 通\n該当個数 ：");
    out_.Number(hits);
    out_.Own(" 個\n該当メール数 ：");
    out_.Number(matches);
    out_.Own(" 通\n");
}

void Listing::Begin(const ArchiveCounts& totals, const std::vector<ArchiveCounts>& archives,
                    const query::Query* query) {
    if (!json_) {
        BeginText(totals.mails, totals.hits, totals.matches);
        return;
    }
    JsonMode(query);
    JsonCounts("\n  ", totals.mails, totals.hits, totals.matches);
    out_.Own(",\n  \"archives\": [");
    bool first = true;
    for (const ArchiveCounts& archive : archives) {
        out_.Own(first ? "\n    {\n      \"path\": " : ",\n    {\n      \"path\": ");
        first = false;
        out_.JsonString(archive.path);
        JsonCounts("\n      ", archive.mails, archive.hits, archive.matches);
        out_.Own("\n    }");
    }
    out_.Own(first ? "],\n  \"rows\": [" : "\n  ],\n  \"rows\": [");
}

void Listing::Row(int position, const HeaderRow& row) {
    PrintRow(out_, rows_ == 0, position, row, {}, Table());
    ++rows_;
}

void Listing::PrintRows(std::string& text, int position, std::span<const HeaderRow> rows,
                        bool starts, std::string_view file) const {
    Printer out(text);
    bool first = starts;
    const Cp932Table* const table = Table();
    for (const HeaderRow& row : rows) {
        PrintRow(out, first, position++, row, file, table);
        first = false;
    }
    out.Flush();
}

void Listing::TakeRows(std::string_view printed, int rows) {
    out_.Own(printed);
    rows_ += rows;
}

const Cp932Table* Listing::Table() const {
    return table_ ? &Cp932Table::Get() : nullptr;
}

void Listing::PrintRow(Printer& out, bool first, int position, const HeaderRow& row,
                       std::string_view file, const Cp932Table* table) const {
    if (table != nullptr && !row.utf8 && file.empty() &&
        PutRowAtOnce(out, json_, first, position, row, *table)) {
        return;
    }
    if (json_) {
        out.Own(first ? "\n    {\n" : ",\n    {\n");
        if (!file.empty()) {
            out.Own("      \"file\": ");
            out.JsonString(file);
            out.Own(",\n");
        }
        out.Own("      \"position\": ");
        out.Number(position);
        out.Own(",\n");
        JsonMember(out, "      \"sender\": ", row, row.sender, table);
        JsonMember(out, "      \"subject\": ", row, row.subject, table);
        JsonMember(out, "      \"date\": ", row, row.date, table);
        // The address is the program's own text ("0x" and hex digits), written as it is.
        out.Own("      \"address\": \"");
        out.Own(row.address);
        out.Own("\"\n    }");
    } else {
        if (!file.empty()) {
            out.Field(file);
            out.Own("\t");
        }
        out.Number(position);
        for (const std::string* field : {&row.sender, &row.subject, &row.date}) {
            out.Own("\t");
            PrintField(out, row, *field, table, false);
        }
        out.Own("\t");
        out.Own(row.address);
        out.Own("\n");
    }
}

void Listing::End() {
    if (json_) {
        out_.Own(rows_ == 0 ? "]" : "\n  ]");
    }
}

void PrintListing(Printer& out, const TerminalPanes& panes, bool json, const query::Query* query) {
    Listing listing(out, json, static_cast<int>(panes.rows().size()));
    listing.Begin(panes, query);
    for (const ListedRow& listed : panes.rows()) {
        listing.Row(listed.position, listed.row);
    }
    listing.End();
}

void PrintBody(Printer& out, const MailBody& body, bool json) {
    const bool table = body.text.size() >= kTableWorthBytes;
    if (!json) {
        out.Own("\n");
        body.ForEachRun([&](std::string_view run, bool hit) {
            ForEachPiece(run, body.utf8, table,
                         [&](std::string_view utf8) { out.BodyPiece(utf8, hit); });
        });
        out.EndBody();
        out.Own("\n");
        return;
    }
    out.Own(",\n  \"body\": [");
    bool first = true;
    body.ForEachRun([&](std::string_view run, bool hit) {
        out.Own(first ? "\n    {\n      \"text\": \"" : ",\n    {\n      \"text\": \"");
        first = false;
        ForEachPiece(run, body.utf8, table, [&](std::string_view utf8) { out.JsonPiece(utf8); });
        out.Own(hit ? "\",\n      \"hit\": true\n    }" : "\",\n      \"hit\": false\n    }");
    });
    out.Own(first ? "]" : "\n  ]");
}

void EndResult(Printer& out, bool json) {
    if (json) {
        out.Own("\n}\n");
    }
}

}  // namespace tarsel::cli
