// Showing the selected mail: its body after the first empty line, converted line by line,
// with the typed search string found left to right without overlap; an mbox mail's quoted
// From_ lines one '>' shorter.
#include "decode/mail_lines.h"
#include "engine/mail_text.h"
#include "engine/pattern_finder.h"
#include "engine/search_controller.h"
#include "headers/from_lines.h"

#include <utility>

namespace tarsel {

MailBody CSearchController::MailBodyOf(std::string mailText, std::string_view search) {
    MailBody body;
    const std::int64_t bodyStart = FindBodyStart(mailText);
    if (bodyStart < 0) {
        return body;  // no empty line: the mail is all header
    }
    const bool mbox = StartsWithFromLine(mailText);
    // The header is cut off in place, so a huge mail is not copied once more.
    mailText.erase(0, static_cast<std::size_t>(bodyStart));
    if (mbox) {
        UnquoteFromLines(mailText);
    }
    body.text = DecodeMailLines(std::move(mailText));
    if (search.empty()) {
        return body;
    }
    body.hitLength = search.size();
    const std::string_view all = body.text;
    std::size_t at = 0;
    while (at < all.size()) {
        const std::size_t p = FindFirstOccurrence(all.substr(at), search);
        if (p == std::string_view::npos) {
            break;
        }
        body.hits.push_back(at + p);
        at += p + search.size();
    }
    return body;
}

std::vector<BodyRun> CSearchController::BodyRunsOf(std::string_view mailText,
                                                   std::string_view search) {
    return MailBodyOf(std::string(mailText), search).Runs();
}

void CSearchController::ShowSelectedMail() {
    const int position = m_nPage * kPageRows + m_nSelRow;
    SearchState& state = *m_state;
    if (!m_bResultKnown || m_nSelRow < 0 || position >= ResultCount()) {
        return;
    }
    if (SeveralArchives()) {
        m_keptViewed[static_cast<std::size_t>(position)] = 1;
    } else {
        state.MarkViewed(position);
    }
    if (m_pPanes != nullptr) {
        m_pPanes->SetMailPosition(position + 1);
        m_pPanes->MarkRowViewed(m_nSelRow);
        if (m_pPanes->WantsMailBody()) {
            std::string text = SeveralArchives() ? KeptMailText(position)
                                                 : MailText(state, state.m_hits[position]);
            m_pPanes->ShowMailBody(m_bDecoded ? DecodedMailBodyOf(text, *m_query)
                                              : MailBodyOf(std::move(text), m_strSearch));
        }
    }
}

void CSearchController::SelectRow(int row) {
    if (row == m_nSelRow || m_bPhaseRunning || row < 0 || row >= kPageRows ||
        !PageExists(m_nPage) || m_nPage * kPageRows + row >= ResultCount()) {
        return;
    }
    m_nSelRow = row;
    ShowSelectedMail();
}

}  // namespace tarsel
