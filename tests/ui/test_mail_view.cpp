// The mail pane: the body of the selected mail in black with every hit in red, its face and
// caret, the decoded mode's header strip above the body, and the document behind it (read
// from a file, never saved).
#include <QScrollBar>
#include <QSettings>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <random>

#include "decode/cp932.h"
#include "tests/support/temp_files.h"
#include "tests/ui/window_test_support.h"
#include "ui/child_frame.h"
#include "ui/input_view.h"
#include "ui/mail_document.h"
#include "ui/recent_files.h"
#include "ui/tarsel_doc.h"
#include "ui/tarsel_view.h"

using namespace tarsel;
using namespace tarsel::test;

namespace {

// The pane's text with its red runs in brackets (neighbouring runs read as one red stretch,
// as on the screen); blocks joined by line feeds. Text in any colour but black is in braces.
QString Marked(const CTarselDoc* document) {
    QString text = document->toPlainText();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().foreground().color() != QColor(0, 0, 0)) {
                return "{" + text + "}";
            }
        }
    }
    const std::vector<TextRun>& runs = document->RedRuns();
    for (std::size_t i = runs.size(); i-- > 0;) {
        const int end = runs[i].start + runs[i].length;
        if (i + 1 == runs.size() || runs[i + 1].start != end) {
            text.insert(end, ']');
        }
        if (i == 0 || runs[i - 1].start + runs[i - 1].length != runs[i].start) {
            text.insert(runs[i].start, '[');
        }
    }
    while (text.endsWith('\n')) {
        text.chop(1);
    }
    return text;
}

std::string RawMail(std::string_view header, std::string_view rest) {
    return std::string("\x7F\x20\x7F", 3) + std::string(header) + std::string(rest);
}

}  // namespace

class TestMailView : public QObject {
    Q_OBJECT
  private slots:
    void HitsAreRedAndTheRestBlack_data();
    void HitsAreRedAndTheRestBlack();
    void ShownTextStartsAtTheCaretAndCannotBeUndone();
    void TenThousandHitsOnOneLineShowAtOnce();
    void LongBodiesConvertInPiecesAsInOne_data();
    void LongBodiesConvertInPiecesAsInOne();
    void DocumentReadsTextFiles_data();
    void DocumentReadsTextFiles();
    void DocumentNeverAsksToSave();
    void OpenedDocumentGoesToTheRecentFileList();
    void DecodedModeShowsTheHeaderStrip_data();
    void DecodedModeShowsTheHeaderStrip();
};

void TestMailView::HitsAreRedAndTheRestBlack_data() {
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("shown");
    QTest::newRow("hits inside the body")
        << QByteArray::fromStdString(Mail("s", "one needle, two needle.")) << "needle"
        << "one [needle], two [needle].";
    // Two neighbouring red runs, no black between them: one red stretch on the screen.
    QTest::newRow("neighbouring hits without overlap")
        << QByteArray::fromStdString(Mail("s", "aaaaa")) << "aa"
        << "[aaaa]a";
    QTest::newRow("a body that ends with the hit")
        << QByteArray::fromStdString(RawMail("Subject: s\r\n\r\n", "the end is a needle"))
        << "needle"
        << "the end is a [needle]";
    QTest::newRow("hit in the header only")
        << QByteArray::fromStdString(Mail("needle", "nothing to see")) << "needle"
        << "nothing to see";
    QTest::newRow("Japanese body in ISO-2022-JP")
        << QByteArray::fromStdString(Mail("s", "\x1B$B8!:w$N7k2L\x1B(B\r\n2\x1B$B9TL\\\x1B(B"))
        << "検索"
        << "[検索]の結果\n2行目";
    QTest::newRow("no blank line after the header")
        << QByteArray::fromStdString(RawMail("Subject: needle\r\n", "")) << "needle"
        << "";
}

void TestMailView::HitsAreRedAndTheRestBlack() {
    QFETCH(QByteArray, archive);
    QFETCH(QString, search);
    QFETCH(QString, shown);
    TempDir dir;
    WarningLog log;
    CChildFrame* child = SearchedWindow(dir.Write("a.mbox", archive.toStdString()), search, log);
    QVERIFY(child);
    const CTarselDoc* document = child->m_pTarselView->GetDocument();
    QCOMPARE(Marked(document), shown);
    const QFont face = CTarselView::MailFont();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            QCOMPARE(format.fontFamilies().toStringList().value(0), face.family());
            QCOMPARE(format.fontPointSize(), 10.0);
        }
    }
}

void TestMailView::ShownTextStartsAtTheCaretAndCannotBeUndone() {
    CTarselView view;
    view.resize(200, 60);
    view.show();
    view.setPlainText("old text");
    MailBody body;
    body.text =
        "long line of the body, long enough to scroll sideways"
        "hit"
        "\r\nsecond line";
    body.hits = {53};
    body.hitLength = 3;
    view.ShowMailBody(body);
    QCOMPARE(Marked(view.GetDocument()),
             QString("long line of the body, long enough to scroll sideways[hit]\nsecond line"));
    QCOMPARE(view.textCursor().position(), 0);
    QVERIFY(!view.document()->isUndoAvailable());
    QVERIFY(!view.document()->isModified());
    // Red runs follow an edit, and go with the text they marked.
    QTextCursor cursor(view.document());
    cursor.insertText("new ");
    QCOMPARE(Marked(view.GetDocument()).left(62),
             QString("new long line of the body, long enough to scroll sideways[hit]"));
    view.setPlainText("other text");
    QVERIFY(view.GetDocument()->RedRuns().empty());
    view.ShowMailBody(body);
    view.clear();
    QVERIFY(view.GetDocument()->RedRuns().empty());
}

void TestMailView::TenThousandHitsOnOneLineShowAtOnce() {
    std::string line;
    for (int i = 0; i < 10000; ++i) {
        line += "QZ ";
    }
    TempDir dir;
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    WarningLog log;
    QVERIFY(DropFile(child->m_pInputView, dir.Write("a.mbox", Mail("s", line))));
    QVERIFY(Search(child, "QZ", log));
    CTarselView* view = child->m_pTarselView;
    QCOMPARE(view->GetDocument()->RedRuns().size(), std::size_t(10000));
    QCOMPARE(view->toPlainText().trimmed(), QString::fromStdString(line).trimmed());
    QTRY_VERIFY(view->horizontalScrollBar()->maximum() > 10000);  // the line scrolls sideways
    // The hits in view are painted red over the black text.
    const QImage shown = view->viewport()->grab().toImage();
    int red = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QColor c = shown.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }
    }
    QVERIFY(red > 20);
}

// Bodies longer than a piece, in every kind of byte, read as their runs converted at once: no
// character cut between pieces, every line break one line break, the red runs where the hits are; a
// stop between pieces leaves a beginning of the body.
void TestMailView::LongBodiesConvertInPiecesAsInOne_data() {
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<std::size_t>("size");
    for (const std::size_t size : {3 * kMailPieceBytes, kJoinLinesAbove + kMailPieceBytes}) {
        const QString lines = size > kJoinLinesAbove ? " lines joined" : "";
        QTest::newRow(qPrintable("Shift-JIS" + lines)) << false << size;
        QTest::newRow(qPrintable("UTF-8" + lines)) << true << size;
    }
}

void TestMailView::LongBodiesConvertInPiecesAsInOne() {
    QFETCH(bool, utf8);
    QFETCH(std::size_t, size);
    const std::string alphabet = utf8 ? std::string("ab \r\n\xE6\xA4\x9C\xF0\x9F\x98\x80\xC3")
                                      : std::string("ab \r\n\x8C\x9F\x8D\xF5\x81\xB1\xFC\x85\x40");
    std::mt19937 random(7);
    MailBody body;
    body.utf8 = utf8;
    body.hitLength = 2;
    while (body.text.size() < size) {
        if (random() % 50 == 0) {
            body.hits.push_back(body.text.size());
            body.text += "QZ";
        }
        body.text += alphabet[random() % alphabet.size()];
    }
    CTarselDoc document;
    QTextCharFormat format;
    document.ShowMailBody(body, format);
    // Each run on its own, as a hit may begin on the second byte of a character.
    QString whole;
    body.ForEachRun([&](std::string_view run, bool) {
        whole += QString::fromStdString(utf8 ? std::string(run) : Cp932ToUtf8(run));
    });
    whole.replace("\r\n", "\n").replace('\r', '\n');
    QCOMPARE(document.toPlainText(), whole);
    QCOMPARE(document.RedRuns().size(), body.hits.size());
    for (const TextRun& run : document.RedRuns()) {
        QCOMPARE(whole.mid(run.start, run.length), QString("QZ"));
    }

    int asked = 0;
    document.ShowMailBody(body, format, [&asked] { return ++asked == 2; });
    QVERIFY(document.toPlainText().size() < whole.size());
    QVERIFY(whole.startsWith(document.toPlainText()));
}

void TestMailView::DocumentReadsTextFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8") << QByteArray("日本語のテキスト\nline 2") << "日本語のテキスト\nline 2";
    QTest::newRow("Shift-JIS") << QByteArray("\x93\xfa\x96\x7b\x8c\xea abc") << "日本語 abc";
    QTest::newRow("empty") << QByteArray() << "";
}

void TestMailView::DocumentReadsTextFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    TempDir dir;
    const auto file = dir.Write("doc.txt", bytes.toStdString());
    CTarselDoc document;
    QVERIFY(document.OnOpenDocument(QString::fromStdString(file.string())));
    QCOMPARE(document.toPlainText(), text);
    QCOMPARE(document.Title(), QString("doc.txt"));
    QVERIFY(!document.OnOpenDocument(QString::fromStdString((dir.path() / "none").string())));
}

void TestMailView::DocumentNeverAsksToSave() {
    CTarselDoc document;
    QVERIFY(document.Title().startsWith("Tarsel"));
    document.setPlainText("typed by the user");
    document.setModified(true);
    QVERIFY(document.SaveModified());
    QVERIFY(!document.isModified());
}

void TestMailView::OpenedDocumentGoesToTheRecentFileList() {
    TempDir dir;
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QStringList paths;
    for (int i = 1; i <= 5; ++i) {
        const auto file =
            dir.Write("doc" + std::to_string(i) + ".txt", "text " + std::to_string(i));
        paths << QString::fromStdString(file.string());
        QVERIFY(App()->OpenDocumentFile(paths.back()));
    }
    QCOMPARE(child->m_pTarselView->toPlainText(), QString("text 5"));
    QVERIFY(App()->OpenDocumentFile(paths[2]));  // reopened: moves to the front
    const QStringList expected{paths[2], paths[4], paths[3], paths[1]};
    QCOMPARE(App()->RecentFiles().Files(), expected);
    QSettings settings;
    CRecentFileList stored(settings);
    stored.ReadList();
    QCOMPARE(stored.Files(), expected);
    QVERIFY(!App()->OpenDocumentFile(QString::fromStdString((dir.path() / "gone").string())));
    QCOMPARE(App()->RecentFiles().Files(), expected);
}

void TestMailView::DecodedModeShowsTheHeaderStrip_data() {
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<QByteArray>("mail");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("shown");
    const std::string header =
        "From: needle <n@example.jp>\r\nTo: needle@example.jp\r\nCc: c@example.jp\r\n"
        "Date: Tue, 7 Dec 1999 12:34:56 +0900\r\nSubject: about needle\r\n\r\n";
    const QByteArray plain = QByteArray::fromStdString(RawMail(header, "a needle\r\n"));
    QTest::newRow("sender and subject red, as the body")
        << true << plain << "needle"
        << "差出人：[needle] <n@example.jp>\n宛先：needle@example.jp\nCc：c@example.jp\n"
           "日付：Tue, 7 Dec 1999 12:34:56 +0900\n件名：about [needle]\n\na [needle]";
    QTest::newRow("a word of one field red in that field only")
        << true << plain << "件名:needle"
        << "差出人：needle <n@example.jp>\n宛先：needle@example.jp\nCc：c@example.jp\n"
           "日付：Tue, 7 Dec 1999 12:34:56 +0900\n件名：about [needle]\n\na needle";
    QTest::newRow("encoded subject and the attachments' names")
        << true
        << QByteArray::fromStdString(
               RawMail("From: a@example.jp\r\nSubject: =?UTF-8?B?5qSc57Si?=\r\nContent-Type: "
                       "multipart/mixed; boundary=X\r\n\r\n",
                       "--X\r\nContent-Type: text/plain\r\n\r\nbody\r\n--X\r\nContent-Type: "
                       "application/pdf; name=\"=?UTF-8?B?6KaL56mN?=.pdf\"\r\n\r\n%PDF\r\n--X\r\n"
                       "Content-Disposition: attachment; filename=b.txt\r\n\r\nb\r\n--X--\r\n"))
        << "検索"
        << "差出人：a@example.jp\n件名：[検索]\n添付：見積.pdf, b.txt\n\nbody";
    QTest::newRow("the raw mode shows the body alone") << false << plain << "needle"
                                                       << "a [needle]";
}

void TestMailView::DecodedModeShowsTheHeaderStrip() {
    QFETCH(bool, decoded);
    QFETCH(QByteArray, mail);
    QFETCH(QString, search);
    QFETCH(QString, shown);
    TempDir dir;
    WarningLog log;
    CChildFrame* child =
        SearchedWindow(dir.Write("a.mbox", mail.toStdString()), search, log, decoded);
    QVERIFY(child);
    QCOMPARE(Marked(child->m_pTarselView->GetDocument()), shown);
}

TARSEL_UI_TEST_MAIN(TestMailView)
#include "test_mail_view.moc"
