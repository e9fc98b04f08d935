// The main window.
#include "ui/main_frame.h"

#include <QMdiSubWindow>

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>

#include "ui/child_frame.h"
#include "ui/tarsel_doc.h"
#include "ui/tarsel_view.h"
#include "ui/window_texts.h"

namespace tarsel {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowIcon(QIcon(QStringLiteral(":/res/tarsel.png")));
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setViewMode(QMdiArea::SubWindowView);
    setCentralWidget(m_mdiArea);

    m_menuHelp = menuBar()->addMenu(QString::fromUtf8(ui_text::kHelpMenu));
    // No help text is installed; the entry stays in its place, greyed.
    m_actionHelpFinder = m_menuHelp->addAction(QString::fromUtf8(ui_text::kHelpFinder));
    m_actionHelpFinder->setEnabled(false);
    m_menuHelp->addSeparator();
    m_actionAbout = m_menuHelp->addAction(QString::fromUtf8(ui_text::kAboutWithoutDocument));
    connect(m_actionAbout, &QAction::triggered, this, &CMainFrame::aboutRequested);

    m_actionOpen = new QAction(this);
    m_actionOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_actionOpen->setShortcutContext(Qt::WindowShortcut);
    addAction(m_actionOpen);
    connect(m_actionOpen, &QAction::triggered, this, &CMainFrame::openRequested);

    // Closing the last document window must not strand the user: a new one is a key away.
    m_actionNew = new QAction(this);
    m_actionNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    m_actionNew->setShortcutContext(Qt::WindowShortcut);
    addAction(m_actionNew);
    connect(m_actionNew, &QAction::triggered, this, [this] { NewDocumentWindow(); });

    // In the area's own layout, which manages only the hint: the document windows stay free.
    m_labelNoDocument = new QLabel(QString::fromUtf8(ui_text::kNoDocumentHint));
    m_labelNoDocument->setAlignment(Qt::AlignCenter);
    m_labelNoDocument->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* hintLayout = new QGridLayout(m_mdiArea->viewport());
    hintLayout->addWidget(m_labelNoDocument, 0, 0);

    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::UpdateFrameTitle);
    UpdateFrameTitle();
}

namespace {
const QString kGeometryKey = QStringLiteral("Window/Geometry");
constexpr QSize kFirstSize(1000, 700);
// The most of the screen's free area a window takes that has no remembered place, or whose
// place no longer fits: the window manager's own decorations and a margin stay in view.
constexpr double kMostOfScreen = 0.9;
}  // namespace

// Size, place and maximised state come back from the last run, beside the recent-file list.
// A screen that has shrunk since (another monitor, a larger scale or font) gets the window
// fitted to it: the first run's size is at most most of the screen.
void CMainFrame::RestoreGeometry() {
    const bool restored = restoreGeometry(QSettings().value(kGeometryKey).toByteArray());
    const QRect area = screen()->availableGeometry();
    if (restored && (isMaximized() || area.contains(frameGeometry()))) {
        return;
    }
    const QSize decorations = frameGeometry().size() - geometry().size();
    const QSize most = area.size() * kMostOfScreen - decorations;
    const QSize size = restored ? this->size().boundedTo(most) : kFirstSize.boundedTo(most);
    QRect place(QPoint(), size);
    place.moveCenter(area.center());
    setGeometry(place);
}

CMainFrame::~CMainFrame() {
    QSettings().setValue(kGeometryKey, saveGeometry());
    // The area and its windows go after this body; their last signals find no frame title
    // to update.
    for (QMdiSubWindow* window : m_mdiArea->subWindowList()) {
        window->disconnect(this);
    }
    m_mdiArea->disconnect(this);
}

CChildFrame* CMainFrame::NewDocumentWindow() {
    auto* child = new CChildFrame;
    m_mdiArea->addSubWindow(child);
    // Un-maximising gives the window this size rather than the little it would take alone.
    child->resize(child->UsableSize());
    connect(child, &QMdiSubWindow::windowStateChanged, this, &CMainFrame::UpdateFrameTitle);
    connect(child, &QObject::destroyed, this, &CMainFrame::UpdateFrameTitle, Qt::QueuedConnection);
    child->showMaximized();
    m_mdiArea->setActiveSubWindow(child);
    UpdateFrameTitle();
    return child;
}

CChildFrame* CMainFrame::ActiveChild() const {
    if (auto* current = qobject_cast<CChildFrame*>(m_mdiArea->currentSubWindow())) {
        return current;
    }
    const QList<CChildFrame*> windows = DocumentWindows();
    return windows.isEmpty() ? nullptr : windows.front();
}

QList<CChildFrame*> CMainFrame::DocumentWindows() const {
    QList<CChildFrame*> children;
    for (QMdiSubWindow* window : m_mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        // A window being destroyed is no longer one of ours.
        if (auto* child = qobject_cast<CChildFrame*>(window)) {
            children << child;
        }
    }
    return children;
}

// "Tarsel", and while the document window is not maximised also its document's title; the
// about entry has a blank before "(&A)" while a document window is open.
void CMainFrame::UpdateFrameTitle() {
    CChildFrame* child = ActiveChild();
    m_labelNoDocument->setVisible(child == nullptr);
    QString title = QString::fromUtf8(ui_text::kAppTitle);
    if (child != nullptr && !child->isMaximized()) {
        title += QStringLiteral(" - ") + child->m_pTarselView->GetDocument()->Title();
    }
    setWindowTitle(title);
    m_actionAbout->setText(QString::fromUtf8(child != nullptr ? ui_text::kAboutWithDocument
                                                              : ui_text::kAboutWithoutDocument));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Each document window waits for its running work before it goes (its own close).
    m_mdiArea->closeAllSubWindows();
    // A document window whose driver is under a warning box closes a little later; the main
    // window follows it then.
    for (QMdiSubWindow* window : m_mdiArea->subWindowList()) {
        if (window->isVisible()) {
            event->ignore();
            connect(
                window, &QObject::destroyed, this, &QWidget::close,
                static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
            return;
        }
    }
    event->accept();
}

}  // namespace tarsel
