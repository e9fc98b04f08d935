// The input pane.
#include "ui/input_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include "decode/cp932.h"
#include "decode/safe_text.h"
#include "ui/dialog_units.h"
#include "ui/file_drop.h"
#include "ui/list_view.h"
#include "ui/mnemonic_label.h"
#include "ui/pane_check.h"
#include "ui/prog_view.h"
#include "ui/tarsel_view.h"
#include "ui/window_texts.h"

namespace tarsel {

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

// Labels are placed at their template position but sized to their text, centred on the
// template's line, so that no Japanese glyph is cut.
QLabel* AddLabel(QWidget* pane, const char* text, QRect place) {
    auto* label = new CMnemonicLabel(QString::fromUtf8(text), pane);
    const QSize need = label->sizeHint();
    const int height = std::max(place.height(), need.height());
    label->setGeometry(place.x(), place.center().y() - height / 2 + 1,
                       std::max(place.width(), need.width()), height);
    return label;
}

// Wide enough for a search's capacity of eight digits, up to the unit beside it.
QLineEdit* AddCounter(QWidget* pane, QRect place) {
    auto* edit = new QLineEdit(pane);
    edit->setGeometry(place);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::ClickFocus);
    edit->setAcceptDrops(false);
    return edit;
}

QLabel* AddIcon(QWidget* pane, QRect place) {
    auto* icon = new QLabel(pane);
    icon->setGeometry(place);
    icon->setAlignment(Qt::AlignCenter);
    const int side = std::min(place.width(), place.height());
    icon->setPixmap(QPixmap(QStringLiteral(":/res/status.png"))
                        .scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return icon;
}

// A text field changed only when its text differs, so that the caret and selection of a
// field the user is typing into stay where they are.
void SetText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) {
        edit->setText(text);
    }
}

}  // namespace

CInputView::CInputView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CInputView"));
    setMinimumSize(10, 10);
    setAcceptDrops(true);
    BuildControls();
}

void CInputView::BuildControls() {
    const DialogUnits du = PaneUnits(font());
    AddLabel(this, ui_text::kFileLabel, du.Rect(4, 4, 53, 8));
    m_editFileName = new QLineEdit(this);
    m_editFileName->setGeometry(du.Rect(3, 16, 50, 14));
    m_editFileName->setAcceptDrops(false);

    m_btnStart = new QPushButton(QString::fromUtf8(ui_text::kStartButton), this);
    m_btnStart->setGeometry(du.Rect(3, 35, 50, 14));
    // Alt+S is the frame's command; the button keeps only its underlined letter.
    m_btnStart->setShortcut(QKeySequence());
    m_btnStart->setAutoDefault(false);
    connect(m_btnStart, &QPushButton::clicked, this, &CInputView::OnStartSearch);

    AddLabel(this, ui_text::kSearchLabel, du.Rect(4, 53, 37, 8));
    m_editSearch = new QLineEdit(this);
    m_editSearch->setGeometry(du.Rect(3, 64, 50, 14));
    m_editSearch->setAcceptDrops(false);
    connect(m_editSearch, &QLineEdit::returnPressed, this, &CInputView::OnStartSearch);

    AddLabel(this, ui_text::kMailCountLabel, du.Rect(4, 82, 39, 8));
    m_editMailCount = AddCounter(this, du.Rect(3, 92, 38, 14));
    AddLabel(this, ui_text::kMailUnit, du.Rect(44, 96, 8, 8));
    AddLabel(this, ui_text::kHitCountLabel, du.Rect(4, 111, 35, 8));
    m_editHitCount = AddCounter(this, du.Rect(3, 121, 38, 14));
    AddLabel(this, ui_text::kHitUnit, du.Rect(44, 124, 8, 8));
    AddLabel(this, ui_text::kMatchCountLabel, du.Rect(4, 140, 46, 8));
    m_editMatchCount = AddCounter(this, du.Rect(3, 150, 38, 14));
    AddLabel(this, ui_text::kMailUnit, du.Rect(44, 154, 8, 8));

    AddLabel(this, ui_text::kLoadPhase, du.Rect(25, 180, 28, 8));
    AddLabel(this, ui_text::kCountPhase, du.Rect(25, 200, 28, 8));
    AddLabel(this, ui_text::kSearchPhase, du.Rect(25, 220, 15, 8));
    m_iconLoad = AddIcon(this, du.Rect(3, 167, 18, 20));
    m_iconCount = AddIcon(this, du.Rect(3, 187, 18, 20));
    m_iconSearch = AddIcon(this, du.Rect(3, 207, 18, 20));

    // Loading and counting stay valid across the switch: every search on a loaded file starts
    // at the string search, in the mode the box then shows.
    m_checkDecoded =
        new CPaneCheck(this, ui_text::kDecodedCheck, kDecodedKey, du.Rect(3, 80, 50, 10));
    // The options stand right under the box they belong to, each pushing the counters down.
    const auto under = [&du](const QWidget* above) {
        return QRect(above->x(), above->geometry().bottom() + 1, du.Px(50), du.Py(10));
    };
    m_checkKana = new CPaneCheck(this, ui_text::kKanaCheck, kKanaKey, under(m_checkDecoded));
    m_checkExact = new CPaneCheck(this, ui_text::kExactCheck, kExactKey, under(m_checkKana));
    connect(m_checkDecoded, &QCheckBox::toggled, this, &CInputView::OnModeToggled);
    OnModeToggled(m_checkDecoded->isChecked());

    setTabOrder(m_editFileName, m_btnStart);
    setTabOrder(m_btnStart, m_editSearch);
    setTabOrder(m_editSearch, m_checkDecoded);
    setTabOrder(m_checkDecoded, m_checkKana);
    setTabOrder(m_checkKana, m_checkExact);
}

void CInputView::OnModeToggled(bool decoded) {
    // The options keep their states while greyed: they come back with the mode.
    m_checkKana->setEnabled(decoded);
    m_checkExact->setEnabled(decoded);
    m_editSearch->setToolTip(decoded ? QString::fromUtf8(ui_text::kQuerySyntax) : QString());
}

QSize CInputView::FormSize() const {
    QSize size;
    for (const QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        size = size.expandedTo(QSize(control->geometry().right(), control->geometry().bottom()) +
                               QSize(1, 1));
    }
    // The margin above the first control, below the last one too; the controls' own frames
    // are the margins at the sides.
    return size + QSize(0, PaneUnits(font()).Py(4));
}

int CInputView::FormHeight() const {
    return FormSize().height();
}

void CInputView::OnInitialUpdate() {
    m_strMailCount = m_strHitCount = m_strMatchCount = std::to_string(0);
    UpdateData(false);
    m_iconLoad->hide();
    m_iconCount->hide();
    m_iconSearch->hide();
}

void CInputView::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_strFileName = QFile::encodeName(m_editFileName->text()).toStdString();
        m_strSearch = Utf8ToCp932(m_editSearch->text().toStdString());
        m_strMailCount = m_editMailCount->text().toStdString();
        m_strHitCount = m_editHitCount->text().toStdString();
        m_strMatchCount = m_editMatchCount->text().toStdString();
        return;
    }
    // A name's hidden format controls are made visible: they would reorder it ("txt.exe").
    const QString name = QString::fromStdString(ShownOnOneLine(
        QFile::decodeName(QByteArray(m_strFileName.data(), qsizetype(m_strFileName.size())))
            .toStdString()));
    if (m_editFileName->text() != name) {
        m_editFileName->setText(name);
        m_editFileName->setCursorPosition(0);  // a long name shows its beginning
    }
    // A decoded search may hold characters with no Shift-JIS form: the field keeps its text
    // while that text still stands for the search string.
    if (!m_checkDecoded->isChecked() ||
        Utf8ToCp932(m_editSearch->text().toStdString()) != m_strSearch) {
        SetText(m_editSearch, FromUtf8(Cp932ToUtf8(m_strSearch)));
    }
    SetText(m_editMailCount, FromUtf8(m_strMailCount));
    SetText(m_editHitCount, FromUtf8(m_strHitCount));
    SetText(m_editMatchCount, FromUtf8(m_strMatchCount));
}

void CInputView::OnStartSearch() {
    if (m_pTarselView->IsPhaseRunning()) {
        return;  // the running search keeps going; the start button is disabled meanwhile
    }
    UpdateData(true);
    if (m_checkDecoded->isChecked()) {
        // As typed: characters without a Shift-JIS form are searched too.
        m_pTarselView->StartDecodedSearch(m_strFileName, m_editSearch->text().toStdString(),
                                          m_checkExact->isChecked(), m_checkKana->isChecked());
    } else if (!m_strFileName.empty() && !SearchConvertsToShiftJis()) {
        m_pTarselView->ShowWarning(ui_text::kSearchNotShiftJis);
        return;
    } else {
        m_pTarselView->StartSearch(m_strFileName, m_strSearch);
    }
    m_pTarselView->RefreshControlStates();
}

bool CInputView::SearchConvertsToShiftJis() const {
    bool converted = true;
    Utf8ToCp932(m_editSearch->text().toStdString(), &converted);
    return converted;
}

void CInputView::OnDropFiles(const std::filesystem::path& path) {
    if (path.empty() || m_pTarselView->IsPhaseRunning()) {
        return;
    }
    UpdateData(true);
    m_strFileName = FileNameOf(path);
    // The field shows the name; the whole path is a hover away.
    m_editFileName->setToolTip(QString::fromStdString(
        ShownOnOneLine(QFile::decodeName(QByteArray::fromStdString(path.native())).toStdString())));
    ResetForNewFile();
    m_pTarselView->SetFilePath(path);
    m_pTarselView->RefreshControlStates();
}

void CInputView::OnDropFiles(const std::vector<std::filesystem::path>& paths, bool folders) {
    if (m_pTarselView->IsPhaseRunning()) {
        return;
    }
    if (paths.size() <= 1) {
        if (paths.empty() && folders) {
            m_pTarselView->ShowWarning(ui_text::kNoArchiveInFolder);
        }
        OnDropFiles(paths.empty() ? std::filesystem::path() : paths.front());
        return;
    }
    UpdateData(true);
    m_strFileName = FileNameOf(paths.front()) + ui_text::kMoreFilesBefore +
                    std::to_string(paths.size() - 1) + ui_text::kMoreFilesAfter;
    QStringList shown;
    for (const std::filesystem::path& path : paths) {
        shown << QString::fromStdString(ShownOnOneLine(
            QFile::decodeName(QByteArray::fromStdString(path.native())).toStdString()));
    }
    m_editFileName->setToolTip(shown.join(QLatin1Char('\n')));
    ResetForNewFile();
    m_pTarselView->SetFilePaths(paths);
    m_pTarselView->RefreshControlStates();
}

void CInputView::ResetForNewFile() {
    m_strMailCount = m_strHitCount = m_strMatchCount = std::to_string(0);
    UpdateData(false);
    m_iconLoad->hide();
    m_iconCount->hide();
    m_iconSearch->hide();
    m_editSearch->setFocus(Qt::OtherFocusReason);
    EmptyOtherPanes();
    m_pTarselView->m_bLoaded = 0;
}

void CInputView::ResetForNewSearch() {
    UpdateData(true);
    m_strHitCount = m_strMatchCount = std::to_string(0);
    m_iconLoad->show();
    m_iconCount->show();
    m_iconSearch->hide();
    UpdateData(false);
    EmptyOtherPanes();
}

void CInputView::EmptyOtherPanes() {
    m_pListView->ClearList();
    // The previous result's page buttons would lead into a result that is gone.
    m_pListView->SetPageButtons(false, false);
    m_pListView->m_strMailNo = std::to_string(0);
    m_pListView->UpdateData(false);
    m_pProgView->SetPos(0);
    m_pTarselView->ClearMailText();
}

void CInputView::ShowPhaseIcon(PhaseIcon icon) {
    switch (icon) {
        case PhaseIcon::kLoad:
            m_iconLoad->show();
            break;
        case PhaseIcon::kCount:
            m_iconCount->show();
            break;
        case PhaseIcon::kSearch:
            m_iconSearch->show();
            break;
    }
}

void CInputView::SetBusy(bool busy) {
    m_btnStart->setEnabled(!busy);
}

void CInputView::dragEnterEvent(QDragEnterEvent* event) {
    AcceptFileDrag(event, m_pTarselView);
}

void CInputView::dragMoveEvent(QDragMoveEvent* event) {
    AcceptFileDrag(event, m_pTarselView);
}

void CInputView::dropEvent(QDropEvent* event) {
    DeliverFileDrop(event, this, m_pTarselView);
}

}  // namespace tarsel
