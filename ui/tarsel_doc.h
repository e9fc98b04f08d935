// The document behind the mail pane: it holds only the text the pane shows, which is never
// saved, so closing a window never asks about it.
#pragma once

#include <QTextDocument>

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

  private:
    QString m_title;
};

}  // namespace tarsel
