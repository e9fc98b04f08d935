// The main window: a multiple-document area holding the document window, and the Help menu.
#pragma once

#include <QMainWindow>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace tarsel {

class CChildFrame;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The size, place and maximised state of the last run, or the first run's size.
    void RestoreGeometry();
    // A new document window with its four panes and its own search, maximised in the area.
    CChildFrame* NewDocumentWindow();
    // The document window the user works in (the active one, else the one last active, else
    // any), or nullptr while none is open.
    CChildFrame* ActiveChild() const;
    // Every open document window, in the order they were opened.
    QList<CChildFrame*> DocumentWindows() const;

    QMdiArea* m_mdiArea = nullptr;
    QMenu* m_menuHelp = nullptr;
    QAction* m_actionHelpFinder = nullptr;
    QAction* m_actionAbout = nullptr;
    QAction* m_actionOpen = nullptr;      // Ctrl+O, without a menu entry
    QAction* m_actionNew = nullptr;       // Ctrl+N, without a menu entry
    QLabel* m_labelNoDocument = nullptr;  // how to open a window, while none is open

  signals:
    void aboutRequested();
    void openRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void UpdateFrameTitle();
};

}  // namespace tarsel
