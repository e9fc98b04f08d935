// The version-information dialog: a picture with a short animation playing over it, and OK.
#pragma once

#include <QDialog>

class QLabel;
class QMovie;

namespace tarsel {

class CVersionInfoDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CVersionInfoDlg(QWidget* parent = nullptr);

    QLabel* m_picture = nullptr;
    QLabel* m_animate = nullptr;  // shows m_movie; absent when the clip cannot be read
    QMovie* m_movie = nullptr;
    // Where the animation goes: only its top-left corner is used.
    QRect m_placeholder;

  private:
    void OnInitDialog();
};

}  // namespace tarsel
