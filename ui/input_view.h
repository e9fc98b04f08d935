// The input pane: the file and search-string fields, the start button, the decoded mode's
// check box and its options, the three counters and the three phase icons. It checks and
// starts a search, owns the handling of a file dropped onto any pane, and clears the panes
// before a new file or a new search.
#pragma once

#include <QWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/search_panes.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarsel {

class CListView1;
class CProgView;
class CTarselView;

class CInputView : public QWidget {
    Q_OBJECT
  public:
    explicit CInputView(QWidget* parent = nullptr);

    // Runs once, after the frame has set the pane pointers.
    void OnInitialUpdate();
    // true: take the fields in from the controls; false: write them to the controls.
    void UpdateData(bool saveAndValidate);

    // The start button, and Alt+S through the frame.
    void OnStartSearch();
    // The drop handler of every pane: the dropped file becomes the file to search.
    void OnDropFiles(const std::filesystem::path& path);
    // Several files, or the archives of dropped folders (folders: the drop held one, which a
    // warning names when it holds no archive): all of them become the files to search.
    void OnDropFiles(const std::vector<std::filesystem::path>& paths, bool folders = false);
    void ResetForNewFile();
    void ResetForNewSearch();

    void ShowPhaseIcon(PhaseIcon icon);
    // The height the pane's controls take, from its top to below the lowest.
    int FormHeight() const;
    // The width and height the pane's controls take.
    QSize FormSize() const;
    // While a phase runs the start button is disabled.
    void SetBusy(bool busy);

    // Controls bound to fields.
    QLabel* m_iconSearch = nullptr;
    QLabel* m_iconCount = nullptr;
    QLabel* m_iconLoad = nullptr;
    QLineEdit* m_editSearch = nullptr;
    QLineEdit* m_editFileName = nullptr;
    QPushButton* m_btnStart = nullptr;
    QLineEdit* m_editMailCount = nullptr;
    QLineEdit* m_editHitCount = nullptr;
    QLineEdit* m_editMatchCount = nullptr;
    QCheckBox* m_checkDecoded = nullptr;  // the decoded search, under the search field
    // The decoded search's options, under it: hiragana and katakana alike; words unfolded.
    QCheckBox* m_checkKana = nullptr;
    QCheckBox* m_checkExact = nullptr;

    // Where the check boxes keep their states.
    static constexpr const char* kDecodedKey = "search/decoded";
    static constexpr const char* kKanaKey = "search/kana";
    static constexpr const char* kExactKey = "search/exact";

    // Fields: the file name as its native bytes, the search string in Shift-JIS, the
    // counters as decimal text.
    std::string m_strFileName;
    std::string m_strSearch;
    std::string m_strMailCount;
    std::string m_strHitCount;
    std::string m_strMatchCount;

    CListView1* m_pListView = nullptr;
    CProgView* m_pProgView = nullptr;
    CTarselView* m_pTarselView = nullptr;

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // The search looks for the Shift-JIS bytes of the typed string: a character that has no
    // Shift-JIS form could never be found, and leaving it out would search for another
    // string. True when every character converts.
    bool SearchConvertsToShiftJis() const;

    void BuildControls();
    // The options and the search field's tooltip follow the mode.
    void OnModeToggled(bool decoded);
    void EmptyOtherPanes();
};

}  // namespace tarsel
