// Reading a shown mail: F3 and Shift+F3 step through its red runs and bring each into view,
// the list pane tells which run the caret stands at, and Ctrl+F finds any other text.
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTreeWidget>

#include "tests/support/temp_files.h"
#include "tests/ui/window_test_support.h"
#include "ui/child_frame.h"
#include "ui/find_bar.h"
#include "ui/input_view.h"
#include "ui/list_view.h"
#include "ui/tarsel_doc.h"
#include "ui/tarsel_view.h"

using namespace tarsel;
using namespace tarsel::test;

namespace {

// Three hits: on the first line, on line 200, and at column 300 of line 201.
std::string LongMail() {
    std::string body = "needle on the first line\r\n";
    for (int line = 2; line < 200; ++line) {
        body += "line " + std::to_string(line) + "\r\n";
    }
    body += "needle on line 200\r\n" + std::string(300, 'x') + "needle\r\nthe end";
    return Mail("s", body);
}

// Presses "F3", "S" (Shift+F3) in turn on the focused widget.
void PressKeys(const QString& keys) {
    for (const QChar key : keys) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3,
                        key == 'S' ? Qt::ShiftModifier : Qt::NoModifier);
    }
}

// "apple" three times, the third far below, beside the red "needle".
std::string FruitMail() {
    std::string body = "needle apple\r\n";
    for (int line = 2; line < 150; ++line) {
        body += "line " + std::to_string(line) + "\r\n";
    }
    body += "apple\r\n" + std::string(200, 'x') + "apple end";
    return Mail("s", body);
}

// The start of the n-th (0-based) "apple" of the shown text.
int NthApple(const QString& text, int n) {
    int at = -1;
    for (int i = 0; i <= n; ++i) {
        at = text.indexOf("apple", at + 1);
    }
    return at;
}

}  // namespace

class TestReading : public QObject {
    Q_OBJECT
  private slots:
    void F3StepsThroughTheRedRuns_data();
    void F3StepsThroughTheRedRuns();
    void FindBarFindsAnyText_data();
    void FindBarFindsAnyText();
};

void TestReading::F3StepsThroughTheRedRuns_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("run");  // 0-based run selected afterwards
    QTest::newRow("the first") << "F" << 0;
    QTest::newRow("down to line 200") << "FF" << 1;
    QTest::newRow("far to the right") << "FFF" << 2;
    QTest::newRow("F3 at the last stays there") << "FFFFF" << 2;
    QTest::newRow("Shift+F3 goes back") << "FFFS" << 1;
    QTest::newRow("Shift+F3 at the first stays there") << "FSS" << 0;
}

void TestReading::F3StepsThroughTheRedRuns() {
    QFETCH(QString, keys);
    QFETCH(int, run);
    TempDir dir;
    WarningLog log;
    // The list has the focus, as after every search.
    CChildFrame* child = SearchedWindow(dir.Write("a.mbox", LongMail()), "needle", log);
    QVERIFY(child);
    CTarselView* view = child->m_pTarselView;
    QLabel* position = child->m_pListView->m_labelRunPosition;
    QCOMPARE(position->text(), QString("該当箇所 0 / 3"));
    PressKeys(keys);
    const TextRun& red = view->GetDocument()->RedRuns().at(std::size_t(run));
    QCOMPARE(view->textCursor().selectionStart(), red.start);
    QCOMPARE(view->textCursor().selectionEnd(), red.start + red.length);
    QCOMPARE(view->textCursor().selectedText(), QString("needle"));
    QCOMPARE(position->text(), QString("該当箇所 %1 / 3").arg(run + 1));
    // Both ends of the run are in view; the focus stayed in the list.
    QTextCursor start = view->textCursor();
    start.setPosition(red.start);
    QVERIFY(view->viewport()->rect().contains(view->cursorRect(start)));
    QVERIFY(view->viewport()->rect().contains(view->cursorRect()));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(child->m_pListView->m_listMails));
}

void TestReading::FindBarFindsAnyText_data() {
    QTest::addColumn<QString>("keys");  // E: Enter, S: Shift+Enter
    QTest::addColumn<int>("apple");     // 0-based occurrence selected afterwards
    QTest::newRow("Enter finds the first") << "E" << 0;
    QTest::newRow("Enter again goes down the mail") << "EEE" << 2;
    QTest::newRow("past the last wraps to the first") << "EEEE" << 0;
    QTest::newRow("Shift+Enter goes back") << "EES" << 0;
    QTest::newRow("Shift+Enter from the top wraps to the last") << "S" << 2;
}

void TestReading::FindBarFindsAnyText() {
    QFETCH(QString, keys);
    QFETCH(int, apple);
    TempDir dir;
    WarningLog log;
    CChildFrame* child = SearchedWindow(dir.Write("a.mbox", FruitMail()), "needle", log);
    QVERIFY(child);
    CTarselView* view = child->m_pTarselView;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
    CFindBar* bar = view->m_pFindBar;
    QVERIFY(bar->isVisible());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(bar->m_editFind));
    QTest::keyClicks(bar->m_editFind, "apple");
    for (const QChar key : keys) {
        QTest::keyClick(bar->m_editFind, Qt::Key_Return,
                        key == 'S' ? Qt::ShiftModifier : Qt::NoModifier);
    }
    const int start = NthApple(view->toPlainText(), apple);
    QCOMPARE(view->textCursor().selectionStart(), start);
    QCOMPARE(view->textCursor().selectedText(), QString("apple"));
    QVERIFY(view->viewport()->rect().contains(view->cursorRect()));
    // The bar stays open for the next Enter; Esc closes it and gives the pane the focus.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(bar->m_editFind));
    QTest::keyClick(bar->m_editFind, Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view));
}

TARSEL_UI_TEST_MAIN(TestReading)
#include "test_reading.moc"
