// The document window.
#include "ui/child_frame.h"

#include <QTimer>

#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTreeWidget>

#include "ui/dialog_units.h"
#include "ui/find_bar.h"
#include "ui/input_view.h"
#include "ui/list_view.h"
#include "ui/mail_saving.h"
#include "ui/prog_view.h"
#include "ui/tarsel_doc.h"
#include "ui/tarsel_view.h"

namespace tarsel {

namespace {

constexpr int kInputWidth = 100;
constexpr int kListHeight = 130;
constexpr int kProgressHeight = 30;
constexpr int kMinimumPane = 10;
// What a usable document window holds, in dialog units of the panes' font: the input form
// (as high as its controls go), the list pane's row of controls; and in pixels a few lines of
// mail.
constexpr int kInputFormWidth = 85;
constexpr int kListFormWidth = 246;
constexpr int kMailLinesHeight = 120;

const QString kColumnsKey = QStringLiteral("Window/Columns");
const QString kRowsKey = QStringLiteral("Window/Rows");

QList<int> SizesOf(const QVariant& value) {
    QList<int> sizes;
    for (const QString& part : value.toString().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int size = part.toInt(&ok);
        if (!ok || size < kMinimumPane) {
            return {};
        }
        sizes << size;
    }
    return sizes;
}

QString SizesText(const QList<int>& sizes) {
    QStringList parts;
    for (const int size : sizes) {
        parts << QString::number(size);
    }
    return parts.join(QLatin1Char(' '));
}

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
    // Tab goes through the panes as they stand, top left to bottom right.
    setTabOrder(m_pInputView->m_checkExact, m_pListView->m_btnPrev);
    setTabOrder(m_pListView->m_listMails, m_pTarselView);

    AddCommand(Qt::ALT | Qt::Key_S, &CChildFrame::OnSearchStart);
    AddCommand(Qt::ALT | Qt::Key_P, &CChildFrame::OnSearchBack);
    AddCommand(Qt::ALT | Qt::Key_N, &CChildFrame::OnSearchForward);
    AddCommand(Qt::ALT | Qt::Key_T, &CChildFrame::OnSearchString);
    // Ctrl+S wherever the focus is in this window, not only in the list.
    addAction(m_pListView->m_saver->Action());
    AddCommand(Qt::Key_F3, &CChildFrame::OnNextRun);
    AddCommand(Qt::SHIFT | Qt::Key_F3, &CChildFrame::OnPreviousRun);
    AddCommand(Qt::CTRL | Qt::Key_F, &CChildFrame::OnFindText);
}

CChildFrame::~CChildFrame() {
    // The panes are destroyed after this body; the work of a running phase must end first.
    if (m_pTarselView != nullptr) {
        m_pTarselView->Shutdown();
    }
    SaveLayout();
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
    // A window lower or narrower than the input form (a small screen, a large font) scrolls
    // the form rather than cutting off its counters and icons.
    auto* inputArea = new QScrollArea;
    inputArea->setFrameShape(QFrame::NoFrame);
    inputArea->setWidgetResizable(true);
    inputArea->setFocusPolicy(Qt::NoFocus);  // its controls are the tab stops
    inputArea->setWidget(m_pInputView);
    m_pInputView->setMinimumSize(m_pInputView->FormSize());
    // While the form scrolls, the column widens by its scroll bar, so that the bar never hides
    // the counters' units or needs a horizontal bar beside it.
    inputArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int formWidth = m_pInputView->FormSize().width();
    inputArea->setMinimumWidth(formWidth);
    QScrollBar* bar = inputArea->verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, inputArea, [inputArea, bar, formWidth](int, int most) {
        inputArea->setMinimumWidth(formWidth + (most > 0 ? bar->sizeHint().width() : 0));
    });
    m_wndMainSplitter->addWidget(inputArea);
    m_wndMainSplitter->addWidget(m_wndRightSplitter);
    m_wndRightSplitter->setMinimumSize(kMinimumPane, kMinimumPane);
    // Only the list and the mail pane give and take when a bar is dragged: the progress pane
    // keeps its height, and a bar dragged against it moves it along.
    m_pProgView->setFixedHeight(kProgressHeight);

    // The fixed panes keep their size when the window grows; the last of each column takes
    // the rest.
    m_wndMainSplitter->setStretchFactor(0, 0);
    m_wndMainSplitter->setStretchFactor(1, 1);
    m_wndRightSplitter->setStretchFactor(0, 0);
    m_wndRightSplitter->setStretchFactor(1, 0);
    m_wndRightSplitter->setStretchFactor(2, 1);
    m_wndMainSplitter->setSizes({kInputWidth, 1});
    m_wndRightSplitter->setSizes({kListHeight, kProgressHeight, 1});
    RestoreLayout();
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

QSize CChildFrame::UsableSize() const {
    // The input pane's form and the list pane's controls side by side; the list, progress and
    // a few lines of mail below one another, and at least the input form's height.
    const DialogUnits du = PaneUnits(m_pInputView->font());
    const int width =
        du.Px(kInputFormWidth) + du.Px(kListFormWidth) + m_wndMainSplitter->handleWidth();
    const int height =
        std::max(m_pInputView->FormHeight(), kListHeight + kProgressHeight + kMailLinesHeight +
                                                 2 * m_wndRightSplitter->handleWidth());
    QStyleOptionTitleBar option;
    option.initFrom(this);
    const int border = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, &option, this);
    const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, this);
    return QSize(width + 2 * border, height + title + border);
}

// The sizes of the panes are kept beside the recent-file list and come back in the next
// window; the first window gets the sizes above.
void CChildFrame::RestoreLayout() {
    const QSettings settings;
    const QList<int> columns = SizesOf(settings.value(kColumnsKey));
    const QList<int> rows = SizesOf(settings.value(kRowsKey));
    if (columns.size() == 2) {
        m_wndMainSplitter->setSizes(columns);
    }
    if (rows.size() == 3) {
        m_wndRightSplitter->setSizes({rows[0], kProgressHeight, rows[2]});
    }
}

void CChildFrame::SaveLayout() const {
    QSettings settings;
    settings.setValue(kColumnsKey, SizesText(m_wndMainSplitter->sizes()));
    settings.setValue(kRowsKey, SizesText(m_wndRightSplitter->sizes()));
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

void CChildFrame::OnNextRun() {
    m_pTarselView->GoToRedRun(true);
}

void CChildFrame::OnPreviousRun() {
    m_pTarselView->GoToRedRun(false);
}

void CChildFrame::OnFindText() {
    m_pTarselView->m_pFindBar->Open();
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
