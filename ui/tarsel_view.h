// The mail pane: shows the body of the selected matching mail with every occurrence of the
// search string in red. It is also the hub of the search: it is the search controller (the
// search members and the phases), it carries the driver's 100 ms timer (progress, and the
// fallback poll) and handles the end of a phase as soon as the last unit wakes it, and it is
// the panes' side of the driver, passing what the engine reports on to the other three panes.
#pragma once

#include <QFont>
#include <QPlainTextEdit>
#include <QTimer>

#include "engine/search_controller.h"
#include "engine/search_panes.h"

class QPainter;
class QTextBlock;

namespace tarsel {

class CFindBar;
class CInputView;
class CListView1;
class CProgView;
class CTarselDoc;

class CTarselView : public QPlainTextEdit, public CSearchController, public SearchPanes {
    Q_OBJECT
  public:
    explicit CTarselView(QWidget* parent = nullptr);
    ~CTarselView() override;

    CTarselDoc* GetDocument() const { return m_pDocument; }

    // Runs once, after the frame has set the pane pointers: starts the timer and takes the
    // wake at the end of each phase.
    void OnInitialUpdate();
    // Before the frame goes: stops the timer and the wakes and waits for the running phase's
    // work units, so that nothing is destroyed under them.
    void Shutdown();
    // Enables or disables the start and page controls as a running phase requires.
    void RefreshControlStates();
    void ClearMailText();
    // True while a warning box of the driver is open: the driver is then on the stack below
    // the box's event loop, and the pane must outlive it.
    bool IsShowingWarning() const { return m_nWarningDepth > 0; }
    // Closes the open warning boxes as if OK had been pressed.
    void DismissWarnings();

    // F3 / Shift+F3: selects the next / previous red run after / before the selection (the
    // last / first one when there is none) and scrolls it into view, the focus staying where
    // it is.
    void GoToRedRun(bool forward);

    // The face of the mail text: a monospace CJK face at 10 points.
    static QFont MailFont();

    // Ctrl+F: any other text of the shown mail.
    CFindBar* m_pFindBar = nullptr;
    CInputView* m_pInputView = nullptr;
    CListView1* m_pListView = nullptr;
    CProgView* m_pProgView = nullptr;

    // The panes' side of the driver.
    void SetCounters(int mails, int hits, int matches) override;
    void ShowPhaseIcon(PhaseIcon icon) override;
    void SetProgress(int percent) override;
    void ShowWarning(const std::string& message) override;
    void ResetForNewSearch() override;
    void ResetForNewFile() override;
    void ClearResultList() override;
    void SetPageButtons(bool previous, bool next) override;
    void ShowPageRows(const std::vector<HeaderRow>& rows, const std::vector<bool>& viewed) override;
    void SetMailPosition(int position) override;
    void MarkRowViewed(int row) override;
    void ShowMailBody(MailBody body) override;
    void FocusResultList() override;

  signals:
    // The driver has handled the end of a phase (emitted after its actions).
    void phaseHandled();
    // The last open warning box has been closed and the driver has gone on.
    void warningsDismissed();

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void PaintRedRuns(QPainter& painter, const QTextBlock& block, QPointF origin,
                      const QRect& area);
    // The red runs before the caret (the selected run counting), shown in the list pane.
    void ShowRunPosition();
    void OnTimerTick();
    // Called on the worker that finishes a phase: queues a tick onto the pane's thread.
    static void WakeFromWorker(void* view);
    Q_INVOKABLE void OnPhaseEndWake();

    CTarselDoc* m_pDocument = nullptr;
    QTimer m_timer;
    bool m_bWakeable = false;  // from the initial update until shutdown
    QFont m_mailFont;
    int m_nWarningDepth = 0;  // warning boxes open (a box's loop may run the driver again)
};

}  // namespace tarsel
