// A search driven through the window: Alt+S, the counters and icons after each phase, the
// boxes, the two input checks, a second search on the loaded file, the keys before and after
// a search, and closing the window while a phase runs.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "engine/messages.h"
#include "tests/support/temp_files.h"
#include "tests/ui/window_test_support.h"
#include "ui/child_frame.h"
#include "ui/input_view.h"
#include "ui/list_view.h"
#include "ui/main_frame.h"
#include "ui/prog_view.h"
#include "ui/tarsel_app.h"
#include "ui/tarsel_view.h"
#include "ui/window_texts.h"

using namespace tarsel;
using namespace tarsel::test;

namespace {

// What the input pane shows, written as "icons L C S / mails / hits / matches".
QString InputState(const CInputView* input) {
    QString icons;
    icons += input->m_iconLoad->isHidden() ? '-' : 'L';
    icons += input->m_iconCount->isHidden() ? '-' : 'C';
    icons += input->m_iconSearch->isHidden() ? '-' : 'S';
    return icons + " " + input->m_editMailCount->text() + "/" + input->m_editHitCount->text() +
           "/" + input->m_editMatchCount->text();
}

// Five mails, "needle" five times in three of them.
std::string FiveMails() {
    return Mail("a", "needle and needle") + Mail("b", "nothing here") + Mail("c", "one needle") +
           Mail("d", "no match") + Mail("e", "needle at the end needle");
}

}  // namespace

class TestSearchFlow : public QObject {
    Q_OBJECT
  private slots:
    void CountersAndIconsFollowThePhases();
    void WarningBoxesCarryTitleAndIcon_data();
    void WarningBoxesCarryTitleAndIcon();
    void InputChecksWarnBeforeAnyPhase_data();
    void InputChecksWarnBeforeAnyPhase();
    void SecondSearchSkipsLoadingAndCounting();
    void ControlsAreRefusedWhileAPhaseRuns();
    void PageKeysDoNothingBeforeASearch();
    void SearchWithoutMatchDisablesBothPageButtons();
    void AltTSelectsTheWholeSearchString();
    void EnterInTheSearchFieldStartsTheSearch_data();
    void EnterInTheSearchFieldStartsTheSearch();
    void ClosingDuringAPhaseWaitsForItsWork_data();
    void ClosingDuringAPhaseWaitsForItsWork();
    void EachPhaseEndIsHandledWithoutATimerTick_data();
    void EachPhaseEndIsHandledWithoutATimerTick();
};

void TestSearchFlow::CountersAndIconsFollowThePhases() {
    TempDir dir;
    const auto file = dir.Write("five.mbox", FiveMails());
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    WarningLog log;
    QStringList seen;
    connect(child->m_pTarselView, &CTarselView::phaseHandled, this, [&] {
        seen << InputState(child->m_pInputView) + " box" + QString::number(log.texts().size()) +
                    " rows" +
                    QString::number(child->m_pListView->m_listMails->topLevelItemCount()) + " no" +
                    child->m_pListView->m_editMailNo->text();
    });
    QVERIFY(DropFile(child->m_pInputView, file));
    QVERIFY(Search(child, "needle", log));
    const QStringList expected{
        "L-- 0/0/0 box0 rows0 no0",  // loaded
        "LC- 5/0/0 box0 rows0 no0",  // counted
        "LCS 5/5/3 box1 rows0 no0",  // searched, matching mails known, box given
        "LCS 5/5/3 box1 rows3 no1",  // first page: row 0 shown
    };
    QCOMPARE(seen, expected);
    QCOMPARE(child->m_pProgView->m_progress->value(), 100);
    QCOMPARE(log.texts(), QStringList{QString::fromUtf8(msg::kSearchDone)});
    QCOMPARE(QApplication::focusWidget(), child->m_pListView->m_listMails);
}

void TestSearchFlow::WarningBoxesCarryTitleAndIcon_data() {
    QTest::addColumn<bool>("dropFirst");
    QTest::addColumn<QString>("message");
    QTest::newRow("end of search") << true << QString::fromUtf8(msg::kSearchDone);
    QTest::newRow("no file") << false << QString::fromUtf8(msg::kNoFile);
}

void TestSearchFlow::WarningBoxesCarryTitleAndIcon() {
    QFETCH(bool, dropFirst);
    QFETCH(QString, message);
    TempDir dir;
    const auto file = dir.Write("five.mbox", FiveMails());
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    if (dropFirst) {
        QVERIFY(DropFile(child->m_pInputView, file));
    }
    // The real box: it runs its own event loop, so it is answered from a timer.
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = int(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        }
    });
    answer.start(20);
    child->m_pInputView->m_editSearch->setText("needle");
    PressAlt(child, Qt::Key_S);
    QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 30000);
    QCOMPARE(title, QString("警告"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(text, message);
    QCOMPARE(buttons, 1);
    QVERIFY(WaitForIdle(child));
}

void TestSearchFlow::InputChecksWarnBeforeAnyPhase_data() {
    QTest::addColumn<bool>("dropFile");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("warning");  // empty: the search starts
    const QString noFile = QString::fromUtf8(msg::kNoFile);
    const QString noSearch = QString::fromUtf8(msg::kNoSearch);
    QTest::newRow("no file, a good string") << false << "needle" << noFile;
    QTest::newRow("no file, no string") << false << "" << noFile;
    QTest::newRow("file, no string") << true << "" << noSearch;
    QTest::newRow("file, one ASCII character") << true << "n" << noSearch;
    QTest::newRow("file, two ASCII characters") << true << "ne"
                                                << "";
    QTest::newRow("file, one Japanese character") << true << "検"
                                                  << "";
    const QString notShiftJis = QString::fromUtf8(ui_text::kSearchNotShiftJis);
    QTest::newRow("a character without Shift-JIS form") << true << "検索😀" << notShiftJis;
    QTest::newRow("only such characters") << true << "😀😀" << notShiftJis;
}

void TestSearchFlow::InputChecksWarnBeforeAnyPhase() {
    QFETCH(bool, dropFile);
    QFETCH(QString, search);
    QFETCH(QString, warning);
    TempDir dir;
    const auto file = dir.Write("five.mbox", FiveMails());
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    if (dropFile) {
        QVERIFY(DropFile(child->m_pListView, file));
    }
    WarningLog log;
    child->m_pInputView->m_editSearch->setText(search);
    PressAlt(child, Qt::Key_S);
    if (warning.isEmpty()) {
        QVERIFY(log.texts().isEmpty());
        QVERIFY(child->m_pTarselView->IsPhaseRunning());
        QVERIFY(WaitForSearchEnd(child, log));
        QCOMPARE(child->m_pInputView->m_editMailCount->text(), QString("5"));
    } else {
        QCOMPARE(log.texts(), QStringList{warning});
        QVERIFY(!child->m_pTarselView->IsPhaseRunning());
        QVERIFY(child->m_pInputView->m_iconLoad->isHidden());
        QCOMPARE(child->m_pTarselView->m_nState.load(), int(kStateIdle));
    }
}

void TestSearchFlow::SecondSearchSkipsLoadingAndCounting() {
    TempDir dir;
    const auto file = dir.Write("five.mbox", FiveMails());
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    WarningLog log;
    QVERIFY(DropFile(child->m_pInputView, file));
    QVERIFY(Search(child, "needle", log));
    // The file on disk changes; a search on the loaded file does not read it again.
    dir.Write("five.mbox", NeedleMails(9));

    child->m_pInputView->m_editSearch->setText("match");
    PressAlt(child, Qt::Key_S);
    QCOMPARE(InputState(child->m_pInputView), QString("LC- 5/0/0"));
    QCOMPARE(child->m_pListView->m_listMails->topLevelItemCount(), 0);
    QCOMPARE(child->m_pListView->m_editMailNo->text(), QString("0"));
    QCOMPARE(child->m_pProgView->m_progress->value(), 0);
    QVERIFY(child->m_pTarselView->document()->isEmpty());
    QVERIFY(WaitForSearchEnd(child, log, 2));
    QCOMPARE(InputState(child->m_pInputView), QString("LCS 5/1/1"));
    QCOMPARE(child->m_pListView->m_listMails->topLevelItemCount(), 1);
    QCOMPARE(child->m_pListView->m_listMails->topLevelItem(0)->text(1), QString("d"));
}

void TestSearchFlow::ControlsAreRefusedWhileAPhaseRuns() {
    TempDir dir;
    const auto file = dir.Write("many.mbox", NeedleMails(45));
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    WarningLog log;
    QVERIFY(DropFile(child->m_pInputView, file));
    child->m_pInputView->m_editSearch->setText("needle");
    PressAlt(child, Qt::Key_S);
    QVERIFY(child->m_pTarselView->IsPhaseRunning());
    QVERIFY(!child->m_pInputView->m_btnStart->isEnabled());
    QVERIFY(!child->m_pListView->m_btnPrev->isEnabled());
    QVERIFY(!child->m_pListView->m_btnNext->isEnabled());
    // A second Alt+S and a click on the disabled button change nothing.
    child->m_pInputView->m_editSearch->setText("x");
    PressAlt(child, Qt::Key_S);
    QTest::mouseClick(child->m_pInputView->m_btnStart, Qt::LeftButton);
    QVERIFY(log.texts().isEmpty());
    QVERIFY(WaitForSearchEnd(child, log));
    QCOMPARE(child->m_pInputView->m_editMatchCount->text(), QString("45"));
    QVERIFY(child->m_pInputView->m_btnStart->isEnabled());
    QVERIFY(child->m_pListView->m_btnNext->isEnabled());
}

void TestSearchFlow::PageKeysDoNothingBeforeASearch() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    WarningLog log;
    PressAlt(child, Qt::Key_N);
    PressAlt(child, Qt::Key_P);
    QVERIFY(!child->m_pTarselView->IsPhaseRunning());
    QCOMPARE(child->m_pTarselView->m_nPage, 0);
    QCOMPARE(child->m_pTarselView->m_nState.load(), int(kStateIdle));
    QVERIFY(log.texts().isEmpty());
}

void TestSearchFlow::SearchWithoutMatchDisablesBothPageButtons() {
    TempDir dir;
    const auto file = dir.Write("many.mbox", NeedleMails(45));
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    WarningLog log;
    QVERIFY(DropFile(child->m_pInputView, file));
    QVERIFY(Search(child, "needle", log));
    PressAlt(child, Qt::Key_N);
    QVERIFY(WaitForIdle(child));
    QCOMPARE(child->m_pTarselView->m_nPage, 1);
    QVERIFY(child->m_pListView->m_btnPrev->isEnabled() &&
            child->m_pListView->m_btnNext->isEnabled());

    QVERIFY(Search(child, "haystack", log, 2));
    QCOMPARE(InputState(child->m_pInputView), QString("LCS 45/0/0"));
    QCOMPARE(log.Count(msg::kSearchDone), 2);
    QVERIFY(!child->m_pListView->m_btnPrev->isEnabled());
    QVERIFY(!child->m_pListView->m_btnNext->isEnabled());
    for (Qt::Key key : {Qt::Key_N, Qt::Key_P}) {
        PressAlt(child, key);
        QVERIFY(!child->m_pTarselView->IsPhaseRunning());
        QCOMPARE(child->m_pListView->m_listMails->topLevelItemCount(), 0);
    }
    QTest::mouseClick(child->m_pListView->m_btnNext, Qt::LeftButton);
    QVERIFY(!child->m_pTarselView->IsPhaseRunning());
    QCOMPARE(child->m_pListView->m_listMails->topLevelItemCount(), 0);
}

void TestSearchFlow::AltTSelectsTheWholeSearchString() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QLineEdit* edit = child->m_pInputView->m_editSearch;
    edit->setText("検索する文字列");
    // From another pane, and from the field itself with part of the text selected.
    child->m_pTarselView->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), child->m_pTarselView);
    PressAlt(child, Qt::Key_T);
    QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(edit->selectedText(), edit->text());
    edit->setSelection(2, 2);
    PressAlt(child, Qt::Key_T);
    QCOMPARE(edit->selectedText(), edit->text());
}

void TestSearchFlow::EnterInTheSearchFieldStartsTheSearch_data() {
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<QString>("search");
    QTest::newRow("raw mode") << false << "needle";
    QTest::newRow("decoded mode, a query") << true << "needle -nothing";
}

void TestSearchFlow::EnterInTheSearchFieldStartsTheSearch() {
    QFETCH(bool, decoded);
    QFETCH(QString, search);
    TempDir dir;
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    WarningLog log;
    QVERIFY(DropFile(child->m_pInputView, dir.Write("five.mbox", FiveMails())));
    child->m_pInputView->m_checkDecoded->setChecked(decoded);
    QLineEdit* edit = child->m_pInputView->m_editSearch;
    edit->setText(search);
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(WaitForSearchEnd(child, log));
    QCOMPARE(child->m_pInputView->m_editMatchCount->text(), QString("3"));
    child->m_pInputView->m_checkDecoded->setChecked(false);
}

void TestSearchFlow::ClosingDuringAPhaseWaitsForItsWork_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("main window closed") << "main";
    QTest::newRow("document window closed") << "document";
    QTest::newRow("windows replaced") << "replace";
}

void TestSearchFlow::ClosingDuringAPhaseWaitsForItsWork() {
    QFETCH(QString, how);
    TempDir dir;
    const auto big = dir.Write("big.mbox", NeedleMails(50000));
    const auto small = dir.Write("small.mbox", FiveMails());
    QPointer<CChildFrame> child = OpenWindow();
    QVERIFY(child);
    QVERIFY(DropFile(child->m_pInputView, big));
    WarningLog log;
    child->m_pInputView->m_editSearch->setText("needle");
    PressAlt(child, Qt::Key_S);
    QVERIFY(child->m_pTarselView->IsPhaseRunning());
    if (how == "main") {
        QVERIFY(App()->MainFrame()->close());
    } else if (how == "document") {
        QVERIFY(child->close());
    } else {
        QVERIFY(OpenWindow());
    }
    QTRY_VERIFY(child.isNull());
    if (how == "document") {
        // The main window stays, empty; the keys have no window to act on.
        QVERIFY(App()->MainFrame()->isVisible());
        QCOMPARE(App()->MainFrame()->ActiveChild(), nullptr);
        QTest::keyClick(App()->MainFrame(), Qt::Key_S, Qt::AltModifier);
    }
    QVERIFY(log.texts().isEmpty());

    // A new window searches from a clean start.
    CChildFrame* next = OpenWindow();
    QVERIFY(next);
    QVERIFY(DropFile(next->m_pInputView, small));
    QVERIFY(Search(next, "needle", log));
    QCOMPARE(InputState(next->m_pInputView), QString("LCS 5/5/3"));
}

void TestSearchFlow::EachPhaseEndIsHandledWithoutATimerTick_data() {
    QTest::addColumn<bool>("realBox");  // the box's own event loop runs while it is open
    QTest::newRow("box recorded") << false;
    QTest::newRow("real box answered") << true;
}

void TestSearchFlow::EachPhaseEndIsHandledWithoutATimerTick() {
    QFETCH(bool, realBox);
    TempDir dir;
    const auto file = dir.Write("five.mbox", FiveMails());
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    CTarselView* view = child->m_pTarselView;
    auto* timer = view->findChild<QTimer*>("driverTimer");
    QVERIFY(timer);
    timer->setInterval(24 * 60 * 60 * 1000);  // no tick while the test runs
    WarningLog log;
    QStringList boxes;
    QTimer answer;  // a user who answers the real box as soon as it is up
    if (realBox) {
        SetWarningPresenter({});  // the log puts its own back when it goes
        connect(&answer, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        answer.start(5);
    }
    int handled = 0;
    connect(view, &CTarselView::phaseHandled, this, [&] { ++handled; });
    QVERIFY(DropFile(child->m_pInputView, file));
    child->m_pInputView->m_editSearch->setText("needle");
    PressAlt(child, Qt::Key_S);
    QVERIFY(QTest::qWaitFor([&] { return handled >= 4 && !view->IsPhaseRunning(); }, 30000));
    QCOMPARE(handled, 4);  // loaded, counted, searched, first page: each once
    QCOMPARE(log.texts() + boxes, QStringList{QString::fromUtf8(msg::kSearchDone)});
    QCOMPARE(InputState(child->m_pInputView), QString("LCS 5/5/3"));
    QCOMPARE(child->m_pListView->m_listMails->topLevelItemCount(), 3);
    QVERIFY(!view->document()->isEmpty());
}

TARSEL_UI_TEST_MAIN(TestSearchFlow)
#include "test_search_flow.moc"
