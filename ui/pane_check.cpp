// The input pane's check boxes.
#include "ui/pane_check.h"

#include <QSettings>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace tarsel {

namespace {

bool IsKana(char16_t c) {
    return c >= 0x3040 && c <= 0x30FF;
}

bool IsKanji(char16_t c) {
    return c >= 0x4E00 && c <= 0x9FFF;
}

}  // namespace

CPaneCheck::CPaneCheck(QWidget* pane, const char* utf8Label, const char* settingsKey, QRect place)
    : QCheckBox(QString::fromUtf8(utf8Label), pane) {
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
    const QString key = QString::fromUtf8(settingsKey);
    setChecked(QSettings().value(key, false).toBool());
    connect(this, &QCheckBox::toggled, this, [key](bool on) { QSettings().setValue(key, on); });
}

QString CPaneCheck::ShownLabel() const {
    const QString label = text();
    const int room = LabelRect().width();
    if (fontMetrics().horizontalAdvance(QString(label).remove('&')) <= room) {
        return label;
    }
    // Japanese has no spaces: break where kana gives way to kanji ("デコード|検索",
    // "かな/カナを|区別しない"), which reads better than wherever the width runs out.
    for (int i = 1; i < label.size(); ++i) {
        if (IsKana(label[i - 1].unicode()) && IsKanji(label[i].unicode())) {
            return label.left(i) + QLatin1Char('\n') + label.mid(i);
        }
    }
    return label;
}

QRect CPaneCheck::LabelRect() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    option.rect = QRect(0, 0, width(), std::max(height(), sizeHint().height()));
    QRect label = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    label.setRight(width() - 1);
    return label;
}

void CPaneCheck::paintEvent(QPaintEvent*) {
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
