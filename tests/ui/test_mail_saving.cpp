// Saving matching mails from the window: 保存 on the list's context menu and Ctrl+S write the
// selected mail or all of them as mbox, never over a file that exists, and only while there
// is a result and no phase runs.
#include <QAction>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTreeWidget>

#include "engine/mail_export.h"
#include "tests/support/temp_files.h"
#include "tests/ui/window_test_support.h"
#include "ui/child_frame.h"
#include "ui/input_view.h"
#include "ui/list_view.h"
#include "ui/mail_saving.h"
#include "ui/tarsel_doc.h"
#include "ui/tarsel_view.h"

using namespace tarsel;
using namespace tarsel::test;

namespace {

constexpr int kMatching = 25;

// Matching mails "mail 1" .. "mail 25", with a mail that does not match after every tenth.
std::vector<std::string> ArchiveMails() {
    std::vector<std::string> mails;
    for (int i = 1; i <= kMatching; ++i) {
        mails.push_back(Mail("mail " + std::to_string(i), "a needle in mail " + std::to_string(i)));
        if (i % 10 == 0) {
            mails.push_back(Mail("other", "only hay"));
        }
    }
    return mails;
}

// A mail of the archive as an mbox holds it: the From_ line of its date, its bytes after the
// mark, and the empty line that ends it.
std::string AsMbox(const std::string& mail) {
    return "From MAILER-DAEMON Tue Dec  7 12:34:56 1999\r\n" + mail.substr(3) + "\r\n";
}

// The questions of a save answered: the scope given, and the file name; what was asked kept.
class SaveAnswers {
  public:
    SaveAnswers(SaveScope scope, const std::filesystem::path& file) {
        m_scope = SetSaveScopeChooser([this, scope](QWidget*, int matches) {
            m_scopeAsked.append(matches);
            return scope;
        });
        m_file = SetSaveFileChooser([this, file](QWidget*) {
            ++m_filesAsked;
            return QFile::decodeName(file.c_str());
        });
    }
    ~SaveAnswers() {
        SetSaveScopeChooser(std::move(m_scope));
        SetSaveFileChooser(std::move(m_file));
    }
    QList<int> m_scopeAsked;  // the number of matching mails, each time
    int m_filesAsked = 0;

  private:
    SaveScopeChooser m_scope;
    SaveFileChooser m_file;
};

// A new window that has searched file for search; null when it could not.
CChildFrame* SearchedWindow(const std::filesystem::path& file, const char* search,
                            const WarningLog& log) {
    CChildFrame* child = OpenWindow();
    const bool searched = child != nullptr && DropFile(child->m_pInputView, file) &&
                          Search(child, QString::fromUtf8(search), log);
    return searched ? child : nullptr;
}

QAction* SaveAction(CChildFrame* child) {
    return child->m_pListView->m_saver->Action();
}

}  // namespace

class TestMailSaving : public QObject {
    Q_OBJECT
  private slots:
    void SavesTheChosenMailsAsMbox_data();
    void SavesTheChosenMailsAsMbox();
    void RefusesAFileThatExistsAndLeavesItAlone();
    void IsGreyedWithoutAResultAndWhileAPhaseRuns();
    void ClosingTheWindowUnderTheQuestionSavesNothing();
};

void TestMailSaving::SavesTheChosenMailsAsMbox_data() {
    QTest::addColumn<int>("scope");
    QTest::addColumn<bool>("byKey");
    QTest::addColumn<QString>("saved");  // the subject of the one mail saved; empty: all
    QTest::newRow("all, from the menu") << int(SaveScope::kAll) << false << QString();
    QTest::newRow("the selected one, by Ctrl+S")
        << int(SaveScope::kSelected) << true << QString("mail 24");  // row 4 of page 2
}

void TestMailSaving::SavesTheChosenMailsAsMbox() {
    QFETCH(int, scope);
    QFETCH(bool, byKey);
    QFETCH(QString, saved);
    TempDir dir;
    const std::vector<std::string> mails = ArchiveMails();
    std::string archive;
    for (const std::string& mail : mails) {
        archive += mail;
    }
    const auto file = dir.Write("archive", archive);
    const auto target = dir.path() / "saved.mbox";
    WarningLog log;
    CChildFrame* child = SearchedWindow(file, "needle", log);
    QVERIFY(child);
    PressAlt(child, Qt::Key_N);
    QVERIFY(WaitForIdle(child));
    child->m_pListView->m_listMails->setCurrentItem(
        child->m_pListView->m_listMails->topLevelItem(3));
    QCOMPARE(child->m_pTarselView->m_nSelRow, 3);

    SaveAnswers answers(static_cast<SaveScope>(scope), target);
    QSignalSpy ended(child->m_pListView->m_saver, &CMailSaver::saveEnded);
    QAction* action = SaveAction(child);
    QCOMPARE(action->text(), QString("保存(&S)..."));
    QVERIFY(child->m_pListView->m_listMails->actions().contains(action));
    QCOMPARE(child->m_pListView->m_listMails->contextMenuPolicy(), Qt::ActionsContextMenu);
    if (byKey) {
        QTest::keyClick(child->m_pListView->m_listMails, Qt::Key_S, Qt::ControlModifier);
    } else {
        action->trigger();
    }
    QTRY_COMPARE(ended.count(), 1);
    QCOMPARE(ended.front().front().toBool(), true);

    std::string expected;
    for (const std::string& mail : mails) {
        const bool chosen =
            saved.isEmpty()
                ? mail.find("needle") != std::string::npos
                : mail.find("Subject: " + saved.toStdString() + "\r\n") != std::string::npos;
        if (chosen) {
            expected += AsMbox(mail);
        }
    }
    QVERIFY(ReadAll(target) == expected);
    QCOMPARE(answers.m_scopeAsked, QList<int>{kMatching});
    QVERIFY(ReadAll(file) == archive);
    QVERIFY(!child->m_pTarselView->GetDocument()->isModified());
    QCOMPARE(log.texts().size(), 1);  // the end of the search, nothing more
}

void TestMailSaving::RefusesAFileThatExistsAndLeavesItAlone() {
    TempDir dir;
    const auto file = dir.Write("archive", NeedleMails(3));
    const auto target = dir.Write("saved.mbox", "kept as it is");
    WarningLog log;
    CChildFrame* child = SearchedWindow(file, "needle", log);
    QVERIFY(child);
    SaveAnswers answers(SaveScope::kAll, target);
    QSignalSpy ended(child->m_pListView->m_saver, &CMailSaver::saveEnded);
    SaveAction(child)->trigger();
    QTRY_COMPARE(ended.count(), 1);
    QCOMPARE(ended.front().front().toBool(), false);
    QVERIFY(ReadAll(target) == "kept as it is");
    QCOMPARE(log.texts().size(), 2);
    QCOMPARE(log.texts().back(),
             "「" + QFile::decodeName(target.c_str()) + "」はすでにあります。上書きしません。");
    QVERIFY(SaveAction(child)->isEnabled());
}

void TestMailSaving::IsGreyedWithoutAResultAndWhileAPhaseRuns() {
    TempDir dir;
    const auto file = dir.Write("archive", NeedleMails(1) + Mail("other", "hay"));
    const auto target = dir.path() / "saved.mbox";
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    WarningLog log;
    SaveAnswers answers(SaveScope::kAll, target);
    QSignalSpy ended(child->m_pListView->m_saver, &CMailSaver::saveEnded);
    QAction* action = SaveAction(child);
    QVERIFY(!action->isEnabled());  // no search yet

    QVERIFY(DropFile(child->m_pInputView, file));
    child->m_pInputView->m_editSearch->setText("absent");
    PressAlt(child, Qt::Key_S);
    QVERIFY(WaitForSearchEnd(child, log));
    QVERIFY(!action->isEnabled());  // no matching mail
    QTest::keyClick(child->m_pListView->m_listMails, Qt::Key_S, Qt::ControlModifier);

    child->m_pInputView->m_editSearch->setText("needle");
    PressAlt(child, Qt::Key_S);
    QVERIFY(child->m_pTarselView->IsPhaseRunning());
    QVERIFY(!action->isEnabled());
    child->m_pListView->m_saver->Save();  // nothing is asked while the phase runs
    QVERIFY(WaitForSearchEnd(child, log, 2));
    QVERIFY(action->isEnabled());
    QCOMPARE(answers.m_filesAsked, 0);
    QCOMPARE(ended.count(), 0);

    // One matching mail: nothing to choose between.
    action->trigger();
    QTRY_COMPARE(ended.count(), 1);
    QCOMPARE(answers.m_scopeAsked, QList<int>{});
    QVERIFY(ReadAll(target) == AsMbox(NeedleMails(1)));
}

void TestMailSaving::ClosingTheWindowUnderTheQuestionSavesNothing() {
    TempDir dir;
    const auto file = dir.Write("archive", NeedleMails(3));
    const auto target = dir.path() / "saved.mbox";
    WarningLog log;
    CChildFrame* child = SearchedWindow(file, "needle", log);
    QVERIFY(child);
    SaveAnswers answers(SaveScope::kAll, target);
    const SaveScopeChooser answer = SetSaveScopeChooser([child](QWidget*, int) {
        child->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return SaveScope::kAll;
    });
    QPointer<CChildFrame> watched(child);
    SaveAction(child)->trigger();
    SetSaveScopeChooser(answer);
    QVERIFY(watched.isNull());
    QCOMPARE(answers.m_filesAsked, 0);
    QVERIFY(!std::filesystem::exists(target));
}

TARSEL_UI_TEST_MAIN(TestMailSaving)
#include "test_mail_saving.moc"
