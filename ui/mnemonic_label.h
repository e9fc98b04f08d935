// A label that shows its "&" mnemonic underlined without claiming the key: the Alt keys of the
// document window are commands of the frame, not focus jumps of a label.
#pragma once

#include <QLabel>

namespace tarsel {

class CMnemonicLabel : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tarsel
