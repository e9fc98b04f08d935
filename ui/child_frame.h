// The document window: a horizontal splitter with the input pane on the left and, on the
// right, a vertical splitter of the result list, the progress pane and the mail pane. It
// gives every pane pointers to the other three and turns Alt+S, Alt+T, Alt+P, Alt+N and
// F3 / Shift+F3 into calls on the panes.
#pragma once

#include <QMdiSubWindow>

class QShortcut;
class QSplitter;

namespace tarsel {

class CInputView;
class CListView1;
class CProgView;
class CTarselView;

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
  public:
    explicit CChildFrame(QWidget* parent = nullptr);
    ~CChildFrame() override;

    // Alt+S: as the button "検索開始(&S)".
    void OnSearchStart();
    // Alt+P / Alt+N: as "<< (&P)" / "(&N) >>", when the page they lead to exists.
    void OnSearchBack();
    void OnSearchForward();
    // Alt+T: the whole search string selected and the caret in its field.
    void OnSearchString();
    // F3 / Shift+F3: the next / previous red run of the shown mail.
    void OnNextRun();
    void OnPreviousRun();
    void OnFindText();

    // The size the window takes when restored from maximised: what the four panes need.
    QSize UsableSize() const;

    QSplitter* m_wndMainSplitter = nullptr;
    QSplitter* m_wndRightSplitter = nullptr;
    CInputView* m_pInputView = nullptr;
    CListView1* m_pListView = nullptr;
    CProgView* m_pProgView = nullptr;
    CTarselView* m_pTarselView = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void OnCreateClient();
    void RestoreLayout();
    void SaveLayout() const;
    QShortcut* AddCommand(QKeyCombination key, void (CChildFrame::*handler)());

    bool m_bClosePending = false;  // a close waits for the driver's warning box to end
};

}  // namespace tarsel
