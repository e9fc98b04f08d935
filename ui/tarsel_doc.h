// The document behind the mail pane: it holds only the text the pane shows, which is never
// saved, so closing a window never asks about it.
#pragma once

#include <QTextDocument>
#include <functional>
#include <vector>

#include "engine/search_panes.h"
#include "ui/mail_document.h"

namespace tarsel {

class CTarselDoc : public QTextDocument {
    Q_OBJECT
  public:
    explicit CTarselDoc(QObject* parent = nullptr);

    // Asked before the window closes: the text never counts as modified.
    bool SaveModified();
    // Reads a text file as the pane's text: UTF-8 when the bytes are valid UTF-8, else
    // Shift-JIS. False when the file cannot be read.
    bool OnOpenDocument(const QString& path);
    // "Tarsel1" for the first untitled document, then the name of an opened file.
    QString Title() const { return m_title; }

    // Replaces the text with a mail body; see FillMailDocument.
    void ShowMailBody(MailBody body, const QTextCharFormat& format,
                      const std::function<bool()>& stop = {}, const MailBody& head = {});
    // The red runs of the shown mail, in order; they follow the user's edits of the text
    // (a run an edit cuts into stops being red).
    const std::vector<TextRun>& RedRuns() const { return m_redRuns; }
    void clear() override;

  private:
    void OnContentsChange(int position, int removed, int added);

    QString m_title;
    std::vector<TextRun> m_redRuns;
    bool m_bFilling = false;
};

}  // namespace tarsel
