#pragma once

#include <QFrame>

class QLineEdit;
class QPlainTextEdit;

namespace tarsel {

// A small bar over the top-right corner of the mail pane for finding any text of the shown
// mail, beside the red runs of the search: Enter finds the next occurrence, Shift+Enter the
// previous one (both wrap round the mail), Esc closes the bar and gives the focus back to
// the pane.
class CFindBar : public QFrame {
    Q_OBJECT
  public:
    explicit CFindBar(QPlainTextEdit* pane);

    // Shows the bar with its text selected, ready to be typed over.
    void Open();
    // Selects the next (or previous) occurrence of the bar's text and scrolls it into view;
    // false when the mail holds none.
    bool FindNext(bool forward);

    QLineEdit* m_editFind = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Place();

    QPlainTextEdit* m_pane;
};

}  // namespace tarsel
