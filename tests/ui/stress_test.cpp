// The window under pressure: searches started, pages stepped and files dropped faster than the
// phases end, and the window closed in every phase of a search and while the end-of-search box
// is open. `make test-tsan` and `make test-asan` run it instrumented, so a race between the
// window and the work units, or a pane used after it was destroyed, fails it.
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <random>

#include "engine/messages.h"
#include "engine/search_state.h"
#include "engine/worker_pool.h"
#include "tests/support/temp_files.h"
#include "tests/ui/window_test_support.h"
#include "ui/child_frame.h"
#include "ui/input_view.h"
#include "ui/list_view.h"
#include "ui/main_frame.h"
#include "ui/prog_view.h"
#include "ui/tarsel_view.h"
#include "ui/warning_box.h"

using namespace tarsel;
using namespace tarsel::test;

namespace {

// Enough mails for a few chunks per phase and a hundred result pages.
constexpr int kMails = 2000;

QString Counters(const CChildFrame* child) {
    const CInputView* input = child->m_pInputView;
    return input->m_editMailCount->text() + "/" + input->m_editHitCount->text() + "/" +
           input->m_editMatchCount->text();
}

const QString kAllMatch = QString("%1/%1/%1").arg(kMails);

// Closes the document window alone, or the main window with it.
void Close(CChildFrame* child, const QString& how) {
    if (how == "main") {
        App()->MainFrame()->close();
    } else {
        child->close();
    }
}

// After a window went mid-search: nothing of the search is left pending, and a new window
// searches the same file from a clean start.
void ExpectACleanStartAfterwards(const std::filesystem::path& file, WarningLog& log) {
    QVERIFY(WorkerPool::Shared().Idle());
    CChildFrame* next = OpenWindow();
    QVERIFY(next);
    QVERIFY(DropFile(next->m_pInputView, file));
    log.Clear();
    QVERIFY(Search(next, "needle", log));
    QCOMPARE(Counters(next), kAllMatch);
    QCOMPARE(next->m_pListView->m_listMails->topLevelItemCount(), kPageRows);
}

}  // namespace

class TestStress : public QObject {
    Q_OBJECT
  private slots:
    void ClosingDuringEachPhase_data();
    void ClosingDuringEachPhase();
    void ClosingWhileTheEndOfSearchBoxIsOpen_data();
    void ClosingWhileTheEndOfSearchBoxIsOpen();
    void StartsStepsAndDropsInQuickSuccession();
};

void TestStress::ClosingDuringEachPhase_data() {
    QTest::addColumn<int>("phasesHandled");  // phases the driver ends before the close
    QTest::addColumn<bool>("laterPage");     // close while a later page is extracted
    QTest::addColumn<QString>("how");
    const struct {
        const char* name;
        int phasesHandled;
        bool laterPage;
    } moments[] = {
        {"loading", 0, false},    {"counting", 1, false},  {"searching", 2, false},
        {"first page", 3, false}, {"later page", 0, true},
    };
    for (const auto& moment : moments) {
        for (const char* how : {"document", "main"}) {
            QTest::addRow("%s, %s window closed", moment.name, how)
                << moment.phasesHandled << moment.laterPage << QString(how);
        }
    }
}

void TestStress::ClosingDuringEachPhase() {
    QFETCH(int, phasesHandled);
    QFETCH(bool, laterPage);
    QFETCH(QString, how);
    TempDir dir;
    const auto file = dir.Write("stress.mbox", NeedleMails(kMails));
    const std::string bytes = ReadAll(file);
    QPointer<CChildFrame> child = OpenWindow();
    QVERIFY(child);
    CTarselView* view = child->m_pTarselView;
    WarningLog log;
    QVERIFY(DropFile(child->m_pInputView, file));

    bool runningAtClose = false;
    int handled = 0;
    if (laterPage) {
        QVERIFY(Search(child, "needle", log));
        PressAlt(child, Qt::Key_N);
        runningAtClose = view->IsPhaseRunning();
        Close(child, how);
    } else {
        // Closed from the driver's own tick, right after it started the next phase.
        connect(view, &CTarselView::phaseHandled, this, [&] {
            if (++handled == phasesHandled) {
                runningAtClose = view->IsPhaseRunning();
                Close(child, how);
            }
        });
        child->m_pInputView->m_editSearch->setText("needle");
        PressAlt(child, Qt::Key_S);
        if (phasesHandled == 0) {
            runningAtClose = view->IsPhaseRunning();
            Close(child, how);
        }
    }
    QTRY_VERIFY(child.isNull());
    QVERIFY2(runningAtClose, "the window was closed between phases, not during one");
    QVERIFY(ReadAll(file) == bytes);
    ExpectACleanStartAfterwards(file, log);
}

void TestStress::ClosingWhileTheEndOfSearchBoxIsOpen_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("document window closed") << "document";
    QTest::newRow("main window closed") << "main";
}

void TestStress::ClosingWhileTheEndOfSearchBoxIsOpen() {
    QFETCH(QString, how);
    // A programmatic close while the box is open (as at the end of a desktop session; the
    // box blocks the user's own close) must not destroy the mail pane under the box, whose
    // event loop the driver is waiting in: the box goes first, then the window.
    TempDir dir;
    const auto file = dir.Write("stress.mbox", NeedleMails(kMails));
    QPointer<CChildFrame> child = OpenWindow();
    QVERIFY(child);
    QVERIFY(DropFile(child->m_pInputView, file));

    // The real box, with its own event loop: the first look at it closes the window behind
    // it, a later one answers it if it is still there.
    const WarningPresenter previous = SetWarningPresenter({});
    QStringList boxes;
    bool closed = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        if (!closed) {
            boxes << box->text();
            closed = true;
            Close(child, how);
        } else {
            box->button(QMessageBox::Ok)->click();
        }
    });
    watcher.start(5);
    child->m_pInputView->m_editSearch->setText("needle");
    PressAlt(child, Qt::Key_S);
    QTRY_VERIFY(child.isNull());
    watcher.stop();
    SetWarningPresenter(previous);

    QCOMPARE(boxes, QStringList{QString::fromUtf8(msg::kSearchDone)});
    WarningLog log;
    ExpectACleanStartAfterwards(file, log);
}

void TestStress::StartsStepsAndDropsInQuickSuccession() {
    TempDir dir;
    const auto many = dir.Write("many.mbox", NeedleMails(kMails));
    const auto few = dir.Write("few.mbox", NeedleMails(45));
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    CTarselView* view = child->m_pTarselView;
    CInputView* input = child->m_pInputView;
    CListView1* list = child->m_pListView;
    // A drop on the mail pane lands on its viewport, as one from a file manager does.
    QWidget* panes[] = {input, list, child->m_pProgView, view->viewport()};
    WarningLog log;
    QVERIFY(DropFile(input, many));
    input->m_editSearch->setText("needle");

    std::mt19937 random(7);
    int refusedDrops = 0;
    for (int step = 0; step < 400; ++step) {
        const bool running = view->IsPhaseRunning();
        // While a phase runs every control that would start one is off.
        QVERIFY(!running || !input->m_btnStart->isEnabled());
        QVERIFY(!running || (!list->m_btnPrev->isEnabled() && !list->m_btnNext->isEnabled()));
        switch (random() % 8) {
            case 0:
                PressAlt(child, Qt::Key_S);
                break;
            case 1:
                QTest::mouseClick(input->m_btnStart, Qt::LeftButton);
                break;
            case 2:
                PressAlt(child, Qt::Key_N);
                break;
            case 3:
                PressAlt(child, Qt::Key_P);
                break;
            case 4: {
                // A drop is taken only between phases.
                const bool taken = DropFile(panes[random() % 4], random() % 2 ? many : few);
                QCOMPARE(taken, !running);
                refusedDrops += taken ? 0 : 1;
                break;
            }
            case 5:
                if (list->m_listMails->topLevelItemCount() > 0) {
                    const int row = int(random() % list->m_listMails->topLevelItemCount());
                    list->m_listMails->setCurrentItem(list->m_listMails->topLevelItem(row));
                }
                break;
            default:
                // Now and then the timer gets a tick or a few in between.
                QTest::qWait(int(random() % 25));
                break;
        }
    }
    QVERIFY(WaitForIdle(child));
    for (const QString& text : log.texts()) {
        QCOMPARE(text, QString::fromUtf8(msg::kSearchDone));
    }
    // The sequence did reach both sides: searches that ended, and drops refused mid-phase.
    QVERIFY(log.Count(msg::kSearchDone) > 0);
    QVERIFY(refusedDrops > 0);

    // The window still searches correctly.
    QVERIFY(DropFile(input, many));
    const int done = log.Count(msg::kSearchDone);
    QVERIFY(Search(child, "needle", log, done + 1));
    QCOMPARE(Counters(child), kAllMatch);
    PressAlt(child, Qt::Key_N);
    QVERIFY(WaitForIdle(child));
    QCOMPARE(list->m_editMailNo->text(), QString::number(kPageRows + 1));
}

TARSEL_UI_TEST_MAIN(TestStress)
#include "stress_test.moc"
