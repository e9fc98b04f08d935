// What the decoded mode shows of one mail: the row's sender and subject in any charset, the
// header strip above the body, and the body's shown text parts (read with GMime, loaded on
// first use) with every occurrence of the query's words in red.
#include <memory>

#include "decode/cp932_table.h"
#include "engine/mail_text.h"
#include "engine/search_controller.h"
#include "headers/from_lines.h"
#include "mime/header_fields.h"
#include "mime/header_strip.h"
#include "mime/header_text.h"
#include "mime/query_search.h"
#include "mime/shown_texts.h"

namespace tarsel {

namespace {

// A matcher of the query's positive words that may stand in field, each on its own, marking
// them as body words do.
std::unique_ptr<mime::QueryMatcher> FieldWords(const query::Query& query, query::Field field) {
    query::Query words;
    words.folding = query.folding;
    words.exact = query.exact;
    for (const query::Term* term : query.PositiveWords()) {
        if (term->field == query::Field::kAny || term->field == field) {
            query::Term word = *term;
            word.field = query::Field::kBody;
            words.clauses.push_back({std::move(word)});
        }
    }
    return std::make_unique<mime::QueryMatcher>(std::move(words));
}

// Appends "label: value" and a line break to the strip, value's words red when marked; a
// field the mail does not have gets no line.
void AppendStripLine(MailBody& strip, const char* label, const std::string& value,
                     const mime::QueryMatcher* marked) {
    if (value.empty()) {
        return;
    }
    strip.text += label;
    strip.text += "\xEF\xBC\x9A";  // ：
    const std::size_t base = strip.text.size();
    strip.text += value;
    if (marked != nullptr) {
        std::vector<mime::QueryMatcher::Run> runs;
        marked->MarkBodyWords(value, runs);
        for (const mime::QueryMatcher::Run& run : runs) {
            strip.hits.push_back(base + run.offset);
            strip.hitLengths.push_back(run.length);
        }
    }
    strip.text += "\r\n";
}

}  // namespace

MailBody CSearchController::DecodedHeaderStripOf(std::string_view mailText,
                                                 const mime::QueryMatcher& query) {
    const mime::HeaderStrip fields = mime::HeaderStripOf(MailAfterMark(mailText));
    const auto from = FieldWords(query.Query(), query::Field::kFrom);
    const auto subject = FieldWords(query.Query(), query::Field::kSubject);
    MailBody strip;
    strip.utf8 = true;
    AppendStripLine(strip, "差出人", fields.from, from.get());
    AppendStripLine(strip, "宛先", fields.to, nullptr);
    AppendStripLine(strip, "Cc", fields.cc, nullptr);
    AppendStripLine(strip, "日付", fields.date, nullptr);
    AppendStripLine(strip, "件名", fields.subject, subject.get());
    std::string names;
    for (const std::string& name : fields.attachments) {
        names += names.empty() ? "" : ", ";
        names += name;
    }
    AppendStripLine(strip, "添付", names, nullptr);
    strip.text += "\r\n";
    return strip;
}

MailBody CSearchController::SelectedHeaderStrip() const {
    const int position = m_nPage * kPageRows + m_nSelRow;
    if (!m_bDecoded || m_query == nullptr || !m_bResultKnown || m_nSelRow < 0 ||
        position >= ResultCount()) {
        return {};
    }
    std::string scratch;
    const std::string_view text = SeveralArchives()
                                      ? std::string_view(scratch = KeptMailText(position))
                                      : MailView(*m_state, m_state->m_hits[position], scratch);
    return DecodedHeaderStripOf(text, *m_query);
}
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
