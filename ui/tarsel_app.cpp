// The application object.
#include "ui/tarsel_app.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QSettings>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

#include "ui/child_frame.h"
#include "ui/close_request.h"
#include "ui/file_drop.h"
#include "ui/input_view.h"
#include "ui/launch_options.h"
#include "ui/main_frame.h"
#include "ui/recent_files.h"
#include "ui/screenshot.h"
#include "ui/tarsel_doc.h"
#include "ui/tarsel_view.h"
#include "ui/version_info_dlg.h"
#include "ui/window_texts.h"

namespace tarsel {

namespace {

constexpr const char* kInterfaceFace = "Noto Sans CJK JP";
constexpr int kInterfacePointSize = 9;

void Print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

}  // namespace

CTarselApp::CTarselApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QStringLiteral("Tarsel"));
    setApplicationName(QStringLiteral("tarsel"));
    // No display name: the platform would append it to every title ("警告 — Tarsel").
    setApplicationVersion(QString::fromUtf8(ui_text::kVersion));
    setWindowIcon(QIcon(QStringLiteral(":/res/tarsel.png")));
    // The interface is Japanese: its own face when installed, else the platform's choice.
    if (QFontDatabase::hasFamily(QString::fromUtf8(kInterfaceFace))) {
        setFont(QFont(QString::fromUtf8(kInterfaceFace), kInterfacePointSize));
    }
    // The toolkit's own texts (file dialog, context menus, standard buttons) in the
    // interface's language, whatever the locale; English where the catalogue is missing.
    auto* toolkit = new QTranslator(this);
    if (toolkit->load(QStringLiteral("qtbase_ja"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(toolkit);
    }
}

CTarselApp::~CTarselApp() {
    m_pMainFrame.reset();
    if (m_pRecentFiles) {
        m_pRecentFiles->WriteList();
    }
}

bool CTarselApp::InitInstance(const QStringList& arguments) {
    const LaunchOptions options = ParseLaunchOptions(arguments);
    if (!options.error.isEmpty()) {
        Print(stderr, EscapedForTerminal(options.error) + QLatin1Char('\n') + LaunchUsage());
        m_nExitCode = 2;
        return false;
    }
    if (options.showHelp || options.showVersion) {
        Print(stdout, options.showHelp ? LaunchUsage() : LaunchVersion());
        m_nExitCode = 0;
        return false;
    }

    m_pSettings = std::make_unique<QSettings>();
    m_pRecentFiles = std::make_unique<CRecentFileList>(*m_pSettings);
    m_pRecentFiles->ReadList();

    m_pMainFrame.reset();  // a second start in the same process replaces the windows
    m_pMainFrame = std::make_unique<CMainFrame>();
    connect(m_pMainFrame.get(), &CMainFrame::aboutRequested, this, &CTarselApp::OnAppAbout);
    connect(m_pMainFrame.get(), &CMainFrame::openRequested, this, &CTarselApp::OnFileOpen);
    m_pMainFrame->RestoreGeometry();
    CloseRequestFilter::InstallForDisplay();
    CChildFrame* child = m_pMainFrame->NewDocumentWindow();

    if (!options.document.isEmpty() && !OpenDocumentFile(options.document)) {
        Print(stderr,
              QStringLiteral("tarsel: cannot read %1\n").arg(EscapedForTerminal(options.document)));
        m_nExitCode = 2;
        return false;
    }
    m_pMainFrame->show();

    if (!options.mailFile.isEmpty()) {
        const QByteArray path = QFile::encodeName(QFileInfo(options.mailFile).absoluteFilePath());
        child->m_pInputView->OnDropFiles(std::filesystem::path(path.toStdString()));
    }
    if (options.startSearch) {
        child->m_pInputView->m_editSearch->setText(options.search);
        // Started from the event loop, so that a warning box has its window behind it.
        QTimer::singleShot(0, child, [child] { child->OnSearchStart(); });
    }
    if (!options.screenshot.isEmpty()) {
        SaveScreenshotWhenShown(m_pMainFrame.get(), child, options.screenshot);
    }
    return true;
}

void CTarselApp::OnAppAbout() {
    CVersionInfoDlg dialog(m_pMainFrame.get());
    dialog.exec();
}

void CTarselApp::OnFileOpen() {
    CChildFrame* child = m_pMainFrame ? m_pMainFrame->ActiveChild() : nullptr;
    if (child == nullptr || child->m_pTarselView->IsPhaseRunning()) {
        return;  // nothing to search in, or a drop would be refused now as well
    }
    QFileDialog dialog(m_pMainFrame.get());
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    // The document window may have gone while the chooser was open.
    child = m_pMainFrame ? m_pMainFrame->ActiveChild() : nullptr;
    if (child != nullptr) {
        std::vector<std::filesystem::path> paths;
        for (const QString& file : dialog.selectedFiles()) {
            paths.emplace_back(QFile::encodeName(file).toStdString());
        }
        child->m_pInputView->OnDropFiles(ArchivesOf(paths));
    }
}

bool CTarselApp::OpenDocumentFile(const QString& path) {
    CChildFrame* child = m_pMainFrame ? m_pMainFrame->ActiveChild() : nullptr;
    if (child == nullptr) {
        return false;  // the document window has been closed: nothing to show the text in
    }
    if (!child->m_pTarselView->GetDocument()->OnOpenDocument(path)) {
        return false;
    }
    m_pRecentFiles->Add(path);
    m_pRecentFiles->WriteList();
    return true;
}

}  // namespace tarsel
