// The decoded-search check box of the input pane.
#include "ui/decoded_mode_check.h"

#include <QSettings>

#include "ui/window_texts.h"

namespace tarsel {

CDecodedModeCheck::CDecodedModeCheck(QWidget* pane, QRect place)
    : QCheckBox(QString::fromUtf8(ui_text::kDecodedCheck), pane) {
    setObjectName(QStringLiteral("decodedModeCheck"));
    const QSize need = sizeHint();
    const int height = std::max(place.height(), need.height());
    // Every control at or below this line moves down by the box's height.
    for (QWidget* other : pane->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != this && other->y() >= place.y()) {
            other->move(other->x(), other->y() + height);
        }
    }
    setGeometry(place.x(), place.y(), std::max(place.width(), need.width()), height);
    setChecked(QSettings().value(kSettingsKey, false).toBool());
    // Loading and counting stay valid across the switch: every search on a loaded file starts
    // at the string search, in the mode the box then shows.
    connect(this, &QCheckBox::toggled, this,
            [](bool on) { QSettings().setValue(kSettingsKey, on); });
}

}  // namespace tarsel
