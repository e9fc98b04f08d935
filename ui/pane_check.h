// The input pane's check boxes (デコード検索 and the decoded search's options): each sits in the
// narrow pane with its label wrapped under its own width, answers to its mnemonic's Alt key,
// and keeps its state in the settings across windows and runs.
#pragma once

#include <QCheckBox>

namespace tarsel {

class CPaneCheck : public QCheckBox {
    Q_OBJECT
  public:
    // Placed at the top of place, in pane; the controls at or below it move down to make room.
    // The state comes from, and goes to, settingsKey.
    CPaneCheck(QWidget* pane, const char* utf8Label, const char* settingsKey, QRect place);

  protected:
    // The pane is narrow (100 pixels at first): the label wraps onto further lines rather than
    // run past the pane's edge.
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

  private:
    QRect LabelRect() const;
    QString ShownLabel() const;
};

}  // namespace tarsel
