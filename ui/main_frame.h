// The main window: a multiple-document area holding the document window, and the Help menu.
#pragma once

#include <QMainWindow>

class QAction;
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
    // A new document window with its four panes, maximised in the area.
    CChildFrame* NewDocumentWindow();
    // The open document window, or nullptr once it has been closed.
    CChildFrame* ActiveChild() const;

    QMdiArea* m_mdiArea = nullptr;
    QMenu* m_menuHelp = nullptr;
    QAction* m_actionHelpFinder = nullptr;
    QAction* m_actionAbout = nullptr;
    QAction* m_actionOpen = nullptr;  // Ctrl+O, without a menu entry

  signals:
    void aboutRequested();
    void openRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void UpdateFrameTitle();
};

}  // namespace tarsel
