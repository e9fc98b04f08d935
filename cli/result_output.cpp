// Printing a finished search as text or JSON. Everything the engine holds is Shift-JIS and
// is converted to UTF-8 here, at the edge.
#include "cli/result_output.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "decode/cp932.h"

namespace tarsel::cli {
namespace {

std::string Tabless(std::string text) {
    // A tab inside a field would break the columns of the text output.
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace

void PrintText(const TerminalPanes& panes, bool withBody, bool colour, std::ostream& out) {
    out << "全メール数 ：" << panes.mails() << " 通\n"
        << "該当個数 ：" << panes.hits() << " 個\n"
        << "該当メール数 ：" << panes.matches() << " 通\n";
    for (const ListedRow& listed : panes.rows()) {
        const HeaderRow& row = listed.row;
        out << listed.position << '\t' << Tabless(RowTextUtf8(row, row.sender)) << '\t'
            << Tabless(RowTextUtf8(row, row.subject)) << '\t' << Tabless(RowTextUtf8(row, row.date))
            << '\t' << row.address << '\n';
    }
    if (withBody) {
        out << '\n';
        panes.body().ForEachRun([&](std::string_view run, bool hit) {
            std::string text = panes.body().RunUtf8(run);
            text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
            if (hit && colour) {
                out << "\x1b[31m" << text << "\x1b[0m";
            } else {
                out << text;
            }
        });
        out << '\n';
    }
}

void PrintJson(const TerminalPanes& panes, bool withBody, std::ostream& out, bool decoded) {
    nlohmann::ordered_json result;
    result["mode"] = decoded ? "decoded" : "raw";
    result["mails"] = panes.mails();
    result["hits"] = panes.hits();
    result["matching"] = panes.matches();
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const ListedRow& listed : panes.rows()) {
        rows.push_back({{"position", listed.position},
                        {"sender", RowTextUtf8(listed.row, listed.row.sender)},
                        {"subject", RowTextUtf8(listed.row, listed.row.subject)},
                        {"date", RowTextUtf8(listed.row, listed.row.date)},
                        {"address", listed.row.address}});
    }
    result["rows"] = std::move(rows);
    if (withBody) {
        nlohmann::ordered_json body = nlohmann::ordered_json::array();
        panes.body().ForEachRun([&body, &panes](std::string_view run, bool hit) {
            body.push_back({{"text", panes.body().RunUtf8(run)}, {"hit", hit}});
        });
        result["body"] = std::move(body);
    }
    out << result.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

}  // namespace tarsel::cli
