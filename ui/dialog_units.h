// Fixed layouts of the forms: positions given in dialog units, turned into pixels.
#pragma once

#include <QRect>

namespace tarsel {

struct DialogUnits {
    double x;  // pixels per horizontal dialog unit
    double y;  // pixels per vertical dialog unit

    QRect Rect(int left, int top, int width, int height) const {
        return QRect(Px(left), Py(top), Px(width), Py(height));
    }
    int Px(int units) const { return static_cast<int>(units * x + 0.5); }
    int Py(int units) const { return static_cast<int>(units * y + 0.5); }
};

// The panes: wide enough for the Japanese labels at 9 points beside their fields.
inline constexpr DialogUnits kPaneUnits{1.75, 1.75};

}  // namespace tarsel
