// The decoded search's options in the input pane: their labels and keys, greyed in the raw
// mode, their states kept across windows, the search field's query tooltip, and a search that
// counts what the options ask for.
#include <QCheckBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QSettings>
#include <QToolTip>

#include "tests/support/temp_files.h"
#include "tests/ui/window_test_support.h"
#include "ui/child_frame.h"
#include "ui/input_view.h"
#include "ui/tarsel_view.h"

using namespace tarsel;
using namespace tarsel::test;

namespace {

QCheckBox* Option(CChildFrame* child, bool kana) {
    return kana ? child->m_pInputView->m_checkKana : child->m_pInputView->m_checkExact;
}

// A mail whose body is UTF-8 text.
std::string Utf8Mail(std::string_view body) {
    return "\x7f \x7f"
           "From: Taro <taro@example.jp>\r\nSubject: note\r\n"
           "Content-Type: text/plain; charset=utf-8\r\n\r\n" +
           std::string(body) + "\r\n";
}

}  // namespace

class TestQueryOptions : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void OptionFollowsTheModeAndIsRemembered_data();
    void OptionFollowsTheModeAndIsRemembered();
    void TabOrderAndTooltipFollowTheDecodedBox();
    void WindowPassesTheOptionsToTheSearch_data();
    void WindowPassesTheOptionsToTheSearch();
};

void TestQueryOptions::init() {
    for (const char* key : {CInputView::kDecodedKey, CInputView::kKanaKey, CInputView::kExactKey}) {
        QSettings().remove(key);
    }
}

void TestQueryOptions::OptionFollowsTheModeAndIsRemembered_data() {
    QTest::addColumn<bool>("kana");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("letter");
    QTest::newRow("kana") << true << QString::fromUtf8("かな/カナを区別しない(&K)")
                          << CInputView::kKanaKey << int(Qt::Key_K);
    QTest::newRow("exact") << false << QString::fromUtf8("完全一致(&E)") << CInputView::kExactKey
                           << int(Qt::Key_E);
}

void TestQueryOptions::OptionFollowsTheModeAndIsRemembered() {
    QFETCH(bool, kana);
    QFETCH(QString, label);
    QFETCH(QString, key);
    QFETCH(int, letter);
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QCheckBox* box = Option(child, kana);
    QCOMPARE(box->text(), label);
    QVERIFY(!box->isChecked() && !box->isEnabled());
    child->m_pInputView->m_editSearch->setFocus();
    PressAlt(child, Qt::Key(letter));  // greyed: the key does nothing
    QTest::qWait(50);
    QVERIFY(!box->isChecked());

    child->m_pInputView->m_checkDecoded->setChecked(true);
    QVERIFY(box->isEnabled());
    PressAlt(child, Qt::Key(letter));
    QTRY_VERIFY(box->isChecked());
    QCOMPARE(QSettings().value(key).toBool(), true);
    QVERIFY(!Option(child, !kana)->isChecked());  // the other one's letter is its own

    child = OpenWindow();
    QVERIFY(child);
    QVERIFY(Option(child, kana)->isChecked() && Option(child, kana)->isEnabled());
    child->m_pInputView->m_checkDecoded->setChecked(false);
    QVERIFY(Option(child, kana)->isChecked() && !Option(child, kana)->isEnabled());
}

void TestQueryOptions::TabOrderAndTooltipFollowTheDecodedBox() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    CInputView* input = child->m_pInputView;
    QCOMPARE(input->m_checkDecoded->nextInFocusChain(), input->m_checkKana);
    QCOMPARE(input->m_checkKana->nextInFocusChain(), input->m_checkExact);

    QVERIFY(input->m_editSearch->toolTip().isEmpty());
    input->m_checkDecoded->setChecked(true);
    const QPoint centre = input->m_editSearch->rect().center();
    QHelpEvent hover(QEvent::ToolTip, centre, input->m_editSearch->mapToGlobal(centre));
    QApplication::sendEvent(input->m_editSearch, &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    for (const char* line :
         {"\"語 語\"", "-語", "OR", "件名:", "date:", "YYYY-MM-DD", "完全一致"}) {
        QVERIFY2(QToolTip::text().contains(QString::fromUtf8(line)), line);
    }
    QToolTip::hideText();
    input->m_checkDecoded->setChecked(false);
    QVERIFY(input->m_editSearch->toolTip().isEmpty());
}

void TestQueryOptions::WindowPassesTheOptionsToTheSearch_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("kana");         // the option that the archive answers differently
    QTest::addColumn<QString>("offCount");  // hits and matching mails alike
    QTest::addColumn<QString>("onCount");
    // Folded, fyi finds ＦＹＩ too; かな finds カナ only with the kana option.
    QTest::newRow("exact") << QString("fyi") << false << QString("2") << QString("1");
    QTest::newRow("kana") << QString::fromUtf8("かな") << true << QString("1") << QString("2");
}

// Each query once without and once with its option: the window counts what the command line's
// tests establish for the same options, so an option the window drops shows. (The window runs
// no tarsel-search itself: a child forked beside the worker threads leaves the thread sanitizer
// without their order, and it reports races that are none.)
void TestQueryOptions::WindowPassesTheOptionsToTheSearch() {
    QFETCH(QString, query);
    QFETCH(bool, kana);
    QFETCH(QString, offCount);
    QFETCH(QString, onCount);
    TempDir dir;
    const auto file = dir.Write(
        "options.mbox", Utf8Mail("ＦＹＩ") + Utf8Mail("fyi") + Utf8Mail("かな") + Utf8Mail("カナ"));
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    child->m_pInputView->m_checkDecoded->setChecked(true);
    QVERIFY(DropFile(child->m_pInputView, file));
    WarningLog log;
    for (const bool on : {false, true}) {
        Option(child, kana)->setChecked(on);
        QVERIFY(Search(child, query, log, on ? 2 : 1));
        const QString& want = on ? onCount : offCount;
        QCOMPARE(child->m_pInputView->m_editHitCount->text(), want);
        QCOMPARE(child->m_pInputView->m_editMatchCount->text(), want);
    }
}

TARSEL_UI_TEST_MAIN(TestQueryOptions)
#include "test_query_options.moc"
