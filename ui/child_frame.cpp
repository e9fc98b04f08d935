// The document window.
#include "ui/child_frame.h"

#include <QTimer>

#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>

#include "ui/input_view.h"
#include "ui/list_view.h"
#include "ui/prog_view.h"
#include "ui/tarsel_doc.h"
#include "ui/tarsel_view.h"

namespace tarsel {

namespace {

constexpr int kInputWidth = 100;
constexpr int kListHeight = 130;
constexpr int kProgressHeight = 30;
constexpr int kMinimumPane = 10;

}  // namespace

CChildFrame::CChildFrame(QWidget* parent) : QMdiSubWindow(parent) {
    setObjectName(QStringLiteral("CChildFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    OnCreateClient();

    // Every pane's pointers are in place before any pane's initial update.
    m_pTarselView->OnInitialUpdate();
    m_pProgView->OnInitialUpdate();
    m_pListView->OnInitialUpdate();
    m_pInputView->OnInitialUpdate();
    m_pTarselView->RefreshControlStates();

    AddCommand(Qt::ALT | Qt::Key_S, &CChildFrame::OnSearchStart);
    AddCommand(Qt::ALT | Qt::Key_P, &CChildFrame::OnSearchBack);
    AddCommand(Qt::ALT | Qt::Key_N, &CChildFrame::OnSearchForward);
    AddCommand(Qt::ALT | Qt::Key_T, &CChildFrame::OnSearchString);
}

CChildFrame::~CChildFrame() {
    // The panes are destroyed after this body; the work of a running phase must end first.
    if (m_pTarselView != nullptr) {
        m_pTarselView->Shutdown();
    }
}

void CChildFrame::OnCreateClient() {
    m_wndMainSplitter = new QSplitter(Qt::Horizontal, this);
    m_wndMainSplitter->setChildrenCollapsible(false);
    m_wndRightSplitter = new QSplitter(Qt::Vertical);
    m_wndRightSplitter->setChildrenCollapsible(false);

    m_pTarselView = new CTarselView;
    m_pProgView = new CProgView;
    m_pListView = new CListView1;
    m_pInputView = new CInputView;

    m_wndRightSplitter->addWidget(m_pListView);
    m_wndRightSplitter->addWidget(m_pProgView);
    m_wndRightSplitter->addWidget(m_pTarselView);
    m_wndMainSplitter->addWidget(m_pInputView);
    m_wndMainSplitter->addWidget(m_wndRightSplitter);
    m_wndRightSplitter->setMinimumSize(kMinimumPane, kMinimumPane);

    // The fixed panes keep their size when the window grows; the last of each column takes
    // the rest.
    m_wndMainSplitter->setStretchFactor(0, 0);
    m_wndMainSplitter->setStretchFactor(1, 1);
    m_wndRightSplitter->setStretchFactor(0, 0);
    m_wndRightSplitter->setStretchFactor(1, 0);
    m_wndRightSplitter->setStretchFactor(2, 1);
    m_wndMainSplitter->setSizes({kInputWidth, 1});
    m_wndRightSplitter->setSizes({kListHeight, kProgressHeight, 1});
    setWidget(m_wndMainSplitter);

    m_pInputView->m_pListView = m_pListView;
    m_pInputView->m_pProgView = m_pProgView;
    m_pInputView->m_pTarselView = m_pTarselView;
    m_pListView->m_pInputView = m_pInputView;
    m_pListView->m_pProgView = m_pProgView;
    m_pListView->m_pTarselView = m_pTarselView;
    m_pProgView->m_pInputView = m_pInputView;
    m_pProgView->m_pListView = m_pListView;
    m_pProgView->m_pTarselView = m_pTarselView;
    m_pTarselView->m_pInputView = m_pInputView;
    m_pTarselView->m_pListView = m_pListView;
    m_pTarselView->m_pProgView = m_pProgView;
}

QShortcut* CChildFrame::AddCommand(QKeyCombination key, void (CChildFrame::*handler)()) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, handler);
    return shortcut;
}

void CChildFrame::OnSearchStart() {
    if (!m_pTarselView->IsPhaseRunning()) {
        m_pInputView->OnStartSearch();
    }
}

void CChildFrame::OnSearchBack() {
    if (!m_pTarselView->IsPhaseRunning() && m_pTarselView->PageExists(m_pTarselView->m_nPage - 1)) {
        m_pListView->OnPrevPage();
    }
}

void CChildFrame::OnSearchForward() {
    if (!m_pTarselView->IsPhaseRunning() && m_pTarselView->PageExists(m_pTarselView->m_nPage + 1)) {
        m_pListView->OnNextPage();
    }
}

void CChildFrame::OnSearchString() {
    QLineEdit* edit = m_pInputView->m_editSearch;
    edit->selectAll();
    edit->setFocus(Qt::ShortcutFocusReason);
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    if (m_pTarselView->IsShowingWarning()) {
        // The driver waits under the box: the box goes first, and the window once the
        // driver has returned.
        event->ignore();
        if (!m_bClosePending) {
            m_bClosePending = true;
            connect(m_pTarselView, &CTarselView::warningsDismissed, this,
                    [this] { QTimer::singleShot(0, this, &QWidget::close); });
        }
        m_pTarselView->DismissWarnings();
        return;
    }
    m_pTarselView->Shutdown();
    m_pTarselView->GetDocument()->SaveModified();
    QMdiSubWindow::closeEvent(event);
}

}  // namespace tarsel
