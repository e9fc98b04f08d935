// The result list: pages of 20 rows with their buttons and keys, selecting rows, the check
// marks of mails already shown, and the rows' texts.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTextDocumentFragment>
#include <QTreeWidget>

#include "engine/messages.h"
#include "tests/support/temp_files.h"
#include "tests/ui/window_test_support.h"
#include "ui/child_frame.h"
#include "ui/input_view.h"
#include "ui/list_view.h"
#include "ui/tarsel_view.h"

using namespace tarsel;
using namespace tarsel::test;

namespace {

// The list as "counter | rows | first subject | prev next", e.g. "21 | 20 | mail 21 | PN".
QString ListState(const CListView1* list) {
    const QTreeWidget* rows = list->m_listMails;
    const QString first = rows->topLevelItemCount() > 0 ? rows->topLevelItem(0)->text(1) : "-";
    return list->m_editMailNo->text() + " | " + QString::number(rows->topLevelItemCount()) + " | " +
           first + " | " + (list->m_btnPrev->isEnabled() ? "P" : "-") +
           (list->m_btnNext->isEnabled() ? "N" : "-");
}

// Rows marked with the check mark, e.g. "0 3".
QString CheckedRows(const CListView1* list) {
    QStringList rows;
    for (int r = 0; r < list->m_listMails->topLevelItemCount(); ++r) {
        const qint64 icon = list->m_listMails->topLevelItem(r)->icon(0).cacheKey();
        if (icon == list->m_imageList[1].cacheKey()) {
            rows << QString::number(r);
        } else if (icon != list->m_imageList[0].cacheKey()) {
            rows << "?" + QString::number(r);
        }
    }
    return rows.join(' ');
}

void ClickRow(CListView1* list, int row) {
    QTreeWidgetItem* item = list->m_listMails->topLevelItem(row);
    list->m_listMails->scrollToItem(item);
    const QRect place = list->m_listMails->visualItemRect(item);
    QTest::mouseClick(list->m_listMails->viewport(), Qt::LeftButton, Qt::NoModifier,
                      place.center());
}

}  // namespace

class TestResultPages : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void PagesStepWithButtonsAndKeys_data();
    void PagesStepWithButtonsAndKeys();
    void SelectingRowsShowsAndMarksThem();
    void RowsShowTheHeadersInJapanese();
    void RowsShowEachFieldOnOneBoundedLine_data();
    void RowsShowEachFieldOnOneBoundedLine();

  private:
    TempDir* m_dir = nullptr;
    WarningLog* m_log = nullptr;
    CChildFrame* m_child = nullptr;
};

void TestResultPages::init() {
    m_dir = new TempDir;
    m_log = new WarningLog;
    m_child = OpenWindow();
    QVERIFY(m_child);
    QVERIFY(DropFile(m_child->m_pInputView, m_dir->Write("45.mbox", NeedleMails(45))));
    QVERIFY(Search(m_child, "needle", *m_log));
}

void TestResultPages::cleanup() {
    delete m_log;
    delete m_dir;
}

void TestResultPages::PagesStepWithButtonsAndKeys_data() {
    // One step after another from page 0; each row is the state after its step.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("states");
    const QString page0 = "1 | 20 | mail 1 | -N";
    const QString page1 = "21 | 20 | mail 21 | PN";
    const QString page2 = "41 | 5 | mail 41 | P-";
    QTest::newRow("keys") << QStringList{"Alt+P", "Alt+N", "Alt+N", "Alt+N", "Alt+P", "Alt+P"}
                          << QStringList{page0, page1, page2, page2, page1, page0};
    QTest::newRow("buttons") << QStringList{"next", "next", "prev", "prev"}
                             << QStringList{page1, page2, page1, page0};
}

void TestResultPages::PagesStepWithButtonsAndKeys() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, states);
    CListView1* list = m_child->m_pListView;
    QCOMPARE(ListState(list), QString("1 | 20 | mail 1 | -N"));
    for (int i = 0; i < steps.size(); ++i) {
        const QString& step = steps[i];
        if (step == "Alt+P" || step == "Alt+N") {
            PressAlt(m_child, step == "Alt+P" ? Qt::Key_P : Qt::Key_N);
        } else {
            QPushButton* button = step == "prev" ? list->m_btnPrev : list->m_btnNext;
            QVERIFY2(button->isEnabled(), qPrintable(step));
            QTest::mouseClick(button, Qt::LeftButton);
            // While the page is extracted no step can be taken.
            QVERIFY(!list->m_btnPrev->isEnabled() && !list->m_btnNext->isEnabled());
        }
        QVERIFY(WaitForIdle(m_child));
        QCOMPARE(ListState(list), states[i]);
    }
    QCOMPARE(m_log->Count(msg::kSearchDone), 1);  // a page step is not a new search
}

void TestResultPages::SelectingRowsShowsAndMarksThem() {
    CListView1* list = m_child->m_pListView;
    CTarselView* mail = m_child->m_pTarselView;
    QCOMPARE(CheckedRows(list), QString("0"));
    QVERIFY(mail->toPlainText().startsWith("body of mail 1 "));

    PressAlt(m_child, Qt::Key_N);
    QVERIFY(WaitForIdle(m_child));
    ClickRow(list, 3);
    QCOMPARE(list->m_editMailNo->text(), QString("24"));
    QVERIFY(mail->toPlainText().startsWith("body of mail 24 "));
    QCOMPARE(CheckedRows(list), QString("0 3"));

    // The arrow key moves the current row, and so the mail shown.
    QTest::keyClick(list->m_listMails, Qt::Key_Down);
    QCOMPARE(list->m_editMailNo->text(), QString("25"));
    QCOMPARE(CheckedRows(list), QString("0 3 4"));

    // Selecting the row already shown does not show it again over the user's edit.
    mail->setPlainText("edited by hand");
    ClickRow(list, 4);
    QCOMPARE(mail->toPlainText(), QString("edited by hand"));

    // The marks come back with their page; page 0 keeps only its first row marked.
    PressAlt(m_child, Qt::Key_N);
    QVERIFY(WaitForIdle(m_child));
    QCOMPARE(CheckedRows(list), QString("0"));
    PressAlt(m_child, Qt::Key_P);
    QVERIFY(WaitForIdle(m_child));
    QCOMPARE(CheckedRows(list), QString("0 3 4"));
    QCOMPARE(list->m_editMailNo->text(), QString("21"));
    PressAlt(m_child, Qt::Key_P);
    QVERIFY(WaitForIdle(m_child));
    QCOMPARE(CheckedRows(list), QString("0"));
}

void TestResultPages::RowsShowTheHeadersInJapanese() {
    const std::string first =
        Mail("=?ISO-2022-JP?B?GyRCMnE1RCROTT1EahsoQg==?=", "\x1B$B8!:w\x1B(B of the week",
             "=?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <yamada@example.jp>");
    const std::string second = Mail("plain subject", "another \x1B$B8!:w\x1B(B");
    const std::string archive = first + second;
    const auto bodyOf = [&](std::size_t start) { return archive.find("\r\n\r\n", start) + 4; };
    QVERIFY(DropFile(m_child->m_pInputView, m_dir->Write("jp.mbox", archive)));
    QVERIFY(Search(m_child, "検索", *m_log, 2));
    QTreeWidget* rows = m_child->m_pListView->m_listMails;
    QCOMPARE(rows->topLevelItemCount(), 2);
    const QTreeWidgetItem* row0 = rows->topLevelItem(0);
    QCOMPARE(row0->text(0), QString("山田 <yamada@example.jp>"));
    QCOMPARE(row0->text(1), QString("会議の予定"));
    QCOMPARE(row0->text(2), QString("99/12/07 12:34:56"));
    QCOMPARE(row0->text(3), "0x" + QString::number(bodyOf(0), 16));
    QCOMPARE(rows->topLevelItem(1)->text(3), "0x" + QString::number(bodyOf(first.size()), 16));
    QCOMPARE(m_child->m_pTarselView->toPlainText(), QString("検索 of the week\n"));
}

void TestResultPages::RowsShowEachFieldOnOneBoundedLine_data() {
    QTest::addColumn<QByteArray>("subject");  // as the header holds it
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("toolTip");  // as plain text; empty for none
    const QString more = QString::fromUtf8("…");
    QTest::newRow("megabytes") << QByteArray(3'000'000, 'x') << false << QString(2000, 'x') + more
                               << QString(10000, 'x') + more;
    // Shift-JIS pairs behind one single byte: a cut by bytes would split a pair.
    QTest::newRow("pairs") << "a" + QByteArray("\x8c\x9f\x8d\xf5").repeated(500'000) << false
                           << "a" + QString::fromUtf8("検索").repeated(999) +
                                  QString::fromUtf8("検") + more
                           << "a" + QString::fromUtf8("検索").repeated(4999) +
                                  QString::fromUtf8("検") + more;
    QTest::newRow("line breaks") << "=?ISO-2022-JP?B?" + QByteArray("a\tb\r\nc").toBase64() + "?="
                                 << false << "a b  c"
                                 << "";
    QTest::newRow("reordering") << "=?UTF-8?B?" + QByteArray("txt\u202e.exe").toBase64() + "?="
                                << true << QString::fromUtf8("txt\ufffd.exe") << "";
}

// A header line of megabytes is cut (whole characters, then "…"), with more of it in the
// tooltip; line breaks inside it and the characters that would reorder it are not shown as
// they are. The row keeps the height of every other row.
void TestResultPages::RowsShowEachFieldOnOneBoundedLine() {
    QFETCH(QByteArray, subject);
    QFETCH(bool, decoded);
    QFETCH(QString, shown);
    QFETCH(QString, toolTip);
    QTreeWidget* rows = m_child->m_pListView->m_listMails;
    const int normalHeight = rows->visualItemRect(rows->topLevelItem(0)).height();
    QCheckBox* mode = m_child->m_pInputView->m_checkDecoded;
    const auto rawAgain = qScopeGuard([mode] { mode->setChecked(false); });  // it is remembered
    mode->setChecked(decoded);
    const std::string mail = Mail(subject.toStdString(), "needle\r\n");
    QVERIFY(DropFile(m_child->m_pInputView, m_dir->Write("long.mbox", mail)));
    QVERIFY(Search(m_child, "needle", *m_log, 2));
    const QTreeWidgetItem* row = rows->topLevelItem(0);
    QVERIFY(row != nullptr);
    QCOMPARE(row->text(1), shown);
    QCOMPARE(QTextDocumentFragment::fromHtml(row->toolTip(1)).toPlainText(), toolTip);
    QCOMPARE(rows->visualItemRect(row).height(), normalHeight);
}

TARSEL_UI_TEST_MAIN(TestResultPages)
#include "test_result_pages.moc"
