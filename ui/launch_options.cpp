// The command line of the window.
#include "ui/launch_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <string>
#include <string_view>

#include "decode/safe_text.h"
#include "tarsel_version.h"

namespace tarsel {

namespace {

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption mail{QStringLiteral("mail"),
                            QStringLiteral("Mail archive to search, as if dropped on the window."),
                            QStringLiteral("FILE")};
    QCommandLineOption search{QStringLiteral("search"),
                              QStringLiteral("Search string; the search starts at once."),
                              QStringLiteral("STRING")};
    QCommandLineOption screenshot{
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the window once the search is shown, then quit."),
        QStringLiteral("PNG")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help.")};
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version.")};

    Parser() {
        parser.setApplicationDescription(
            QStringLiteral("Searches a mail archive for a string and shows the matching mails."));
        parser.addOptions({mail, search, screenshot, help, version});
        parser.addPositionalArgument(QStringLiteral("DOCUMENT"),
                                     QStringLiteral("Text file to show in the mail pane."),
                                     QStringLiteral("[DOCUMENT]"));
    }
};

}  // namespace

LaunchOptions ParseLaunchOptions(const QStringList& arguments) {
    Parser p;
    LaunchOptions options;
    // A launcher with no file to pass leaves "--mail" alone at the end of the line (Exec=
    // tarsel --mail %f started from a menu): the window then opens without a file.
    QStringList line = arguments;
    if (line.size() > 1 && line.back() == QStringLiteral("--mail")) {
        line.removeLast();
    }
    if (!p.parser.parse(line)) {
        options.error = p.parser.errorText();
        return options;
    }
    options.showHelp = p.parser.isSet(p.help);
    options.showVersion = p.parser.isSet(p.version);
    options.mailFile = p.parser.value(p.mail);
    options.startSearch = p.parser.isSet(p.search);
    options.search = p.parser.value(p.search);
    options.screenshot = p.parser.value(p.screenshot);
    const QStringList rest = p.parser.positionalArguments();
    if (rest.size() > 1) {
        options.error = QStringLiteral("Only one document can be opened.");
    } else if (!rest.isEmpty()) {
        options.document = rest.front();
    }
    if (!options.screenshot.isEmpty() && !options.startSearch) {
        options.error = QStringLiteral("--screenshot needs --mail and --search.");
    }
    return options;
}

QString LaunchUsage() {
    return Parser().parser.helpText();
}

QString LaunchVersion() {
    return QStringLiteral("tarsel %1\n").arg(QString::fromUtf8(kTarselVersion));
}

QString EscapedForTerminal(const QString& text) {
    // In the bytes the name had on the command line, as far as they can be had back.
    return QString::fromStdString(EscapedForMessage(QFile::encodeName(text).toStdString()));
}

namespace {

void WriteQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const std::string text = qFormatLogMessage(type, context, message).toStdString();
    std::string escaped;
    std::string_view rest = text;
    for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos;) {
        escaped += EscapedForMessage(rest.substr(0, end));
        escaped += '\n';
        rest.remove_prefix(end + 1);
    }
    escaped += EscapedForMessage(rest);
    escaped += '\n';
    std::fputs(escaped.c_str(), stderr);
}

}  // namespace

void EscapeQtMessages() {
    qInstallMessageHandler(WriteQtMessage);
}

int AnswerWithoutWindow(int argc, char** argv) {
    const QCoreApplication core(argc, argv);
    const LaunchOptions options = ParseLaunchOptions(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fputs(
            qPrintable(EscapedForTerminal(options.error) + QLatin1Char('\n') + LaunchUsage()),
            stderr);
        return 2;
    }
    if (options.showHelp || options.showVersion) {
        std::fputs(qPrintable(options.showHelp ? LaunchUsage() : LaunchVersion()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    return -1;
}

}  // namespace tarsel
