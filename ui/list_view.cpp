// The result list pane.
#include "ui/list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextDocument>
#include <QTreeWidget>
#include <algorithm>
#include <string_view>

#include "decode/cp932.h"
#include "decode/jis.h"
#include "decode/safe_text.h"
#include "ui/dialog_units.h"
#include "ui/file_drop.h"
#include "ui/input_view.h"
#include "ui/mail_saving.h"
#include "ui/tarsel_view.h"
#include "ui/window_texts.h"

namespace tarsel {

namespace {

constexpr int kMargin = 4;
// The widest texts of the fixed columns: a date with a four-digit year, and the last offset
// of a file of the largest size searched.
constexpr const char* kWidestDate = "0000/00/00 00:00:00";
constexpr const char* kWidestAddress = "0x5f5e0ff";

// A mail's header line may be megabytes long: laying out such a text costs seconds and
// hundreds of megabytes for a cell that shows a few hundred characters. A cell holds this
// many characters, "…" marking the cut, and the tooltip of a cut cell this many.
constexpr std::size_t kCellCharacters = 2000;
constexpr std::size_t kToolTipCharacters = 10000;

// Where text (Shift-JIS, or UTF-8 when utf8) has more than count characters: the offset of
// the first character past them; npos when it has no more. A byte that starts no character
// counts as one.
std::size_t CutAfter(std::string_view text, bool utf8, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t characters = 0; at < text.size(); ++characters) {
        if (characters == count) {
            return at;
        }
        const auto byte = static_cast<unsigned char>(text[at]);
        if (utf8) {
            at += byte < 0x80 ? 1 : std::max<std::size_t>(Utf8Length(text.substr(at)), 1);
        } else {
            at += IsSjisLeadByte(byte) && at + 1 < text.size() ? 2 : 1;
        }
    }
    return std::string::npos;
}

// The text of a row for the list, at most count characters of it, on one line and with its
// hidden format controls visible.
QString Shown(const HeaderRow& row, const std::string& text, std::size_t count) {
    const std::size_t cut = CutAfter(text, row.utf8, count);
    QString shown = QString::fromStdString(
        ShownOnOneLine(RowTextUtf8(row, cut == std::string::npos ? text : text.substr(0, cut))));
    if (cut != std::string::npos) {
        shown += QChar(0x2026);  // …
    }
    return shown;
}

QPushButton* AddPageButton(QWidget* pane, const char* text, QRect place) {
    auto* button = new QPushButton(QString::fromUtf8(text), pane);
    button->setGeometry(place);
    button->setShortcut(QKeySequence());  // Alt+P / Alt+N are the frame's commands
    button->setAutoDefault(false);
    button->setEnabled(false);
    return button;
}

// The style marks the focused list only after the focus came by keyboard, and only on a
// current row: the list shows its focus itself, as a frame around its rows.
class CMailList : public QTreeWidget {
  public:
    using QTreeWidget::QTreeWidget;

  protected:
    void paintEvent(QPaintEvent* event) override {
        QTreeWidget::paintEvent(event);
        if (hasFocus()) {
            QPainter painter(viewport());
            painter.setPen(QPen(palette().highlight(), kFocusFrame));
            painter.drawRect(QRectF(viewport()->rect()).adjusted(1, 1, -1, -1));
        }
    }
    void focusInEvent(QFocusEvent* event) override {
        QTreeWidget::focusInEvent(event);
        viewport()->update();
    }
    void focusOutEvent(QFocusEvent* event) override {
        QTreeWidget::focusOutEvent(event);
        viewport()->update();
    }

  private:
    static constexpr int kFocusFrame = 2;
};

}  // namespace

CListView1::CListView1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CListView1"));
    setMinimumSize(10, 10);
    setAcceptDrops(true);
    const DialogUnits du = PaneUnits(font());

    m_editMailNo = new QLineEdit(this);
    m_editMailNo->setGeometry(du.Rect(7, 3, 36, 14));  // eight digits
    m_editMailNo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_editMailNo->setReadOnly(true);
    m_editMailNo->setFocusPolicy(Qt::ClickFocus);
    m_editMailNo->setAcceptDrops(false);

    auto* label = new QLabel(QString::fromUtf8(ui_text::kMailNoLabel), this);
    const QRect place = du.Rect(47, 7, 54, 8);
    const QSize need = label->sizeHint();
    const int height = std::max(place.height(), need.height());
    label->setGeometry(place.x(), place.center().y() - height / 2 + 1,
                       std::max(place.width(), need.width()), height);

    m_btnPrev = AddPageButton(this, ui_text::kPrevButton, du.Rect(109, 4, 30, 14));
    m_btnNext = AddPageButton(this, ui_text::kNextButton, du.Rect(146, 4, 30, 14));
    connect(m_btnPrev, &QPushButton::clicked, this, &CListView1::OnPrevPage);
    connect(m_btnNext, &QPushButton::clicked, this, &CListView1::OnNextPage);
    // Room for the largest position a mail of many hits shows.
    m_labelRunPosition = new QLabel(this);
    m_labelRunPosition->setGeometry(du.Rect(182, 7, 64, 8));
    m_labelRunPosition->setMinimumHeight(m_labelRunPosition->fontMetrics().height());
    m_labelRunPosition->setToolTip(QString::fromUtf8(ui_text::kRunPositionTip));

    m_listMails = new CMailList(this);
    m_listMails->setGeometry(du.Rect(6, 20, 170, 50));
    m_listMails->setRootIsDecorated(false);
    m_listMails->setItemsExpandable(false);
    m_listMails->setUniformRowHeights(true);
    m_listMails->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listMails->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listMails->setIconSize(QSize(16, 16));
    m_listMails->setAllColumnsShowFocus(true);
    m_listMails->setAcceptDrops(false);
    m_listMails->viewport()->setAcceptDrops(false);
    m_listMails->header()->setStretchLastSection(false);
    m_listMails->setHeaderLabels(
        {QString::fromUtf8(ui_text::kColumnSender), QString::fromUtf8(ui_text::kColumnSubject),
         QString::fromUtf8(ui_text::kColumnDate), QString::fromUtf8(ui_text::kColumnAddress)});
    for (int column = 0; column < 4; ++column) {
        m_listMails->headerItem()->setTextAlignment(column, Qt::AlignLeft | Qt::AlignVCenter);
    }
    connect(m_listMails, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnItemChangedList(current); });
    m_saver = new CMailSaver(this);
    m_listMails->addAction(m_saver->Action());
    m_listMails->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_saver, &CMailSaver::saveEnded, this, &CListView1::UpdateButtons);

    setTabOrder(m_btnPrev, m_btnNext);
    setTabOrder(m_btnNext, m_listMails);
}

void CListView1::OnInitialUpdate() {
    const QPixmap blank(QStringLiteral(":/res/blank.png"));
    const QPixmap check(QStringLiteral(":/res/check.png"));
    m_imageList[0] = QIcon(blank.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    m_imageList[1] = QIcon(check.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    m_bInitialised = true;
    m_saver->SetController(m_pTarselView);
    MeasureColumnsOnce();
    m_strMailNo = std::to_string(0);
    UpdateData(false);
    SetPageButtons(false, false);
}

int CListView1::ColumnWidthFor(int column, const char* widest) const {
    const QFontMetrics rows(m_listMails->font());
    const QFontMetrics header(m_listMails->header()->font());
    const QStyle* style = m_listMails->style();
    // The cell's text margins, and the header's on both sides of its label.
    const int cellMargin =
        2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_listMails) + 1);
    const int headerMargin =
        2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, m_listMails->header());
    return std::max(
               rows.horizontalAdvance(QString::fromUtf8(widest)) + cellMargin,
               header.horizontalAdvance(m_listMails->headerItem()->text(column)) + headerMargin) +
           kMargin;
}

int CListView1::ColumnRoom() const {
    // The vertical scroll bar of a full page takes its width from the columns' room: the
    // address column stays whole beside it.
    return m_listMails->width() - 2 * m_listMails->frameWidth() -
           m_listMails->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                             m_listMails->verticalScrollBar());
}

void CListView1::SetColumnWidths() {
    const int date = ColumnWidthFor(2, kWidestDate);
    const int address = ColumnWidthFor(3, kWidestAddress);
    const int sender = (ColumnRoom() - date - address) / 3;
    m_listMails->setColumnWidth(0, std::max(sender, 0));
    m_listMails->setColumnWidth(1, std::max(ColumnRoom() - date - address - sender, 0));
    m_listMails->setColumnWidth(2, date);
    m_listMails->setColumnWidth(3, address);
    m_bColumnsSet = true;
    FitTextColumns();
}

// The sender and the subject share what the other columns leave, each keeping its part of
// it (the user may have dragged the border between them); the others keep their widths.
void CListView1::FitTextColumns() {
    const int sender = m_listMails->columnCount() == 5 ? 1 : 0;
    const int subject = sender + 1;
    int others = 0;
    for (int column = 0; column < m_listMails->columnCount(); ++column) {
        others += column == sender || column == subject ? 0 : m_listMails->columnWidth(column);
    }
    const int before = m_listMails->columnWidth(sender) + m_listMails->columnWidth(subject);
    const double share = before > 0 ? double(m_listMails->columnWidth(sender)) / before : 1 / 3.0;
    // Never narrower than their labels: a list too narrow for them scrolls sideways.
    const int least = ColumnWidthFor(sender, "");
    const int room = std::max(ColumnRoom() - others, 2 * least);
    const int senderWidth = std::clamp(int(room * share + 0.5), least, room - least);
    m_listMails->setColumnWidth(sender, senderWidth);
    m_listMails->setColumnWidth(subject, room - senderWidth);
}

void CListView1::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_strMailNo = m_editMailNo->text().toStdString();
    } else if (m_editMailNo->text() != QString::fromStdString(m_strMailNo)) {
        m_editMailNo->setText(QString::fromStdString(m_strMailNo));
    }
}

void CListView1::OnPrevPage() {
    if (m_bBusy) {
        return;
    }
    m_pTarselView->StepPage(-1);
    m_pTarselView->RefreshControlStates();
}

void CListView1::OnNextPage() {
    if (m_bBusy) {
        return;
    }
    m_pTarselView->StepPage(+1);
    m_pTarselView->RefreshControlStates();
}

void CListView1::ClearList() {
    const QSignalBlocker quiet(m_listMails);
    m_listMails->clear();
}

void CListView1::SetPageButtons(bool previous, bool next) {
    m_bWantPrev = previous;
    m_bWantNext = next;
    UpdateButtons();
}

void CListView1::SetBusy(bool busy) {
    m_bBusy = busy;
    UpdateButtons();
}

void CListView1::UpdateButtons() {
    const int page = m_pTarselView != nullptr ? m_pTarselView->m_nPage : 0;
    const auto leadsInto = [this](int to) {
        return m_pTarselView != nullptr && m_pTarselView->PageExists(to);
    };
    m_btnPrev->setEnabled(!m_bBusy && m_bWantPrev && leadsInto(page - 1));
    m_btnNext->setEnabled(!m_bBusy && m_bWantNext && leadsInto(page + 1));
    m_saver->UpdateAction();
}

void CListView1::ShowRunPosition(int at, int total) {
    m_labelRunPosition->setText(
        total == 0 ? QString() : QString::fromUtf8(ui_text::kRunPosition).arg(at).arg(total));
}

void CListView1::ShowFileColumn(bool shown) {
    if (shown == (m_listMails->columnCount() == 5)) {
        return;
    }
    // The four columns keep their widths beside the archive's name, which takes the date's.
    QList<int> widths;
    for (int column = 0; column < m_listMails->columnCount(); ++column) {
        widths << m_listMails->columnWidth(column);
    }
    if (shown) {
        widths.prepend(widths[2]);
    } else {
        widths.removeFirst();
    }
    QStringList labels{
        QString::fromUtf8(ui_text::kColumnSender), QString::fromUtf8(ui_text::kColumnSubject),
        QString::fromUtf8(ui_text::kColumnDate), QString::fromUtf8(ui_text::kColumnAddress)};
    if (shown) {
        labels.prepend(QString::fromUtf8(ui_text::kColumnFile));
    }
    m_listMails->setColumnCount(static_cast<int>(labels.size()));
    m_listMails->setHeaderLabels(labels);
    for (int column = 0; column < m_listMails->columnCount(); ++column) {
        m_listMails->headerItem()->setTextAlignment(column, Qt::AlignLeft | Qt::AlignVCenter);
        m_listMails->setColumnWidth(column, widths[column]);
    }
    if (m_bColumnsSet) {
        FitTextColumns();
    }
}

void CListView1::ShowRows(const std::vector<HeaderRow>& rows, const std::vector<bool>& viewed) {
    const QSignalBlocker quiet(m_listMails);
    m_listMails->clear();
    const bool files = !rows.empty() && !rows.front().file.empty();
    ShowFileColumn(files);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const HeaderRow& row = rows[r];
        auto* item = new QTreeWidgetItem;
        int column = 0;
        if (files) {
            const QString name = QFile::decodeName(QByteArray::fromStdString(row.file));
            item->setText(column, QString::fromStdString(ShownOnOneLine(name.toStdString())));
            ++column;
        }
        for (const std::string* text : {&row.sender, &row.subject, &row.date, &row.address}) {
            item->setText(column, Shown(row, *text, kCellCharacters));
            if (text->size() > kCellCharacters &&
                CutAfter(*text, row.utf8, kCellCharacters) != std::string::npos) {
                // Given as rich text: a tooltip would take a subject that looks like markup
                // for rich text and render it.
                item->setToolTip(column,
                                 Qt::convertFromPlainText(Shown(row, *text, kToolTipCharacters)));
            }
            ++column;
        }
        const bool seen = r < viewed.size() && viewed[r];
        item->setIcon(0, m_imageList[seen ? 1 : 0]);
        items.append(item);
    }
    m_listMails->addTopLevelItems(items);
}

void CListView1::MarkRowViewed(int row) {
    QTreeWidgetItem* item = m_listMails->topLevelItem(row);
    if (item == nullptr) {
        return;
    }
    const QSignalBlocker quiet(m_listMails);
    item->setIcon(0, m_imageList[1]);
    m_listMails->setCurrentItem(item);
}

void CListView1::OnItemChangedList(QTreeWidgetItem* current) {
    if (current == nullptr) {
        return;
    }
    const int row = m_listMails->indexOfTopLevelItem(current);
    if (row < 0 || row == m_pTarselView->m_nSelRow) {
        return;
    }
    m_pTarselView->SelectRow(row);
}

void CListView1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int top = m_listMails->y();
    m_listMails->setGeometry(kMargin, top, std::max(event->size().width() - 2 * kMargin, 0),
                             std::max(event->size().height() - top - kMargin, 0));
    MeasureColumnsOnce();
    if (m_bColumnsSet) {
        FitTextColumns();
    }
}

void CListView1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    MeasureColumnsOnce();
}

// The columns are measured once, on the list as it first appears in the window (a pane that
// is not laid out yet has no width to measure); later size changes go to the text columns.
void CListView1::MeasureColumnsOnce() {
    if (m_bInitialised && !m_bColumnsSet && isVisible() && m_listMails->width() > 0) {
        SetColumnWidths();
    }
}

void CListView1::dragEnterEvent(QDragEnterEvent* event) {
    AcceptFileDrag(event, m_pTarselView);
}

void CListView1::dragMoveEvent(QDragMoveEvent* event) {
    AcceptFileDrag(event, m_pTarselView);
}

void CListView1::dropEvent(QDropEvent* event) {
    DeliverFileDrop(event, m_pInputView, m_pTarselView);
}

}  // namespace tarsel
