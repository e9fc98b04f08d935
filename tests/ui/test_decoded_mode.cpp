// The decoded-search check box: its place and key, its state kept across windows and runs,
// and one archive searched in each mode without loading it again.
#include <QCheckBox>
#include <QLineEdit>
#include <QSettings>
#include <QTreeWidget>

#include "tests/support/temp_files.h"
#include "tests/ui/window_test_support.h"
#include "ui/child_frame.h"
#include "ui/input_view.h"
#include "ui/list_view.h"
#include "ui/tarsel_view.h"

using namespace tarsel;
using namespace tarsel::test;

class TestDecodedMode : public QObject {
    Q_OBJECT
  private slots:
    void CheckBoxSitsUnderTheSearchFieldAndAltDTogglesIt();
    void EachModeSearchesTheLoadedArchive();
};

void TestDecodedMode::CheckBoxSitsUnderTheSearchFieldAndAltDTogglesIt() {
    QSettings().remove(CInputView::kDecodedKey);
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    CInputView* input = child->m_pInputView;
    QCheckBox* box = input->m_checkDecoded;
    QCOMPARE(box->text(), QString::fromUtf8("デコード検索(&D)"));
    QVERIFY(!box->isChecked());  // off by default
    QVERIFY(box->geometry().top() >= input->m_editSearch->geometry().bottom());
    QVERIFY(box->geometry().bottom() <= input->m_editMailCount->geometry().top());

    input->m_editSearch->setFocus();
    PressAlt(child, Qt::Key_D);
    QTRY_VERIFY(box->isChecked());  // the key clicks the box, which takes a moment
    QCOMPARE(QSettings().value(CInputView::kDecodedKey).toBool(), true);
    QVERIFY(OpenWindow()->m_pInputView->m_checkDecoded->isChecked());  // remembered
    CChildFrame* second = OpenWindow();
    second->m_pInputView->m_editSearch->setFocus();
    PressAlt(second, Qt::Key_D);
    QTRY_COMPARE(QSettings().value(CInputView::kDecodedKey).toBool(), false);
}

void TestDecodedMode::EachModeSearchesTheLoadedArchive() {
    QSettings().remove(CInputView::kDecodedKey);
    TempDir dir;
    // 検索 in ISO-2022-JP (raw and decoded), then in an encoded subject and a base64 UTF-8 body
    // (decoded only).
    const auto file = dir.Write(
        "three.mbox",
        Mail("jis", "\x1b$B8!:w\x1b(B\r\n") + Mail("plain", "no match\r\n") + "\x7f \x7f" +
            "Subject: =?UTF-8?B?5qSc57Si?=\r\nContent-Type: text/plain; charset=utf-8\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\n5qSc57Si44Go5qSc57Si\r\n");
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    WarningLog log;
    QVERIFY(DropFile(child->m_pInputView, file));
    QVERIFY(Search(child, QString::fromUtf8("検索"), log));
    QCOMPARE(child->m_pInputView->m_editMatchCount->text(), QString("1"));

    child->m_pInputView->m_checkDecoded->setChecked(true);
    QCOMPARE(child->m_pTarselView->m_bLoaded, 1);  // the switch keeps the loaded archive
    QVERIFY(Search(child, QString::fromUtf8("検索"), log, 2));
    QCOMPARE(child->m_pInputView->m_editMailCount->text(), QString("3"));
    QCOMPARE(child->m_pInputView->m_editHitCount->text(), QString("4"));
    QCOMPARE(child->m_pInputView->m_editMatchCount->text(), QString("2"));
    QTreeWidget* list = child->m_pListView->m_listMails;
    QCOMPARE(list->topLevelItem(1)->text(1), QString::fromUtf8("検索"));
    // The body stands below the header strip and its empty line.
    const auto body = [child] {
        return child->m_pTarselView->toPlainText().section("\n\n", 1).trimmed();
    };
    QCOMPARE(body(), QString::fromUtf8("検索"));
    list->setCurrentItem(list->topLevelItem(1));
    QCOMPARE(body(), QString::fromUtf8("検索と検索"));

    // A character without a Shift-JIS form is searched, and stays in the field.
    QVERIFY(Search(child, QString::fromUtf8("と検"), log, 3));
    QCOMPARE(child->m_pInputView->m_editMatchCount->text(), QString("1"));
    QVERIFY(Search(child, QString::fromUtf8("😀検索"), log, 4));
    QCOMPARE(child->m_pInputView->m_editSearch->text(), QString::fromUtf8("😀検索"));
}

TARSEL_UI_TEST_MAIN(TestDecodedMode)
#include "test_decoded_mode.moc"
