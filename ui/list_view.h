// The result list pane: one page of matching mails (sender, subject, date sent, address) with
// a check mark on every mail already shown, the number of the mail being shown, and the
// buttons that step to the previous and the next page of 20 rows.
#pragma once

#include <QIcon>
#include <QWidget>
#include <string>
#include <vector>

#include "headers/header_row.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarsel {

class CInputView;
class CMailSaver;
class CProgView;
class CTarselView;

class CListView1 : public QWidget {
    Q_OBJECT
  public:
    explicit CListView1(QWidget* parent = nullptr);

    void OnInitialUpdate();
    // true: take the counter in from its control; false: write it to the control.
    void UpdateData(bool saveAndValidate);

    // The page buttons (and Alt+P / Alt+N through the frame).
    void OnPrevPage();
    void OnNextPage();

    void ClearList();
    // The buttons a page asks for; they stay disabled while a phase runs or when the page
    // they lead to is not part of the result.
    void SetPageButtons(bool previous, bool next);
    void ShowRows(const std::vector<HeaderRow>& rows, const std::vector<bool>& viewed);
    // Row shown in the mail pane: check mark, and it becomes the list's current row.
    void MarkRowViewed(int row);
    void SetBusy(bool busy);
    // Where the mail pane's caret stands among the red runs of the shown mail ("3 / 17");
    // nothing while the mail has none.
    void ShowRunPosition(int at, int total);

    QTreeWidget* m_listMails = nullptr;
    std::string m_strMailNo;
    CInputView* m_pInputView = nullptr;
    CProgView* m_pProgView = nullptr;
    CTarselView* m_pTarselView = nullptr;
    QIcon m_imageList[2];  // 0 blank, 1 check mark

    QLineEdit* m_editMailNo = nullptr;
    QPushButton* m_btnPrev = nullptr;
    QPushButton* m_btnNext = nullptr;
    // 保存 on the list's context menu, and Ctrl+S in the document window.
    CMailSaver* m_saver = nullptr;
    QLabel* m_labelRunPosition = nullptr;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // The first column ファイル, while a search covers several archives.
    void ShowFileColumn(bool shown);
    void OnItemChangedList(QTreeWidgetItem* current);
    void SetColumnWidths();
    void FitTextColumns();
    // The width the columns share beside the vertical scroll bar.
    int ColumnRoom() const;
    // Wide enough for the column's label and for its widest text.
    int ColumnWidthFor(int column, const char* widest) const;
    void MeasureColumnsOnce();
    void UpdateButtons();

    bool m_bInitialised = false;
    bool m_bColumnsSet = false;
    bool m_bWantPrev = false;
    bool m_bWantNext = false;
    bool m_bBusy = false;
};

}  // namespace tarsel
