// The progress pane: one bar, 0 to 100, showing how far the running phase has come. It keeps
// the bar filling the pane with a 4-pixel margin and takes dropped files like every pane.
#pragma once

#include <QWidget>

class QProgressBar;

namespace tarsel {

class CInputView;
class CListView1;
class CTarselView;

class CProgView : public QWidget {
    Q_OBJECT
  public:
    explicit CProgView(QWidget* parent = nullptr);

    void OnInitialUpdate() {}
    // Sets the bar; answers the previous position.
    int SetPos(int percent);

    QProgressBar* m_progress = nullptr;
    CInputView* m_pInputView = nullptr;
    CListView1* m_pListView = nullptr;
    CTarselView* m_pTarselView = nullptr;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace tarsel
