// Showing the selected mail: its body after the first blank line, converted line by line,
// with the typed search string found left to right without overlap.
#include "decode/mail_lines.h"
#include "engine/mail_text.h"
#include "engine/pattern_finder.h"
#include "engine/search_controller.h"

namespace tarsel {

std::vector<BodyRun> CSearchController::BodyRunsOf(std::string_view mailText,
                                                   std::string_view search) {
    std::vector<BodyRun> runs;
    const std::int64_t headerEnd = FindHeaderEnd(mailText);
    if (headerEnd < 0) {
        return runs;  // no blank line: nothing of the mail is shown
    }
    const std::string body =
        DecodeMailLines(std::string(mailText.substr(static_cast<std::size_t>(headerEnd) + 4)));
    std::string_view rest = body;
    while (!search.empty()) {
        const std::size_t p = FindFirstOccurrence(rest, search);
        if (p == std::string_view::npos) {
            break;
        }
        if (p > 0) {
            runs.push_back(BodyRun{std::string(rest.substr(0, p)), false});
        }
        runs.push_back(BodyRun{std::string(search), true});
        rest.remove_prefix(p + search.size());
    }
    if (!rest.empty()) {
        runs.push_back(BodyRun{std::string(rest), false});
    }
    return runs;
}

void CSearchController::ShowSelectedMail() {
    const int position = m_nPage * kPageRows + m_nSelRow;
    if (!m_bResultKnown || m_nSelRow < 0 || position >= g_hitCount.load()) {
        return;
    }
    g_viewedFlags[position] = 1;
    if (m_pPanes != nullptr) {
        m_pPanes->SetMailPosition(position + 1);
        m_pPanes->MarkRowViewed(m_nSelRow);
        m_pPanes->ShowMailBody(BodyRunsOf(MailText(g_hits[position]), m_strSearch));
    }
}

void CSearchController::SelectRow(int row) {
    if (row == m_nSelRow || m_bPhaseRunning || row < 0 || row >= kPageRows ||
        !PageExists(m_nPage) || m_nPage * kPageRows + row >= g_hitCount.load()) {
        return;
    }
    m_nSelRow = row;
    ShowSelectedMail();
}

}  // namespace tarsel
