// The mail pane and the panes' side of the driver.
#include "ui/tarsel_view.h"

#include <QMessageBox>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextLayout>
#include <QTreeWidget>
#include <algorithm>
#include <string>
#include <utility>

#include "decode/cp932.h"
#include "engine/phase_end_wake.h"
#include "ui/file_drop.h"
#include "ui/find_bar.h"
#include "ui/input_view.h"
#include "ui/list_view.h"
#include "ui/mail_document.h"
#include "ui/prog_view.h"
#include "ui/quit_signals.h"
#include "ui/tarsel_doc.h"
#include "ui/warning_box.h"

namespace tarsel {

namespace {

constexpr const char* kMailFace = "Noto Sans Mono CJK JP";
constexpr int kMailPointSize = 10;

std::string Decimal(int value) {
    return std::to_string(value);
}

using RunIterator = std::vector<TextRun>::const_iterator;

// The first run that begins at or after position.
RunIterator FirstRunFrom(const std::vector<TextRun>& runs, int position) {
    return std::lower_bound(runs.begin(), runs.end(), position,
                            [](const TextRun& r, int at) { return r.start < at; });
}

// The first run that ends after position.
RunIterator FirstRunEndingAfter(const std::vector<TextRun>& runs, int position) {
    return std::lower_bound(runs.begin(), runs.end(), position,
                            [](const TextRun& r, int at) { return r.start + r.length <= at; });
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

CTarselView::CTarselView(QWidget* parent) : QPlainTextEdit(parent), m_mailFont(MailFont()) {
    setObjectName(QStringLiteral("CTarselView"));
    m_pDocument = new CTarselDoc(this);
    setDocument(m_pDocument);
    SetPanes(this);
    m_pFindBar = new CFindBar(this);
    m_pFindBar->setObjectName(QStringLiteral("findBar"));
    // A child, so that it can be found by name like the panes' controls.
    m_timer.setParent(this);
    m_timer.setObjectName(QStringLiteral("driverTimer"));
    m_timer.setInterval(kTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &CTarselView::OnTimerTick);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &CTarselView::ShowRunPosition);
    connect(m_pDocument, &QTextDocument::contentsChanged, this, &CTarselView::ShowRunPosition);
}

CTarselView::~CTarselView() {
    Shutdown();
    SetPanes(nullptr);
}

void CTarselView::OnInitialUpdate() {
    setAcceptDrops(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(true);  // a mail is read, not written: Tab leaves the pane
    setFont(m_mailFont);
    m_pDocument->setDefaultFont(m_mailFont);
    m_timer.start();
    m_bWakeable = true;
    SetPhaseEndWake(&CTarselView::WakeFromWorker, this);
}

void CTarselView::Shutdown() {
    m_timer.stop();
    // After this no worker holds the pane, and a wake already queued finds it unwakeable.
    ClearPhaseEndWake(this);
    m_bWakeable = false;
    CancelAndWait();
}

void CTarselView::WakeFromWorker(void* view) {
    // By name, so that the queued call is built and handed over inside Qt alone: no object of
    // ours crosses from the worker to the pane's thread.
    QMetaObject::invokeMethod(static_cast<CTarselView*>(view), "OnPhaseEndWake",
                              Qt::QueuedConnection);
}

void CTarselView::OnPhaseEndWake() {
    if (m_bWakeable) {
        OnTimerTick();
    }
}

void CTarselView::OnTimerTick() {
    // A box of the driver is open, shown from a tick: the next phase is handled once it is
    // answered, as a timer never fires again inside its own handler.
    if (IsShowingWarning()) {
        return;
    }
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
    ShowRunPosition();
}

void CTarselView::GoToRedRun(bool forward) {
    const std::vector<TextRun>& runs = m_pDocument->RedRuns();
    if (runs.empty()) {
        return;
    }
    const QTextCursor now = textCursor();
    auto run = forward ? FirstRunFrom(runs, now.selectionEnd())
                       : FirstRunEndingAfter(runs, now.selectionStart());
    if (forward && run == runs.end()) {
        run = runs.end() - 1;
    } else if (!forward) {
        run = run == runs.begin() ? run : run - 1;
    }
    // The run's beginning is brought into view first, so that a run wider than the pane
    // shows from its first character.
    QTextCursor cursor(m_pDocument);
    cursor.setPosition(run->start);
    setTextCursor(cursor);
    ensureCursorVisible();
    cursor.setPosition(run->start + run->length, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void CTarselView::ShowRunPosition() {
    if (m_pListView == nullptr) {
        return;
    }
    const std::vector<TextRun>& runs = m_pDocument->RedRuns();
    const auto before = FirstRunFrom(runs, textCursor().selectionEnd());
    m_pListView->ShowRunPosition(int(before - runs.begin()), int(runs.size()));
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
        if (IsPhaseRunning()) {
            // The phase started before the box may have ended behind it.
            QMetaObject::invokeMethod(this, "OnPhaseEndWake", Qt::QueuedConnection);
        }
        emit warningsDismissed();
    }
}

void CTarselView::DismissWarnings() {
    for (QMessageBox* box : findChildren<QMessageBox*>()) {
        box->done(QMessageBox::Ok);
    }
}

void CTarselView::ResetForNewFile() {
    m_pInputView->ResetForNewFile();
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

void CTarselView::ShowMailBody(MailBody body) {
    // The shown text replaces the old one wholesale and is not an edit the user can undo.
    m_pDocument->setUndoRedoEnabled(false);
    QTextCharFormat format;
    format.setFont(m_mailFont);
    format.setForeground(QColor(0, 0, 0));
    // The decoded mode shows who wrote to whom above the body; the raw mode the body alone.
    m_pDocument->ShowMailBody(
        std::move(body), format, [] { return TerminationRequested(); }, SelectedHeaderStrip());
    m_pDocument->setUndoRedoEnabled(true);
    m_pDocument->setModified(false);
    QTextCursor start(m_pDocument);
    start.setPosition(0);
    setTextCursor(start);
    ensureCursorVisible();
    ShowRunPosition();
}

void CTarselView::paintEvent(QPaintEvent* event) {
    QPlainTextEdit::paintEvent(event);
    if (m_pDocument->RedRuns().empty()) {
        return;
    }
    QPainter painter(viewport());
    painter.setClipRect(event->rect());
    painter.setPen(QColor(255, 0, 0));
    const QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF box = blockBoundingGeometry(block).translated(offset);
        if (box.top() > event->rect().bottom()) {
            break;
        }
        if (block.isVisible()) {
            PaintRedRuns(painter, block, box.topLeft(), event->rect());
        }
    }
}

// Each red run in view is painted over the black text: its box filled with the background,
// then its text in red. Only the runs between the first and the last character in view are
// looked at, so a line of a hundred thousand hits costs no more than the hits it shows.
void CTarselView::PaintRedRuns(QPainter& painter, const QTextBlock& block, QPointF origin,
                               const QRect& area) {
    const std::vector<TextRun>& runs = m_pDocument->RedRuns();
    const QTextLayout* layout = block.layout();
    const QTextCursor cursor = textCursor();
    const int base = block.position();
    QString text;
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        const qreal top = origin.y() + line.y();
        if (top > area.bottom() || top + line.height() < area.top()) {
            continue;
        }
        const int first = base + line.xToCursor(area.left() - origin.x());
        const int last = base + line.xToCursor(area.right() + 1 - origin.x());
        auto run = FirstRunEndingAfter(runs, first);
        for (; run != runs.end() && run->start <= last; ++run) {
            const bool selected = cursor.selectionStart() < run->start + run->length &&
                                  cursor.selectionEnd() > run->start;
            if (selected) {
                continue;  // the selection's own colours show it
            }
            if (text.isNull()) {
                text = block.text();
            }
            const int from = run->start - base;
            const qreal left = origin.x() + line.cursorToX(from);
            const qreal right = origin.x() + line.cursorToX(from + run->length);
            const QRectF place(left, top, right - left, line.height());
            painter.fillRect(place, palette().base());
            painter.save();
            painter.setClipRect(place, Qt::IntersectClip);
            painter.setFont(m_mailFont);
            painter.drawText(QPointF(left, top + line.ascent()), text.mid(from, run->length));
            painter.restore();
        }
    }
}

void CTarselView::FocusResultList() {
    m_pListView->m_listMails->setFocus(Qt::OtherFocusReason);
}

void CTarselView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        AcceptFileDrag(event, this);
    } else {
        QPlainTextEdit::dragEnterEvent(event);  // text dragged within the pane stays an edit
    }
}

void CTarselView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) {
        AcceptFileDrag(event, this);
    } else {
        QPlainTextEdit::dragMoveEvent(event);
    }
}

void CTarselView::dropEvent(QDropEvent* event) {
    if (event->mimeData()->hasUrls()) {
        DeliverFileDrop(event, m_pInputView, this);
    } else {
        QPlainTextEdit::dropEvent(event);
    }
}

}  // namespace tarsel
