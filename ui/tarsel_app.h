// The application object: builds the main window with its one document window, carries out
// the command line, and serves the commands of the whole program (about, open).
#pragma once

#include <QApplication>
#include <memory>

class QSettings;

namespace tarsel {

class CMainFrame;
class CRecentFileList;

class CTarselApp : public QApplication {
    Q_OBJECT
  public:
    CTarselApp(int& argc, char** argv);
    ~CTarselApp() override;

    // Builds the windows for this command line (arguments[0] is the program). False when the
    // program should end at once, with ExitCode().
    bool InitInstance(const QStringList& arguments);
    int ExitCode() const { return m_nExitCode; }

    void OnAppAbout();
    // Ctrl+O: the file chosen in the file dialog becomes the file to search, as a dropped
    // file does.
    void OnFileOpen();
    bool OpenDocumentFile(const QString& path);

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    CRecentFileList& RecentFiles() { return *m_pRecentFiles; }

  private:
    std::unique_ptr<QSettings> m_pSettings;
    std::unique_ptr<CRecentFileList> m_pRecentFiles;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    int m_nExitCode = 0;
};

}  // namespace tarsel
