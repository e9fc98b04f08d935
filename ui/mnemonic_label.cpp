// A label that draws its mnemonic without grabbing a shortcut.
#include "ui/mnemonic_label.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace tarsel {

QSize CMnemonicLabel::sizeHint() const {
    const QSize text = fontMetrics().size(Qt::TextShowMnemonic, this->text());
    const QMargins margins = contentsMargins();
    return text + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

void CMnemonicLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    int flags = static_cast<int>(alignment()) | Qt::TextShowMnemonic;
    if (!style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this)) {
        flags |= Qt::TextHideMnemonic;
    }
    style()->drawItemText(&painter, contentsRect(), flags, palette(), isEnabled(), text(),
                          foregroundRole());
}

}  // namespace tarsel
