// The application and its frames: the Help menu, the titles, the version dialog with its
// animation, the command line, and the toolkit's own texts in Japanese.
#include <xcb/xcb.h>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMovie>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <memory>

#include "tests/support/temp_files.h"
#include "tests/ui/window_test_support.h"
#include "ui/child_frame.h"
#include "ui/close_request.h"
#include "ui/input_view.h"
#include "ui/launch_options.h"
#include "ui/list_view.h"
#include "ui/main_frame.h"
#include "ui/tarsel_view.h"
#include "ui/version_info_dlg.h"

using namespace tarsel;
using namespace tarsel::test;

class TestFrames : public QObject {
    Q_OBJECT
  private slots:
    void MainWindowHasOnlyTheHelpMenu();
    void TitleNamesTheDocumentOnlyWhenNotMaximised();
    void VersionDialogPlaysItsClipOverThePicture();
    void VersionDialogEnds_data();
    void VersionDialogEnds();
    void CommandLineIsUnderstood_data();
    void CommandLineIsUnderstood();
    void CommandLineDropsTheFileAndStartsTheSearch();
    void CloseRequestUnderTheEndBoxClosesTheWindow();
    void CtrlOChoosesTheFileToSearch();
    void CtrlNOpensAWorkingWindowAfterTheLastOneClosed();
    void TwoWindowsSearchAtOnceEachWithItsOwnResult();
    void HelpAndVersionNeedNoDisplay_data();
    void HelpAndVersionNeedNoDisplay();
    void ScreenshotModeSavesTheWindowOfAQuickSearch();
    void ToolkitTextsAreJapanese_data();
    void ToolkitTextsAreJapanese();
};

void TestFrames::MainWindowHasOnlyTheHelpMenu() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    CMainFrame* frame = App()->MainFrame();
    QCOMPARE(frame->windowTitle(), QString("Tarsel"));
    // A display name set by the program is appended to every title by the platform.
    QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    QList<QMenu*> menus;
    for (QAction* action : frame->menuBar()->actions()) {
        if (action->menu() != nullptr) {
            menus << action->menu();
        }
    }
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus[0]->title(), QString("ﾍﾙﾌﾟ(&H)"));
    const QList<QAction*> items = menus[0]->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->text(), QString("ﾄﾋﾟｯｸの検索(&H)"));
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2]->text(), QString("ﾊﾞｰｼﾞｮﾝ情報(Tarsel) (&A)..."));

    // Without a document window the about entry loses its blank and the keys act on nothing.
    QVERIFY(child->close());
    QTRY_COMPARE(items[2]->text(), QString("ﾊﾞｰｼﾞｮﾝ情報(Tarsel)(&A)..."));
    QCOMPARE(frame->windowTitle(), QString("Tarsel"));
    for (Qt::Key key : {Qt::Key_S, Qt::Key_T, Qt::Key_P, Qt::Key_N}) {
        QTest::keyClick(frame, key, Qt::AltModifier);
    }
    QCOMPARE(frame->ActiveChild(), nullptr);
}

void TestFrames::TitleNamesTheDocumentOnlyWhenNotMaximised() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    CMainFrame* frame = App()->MainFrame();
    child->showNormal();
    QTRY_VERIFY(frame->windowTitle().startsWith("Tarsel - Tarsel"));
    child->showMaximized();
    QTRY_COMPARE(frame->windowTitle(), QString("Tarsel"));
}

void TestFrames::VersionDialogPlaysItsClipOverThePicture() {
    CVersionInfoDlg dialog;
    QCOMPARE(dialog.windowTitle(), QString("Version Infomation Tarsel"));
    QVERIFY(dialog.m_movie && dialog.m_animate);
    QCOMPARE(dialog.m_movie->frameCount(), 74);
    QCOMPARE(dialog.m_movie->state(), QMovie::Running);
    QCOMPARE(dialog.m_movie->currentFrameNumber(), 0);  // each opening starts at the first frame
    QCOMPARE(dialog.m_movie->currentPixmap().size(), QSize(150, 31));
    // The movie's wait for the next frame is the clip's 100 ms less the time the frame took
    // to read, which a loaded machine can stretch.
    QVERIFY(dialog.m_movie->nextFrameDelay() > 0 && dialog.m_movie->nextFrameDelay() <= 100);
    QCOMPARE(dialog.m_animate->geometry(), QRect(dialog.m_placeholder.topLeft(), QSize(150, 31)));
    QVERIFY(dialog.m_picture->geometry().contains(dialog.m_animate->geometry()));
    QCOMPARE(dialog.m_picture->pixmap().size(), QSize(431, 258));
    QCOMPARE(dialog.m_picture->contentsRect().size(), QSize(431, 258));
    QImageReader picture(":/res/about.bmp");
    QCOMPARE(picture.read().colorCount(), 16);
    // The clip loops for as long as the dialog is open.
    QImageReader clip(":/res/animation.gif");
    QCOMPARE(clip.loopCount(), -1);
    QVERIFY(!clip.read().isNull());
    QCOMPARE(clip.nextImageDelay(), 100);  // 10 frames a second
    // The project's version, below the picture.
    const auto* version = dialog.findChild<QLabel*>("version");
    QVERIFY(version &&
            version->text().contains(QRegularExpression("^Tarsel \\d+\\.\\d+\\.\\d+\\.\\d+$")));
    QVERIFY(dialog.rect().contains(version->geometry()));
    QVERIFY(!version->geometry().intersects(dialog.m_picture->geometry()));
}

void TestFrames::VersionDialogEnds_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("OK") << "OK";
    QTest::newRow("Esc") << "Esc";
    QTest::newRow("close box") << "close";
}

void TestFrames::VersionDialogEnds() {
    QFETCH(QString, how);
    QVERIFY(OpenWindow());
    bool seen = false;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<CVersionInfoDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        seen = true;
        if (how == "OK") {
            QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
        } else if (how == "Esc") {
            QTest::keyClick(dialog, Qt::Key_Escape);
        } else {
            dialog->close();
        }
    });
    answer.start(20);
    // The menu entry runs the dialog modally and returns once it has ended.
    App()->MainFrame()->m_actionAbout->trigger();
    QVERIFY(seen);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestFrames::CommandLineIsUnderstood_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("understood");  // mail|search|start|document, or "error"
    QTest::newRow("nothing") << QStringList{} << "|||";
    QTest::newRow("mail only") << QStringList{"--mail", "a.mbox"} << "a.mbox|||";
    QTest::newRow("mail and search")
        << QStringList{"--mail", "a.mbox", "--search", "検索"} << "a.mbox|検索|start|";
    QTest::newRow("empty search still starts") << QStringList{"--search", ""} << "||start|";
    QTest::newRow("a document") << QStringList{"notes.txt"} << "|||notes.txt";
    QTest::newRow("two documents") << QStringList{"a.txt", "b.txt"} << "error";
    QTest::newRow("unknown option") << QStringList{"--colour"} << "error";
    QTest::newRow("mail left without a file by a launcher") << QStringList{"--mail"} << "|||";
    QTest::newRow("search without its string") << QStringList{"--search"} << "error";
    QTest::newRow("screenshot without search")
        << QStringList{"--mail", "a.mbox", "--screenshot", "s.png"} << "error";
}

void TestFrames::CommandLineIsUnderstood() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, understood);
    const LaunchOptions options = ParseLaunchOptions(QStringList{"tarsel"} + arguments);
    if (understood == "error") {
        QVERIFY(!options.error.isEmpty());
        return;
    }
    QVERIFY2(options.error.isEmpty(), qPrintable(options.error));
    QCOMPARE(options.mailFile + "|" + options.search + "|" + (options.startSearch ? "start" : "") +
                 "|" + options.document,
             understood);
}

void TestFrames::CommandLineDropsTheFileAndStartsTheSearch() {
    TempDir dir;
    const auto file = dir.Write("cli.mbox", NeedleMails(3) + Mail("x", "other"));
    const QString path = QString::fromStdString(file.string());
    WarningLog log;

    CChildFrame* child = OpenWindow({"--mail", path});
    QVERIFY(child);
    QCOMPARE(child->m_pInputView->m_editFileName->text(), QString("cli.mbox"));
    QCOMPARE(child->m_pTarselView->m_strFilePath, file);
    QCoreApplication::processEvents();  // a search would be started from the event loop
    QVERIFY(!child->m_pTarselView->IsPhaseRunning());
    QCOMPARE(child->m_pTarselView->m_nState.load(), int(kStateIdle));

    child = OpenWindow({"--mail", path, "--search", "needle"});
    QVERIFY(child);
    QCOMPARE(child->m_pInputView->m_editSearch->text(), QString("needle"));
    QVERIFY(WaitForSearchEnd(child, log));
    QCOMPARE(child->m_pInputView->m_editMailCount->text(), QString("4"));
    QCOMPARE(child->m_pInputView->m_editMatchCount->text(), QString("3"));
}

// The window system asks to close the window while the end box is up (Qt itself drops that
// request): the box goes and the window closes; a message of another kind changes nothing.
void TestFrames::CloseRequestUnderTheEndBoxClosesTheWindow() {
    TempDir dir;
    const auto file = dir.Write("close.mbox", NeedleMails(3));
    const WarningPresenter previous = SetWarningPresenter({});  // the real box
    constexpr std::uint32_t kProtocols = 301, kDelete = 302, kPing = 303;
    CloseRequestFilter filter(kProtocols, kDelete);
    CMainFrame* frame = App()->MainFrame();
    const auto send = [&](std::uint32_t what) {
        xcb_client_message_event_t request{};
        request.response_type = XCB_CLIENT_MESSAGE;
        request.format = 32;
        request.window = static_cast<xcb_window_t>(App()->MainFrame()->internalWinId());
        request.type = kProtocols;
        request.data.data32[0] = what;
        filter.nativeEventFilter("xcb_generic_event_t", &request, nullptr);
    };
    QMessageBox* box = nullptr;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (box == nullptr &&
            (box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))) {
            send(kPing);
            QTimer::singleShot(50, this, [&] {
                QVERIFY(QApplication::activeModalWidget() == box && frame->isVisible());
                send(kDelete);
                // Should the request be lost, the box is answered late so that the test fails
                // instead of waiting under it for ever.
                QTimer::singleShot(5000, box, [&] { box->done(QMessageBox::Ok); });
            });
        }
    });
    watcher.start(5);
    QPointer<CChildFrame> child =
        OpenWindow({"--mail", QString::fromStdString(file.string()), "--search", "needle"});
    frame = App()->MainFrame();
    QVERIFY(child);
    QTRY_VERIFY_WITH_TIMEOUT(child.isNull(), 10000);
    QVERIFY(box != nullptr);
    QTRY_VERIFY(!App()->MainFrame()->isVisible());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    SetWarningPresenter(previous);
}

void TestFrames::CtrlOChoosesTheFileToSearch() {
    TempDir dir;
    const auto file = dir.Write("chosen.mbox", NeedleMails(2));
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    bool seen = false;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog->isVisible()) {
            seen = true;
            // Typed, as the list of the folder fills in the background.
            dialog->findChild<QLineEdit*>("fileNameEdit")
                ->setText(QString::fromStdString(file.string()));
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
    answer.start(20);
    QTest::keyClick(App()->MainFrame(), Qt::Key_O, Qt::ControlModifier);
    QVERIFY(seen);
    QCOMPARE(child->m_pInputView->m_editFileName->text(), QString("chosen.mbox"));
    QCOMPARE(child->m_pTarselView->m_strFilePath, file);
    QVERIFY(child->m_pTarselView->document()->isEmpty());
}

namespace {

QString CountersOf(const CChildFrame* child) {
    const CInputView* input = child->m_pInputView;
    return input->m_editMailCount->text() + "/" + input->m_editHitCount->text() + "/" +
           input->m_editMatchCount->text();
}

}  // namespace

void TestFrames::CtrlNOpensAWorkingWindowAfterTheLastOneClosed() {
    TempDir dir;
    const auto file = dir.Write("again.mbox", NeedleMails(3));
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    CMainFrame* frame = App()->MainFrame();
    QVERIFY(frame->m_labelNoDocument->isHidden());
    QVERIFY(child->close());
    QTRY_COMPARE(frame->ActiveChild(), nullptr);
    QVERIFY(frame->m_labelNoDocument->isVisible());
    QCOMPARE(frame->m_labelNoDocument->text(), QString("Ctrl+N で新しいウィンドウを開きます。"));

    QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
    CChildFrame* next = frame->ActiveChild();
    QVERIFY(next);
    QVERIFY(frame->m_labelNoDocument->isHidden());
    QVERIFY(DropFile(next->m_pInputView, file));
    WarningLog log;
    QVERIFY(Search(next, "needle", log));
    QCOMPARE(CountersOf(next), QString("3/3/3"));
}

void TestFrames::TwoWindowsSearchAtOnceEachWithItsOwnResult() {
    TempDir dir;
    const auto many = dir.Write("many.mbox", NeedleMails(4000));
    const auto few = dir.Write("few.mbox", NeedleMails(5));
    CChildFrame* first = OpenWindow();
    QVERIFY(first);
    CMainFrame* frame = App()->MainFrame();
    QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
    CChildFrame* second = frame->ActiveChild();
    QVERIFY(second && second != first);
    QCOMPARE(frame->DocumentWindows().size(), 2);

    WarningLog log;
    QVERIFY(DropFile(first->m_pInputView, many));
    QVERIFY(DropFile(second->m_pInputView, few));
    for (CChildFrame* child : {first, second}) {
        child->m_pInputView->m_editSearch->setText("needle");
        child->OnSearchStart();
    }
    QVERIFY(first->m_pTarselView->IsPhaseRunning());
    QVERIFY(WaitForSearchEnd(first, log, 2));
    QVERIFY(WaitForIdle(second));
    QCOMPARE(CountersOf(first), QString("4000/4000/4000"));
    QCOMPARE(CountersOf(second), QString("5/5/5"));
    QCOMPARE(second->m_pListView->m_listMails->topLevelItemCount(), 5);

    // Closing one window mid-search stops only its own work.
    first->m_pInputView->m_editSearch->setText("mail");
    first->OnSearchStart();
    second->m_pInputView->m_editSearch->setText("mail");
    second->OnSearchStart();
    QVERIFY(first->close());
    QVERIFY(WaitForSearchEnd(second, log, 3));
    QCOMPARE(CountersOf(second), QString("5/10/5"));
}

void TestFrames::HelpAndVersionNeedNoDisplay_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("printed");
    QTest::newRow("help") << "--help"
                          << "--mail <FILE>";
    QTest::newRow("version") << "--version"
                             << "tarsel 1.0.0.1\n";
}

void TestFrames::HelpAndVersionNeedNoDisplay() {
    QFETCH(QString, option);
    QFETCH(QString, printed);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(name);
    }
    program.setProcessEnvironment(environment);
    program.start(TARSEL_BINARY, {option});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(QString::fromLocal8Bit(program.readAllStandardOutput()).contains(printed));
}

// The documentation's picture: the program saves its window once the search has ended, even
// one that starts and ends between two of its looks at the search (as a small archive's does).
void TestFrames::ScreenshotModeSavesTheWindowOfAQuickSearch() {
    TempDir dir;
    const auto archive = dir.Write("shot.mbox", NeedleMails(3));
    const QString picture = QString::fromStdString((dir.path() / "shot.png").string());
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.path().string()));
    program.setProcessEnvironment(environment);
    program.start(TARSEL_BINARY, {"--mail", QString::fromStdString(archive.string()), "--search",
                                  "needle", "--screenshot", picture});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(!QImage(picture).isNull());
}

void TestFrames::ToolkitTextsAreJapanese_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("text");
    QTest::newRow("the mail pane's context menu") << "menu"
                                                  << "コピー";
    QTest::newRow("a standard button") << "button"
                                       << "キャンセル";
    QTest::newRow("the file dialog") << "dialog"
                                     << "ファイル名";
}

void TestFrames::ToolkitTextsAreJapanese() {
    QFETCH(QString, where);
    QFETCH(QString, text);
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QStringList shown;
    if (where == "menu") {
        std::unique_ptr<QMenu> menu(child->m_pTarselView->createStandardContextMenu());
        for (const QAction* action : menu->actions()) {
            shown << action->text();
        }
    } else if (where == "button") {
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        for (const QAbstractButton* button : box.buttons()) {
            shown << button->text();
        }
    } else {
        // The dialog's own label, looked up as the dialog does: a dialog made after the tests
        // above have run the program starts threads, which the thread sanitizer refuses in a
        // process that has forked.
        shown << QCoreApplication::translate("QFileDialog", "File &name:");
    }
    QVERIFY2(shown.join('|').contains(text), qPrintable(shown.join('|')));
}

TARSEL_UI_TEST_MAIN(TestFrames)
#include "test_frames.moc"
