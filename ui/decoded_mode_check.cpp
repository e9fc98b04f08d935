// The decoded-search check box of the input pane.
#include "ui/decoded_mode_check.h"

#include <QSettings>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "ui/window_texts.h"

namespace tarsel {

CDecodedModeCheck::CDecodedModeCheck(QWidget* pane, QRect place)
    : QCheckBox(QString::fromUtf8(ui_text::kDecodedCheck), pane) {
    setObjectName(QStringLiteral("decodedModeCheck"));
    // As wide as the pane's other controls; the label takes as many lines as that needs.
    const int width = std::min(place.width(), sizeHint().width());
    setGeometry(place.x(), place.y(), width, place.height());
    const int textHeight = fontMetrics()
                               .boundingRect(LabelRect().adjusted(0, 0, 0, 10000),
                                             Qt::TextWordWrap | Qt::TextShowMnemonic, ShownLabel())
                               .height();
    const int height = std::max({place.height(), sizeHint().height(), textHeight + 2});
    // Every control at or below this line moves down by the box's height.
    for (QWidget* other : pane->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != this && other->y() >= place.y()) {
            other->move(other->x(), other->y() + height);
        }
    }
    setGeometry(place.x(), place.y(), width, height);
    setChecked(QSettings().value(kSettingsKey, false).toBool());
    // Loading and counting stay valid across the switch: every search on a loaded file starts
    // at the string search, in the mode the box then shows.
    connect(this, &QCheckBox::toggled, this,
            [](bool on) { QSettings().setValue(kSettingsKey, on); });
}

QString CDecodedModeCheck::ShownLabel() const {
    const QString label = text();
    const int room = LabelRect().width();
    if (fontMetrics().horizontalAdvance(QString(label).remove('&')) <= room) {
        return label;
    }
    // Japanese has no spaces: break where katakana gives way to kanji ("デコード|検索"), which
    // reads better than wherever the width runs out.
    for (int i = 1; i < label.size(); ++i) {
        const char16_t before = label[i - 1].unicode();
        const char16_t after = label[i].unicode();
        if (before >= 0x30A0 && before <= 0x30FF && after >= 0x4E00 && after <= 0x9FFF) {
            return label.left(i) + QLatin1Char('\n') + label.mid(i);
        }
    }
    return label;
}

QRect CDecodedModeCheck::LabelRect() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    option.rect = QRect(0, 0, width(), std::max(height(), sizeHint().height()));
    QRect label = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    label.setRight(width() - 1);
    return label;
}

void CDecodedModeCheck::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString label = ShownLabel();
    option.text.clear();  // the indicator alone; the label is drawn wrapped below
    option.rect.setHeight(sizeHint().height());
    painter.drawControl(QStyle::CE_CheckBox, option);
    QRect place = LabelRect();
    place.setBottom(height() - 1);
    painter.drawItemText(place,
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic,
                         palette(), isEnabled(), label, QPalette::WindowText);
}

}  // namespace tarsel
