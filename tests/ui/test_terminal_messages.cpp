// What the window program writes to standard error never holds a terminal's control bytes:
// names from its command line are escaped as tarsel-search escapes them.
#include <QProcess>

#include "tests/support/temp_files.h"
#include "tests/ui/window_test_support.h"

using namespace tarsel;
using namespace tarsel::test;

class TestTerminalMessages : public QObject {
    Q_OBJECT
  private slots:
    void NamesInMessagesAreEscaped_data();
    void NamesInMessagesAreEscaped();
};

void TestTerminalMessages::NamesInMessagesAreEscaped_data() {
    QTest::addColumn<QStringList>("arguments");  // "DIR/" stands for a fresh directory
    QTest::addColumn<QString>("written");        // part of standard error
    const QString name = "t\x1b]0;title\x07\u202e";
    const QString escaped = "t\\x1b]0;title\\x07\\u{202e}";
    QTest::newRow("option") << QStringList{"--" + name} << "Unknown option '" + escaped + "'";
    QTest::newRow("document") << QStringList{"DIR/" + name}
                              << "tarsel: cannot read DIR/" + escaped + "\n";
    QTest::newRow("picture") << QStringList{"--mail",       "DIR/needles.mbox",
                                            "--search",     "needle",
                                            "--screenshot", "DIR/" + name + "/shot.png"}
                             << "tarsel: cannot write DIR/" + escaped + "/shot.png\n";
}

void TestTerminalMessages::NamesInMessagesAreEscaped() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, written);
    TempDir dir;
    dir.Write("needles.mbox", NeedleMails(2));
    const QString folder = QString::fromStdString(dir.path().string()) + "/";
    arguments.replaceInStrings(QRegularExpression("^DIR/"), folder);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", folder);
    program.setProcessEnvironment(environment);
    program.start(TARSEL_BINARY, arguments);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 2);
    const QByteArray err = program.readAllStandardError();
    QVERIFY2(!err.contains('\x1b') && !err.contains('\x07') && !err.contains("\u202e"),
             err.constData());
    QVERIFY2(QString::fromUtf8(err).contains(QString(written).replace("DIR/", folder)),
             err.constData());
}

TARSEL_UI_TEST_MAIN(TestTerminalMessages)
#include "test_terminal_messages.moc"
