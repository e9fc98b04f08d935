// What the decoded mode shows of one mail: the row's sender and subject in any charset, and
// the body's shown text parts (read with GMime, loaded on first use) with every occurrence of the
// string in red.
#include "decode/cp932_table.h"
#include "engine/pattern_finder.h"
#include "engine/search_controller.h"
#include "mime/header_fields.h"
#include "mime/header_text.h"
#include "mime/shown_texts.h"

namespace tarsel {
MailBody CSearchController::DecodedMailBodyOf(std::string_view mailText,
                                              std::string_view utf8Search) {
    MailBody body;
    body.utf8 = true;
    body.hitLength = utf8Search.size();
    const mime::MailTexts texts = mime::ShownTextsOfMail(MailAfterMark(mailText), utf8Search);
    for (const std::string& part : texts.parts) {
        if (!body.text.empty()) {
            body.text += "\r\n";  // parts are shown one below the other
        }
        const std::size_t base = body.text.size();
        body.text += part;
        // Left to right without overlap, within the part: a run never spans two parts.
        std::size_t at = 0;
        while (!utf8Search.empty() && at < part.size()) {
            const std::size_t p =
                FindFirstOccurrence(std::string_view(part).substr(at), utf8Search);
            if (p == std::string_view::npos) {
                break;
            }
            body.hits.push_back(base + at + p);
            at += p + utf8Search.size();
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
