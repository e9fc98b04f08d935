// The input pane's "デコード検索(&D)" check box: under the search field, Alt+D, its state kept
// in the settings across runs. The pane reads it when a search starts.
#pragma once

#include <QCheckBox>

namespace tarsel {

class CDecodedModeCheck : public QCheckBox {
    Q_OBJECT
  public:
    // Placed at the top of place, in pane; the controls below it move down to make room.
    CDecodedModeCheck(QWidget* pane, QRect place);

    static constexpr const char* kSettingsKey = "search/decoded";

  protected:
    // The pane is narrow (100 pixels at first): the label wraps onto a second line rather than
    // run past the pane's edge.
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

  private:
    QRect LabelRect() const;
    QString ShownLabel() const;
};

}  // namespace tarsel
