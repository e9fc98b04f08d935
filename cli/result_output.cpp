// Printing a finished search as text or JSON. Everything the engine holds is Shift-JIS and
// is converted to UTF-8 here, at the edge, a piece at a time.
#include "cli/result_output.h"

#include <algorithm>
#include <string>

#include "decode/cp932_table.h"

namespace tarsel::cli {
namespace {

constexpr std::size_t kPieceSize = 64 * 1024;

// Cuts the run into pieces of about kPieceSize and gives each to visit as UTF-8. A cut falls
// just after a byte below 0x40, which is a character of its own in Shift-JIS and UTF-8 alike
// and never the second byte of a pair, so the pieces convert exactly as the whole run would.
template <class Visit>
void ForEachPiece(std::string_view run, bool utf8, Visit&& visit) {
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
        if (utf8) {
            visit(piece);
        } else {
            thread_local std::string converted;
            converted.clear();
            Cp932Table::Get().Append(piece, converted);
            visit(std::string_view(converted));
        }
        run.remove_prefix(cut);
    }
}

// A field of a row as UTF-8, converted into one buffer that every field reuses.
std::string_view FieldUtf8(const HeaderRow& row, const std::string& text) {
    if (row.utf8) {
        return text;
    }
    thread_local std::string converted;
    converted.clear();
    Cp932Table::Get().Append(text, converted);
    return converted;
}

void JsonMember(Printer& out, std::string_view indent, std::string_view name, const HeaderRow& row,
                const std::string& text) {
    out.Own(indent);
    out.JsonString(name);
    out.Own(": ");
    out.JsonString(FieldUtf8(row, text));
    out.Own(",\n");
}

void PrintJsonListing(Printer& out, const TerminalPanes& panes, bool decoded) {
    out.Own("{\n  \"mode\": ");
    out.JsonString(decoded ? "decoded" : "raw");
    out.Own(",\n  \"mails\": ");
    out.Number(panes.mails());
    out.Own(",\n  \"hits\": ");
    out.Number(panes.hits());
    out.Own(",\n  \"matching\": ");
    out.Number(panes.matches());
    out.Own(",\n  \"rows\": [");
    bool first = true;
    for (const ListedRow& listed : panes.rows()) {
        out.Own(first ? "\n    {\n      \"position\": " : ",\n    {\n      \"position\": ");
        first = false;
        out.Number(listed.position);
        out.Own(",\n");
        JsonMember(out, "      ", "sender", listed.row, listed.row.sender);
        JsonMember(out, "      ", "subject", listed.row, listed.row.subject);
        JsonMember(out, "      ", "date", listed.row, listed.row.date);
        out.Own("      \"address\": ");
        out.JsonString(listed.row.address);
        out.Own("\n    }");
    }
    out.Own(first ? "]" : "\n  ]");
}

void PrintTextListing(Printer& out, const TerminalPanes& panes) {
    out.Own("全メール数 ：");
    out.Number(panes.mails());
    out.Own(" 通\n該当個数 ：");
    out.Number(panes.hits());
    out.Own(" 個\n該当メール数 ：");
    out.Number(panes.matches());
    out.Own(" 通\n");
    for (const ListedRow& listed : panes.rows()) {
        const HeaderRow& row = listed.row;
        out.Number(listed.position);
        for (const std::string* field : {&row.sender, &row.subject, &row.date}) {
            out.Own("\t");
            out.Field(FieldUtf8(row, *field));
        }
        out.Own("\t");
        out.Field(row.address);
        out.Own("\n");
    }
}

}  // namespace

void PrintListing(Printer& out, const TerminalPanes& panes, bool json, bool decoded) {
    if (json) {
        PrintJsonListing(out, panes, decoded);
    } else {
        PrintTextListing(out, panes);
    }
}

void PrintBody(Printer& out, const MailBody& body, bool json) {
    if (!json) {
        out.Own("\n");
        body.ForEachRun([&](std::string_view run, bool hit) {
            ForEachPiece(run, body.utf8, [&](std::string_view utf8) { out.BodyPiece(utf8, hit); });
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
        ForEachPiece(run, body.utf8, [&](std::string_view utf8) { out.JsonPiece(utf8); });
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
