// The mail pane and the panes' side of the driver.
#include "ui/tarsel_view.h"

#include <QMessageBox>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QMimeData>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTreeWidget>
#include <string>

#include "decode/cp932.h"
#include "ui/file_drop.h"
#include "ui/input_view.h"
#include "ui/list_view.h"
#include "ui/prog_view.h"
#include "ui/tarsel_doc.h"
#include "ui/warning_box.h"

namespace tarsel {

namespace {

constexpr const char* kMailFace = "Noto Sans Mono CJK JP";
constexpr int kMailPointSize = 10;

std::string Decimal(int value) {
    return std::to_string(value);
}

}  // namespace

QFont CTarselView::MailFont() {
    const QString face = QString::fromUtf8(kMailFace);
    if (QFontDatabase::hasFamily(face)) {
        QFont font(face, kMailPointSize);
        font.setStyleHint(QFont::Monospace);
        return font;
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(kMailPointSize);
    return font;
}

CTarselView::CTarselView(QWidget* parent) : QTextEdit(parent), m_mailFont(MailFont()) {
    setObjectName(QStringLiteral("CTarselView"));
    m_pDocument = new CTarselDoc(this);
    setDocument(m_pDocument);
    SetPanes(this);
    m_timer.setInterval(kTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &CTarselView::OnTimerTick);
}

CTarselView::~CTarselView() {
    Shutdown();
    SetPanes(nullptr);
}

void CTarselView::OnInitialUpdate() {
    setAcceptDrops(true);
    setLineWrapMode(QTextEdit::NoWrap);
    setFont(m_mailFont);
    m_pDocument->setDefaultFont(m_mailFont);
    m_timer.start();
}

void CTarselView::Shutdown() {
    m_timer.stop();
    CancelAndWait();
}

void CTarselView::OnTimerTick() {
    const bool handled = OnTimer();
    if (IsPhaseRunning()) {
        m_pProgView->SetPos(CurrentProgress());
    }
    RefreshControlStates();
    if (handled) {
        emit phaseHandled();
    }
}

void CTarselView::RefreshControlStates() {
    const bool busy = IsPhaseRunning();
    m_pInputView->SetBusy(busy);
    m_pListView->SetBusy(busy);
}

void CTarselView::ClearMailText() {
    clear();
}

void CTarselView::SetCounters(int mails, int hits, int matches) {
    m_pInputView->UpdateData(true);
    if (mails >= 0) {
        m_pInputView->m_strMailCount = Decimal(mails);
    }
    if (hits >= 0) {
        m_pInputView->m_strHitCount = Decimal(hits);
    }
    if (matches >= 0) {
        m_pInputView->m_strMatchCount = Decimal(matches);
    }
    m_pInputView->UpdateData(false);
}

void CTarselView::ShowPhaseIcon(PhaseIcon icon) {
    m_pInputView->ShowPhaseIcon(icon);
}

void CTarselView::SetProgress(int percent) {
    m_pProgView->SetPos(percent);
}

void CTarselView::ShowWarning(const std::string& message) {
    ++m_nWarningDepth;
    ShowWarningBox(this, QString::fromStdString(message));
    if (--m_nWarningDepth == 0) {
        emit warningsDismissed();
    }
}

void CTarselView::DismissWarnings() {
    for (QMessageBox* box : findChildren<QMessageBox*>()) {
        box->done(QMessageBox::Ok);
    }
}

void CTarselView::ResetForNewSearch() {
    m_pInputView->ResetForNewSearch();
}

void CTarselView::ClearResultList() {
    m_pListView->ClearList();
}

void CTarselView::SetPageButtons(bool previous, bool next) {
    m_pListView->SetPageButtons(previous, next);
}

void CTarselView::ShowPageRows(const std::vector<HeaderRow>& rows,
                               const std::vector<bool>& viewed) {
    m_pListView->ShowRows(rows, viewed);
}

void CTarselView::SetMailPosition(int position) {
    m_pListView->UpdateData(true);
    m_pListView->m_strMailNo = Decimal(position);
    m_pListView->UpdateData(false);
}

void CTarselView::MarkRowViewed(int row) {
    m_pListView->MarkRowViewed(row);
}

void CTarselView::ShowMailBody(const MailBody& body) {
    // The shown text replaces the old one wholesale and is not an edit the user can undo.
    m_pDocument->setUndoRedoEnabled(false);
    clear();
    QTextCharFormat format;
    format.setFont(m_mailFont);
    QTextCursor cursor(m_pDocument);
    body.ForEachRun([&](std::string_view run, bool hit) {
        format.setForeground(hit ? QColor(255, 0, 0) : QColor(0, 0, 0));
        cursor.insertText(QString::fromStdString(body.RunUtf8(run)), format);
    });
    m_pDocument->setUndoRedoEnabled(true);
    m_pDocument->setModified(false);
    QTextCursor start(m_pDocument);
    start.setPosition(0);
    setTextCursor(start);
    ensureCursorVisible();
}

void CTarselView::FocusResultList() {
    m_pListView->m_listMails->setFocus(Qt::OtherFocusReason);
}

void CTarselView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        AcceptFileDrag(event, this);
    } else {
        QTextEdit::dragEnterEvent(event);  // text dragged within the pane stays an edit
    }
}

void CTarselView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) {
        AcceptFileDrag(event, this);
    } else {
        QTextEdit::dragMoveEvent(event);
    }
}

void CTarselView::dropEvent(QDropEvent* event) {
    if (event->mimeData()->hasUrls()) {
        DeliverFileDrop(event, m_pInputView, this);
    } else {
        QTextEdit::dropEvent(event);
    }
}

}  // namespace tarsel
