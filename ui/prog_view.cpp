// The progress pane.
#include "ui/prog_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QProgressBar>
#include <QResizeEvent>
#include <algorithm>

#include "ui/file_drop.h"
#include "ui/input_view.h"
#include "ui/tarsel_view.h"

namespace tarsel {

namespace {
constexpr int kMargin = 4;
}

CProgView::CProgView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CProgView"));
    setMinimumSize(10, 10);
    setAcceptDrops(true);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setAcceptDrops(false);
}

int CProgView::SetPos(int percent) {
    const int previous = m_progress->value();
    m_progress->setValue(std::clamp(percent, 0, 100));
    return previous;
}

void CProgView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A pane narrower or lower than the margins leaves the bar empty rather than inverted.
    m_progress->setGeometry(kMargin, kMargin, std::max(event->size().width() - 2 * kMargin, 0),
                            std::max(event->size().height() - 2 * kMargin, 0));
}

void CProgView::dragEnterEvent(QDragEnterEvent* event) {
    AcceptFileDrag(event, m_pTarselView);
}

void CProgView::dragMoveEvent(QDragMoveEvent* event) {
    AcceptFileDrag(event, m_pTarselView);
}

void CProgView::dropEvent(QDropEvent* event) {
    DeliverFileDrop(event, m_pInputView, m_pTarselView);
}

}  // namespace tarsel
