// Fixed layouts of the forms: positions given in dialog units, turned into pixels.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QRect>
#include <QString>

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

// The dialog units of a form in this font, measured as the dialog manager measures them: a
// horizontal unit is a quarter of the average width of the Latin letters, a vertical unit an
// eighth of the character height. The forms then grow with the font and the screen's scale.
inline DialogUnits PaneUnits(const QFont& font) {
    const QFontMetricsF metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return DialogUnits{metrics.horizontalAdvance(letters) / letters.size() / 4.0,
                       metrics.height() / 8.0};
}

}  // namespace tarsel
