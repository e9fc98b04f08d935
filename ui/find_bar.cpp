#include "ui/find_bar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

namespace tarsel {

CFindBar::CFindBar(QPlainTextEdit* pane) : QFrame(pane), m_pane(pane) {
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_editFind = new QLineEdit(this);
    m_editFind->setClearButtonEnabled(true);
    layout->addWidget(m_editFind);
    m_editFind->installEventFilter(this);
    // The bar follows the pane's size, so that it stays in the corner when the splitter moves.
    pane->installEventFilter(this);
    hide();
}

void CFindBar::Open() {
    Place();
    show();
    raise();
    m_editFind->setFocus(Qt::ShortcutFocusReason);
    m_editFind->selectAll();
}

bool CFindBar::FindNext(bool forward) {
    const QString text = m_editFind->text();
    if (text.isEmpty()) {
        return false;
    }
    const QTextDocument::FindFlags flags =
        forward ? QTextDocument::FindFlags() : QTextDocument::FindBackward;
    if (m_pane->find(text, flags)) {
        return true;
    }
    // Round the mail once: from its other end.
    const QTextCursor kept = m_pane->textCursor();
    QTextCursor from(m_pane->document());
    from.movePosition(forward ? QTextCursor::Start : QTextCursor::End);
    m_pane->setTextCursor(from);
    if (m_pane->find(text, flags)) {
        return true;
    }
    m_pane->setTextCursor(kept);
    return false;
}

bool CFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pane && event->type() == QEvent::Resize) {
        Place();
    } else if (watched == m_editFind && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            FindNext(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            hide();
            m_pane->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void CFindBar::Place() {
    adjustSize();
    const QScrollBar* bar = m_pane->verticalScrollBar();
    const int right =
        m_pane->width() - m_pane->frameWidth() - (bar->isVisible() ? bar->width() : 0);
    const int w = qMin(m_pane->width() - 2 * m_pane->frameWidth(),
                       qMax(width(), 16 * fontMetrics().averageCharWidth() + 16));
    resize(qMax(w, 0), sizeHint().height());
    move(qMax(right - width(), 0), m_pane->frameWidth());
}

}  // namespace tarsel
