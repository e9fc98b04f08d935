// The four panes as they first appear, their layout, and a file dropped onto each of them.
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QUrl>

#include "engine/messages.h"
#include "tests/support/temp_files.h"
#include "tests/ui/window_test_support.h"
#include "ui/child_frame.h"
#include "ui/input_view.h"
#include "ui/list_view.h"
#include "ui/main_frame.h"
#include "ui/prog_view.h"
#include "ui/tarsel_app.h"
#include "ui/tarsel_doc.h"
#include "ui/tarsel_view.h"

using namespace tarsel;
using namespace tarsel::test;

namespace {

QWidget* PaneNamed(CChildFrame* child, const QString& name) {
    if (name == "input")
        return child->m_pInputView;
    if (name == "list")
        return child->m_pListView;
    if (name == "progress")
        return child->m_pProgView;
    return child->m_pTarselView->viewport();  // where a drop on the mail pane lands
}

QStringList LabelTexts(QWidget* pane) {
    QStringList texts;
    for (const QLabel* label : pane->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            texts << label->text();
        }
    }
    return texts;
}

}  // namespace

class TestPanes : public QObject {
    Q_OBJECT
  private slots:
    void StartsWithEmptyResultAndZeroCounters();
    void PanesStandAtTheirInitialSizes();
    void ListColumnsFollowTheListWidth_data();
    void ListColumnsFollowTheListWidth();
    void ProgressBarKeepsFourPixelMargins_data();
    void ProgressBarKeepsFourPixelMargins();
    void DropOnEachPaneChoosesTheFile_data();
    void DropOnEachPaneChoosesTheFile();
    void DropTakesTheWholePath();
    void DropOfSeveralFilesOrAFolderSearchesThemAll_data();
    void DropOfSeveralFilesOrAFolderSearchesThemAll();
    void DropClearsThePreviousResult();
    void DropIsRefusedWhileAPhaseRuns();
    void FileNamesShowTheCharactersThatWouldReorderThem();
    void TabFollowsTheLayout_data();
    void TabFollowsTheLayout();
    void ListDrawsItsFocus();
};

void TestPanes::StartsWithEmptyResultAndZeroCounters() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    CInputView* input = child->m_pInputView;
    QCOMPARE(input->m_editMailCount->text(), QString("0"));
    QCOMPARE(input->m_editHitCount->text(), QString("0"));
    QCOMPARE(input->m_editMatchCount->text(), QString("0"));
    QVERIFY(input->m_iconLoad->isHidden());
    QVERIFY(input->m_iconCount->isHidden());
    QVERIFY(input->m_iconSearch->isHidden());
    QCOMPARE(input->m_btnStart->text(), QString("検索開始(&S)"));
    const QStringList inputLabels = LabelTexts(input);
    for (const char* text : {"対象ファイル ：", "検索文字(&T) ：", "全メール数 ：", "該当個数 ：",
                             "該当メール数 ：", "通", "個", "読み込み", "カウント", "検索"}) {
        QVERIFY2(inputLabels.contains(QString::fromUtf8(text)), text);
    }

    CListView1* list = child->m_pListView;
    QCOMPARE(list->m_listMails->topLevelItemCount(), 0);
    QCOMPARE(list->m_editMailNo->text(), QString("0"));
    QVERIFY(!list->m_btnPrev->isEnabled());
    QVERIFY(!list->m_btnNext->isEnabled());
    QCOMPARE(list->m_btnPrev->text(), QString("<< (&P)"));
    QCOMPARE(list->m_btnNext->text(), QString("(&N) >>"));
    QVERIFY(LabelTexts(list).contains(QString("通目の該当メール")));
    const QTreeWidgetItem* header = list->m_listMails->headerItem();
    QCOMPARE(list->m_listMails->columnCount(), 4);
    QCOMPARE(header->text(0), QString("差出人"));
    QCOMPARE(header->text(1), QString("件名"));
    QCOMPARE(header->text(2), QString("送信日時"));
    QCOMPARE(header->text(3), QString("アドレス"));

    QCOMPARE(child->m_pProgView->m_progress->minimum(), 0);
    QCOMPARE(child->m_pProgView->m_progress->maximum(), 100);
    QCOMPARE(child->m_pProgView->m_progress->value(), 0);
    QCOMPARE(child->m_pTarselView->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(child->m_pTarselView->MailFont().pointSize(), 10);
}

void TestPanes::PanesStandAtTheirInitialSizes() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QVERIFY(child->isMaximized());
    QCOMPARE(child->m_pInputView->width(), 100);
    QCOMPARE(child->m_pListView->height(), 130);
    QCOMPARE(child->m_pProgView->height(), 30);
    // The mail pane takes the rest of the right column; the left column keeps its width
    // when the window grows.
    QVERIFY(child->m_pTarselView->height() > 100);
    App()->MainFrame()->resize(App()->MainFrame()->width() + 200,
                               App()->MainFrame()->height() + 100);
    QTRY_COMPARE(child->m_pTarselView->parentWidget()->width(),
                 child->m_wndMainSplitter->width() - 100 - child->m_wndMainSplitter->handleWidth());
    QCOMPARE(child->m_pInputView->width(), 100);
    QCOMPARE(child->m_pListView->height(), 130);
}

void TestPanes::ListColumnsFollowTheListWidth_data() {
    QTest::addColumn<int>("by");
    QTest::newRow("window wider") << 300;
    QTest::newRow("window narrower") << -150;
}

void TestPanes::ListColumnsFollowTheListWidth() {
    QFETCH(int, by);
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QTreeWidget* list = child->m_pListView->m_listMails;
    // The sender takes a third of what the fixed date and address columns leave.
    const int rest = list->columnWidth(0) + list->columnWidth(1);
    QVERIFY(qAbs(list->columnWidth(0) - rest / 3) <= 1);
    const int date = list->columnWidth(2);
    const int address = list->columnWidth(3);
    // The list follows the pane with 4-pixel margins; sender and subject share what it gains
    // or loses, a third and two thirds, and the columns still end where the list's room does.
    const int listWidth = list->width();
    App()->MainFrame()->resize(App()->MainFrame()->width() + by, App()->MainFrame()->height());
    QTRY_COMPARE(list->width(), child->m_pListView->width() - 8);
    QCOMPARE(list->width(), listWidth + by);
    QCOMPARE(list->x(), 4);
    QCOMPARE(list->y() + list->height(), child->m_pListView->height() - 4);
    QCOMPARE(list->columnWidth(0) + list->columnWidth(1), rest + by);
    QVERIFY(qAbs(list->columnWidth(0) - (rest + by) / 3) <= 1);
    QCOMPARE(list->columnWidth(2), date);
    QCOMPARE(list->columnWidth(3), address);
}

void TestPanes::ProgressBarKeepsFourPixelMargins_data() {
    QTest::addColumn<QSize>("pane");
    QTest::addColumn<QRect>("bar");
    QTest::newRow("smallest pane") << QSize(10, 10) << QRect(4, 4, 2, 2);
    QTest::newRow("400 x 30") << QSize(400, 30) << QRect(4, 4, 392, 22);
    QTest::newRow("tall") << QSize(250, 90) << QRect(4, 4, 242, 82);
}

void TestPanes::ProgressBarKeepsFourPixelMargins() {
    QFETCH(QSize, pane);
    QFETCH(QRect, bar);
    CProgView view;
    view.resize(pane);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.m_progress->geometry(), bar);
}

void TestPanes::DropOnEachPaneChoosesTheFile_data() {
    QTest::addColumn<QString>("pane");
    for (const char* pane : {"input", "list", "progress", "mail"}) {
        QTest::newRow(pane) << QString(pane);
    }
}

void TestPanes::DropOnEachPaneChoosesTheFile() {
    QFETCH(QString, pane);
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "box");
    const auto file = dir.Write("box/archive.mbox", NeedleMails(3));
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QVERIFY(DropFile(PaneNamed(child, pane), file));
    QCOMPARE(child->m_pInputView->m_editFileName->text(), QString("archive.mbox"));
    QCOMPARE(child->m_pTarselView->m_strFilePath, file);
    QCOMPARE(QApplication::focusWidget(), child->m_pInputView->m_editSearch);

    // The next search reads that file.
    WarningLog log;
    QVERIFY(Search(child, "needle", log));
    QCOMPARE(child->m_pInputView->m_editMailCount->text(), QString("3"));
}

void TestPanes::DropTakesTheWholePath() {
    TempDir dir;
    // A path far longer than 255 bytes, with Japanese folder names.
    std::filesystem::path folder = dir.path();
    for (int i = 0; i < 6; ++i) {
        folder /= "メールの保管場所" + std::to_string(i) + std::string(20, 'x');
    }
    std::filesystem::create_directories(folder);
    const auto first = folder / "最初.mbox";
    dir.Write(std::filesystem::relative(first, dir.path()).string(), NeedleMails(2));
    QVERIFY(first.native().size() > 255);

    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QVERIFY(DropFile(child->m_pInputView, first));
    QCOMPARE(child->m_pTarselView->m_strFilePath, first);
    QCOMPARE(child->m_pInputView->m_editFileName->text(), QString("最初.mbox"));
    QCOMPARE(child->m_pInputView->m_editFileName->toolTip(), QString::fromStdString(first));
    WarningLog log;
    QVERIFY(Search(child, "needle", log));
    QCOMPARE(child->m_pInputView->m_editMailCount->text(), QString("2"));
}

void TestPanes::DropOfSeveralFilesOrAFolderSearchesThemAll_data() {
    QTest::addColumn<bool>("folder");
    QTest::newRow("three files") << false;
    QTest::newRow("a folder") << true;
}

// The archives are searched in the order of their names, the counters are totals and the
// rows run across them, each named in the first column; a mail of an earlier archive is read
// again when shown. A folder's archives are its files of either format, whatever their names.
void TestPanes::DropOfSeveralFilesOrAFolderSearchesThemAll() {
    QFETCH(bool, folder);
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "box" / "inner");
    const auto c = dir.Write("box/c.mbox", NeedleMails(10));
    const auto a = dir.Write("box/a.mbox", NeedleMails(15));
    const auto b = dir.Write("box/b.mbox", Mail("nothing", "hay"));
    const auto d = dir.Write("box/d",
                             "From ann@example.org Tue Dec  7 12:34:56 1999\n"
                             "Subject: mbox mail\n\nA needle in an mbox.\n\n");
    dir.Write("box/notes.txt", "needle, but no mail");

    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QMimeData mime;
    QList<QUrl> urls;
    for (const auto& path : folder ? std::vector{dir.path() / "box"} : std::vector{c, a, b, d}) {
        urls << QUrl::fromLocalFile(QString::fromStdString(path.string()));
    }
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(child->m_pInputView, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(child->m_pInputView, &drop);
    QCOMPARE(child->m_pInputView->m_editFileName->text(), QString("a.mbox ほか 3 件"));
    QCOMPARE(child->m_pInputView->m_editFileName->toolTip(),
             QString::fromStdString(a.string() + "\n" + b.string() + "\n" + c.string() + "\n" +
                                    d.string()));

    WarningLog log;
    QVERIFY(Search(child, "needle", log));
    QCOMPARE(log.texts(), QStringList{QString::fromUtf8(msg::kSearchDone)});
    const CInputView* input = child->m_pInputView;
    QCOMPARE(input->m_editMailCount->text() + "/" + input->m_editHitCount->text() + "/" +
                 input->m_editMatchCount->text(),
             QString("27/26/26"));
    const QTreeWidget* list = child->m_pListView->m_listMails;
    QCOMPARE(list->headerItem()->text(0), QString("ファイル"));
    QCOMPARE(list->topLevelItemCount(), kPageRows);
    QCOMPARE(list->topLevelItem(0)->text(0), QString("a.mbox"));
    QCOMPARE(list->topLevelItem(15)->text(0), QString("c.mbox"));
    QCOMPARE(list->topLevelItem(15)->text(2), QString("mail 1"));
    QVERIFY(child->m_pTarselView->toPlainText().contains("mail 1 with a needle"));
    PressAlt(child, Qt::Key_N);
    QVERIFY(WaitForIdle(child));
    QCOMPARE(list->topLevelItemCount(), 6);
    QCOMPARE(list->topLevelItem(4)->text(2), QString("mail 10"));
    QCOMPARE(list->topLevelItem(5)->text(2), QString("mbox mail"));
    QCOMPARE(child->m_pListView->m_editMailNo->text(), QString("21"));
}

void TestPanes::DropClearsThePreviousResult() {
    TempDir dir;
    const auto before = dir.Write("before.mbox", NeedleMails(4));
    const auto after = dir.Write("after.mbox", NeedleMails(7));
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    WarningLog log;
    QVERIFY(DropFile(child->m_pInputView, before));
    QVERIFY(Search(child, "needle", log));
    QVERIFY(child->m_pListView->m_listMails->topLevelItemCount() > 0);

    QVERIFY(DropFile(child->m_pProgView, after));
    CInputView* input = child->m_pInputView;
    QCOMPARE(input->m_editMailCount->text(), QString("0"));
    QCOMPARE(input->m_editHitCount->text(), QString("0"));
    QCOMPARE(input->m_editMatchCount->text(), QString("0"));
    QVERIFY(input->m_iconLoad->isHidden() && input->m_iconCount->isHidden() &&
            input->m_iconSearch->isHidden());
    QCOMPARE(child->m_pListView->m_listMails->topLevelItemCount(), 0);
    QCOMPARE(child->m_pListView->m_editMailNo->text(), QString("0"));
    QCOMPARE(child->m_pProgView->m_progress->value(), 0);
    QVERIFY(child->m_pTarselView->document()->isEmpty());
    QCOMPARE(child->m_pTarselView->m_bLoaded, 0);
    QCOMPARE(input->m_editSearch->text(), QString("needle"));  // the string stays

    // The next search loads the new file.
    PressAlt(child, Qt::Key_S);
    QVERIFY(WaitForSearchEnd(child, log, 2));
    QCOMPARE(input->m_editMailCount->text(), QString("7"));
}

void TestPanes::DropIsRefusedWhileAPhaseRuns() {
    TempDir dir;
    const auto big = dir.Write("big.mbox", NeedleMails(20000));
    const auto other = dir.Write("other.mbox", NeedleMails(1));
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QVERIFY(DropFile(child->m_pInputView, big));
    WarningLog log;
    child->m_pInputView->m_editSearch->setText("needle");
    PressAlt(child, Qt::Key_S);
    QVERIFY(child->m_pTarselView->IsPhaseRunning());
    for (const char* pane : {"input", "list", "progress", "mail"}) {
        QVERIFY2(!DropFile(PaneNamed(child, pane), other), pane);
    }
    QCOMPARE(child->m_pTarselView->m_strFilePath, big);
    QCOMPARE(child->m_pInputView->m_editFileName->text(), QString("big.mbox"));
    QVERIFY(WaitForSearchEnd(child, log));
    QCOMPARE(child->m_pInputView->m_editMailCount->text(), QString("20000"));
}

// "txt\u202e.exe" would read as "exe.txt": the field and the title show a mark in its place.
void TestPanes::FileNamesShowTheCharactersThatWouldReorderThem() {
    TempDir dir;
    const QString shown = QString::fromUtf8("txt\ufffd.exe");
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    const auto archive = dir.Write("txt\u202e.exe", NeedleMails(1));
    QVERIFY(DropFile(child->m_pInputView, archive));
    QCOMPARE(child->m_pTarselView->m_strFilePath, archive);  // the file itself is searched
    QCOMPARE(child->m_pInputView->m_editFileName->text(), shown);
    QVERIFY(child->m_pInputView->m_editFileName->toolTip().endsWith("/" + shown));
    QVERIFY(App()->OpenDocumentFile(QString::fromStdString(archive.string())));  // as text
    QCOMPARE(child->m_pTarselView->GetDocument()->Title(), shown);
}

void TestPanes::TabFollowsTheLayout_data() {
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<bool>("backward");
    QTest::newRow("raw mode, Tab") << false << false;
    QTest::newRow("decoded mode, Tab") << true << false;
    QTest::newRow("decoded mode, Shift+Tab") << true << true;
}

void TestPanes::TabFollowsTheLayout() {
    QFETCH(bool, decoded);
    QFETCH(bool, backward);
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    CInputView* input = child->m_pInputView;
    input->m_checkDecoded->setChecked(decoded);
    // Greyed controls are passed over: the options in the raw mode, the page buttons before
    // a result.
    QList<QWidget*> expected{input->m_editFileName, input->m_btnStart, input->m_editSearch,
                             input->m_checkDecoded};
    if (decoded) {
        expected << input->m_checkKana << input->m_checkExact;
    }
    expected << child->m_pListView->m_listMails << child->m_pTarselView << input->m_editFileName;
    if (backward) {
        std::reverse(expected.begin(), expected.end());
    }
    expected.front()->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), expected.front());
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                        backward ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(QApplication::focusWidget(), expected[i]);
    }
    input->m_checkDecoded->setChecked(false);
}

void TestPanes::ListDrawsItsFocus() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QTreeWidget* list = child->m_pListView->m_listMails;
    const auto highlighted = [list] {
        const QImage image = list->viewport()->grab().toImage();
        const QColor highlight = list->palette().highlight().color();
        int count = 0;
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, image.height() / 2) == highlight;
            count += image.pixelColor(x, 0) == highlight;
        }
        return count;
    };
    child->m_pInputView->m_editSearch->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(!list->hasFocus());
    QCOMPARE(highlighted(), 0);
    list->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(list->hasFocus());
    QVERIFY(highlighted() >= list->viewport()->width());
}

TARSEL_UI_TEST_MAIN(TestPanes)
#include "test_panes.moc"
