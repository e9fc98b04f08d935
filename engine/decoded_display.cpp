// What the decoded mode shows of one mail: the row's sender and subject in any charset, and
// the body's shown text parts (read with GMime, loaded on first use) with every occurrence of the
// query's words in red.
#include "decode/cp932_table.h"
#include "engine/search_controller.h"
#include "headers/from_lines.h"
#include "mime/header_fields.h"
#include "mime/header_text.h"
#include "mime/query_search.h"
#include "mime/shown_texts.h"

namespace tarsel {
MailBody CSearchController::DecodedMailBodyOf(std::string_view mailText,
                                              const mime::QueryMatcher& query) {
    MailBody body;
    body.utf8 = true;
    const auto holds = [&query](std::string_view text) { return query.BodyHolds(text); };
    std::string_view mail = MailAfterMark(mailText);
    std::string unquoted;
    if (StartsWithFromLine(mailText)) {
        // The mail as the mbox's writer was given it: quoted From_ lines one '>' shorter.
        unquoted.assign(mail);
        UnquoteFromLines(unquoted);
        mail = unquoted;
    }
    const mime::MailTexts texts = mime::ShownTextsOfMail(mail, mime::TextHolds(holds));
    std::vector<mime::QueryMatcher::Run> runs;
    for (const std::string& part : texts.parts) {
        if (!body.text.empty()) {
            body.text += "\r\n";  // parts are shown one below the other
        }
        const std::size_t base = body.text.size();
        body.text += part;
        // Within the part: a run never spans two parts.
        query.MarkBodyWords(part, runs);
        for (const mime::QueryMatcher::Run& run : runs) {
            body.hits.push_back(base + run.offset);
            body.hitLengths.push_back(run.length);
        }
    }
    return body;
}

HeaderRow CSearchController::DecodedHeaderRow(std::string_view mailText, std::int64_t mailStart) {
    HeaderRow row = ExtractHeaderRow(mailText, mailStart);
    // Our own encoded-word decoding, not GMime's: GMime joins the base64 texts of adjacent
    // words before decoding them, so a word padded with "=" ends a long folded subject early.
    std::string withLineFeeds;
    const std::string_view mail = mime::WithLineFeeds(MailAfterMark(mailText), withLineFeeds);
    const std::string_view headers = mime::SplitEntity(mail).headers;
    std::string_view value;
    row.sender = mime::FindField(headers, "From", value) ? mime::HeaderText(value) : "";
    row.subject = mime::FindField(headers, "Subject", value) ? mime::HeaderText(value) : "";
    row.date = Cp932ToUtf8Fast(row.date);
    row.utf8 = true;
    return row;
}

}  // namespace tarsel
